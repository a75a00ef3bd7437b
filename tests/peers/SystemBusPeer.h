#pragma once

#include <QList>
#include <QMutex>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

class ResolvedStandIn;

// A private D-Bus daemon configured like a system bus (method calls denied
// unless a policy file allows them, services started by activation), with
// a stand-in for polkit on it (and for systemd-resolved, when asked) that answers as the test says
// and records what it was asked. start() points DBUS_SYSTEM_BUS_ADDRESS at it, for this process and
// everything it starts, the bus's activated services included. Any user may connect.
class SystemBusPeer
{
public:
    // One CheckAuthorization as polkit received it.
    struct Question
    {
        QString subjectKind;
        QString subjectName;
        QString action;
        uint flags = 0;
    };

    ~SystemBusPeer();

    static bool isAvailable();
    // Policy files are read by the daemon as the system's from system.d/.
    bool start(const QStringList &policyFiles);
    QString address() const { return busAddress; }
    QString errorString() const { return error; }

    // Makes a service activatable: `serviceFile` as shipped, its Exec line
    // replaced by `exec`. Takes effect at once (the bus is told to reload).
    bool addActivatableService(const QString &serviceFile, const QString &exec);

    void setAuthorized(bool authorized);
    static constexpr uint NoUid = uint(-1);
    // The callers of user `uid` (NoUid: none) are refused, after `delayMs`.
    void setRefused(uint uid, int delayMs);
    // Everyone is refused `action` (empty: none), at once.
    void setRefusedAction(const QString &action);
    QList<Question> questions() const;
    void clearQuestions();

    // Stands in for systemd-resolved as well (see ResolvedStandIn), its
    // calls also appended to `recordFile` when one is given. After start().
    bool standInForResolved(const QString &recordFile = QString());
    QStringList resolvedCalls() const;
    void clearResolvedCalls();

private:
    class Authority;
    QTemporaryDir folder;
    QProcess bus;
    QString busAddress;
    QString error;
    QThread authorityThread;
    Authority *authority = nullptr;
    ResolvedStandIn *resolved = nullptr;
};
