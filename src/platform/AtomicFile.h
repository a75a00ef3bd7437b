#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Replaces a file so that a reader (or a crash) sees either the old entry or
// the whole new one: the new content goes into a fresh entry beside the
// target (created exclusively, so no planted link is followed), is synced
// and renamed into place. The rename replaces whatever entry was there, a
// link included, instead of writing through it.
namespace AtomicFile {

// False, with the target untouched and a one-line reason in `error`, when
// the content could not be stored whole. `mode` are the permission bits the
// new file gets.
[[nodiscard]] bool replace(const QString &path, const QByteArray &content, mode_t mode,
                           QString *error = nullptr);

// The same for a symbolic link pointing at `target`.
[[nodiscard]] bool replaceWithLink(const QString &path, const QByteArray &target,
                                   QString *error = nullptr);

} // namespace AtomicFile
