#pragma once

#include <thread>

// Reads the desktop's font configuration on a thread of its own while the
// application connects to the display. The login dialog's first line of
// text needs it, and reading it (some dozens of XML files) is the largest
// single cost between start and a window on the screen. The toolkit's own
// reading then finds it done; were it to come first, the two readings only
// cost what one did before, as the font library keeps whichever ends first.
//
// Nothing happens when the toolkit was built without that library.
class FontConfigWarmUp
{
public:
    FontConfigWarmUp();
    // Waits for the reading to end: by then it has long ended.
    ~FontConfigWarmUp();

    FontConfigWarmUp(const FontConfigWarmUp &) = delete;
    FontConfigWarmUp &operator=(const FontConfigWarmUp &) = delete;

private:
    void *library = nullptr;
    std::thread reader;
};
