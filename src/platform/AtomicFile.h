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

// True when nothing can be created beside `path` because its folder lies on
// a read-only mount (a sandbox that leaves only the file itself writable).
bool folderIsReadOnly(const QString &path);

// Where no entry can be made beside the target: truncates the existing
// file (through a link, if it is one) and writes `content` into it, then
// syncs. Not atomic: a crash can leave it empty or cut short, so a caller
// keeps what it needs to recognise and undo such a remnant. A file that is
// no longer in any folder (replaced under a bind mount) is not written.
[[nodiscard]] bool overwrite(const QString &path, const QByteArray &content,
                             QString *error = nullptr);

} // namespace AtomicFile
