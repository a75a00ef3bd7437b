#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <functional>

class SystemBusPeer;

// What the benchmarks share: the statistics, the way to the source tree's
// peers, small files and OpenVPN run on its own as the baseline of a tunnel.

double median(QList<double> values);

// Milliseconds since the clock was started, with sub-millisecond precision.
double elapsedMs(const QElapsedTimer &clock);

// Runs the event loop until `done` holds; false when timeoutMs passed first.
// Whatever is measured takes its time stamps itself: `done` is only polled.
bool runUntil(const std::function<bool()> &done, int timeoutMs);

// Points the peers at this source tree unless QUILLNET_SOURCE_DIR says otherwise.
void useSourceTree();
QString sourceTree();

// The runnable application folder: QUILLNET_APP_DIR, or the build's.
QString appFolder();

// Settings and runtime files of this process and its children in folders
// below `base`, away from the user's own.
bool usePrivateFolders(const QString &base);

// Writes `content` to `path`, made executable on request; false on failure.
bool writeFile(const QString &path, const QByteArray &content, bool executable = false);

// "<label> median: <value> ms" for each side, their ratio and the goal for it.
void printComparison(const char *label, double value, const char *baselineLabel, double baseline,
                     double goal);

// The tunnel service of the app folder made activatable on `bus`, a private
// bus configured like the system bus with the shipped policy, polkit's
// stand-in saying yes; the service ends a second after its last tunnel and
// keeps its files in `memoryFolder` (see memoryFolderTemplate()).
bool startTunnelServiceBus(SystemBusPeer &bus, const QTemporaryDir &memoryFolder);
// A folder on a file system in memory (/dev/shm), as /run is.
QString memoryFolderTemplate();
// Whether an instance of the service owns its name on the system bus now.
bool tunnelServiceRuns();

// OpenVPN started directly on a configuration, its credentials in a file:
// what any tunnel start costs at least.
class BareOpenVpn
{
public:
    BareOpenVpn(const QString &config, const QString &authFile);
    ~BareOpenVpn();

    // Waits for "Initialization Sequence Completed"; false on failure or timeout.
    bool waitUntilUp(int timeoutMs);
    void stop();

private:
    QProcess openvpn;
};
