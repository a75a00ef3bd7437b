#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <xcb/xcb.h>

class QElapsedTimer;

// A private X screen (Xvfb) for the programs under measurement: only holders
// of its cookie get in. Without a window manager every program's window is a
// child of the root window, and this class watches the root window over a
// connection of its own to see the moment a window is mapped, i.e. shown.
class XScreen
{
public:
    ~XScreen();

    // Starts Xvfb with its cookie in `folder`/Xauthority; false with a reason
    // in errorString().
    bool start(const QString &folder);
    void stop();

    QString display() const { return QStringLiteral(":") + displayNumber; }
    QString authorityFile() const { return authority; }
    QString errorString() const { return error; }

    // Drops what happened on the screen so far.
    void discardEvents();
    // Waits until a top-level window titled `title` is mapped and returns the
    // time on `clock` at which the server told so; -1 when `program` ended or
    // timeoutMs passed first.
    double waitForWindow(const QByteArray &title, QProcess &program, const QElapsedTimer &clock,
                         int timeoutMs);

private:
    bool connectToServer();
    xcb_atom_t atom(const char *name);
    QByteArray title(xcb_window_t window);
    bool writeAuthority(const QByteArray &number);

    QProcess xvfb;
    QString displayNumber;
    QString authority;
    QByteArray cookie;
    QString error;
    xcb_connection_t *connection = nullptr;
    xcb_atom_t netWmName = XCB_ATOM_NONE;
    xcb_atom_t utf8String = XCB_ATOM_NONE;
};
