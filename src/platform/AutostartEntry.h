#pragma once

#include <QByteArray>
#include <QString>

class Installation;

// The user's wish that the client start with their desktop session: an XDG
// autostart entry, quillnet.desktop in $XDG_CONFIG_HOME/autostart
// (~/.config/autostart). The file is the only record of the wish, so that
// what the desktop's own tools do to it (remove it, turn it off) is what
// the client shows.
namespace AutostartEntry {

QString path();

// True when a session would start the entry: it is there and neither
// Hidden nor turned off (X-GNOME-Autostart-enabled=false).
bool isEnabled();

// The package's desktop entry, starting the launcher of `installation`
// directly (no shell; TryExec lets the session pass over it once that is
// gone), or the program itself in `workingFolder` where there is no
// launcher. Empty, with the reason in `error`, for a path an Exec line
// cannot carry.
QByteArray text(const Installation &installation, const QString &workingFolder,
                QString *error = nullptr);

// Writes the entry whole or not at all; false with a one-line reason.
bool enable(const Installation &installation, const QString &workingFolder,
            QString *error = nullptr);
// Removes this entry, and no other; true when it is gone.
bool disable(QString *error = nullptr);

} // namespace AutostartEntry
