#pragma once

#include <QString>

// How browsers on this machine name the system in their user agent.

// The operating-system part: "Windows NT <major>.<minor>" on Windows,
// "Linux <machine>" (for example "Linux x86_64") on Linux. Empty when the
// system cannot be read.
QString currentOsToken();

// The platform word beside it: "Windows" on Windows, "X11" on Linux.
QString currentPlatformWord();
