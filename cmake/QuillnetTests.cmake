# quillnet_add_test(<name> SOURCES <files...> LABELS <labels...> [LIBS <targets...>]
#                   [WRAPPER <command...>])
#
# Builds one Qt Test executable and registers it with ctest (see
# quillnet_register_test). WRAPPER runs the test through another command
# (e.g. one that prepares a namespace).
function(quillnet_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LABELS;LIBS;WRAPPER" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE quillnet_build_flags Qt6::Test ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  quillnet_register_test(${name} COMMAND ${ARG_WRAPPER} $<TARGET_FILE:${name}> LABELS ${ARG_LABELS})
endfunction()

# quillnet_register_test(<name> COMMAND <cmd...> LABELS <labels...>)
#
# Every test runs offscreen from its own scratch folder with a private
# settings store, so no test touches the developer's real configuration.
# A suite that skips itself as a whole (a QSKIP in initTestCase, or exit
# status 77 from a script) is reported as skipped, not as passed.
function(quillnet_register_test name)
  cmake_parse_arguments(ARG "" "" "COMMAND;LABELS" ${ARGN})
  set(scratch ${CMAKE_BINARY_DIR}/test-scratch/${name})
  file(MAKE_DIRECTORY ${scratch})
  add_test(NAME ${name} COMMAND ${ARG_COMMAND} WORKING_DIRECTORY ${scratch})
  set_tests_properties(${name} PROPERTIES
    LABELS "${ARG_LABELS}"
    SKIP_REGULAR_EXPRESSION "SKIP   : "
    SKIP_RETURN_CODE 77
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${scratch}/config;XDG_RUNTIME_DIR=${scratch}/runtime;QUILLNET_SOURCE_DIR=${PROJECT_SOURCE_DIR};QUILLNET_APP_DIR=${QUILLNET_APP_DIR}"
    TIMEOUT 300)
endfunction()

# quillnet_add_script_test(<name> COMMAND <cmd...> LABELS <labels...>)
# A test driven by a script that starts real processes (the client, peers).
function(quillnet_add_script_test name)
  cmake_parse_arguments(ARG "" "" "COMMAND;LABELS" ${ARGN})
  quillnet_register_test(${name} COMMAND ${ARG_COMMAND} LABELS ${ARG_LABELS})
endfunction()

# quillnet_brings_tunnel_up(<tests...>)
# The client's OpenVPN always names its device quillnet0, so tests that
# bring a real tunnel up in this network namespace take turns.
function(quillnet_brings_tunnel_up)
  set_property(TEST ${ARGN} APPEND PROPERTY RESOURCE_LOCK tunnel_device)
endfunction()
