# Installation and the Debian package (cpack, in any build folder).
#
# The program lives read-only in lib/quillnet, laid out like the app folder
# of a build; bin/quillnet is the launcher that gives each user a writable
# working directory with links to these files. Debian's Privoxy is not
# shipped: the launcher copies it from the privoxy package.

set(QUILLNET_INSTALL_DIR lib/quillnet)
set(QUILLNET_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS quillnet RUNTIME DESTINATION ${QUILLNET_INSTALL_DIR})
install(FILES ${QUILLNET_APP_DIR}/graphics.rcc DESTINATION ${QUILLNET_INSTALL_DIR})
install(FILES ${QUILLNET_RESOURCES}/privoxy/config.txt
              ${QUILLNET_RESOURCES}/privoxy/quillnet-base.action
        DESTINATION ${QUILLNET_INSTALL_DIR}/privoxy)
install(PROGRAMS ${QUILLNET_RESOURCES}/adapter/tapinstall DESTINATION ${QUILLNET_INSTALL_DIR}/adapter)
install(PROGRAMS ${QUILLNET_RESOURCES}/launcher/quillnet.sh DESTINATION bin RENAME quillnet)
install(FILES ${QUILLNET_RESOURCES}/desktop/quillnet.desktop DESTINATION share/applications)

# Where a user looks first: the manual page, gzipped as Debian keeps them,
# and the AppStream metadata that software centres show, both carrying this
# build's version.
set(QUILLNET_MANUAL ${PROJECT_BINARY_DIR}/man/quillnet.1)
configure_file(${QUILLNET_RESOURCES}/man/quillnet.1.in ${QUILLNET_MANUAL} @ONLY)
add_custom_command(OUTPUT ${QUILLNET_MANUAL}.gz
  COMMAND gzip -9nc quillnet.1 > quillnet.1.gz
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man
  DEPENDS ${QUILLNET_MANUAL}
  COMMENT "Compressing the manual page")
add_custom_target(quillnet_manual ALL DEPENDS ${QUILLNET_MANUAL}.gz)
install(FILES ${QUILLNET_MANUAL}.gz DESTINATION share/man/man1)
set(QUILLNET_METAINFO ${PROJECT_BINARY_DIR}/metainfo/net.quillnet.Quillnet.metainfo.xml)
configure_file(${QUILLNET_RESOURCES}/desktop/net.quillnet.Quillnet.metainfo.xml.in
  ${QUILLNET_METAINFO} @ONLY)
install(FILES ${QUILLNET_METAINFO} DESTINATION share/metainfo)
# The tunnel service: the system bus starts it (through systemd where there
# is one) when a client calls it; polkit decides who may connect.
install(TARGETS quillnet-tunneld RUNTIME DESTINATION ${QUILLNET_INSTALL_DIR})
install(FILES ${QUILLNET_RESOURCES}/tunneld/net.quillnet.Tunnel.conf DESTINATION share/dbus-1/system.d)
install(FILES ${QUILLNET_RESOURCES}/tunneld/net.quillnet.Tunnel.service
        DESTINATION share/dbus-1/system-services)
install(FILES ${QUILLNET_RESOURCES}/tunneld/quillnet-tunneld.service
              ${QUILLNET_RESOURCES}/tunneld/quillnet-tunneld-recover.service
        DESTINATION lib/systemd/system)
install(FILES ${QUILLNET_RESOURCES}/tunneld/net.quillnet.tunnel.policy
        DESTINATION share/polkit-1/actions)
# The icons install with their generator (tools/pictures).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillnet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Korvex)
set(CPACK_PACKAGE_CONTACT "Korvex <support@quillnet.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop client for the Quillnet privacy service")
set(CPACK_PACKAGE_DESCRIPTION "Logs in to the Quillnet service, keeps an OpenVPN tunnel to it, runs
Privoxy as a local web filter and offers anonymous mail aliases through a
local SMTP proxy.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
# Whatever the builder's umask, no folder in the package is writable but by root.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The libraries come from dpkg-shlibdeps; what the program loads at run time
# it must name itself: OpenVPN and Privoxy, which it starts, Qt's MNG
# reader for the busy animation, the system bus and polkit, which start
# and authorise the tunnel service, nft, with which the tunnel holds
# traffic back while it is down, and libsecret, which QtKeychain loads to
# reach the desktop's keyring (libqt6keychain1 itself comes from
# dpkg-shlibdeps).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "openvpn, privoxy, qt6-image-formats-plugins, dbus, polkitd, nftables, libsecret-1-0")
# Wayland desktops need Qt's Wayland plugin (without it the client uses X11
# through XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Stopping the tunnel service before removal, lifting a block it left and
# putting back the resolver file; enabling the boot-time recovery.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${QUILLNET_RESOURCES}/package/postinst ${QUILLNET_RESOURCES}/package/prerm
    ${QUILLNET_RESOURCES}/package/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
