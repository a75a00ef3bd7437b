// Who holds the other end of an accepted loopback connection, with real
// sockets: this process's own, and one of another user (needs root).

#include "platform/LocalPeerOwner.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <unistd.h>

namespace {

const uint nobody = 65534;
// The system's interpreter: another user may not reach one installed under
// root's home.
const QString systemPython = QStringLiteral("/usr/bin/python3");

// Connects to the port as uid 65534 and stays until its input closes.
const char foreignClient[] = R"(
import socket, sys
s = socket.create_connection((sys.argv[1], int(sys.argv[2])))
print("connected", flush=True)
sys.stdin.read()
)";

} // namespace

class TestLocalPeerOwner : public QObject
{
    Q_OBJECT

private slots:
    void ownerOfAcceptedConnection_data()
    {
        QTest::addColumn<QHostAddress>("address");
        QTest::addColumn<bool>("foreign");
        for (const bool foreign : {false, true}) {
            const QByteArray who = foreign ? "another user, " : "this user, ";
            QTest::newRow(who + "127.0.0.1") << QHostAddress(QHostAddress::LocalHost) << foreign;
            QTest::newRow(who + "::1") << QHostAddress(QHostAddress::LocalHostIPv6) << foreign;
        }
    }

    void ownerOfAcceptedConnection()
    {
        QFETCH(QHostAddress, address);
        QFETCH(bool, foreign);
        if (foreign && (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty() ||
                        !QFile::exists(systemPython)))
            QSKIP("needs root, setpriv and the system's python3 to act as another user");
        QTcpServer server;
        if (!server.listen(address))
            QSKIP("this loopback address is not available here");

        QTcpSocket own;
        QProcess other;
        if (foreign) {
            other.start("setpriv",
                        {"--reuid=65534", "--regid=65534", "--clear-groups", systemPython, "-c",
                         foreignClient, address.toString(), QString::number(server.serverPort())});
            QVERIFY(other.waitForReadyRead(10000));
        } else {
            own.connectToHost(address, server.serverPort());
            QVERIFY(own.waitForConnected(5000));
        }
        QVERIFY(server.waitForNewConnection(5000));
        QTcpSocket *accepted = server.nextPendingConnection();

        const std::unique_ptr<LocalPeerOwner> owner = LocalPeerOwner::create();
        const std::optional<uint> uid = owner->ownerOf(*accepted);
        QVERIFY(uid.has_value());
        QCOMPARE(*uid, foreign ? nobody : uint(::geteuid()));
        QCOMPARE(owner->isSameUser(*accepted), !foreign);

        if (foreign) {
            other.closeWriteChannel();
            QVERIFY(other.waitForFinished(10000));
        }
    }
};

QTEST_GUILESS_MAIN(TestLocalPeerOwner)
#include "tst_localpeerowner.moc"
