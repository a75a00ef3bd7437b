#pragma once

#include <QFile>
#include <QObject>
#include <QProcess>
#include <QStringList>

// Runs Privoxy ("privoxy/Quillnet_webfilter" in the app folder) as the local
// web filter on 127.0.0.1:10080 (or the deployment's port) and writes the two files its
// "config.txt" loads: the action file with the user's choices and the filter file. All Privoxy
// prints is copied to "log-privoxy.txt".
class WebFilter : public QObject
{
    Q_OBJECT

public:
    explicit WebFilter(QObject *parent = nullptr);
    ~WebFilter() override;

    // The owner reads the state of the process and may end it directly.
    QProcess *process() const { return proc; }

signals:
    void privoxyStarted();
    void privoxyStopped();
    // Privoxy could not listen on its port; reported once per start. The
    // user interface shows it as a critical message box.
    void bindError(const QString &title, const QString &text);
    // Privoxy could not be run at all (missing or not executable); the
    // reason is the operating system's.
    void startFailed(const QString &reason);
    // One of the two generated files could not be written: Privoxy goes on
    // with what the file held before, not with the user's choices.
    void fileNotWritten(const QString &path);

public slots:
    // Rewrites the filter file (also while running) and starts Privoxy
    // unless it is starting or running.
    void startPrivoxy();
    // Ends a starting or running Privoxy; privoxyStopped() follows.
    void stopPrivoxy();
    void updateActionFile(bool x_advert, bool x_cookie, bool x_hdr, QStringList os,
                          QString browser);
    void finished(int exitCode, QProcess::ExitStatus exitStatus);
    void checkLine();

private:
    void writeFilterFile();
    // The configuration Privoxy is started with, in "privoxy/".
    const char *configFile();
    void write(const QString &path, const QString &text);

    QProcess *proc;
    QFile log;
    bool bindFailed = false;

    Q_DISABLE_COPY_MOVE(WebFilter)
};
