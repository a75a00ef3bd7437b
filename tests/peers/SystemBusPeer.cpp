#include "SystemBusPeer.h"

#include "ChildProcess.h"
#include "PrivateBusDaemon.h"
#include "ResolvedStandIn.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <csignal>
#include <sys/prctl.h>

namespace {

const char Connection[] = "quillnet-test-polkit";
const char AuthorityPath[] = "/org/freedesktop/PolicyKit1/Authority";

// Like Debian's system bus: nothing may be called that a policy file does
// not allow; replies and signals flow. The tests stand in for polkit, as
// whichever user they run as.
const char Config[] = R"(  <type>system</type>
  <servicedir>%1/services</servicedir>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
    <allow own="org.freedesktop.PolicyKit1"/>
    <allow send_destination="org.freedesktop.PolicyKit1"/>
    <allow own="org.freedesktop.resolve1"/>
    <allow send_destination="org.freedesktop.resolve1"/>
  </policy>
  <includedir>%1/system.d</includedir>
)";

} // namespace

// polkit's authority object, as far as CheckAuthorization goes.
class SystemBusPeer::Authority : public QDBusVirtualObject
{
public:
    mutable QMutex lock;
    bool authorized = true;
    uint refusedUid = NoUid;
    int refusalDelayMs = 0;
    QString refusedAction;
    QList<Question> asked;

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != QLatin1String("CheckAuthorization") ||
            message.signature() != QLatin1String("(sa{sv})sa{ss}us"))
            return false;
        Question question;
        const QDBusArgument subject = message.arguments().at(0).value<QDBusArgument>();
        QVariantMap details;
        subject.beginStructure();
        subject >> question.subjectKind >> details;
        subject.endStructure();
        question.subjectName = details.value(QStringLiteral("name")).toString();
        question.action = message.arguments().at(1).toString();
        question.flags = message.arguments().at(3).toUInt();
        bool answer;
        uint refused;
        int delayMs;
        const uint subjectUid = connection.interface()->serviceUid(question.subjectName).value();
        {
            QMutexLocker locked(&lock);
            asked << question;
            // polkit asks root for nothing, an administrator's action included.
            answer = authorized && (question.action != refusedAction || subjectUid == 0);
            refused = refusedUid;
            delayMs = refusalDelayMs;
        }
        // One user refused after a while, as polkit would once that user
        // left an agent's password prompt unanswered.
        const bool refusing = refused != NoUid && subjectUid == refused;
        if (refusing)
            answer = false;
        QDBusArgument result;
        result.beginStructure();
        result << answer << false;
        result.beginMap(QMetaType::fromType<QString>(), QMetaType::fromType<QString>());
        result.endMap();
        result.endStructure();
        const QDBusMessage reply = message.createReply(QVariant::fromValue(result));
        if (refusing && delayMs > 0)
            QTimer::singleShot(delayMs, this,
                               [connection = QDBusConnection(connection), reply]() mutable {
                                   connection.send(reply);
                               });
        else
            connection.send(reply);
        return true;
    }
};

SystemBusPeer::~SystemBusPeer()
{
    QDBusConnection::disconnectFromBus(QLatin1String(Connection));
    authorityThread.quit();
    authorityThread.wait();
    delete authority;
    delete resolved;
    stopChildProcess(bus);
}

bool SystemBusPeer::isAvailable()
{
    return PrivateBusDaemon::isAvailable();
}

bool SystemBusPeer::start(const QStringList &policyFiles)
{
    const QDir dir(folder.path());
    // Any user reaches the socket, as on the real system bus.
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther | QFileDevice::ReadGroup |
                                             QFileDevice::ExeGroup);
    dir.mkpath(QStringLiteral("services"));
    dir.mkpath(QStringLiteral("system.d"));
    for (const QString &policy : policyFiles) {
        if (!QFile::copy(policy, dir.filePath(QStringLiteral("system.d/")) +
                                     QFileInfo(policy).fileName())) {
            error = QStringLiteral("cannot copy ") + policy;
            return false;
        }
    }
    busAddress = PrivateBusDaemon::address(folder.path());
    // Before the daemon starts: the services it activates inherit it.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress.toUtf8());
    // A peer that is killed, or crashes, takes its bus with it.
    bus.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    if (!PrivateBusDaemon::start(bus, folder.path(), Config, &error))
        return false;

    QDBusConnection connection =
        QDBusConnection::connectToBus(busAddress, QLatin1String(Connection));
    if (!connection.isConnected() ||
        !connection.registerService(QStringLiteral("org.freedesktop.PolicyKit1"))) {
        error = QStringLiteral("cannot stand in for polkit: ") + connection.lastError().message();
        return false;
    }
    // Its own thread: the tests call the service with blocking calls, and
    // the service asks polkit meanwhile.
    authority = new Authority;
    authority->moveToThread(&authorityThread);
    authorityThread.start();
    return connection.registerVirtualObject(QLatin1String(AuthorityPath), authority);
}

bool SystemBusPeer::addActivatableService(const QString &serviceFile, const QString &exec)
{
    QFile shipped(serviceFile);
    if (!shipped.open(QIODevice::ReadOnly))
        return false;
    QByteArrayList lines = shipped.readAll().split('\n');
    for (QByteArray &line : lines)
        if (line.startsWith("Exec="))
            line = "Exec=" + exec.toUtf8();
    QFile copy(QDir(folder.path()).filePath(QStringLiteral("services/")) +
               QFileInfo(serviceFile).fileName());
    if (!copy.open(QIODevice::WriteOnly) || copy.write(lines.join('\n')) < 0)
        return false;
    copy.close();
    const QDBusMessage reload = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReloadConfig"));
    return QDBusConnection(QLatin1String(Connection)).call(reload).type() ==
           QDBusMessage::ReplyMessage;
}

void SystemBusPeer::setRefused(uint uid, int delayMs)
{
    QMutexLocker locked(&authority->lock);
    authority->refusedUid = uid;
    authority->refusalDelayMs = delayMs;
}

void SystemBusPeer::setRefusedAction(const QString &action)
{
    QMutexLocker locked(&authority->lock);
    authority->refusedAction = action;
}

void SystemBusPeer::setAuthorized(bool authorized)
{
    QMutexLocker locked(&authority->lock);
    authority->authorized = authorized;
}

QList<SystemBusPeer::Question> SystemBusPeer::questions() const
{
    QMutexLocker locked(&authority->lock);
    return authority->asked;
}

void SystemBusPeer::clearQuestions()
{
    QMutexLocker locked(&authority->lock);
    authority->asked.clear();
}

bool SystemBusPeer::standInForResolved(const QString &recordFile)
{
    QDBusConnection connection = QDBusConnection(QLatin1String(Connection));
    if (resolved || !connection.registerService(QStringLiteral("org.freedesktop.resolve1")))
        return false;
    resolved = new ResolvedStandIn(recordFile);
    resolved->moveToThread(&authorityThread);
    return connection.registerVirtualObject(QLatin1String(ResolvedStandIn::Path), resolved);
}

QStringList SystemBusPeer::resolvedCalls() const
{
    return resolved ? resolved->calls() : QStringList();
}

void SystemBusPeer::clearResolvedCalls()
{
    if (resolved)
        resolved->clear();
}
