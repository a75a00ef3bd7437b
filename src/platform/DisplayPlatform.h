#pragma once

#include <QByteArray>

// Which of Qt's display platforms the program asks for. In a Wayland
// session, or when told to use Wayland, Qt aborts if no compositor answers
// (a stale WAYLAND_DISPLAY, a compositor that died); asking for X11 next
// lets the windows show through XWayland or an X server instead.
namespace DisplayPlatform {

// The value QT_QPA_PLATFORM should have, given its own (`requested`),
// XDG_SESSION_TYPE and XDG_CURRENT_DESKTOP; empty when it can stay as it
// is. On GNOME Qt uses X11 even in a Wayland session, and so does this.
QByteArray withFallback(const QByteArray &requested, const QByteArray &sessionType,
                        const QByteArray &desktops);

// Puts that value into the environment; before the application is made.
void addFallback();

} // namespace DisplayPlatform
