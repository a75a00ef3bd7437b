#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

// The test mail relay (without its line-length limit) on a free loopback port,
// storing every message it receives in a folder of its own; or another
// relay script of tests/peers taking the same arguments, plus `arguments`.
class SmtpRelayPeer
{
public:
    explicit SmtpRelayPeer(const QString &script = QStringLiteral("smtp_relay_long_lines.py"),
                           const QStringList &arguments = {});
    ~SmtpRelayPeer();

    // False (with the reason in `error`) when the relay did not come up.
    bool start(QString *error);
    quint16 port() const { return relayPort; }

    // Stored messages in arrival order, each with its X-Envelope lines first.
    QList<QByteArray> messages() const;
    // Removes what earlier cases stored.
    void clear();

private:
    QString script;
    QStringList arguments;
    QProcess process;
    QTemporaryDir maildir;
    quint16 relayPort = 0;
};
