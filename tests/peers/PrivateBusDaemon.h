#pragma once

#include <QString>

class QProcess;

// A dbus-daemon of the tests' own: its configuration and its socket in a
// folder of the test's, never the machine's buses.
namespace PrivateBusDaemon {

bool isAvailable();
// Where the daemon started on `folder` listens, known before it starts.
QString address(const QString &folder);
// Starts `bus` with the configuration elements `elements` (every "%1" in
// them replaced by `folder`) besides the socket and EXTERNAL
// authentication, and waits until it listens. On failure `error` says why.
bool start(QProcess &bus, const QString &folder, const char *elements, QString *error);

} // namespace PrivateBusDaemon
