#include "platform/FontConfigWarmUp.h"

#include <dlfcn.h>
#include <sched.h>

FontConfigWarmUp::FontConfigWarmUp()
{
    // Only where the toolkit already loaded the library: no new dependency,
    // and the same copy the toolkit uses.
    library = ::dlopen("libfontconfig.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return;
    using Init = int (*)();
    const auto init = reinterpret_cast<Init>(::dlsym(library, "FcInit"));
    if (!init)
        return;
    reader = std::thread([init] {
        // Only on a processor nothing else wants: on a machine with few
        // cores the display connection (and the display server) comes
        // first. Should the toolkit ask before this ends, it reads the
        // configuration itself, no later than it would have anyway.
        sched_param idle{};
        ::sched_setscheduler(0, SCHED_IDLE, &idle);
        init();
    });
}

FontConfigWarmUp::~FontConfigWarmUp()
{
    if (reader.joinable())
        reader.join();
    if (library)
        ::dlclose(library);
}
