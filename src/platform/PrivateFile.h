#pragma once

#include <QByteArray>
#include <QString>

// Writes a file of the working folder so that only its owner can read it
// and nobody can redirect the write: the content goes into a new 0600 file
// beside the target (created exclusively, so no planted link is followed)
// and is renamed into place, which replaces whatever entry was there (a link
// included) instead of writing through it. A reader sees the old file or
// the whole new one. This matters most when the client runs as root in a
// folder its user controls.
namespace PrivateFile {

// False, with the target untouched and a one-line reason in `error`, when
// the content could not be stored whole.
[[nodiscard]] bool write(const QString &path, const QByteArray &content, QString *error = nullptr);

// Opens `path` as a new, empty 0600 file for writing, after removing what
// was there (a link is removed, never followed). -1 with errno on failure.
int createFresh(const QString &path);

} // namespace PrivateFile
