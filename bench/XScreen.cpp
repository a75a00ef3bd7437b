#include "XScreen.h"

#include "BenchSupport.h"
#include "ChildProcess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <utility>

namespace {

const char CookieName[] = "MIT-MAGIC-COOKIE-1";

void appendField(QByteArray &entry, const QByteArray &field)
{
    entry.append(char(field.size() >> 8)).append(char(field.size() & 0xff)).append(field);
}

} // namespace

XScreen::~XScreen()
{
    stop();
}

// An entry of the family "any address": the server takes every cookie of
// its file, and clients take it for the display number it names.
bool XScreen::writeAuthority(const QByteArray &number)
{
    QByteArray entry("\xff\xff", 2);
    appendField(entry, QByteArray());
    appendField(entry, number);
    appendField(entry, CookieName);
    appendField(entry, cookie);
    return writeFile(authority, entry);
}

bool XScreen::start(const QString &folder)
{
    stop();
    authority = folder + QStringLiteral("/Xauthority");
    cookie.resize(16);
    for (char &byte : cookie)
        byte = char(QRandomGenerator::global()->bounded(256));
    if (!writeAuthority(QByteArray())) {
        error = QStringLiteral("cannot write ") + authority;
        return false;
    }
    xvfb.setStandardErrorFile(folder + QStringLiteral("/xvfb.log"));
    xvfb.start(QStringLiteral("Xvfb"),
               {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-auth"),
                authority, QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                QStringLiteral("-noreset")});
    // Xvfb names its display on the descriptor once it accepts clients.
    while (!xvfb.canReadLine() && xvfb.waitForReadyRead(10000)) {
    }
    displayNumber = QString::fromLatin1(xvfb.readLine().trimmed());
    if (displayNumber.isEmpty()) {
        error = QStringLiteral("Xvfb did not start: ") + xvfb.errorString();
        stop();
        return false;
    }
    if (!writeAuthority(displayNumber.toLatin1()) || !connectToServer()) {
        error = QStringLiteral("cannot connect to Xvfb on ") + display();
        stop();
        return false;
    }
    return true;
}

bool XScreen::connectToServer()
{
    xcb_auth_info_t auth{int(sizeof CookieName - 1), const_cast<char *>(CookieName),
                         int(cookie.size()), cookie.data()};
    connection =
        xcb_connect_to_display_with_auth_info(display().toLatin1().constData(), &auth, nullptr);
    if (xcb_connection_has_error(connection))
        return false;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    netWmName = atom("_NET_WM_NAME");
    utf8String = atom("UTF8_STRING");
    return !xcb_connection_has_error(connection);
}

void XScreen::stop()
{
    if (connection) {
        xcb_disconnect(connection);
        connection = nullptr;
    }
    stopChildProcess(xvfb);
    displayNumber.clear();
}

xcb_atom_t XScreen::atom(const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

QByteArray XScreen::title(xcb_window_t window)
{
    QByteArray text;
    for (const auto &[property, type] :
         {std::pair(netWmName, utf8String),
          std::pair(xcb_atom_t(XCB_ATOM_WM_NAME), xcb_atom_t(XCB_ATOM_STRING))}) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            connection, xcb_get_property(connection, 0, window, property, type, 0, 256), nullptr);
        if (reply)
            text = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                              xcb_get_property_value_length(reply));
        free(reply);
        if (!text.isEmpty())
            break;
    }
    return text;
}

void XScreen::discardEvents()
{
    xcb_flush(connection);
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection))
        free(event);
}

double XScreen::waitForWindow(const QByteArray &wanted, QProcess &program,
                              const QElapsedTimer &clock, int timeoutMs)
{
    pollfd server{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (clock.elapsed() < timeoutMs && !xcb_connection_has_error(connection)) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const double at = elapsedMs(clock);
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            const bool found = mapped && !map->override_redirect && title(map->window) == wanted;
            free(event);
            if (found)
                return at;
        }
        // The program's end is noticed within a poll interval.
        if (program.waitForFinished(0) || program.state() == QProcess::NotRunning)
            return -1;
        poll(&server, 1, 20);
    }
    return -1;
}
