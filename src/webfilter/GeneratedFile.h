#pragma once

#include <QByteArray>
#include <QString>

// A configuration file the client writes for Privoxy.
//
// Privoxy re-reads a changed file only when its modification time, in whole
// seconds, differs from the one it last read, so every write leaves a time
// other than the last one: two changes within one second would otherwise
// leave the older choices in force. The write is atomic, so a request arriving
// mid-write never sees half a file.
class GeneratedFile
{
public:
    // Width of the comment rules in both files.
    static constexpr int lineWidth = 73;

    // The comment block both generated files start with.
    static QString header();

    // Replaces the file's content; false (and the old file untouched) when
    // it cannot be written.
    [[nodiscard]] static bool write(const QString &path, const QString &text);
};
