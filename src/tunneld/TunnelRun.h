#pragma once

#include <QObject>
#include <memory>

class ConsoleProcess;
class QTemporaryDir;
struct StartRequest;

// One OpenVPN run of the service: a fresh root-only folder holding the
// caller's configuration and certificate, and the system's OpenVPN on a
// terminal, reading from that folder. The folder goes when the run ends.
class TunnelRun : public QObject
{
    Q_OBJECT

public:
    // The program is fixed: a caller never names what root runs.
    static constexpr char Program[] = "/usr/sbin/openvpn";
    static constexpr qint64 MaxUnreadInput = 64 * 1024;

    // Runs live in folders under `baseFolder`, which is made root-only.
    explicit TunnelRun(const QString &baseFolder, QObject *parent = nullptr);
    ~TunnelRun() override;

    // Writes the files of a request that check() accepted, so that OpenVPN
    // can start the moment the caller is authorised. False with the reason
    // in `error`, and nothing left behind; the files go with the run.
    bool prepare(const StartRequest &request, QString *error);
    // Starts OpenVPN on the prepared files.
    bool start(QString *error);

    // False, writing nothing, while OpenVPN has not read this much of what
    // was written before: a caller cannot fill root's memory.
    bool write(const QByteArray &bytes);
    bool isEchoOff() const;
    // SIGTERM first, then harder (ConsoleProcess::stop()).
    void stop();
    void kill();

signals:
    void output(const QByteArray &bytes);
    void finished(int exitCode, bool crashed);

private:
    QString baseFolder;
    std::unique_ptr<QTemporaryDir> folder;
    QStringList arguments;
    ConsoleProcess *process;
};
