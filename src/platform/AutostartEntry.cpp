#include "platform/AutostartEntry.h"

#include "core/Installation.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

namespace {

// The package's own entry, compiled in: the copy that a session starts
// carries its names, comment and icon in every language.
const char PackageEntry[] = ":/data/quillnet.desktop";
const char MainGroup[] = "[Desktop Entry]";
// The keys this copy sets itself; the package's entry gives the others.
const char *const OwnKeys[] = {"Exec", "TryExec", "Path", "Hidden", "X-GNOME-Autostart-enabled"};

// Characters that make an Exec argument need quotes.
const QLatin1String ExecReserved(" \t\n\"'\\><~|&;$*?#()`");

QString keyOf(const QString &line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals < 0 ? QString() : line.left(equals).trimmed();
}

QString valueOf(const QString &line)
{
    return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
}

// A string value: backslashes doubled, a leading space kept as "\s".
QString stringValue(const QString &text)
{
    QString value = text;
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    if (value.startsWith(QLatin1Char(' ')))
        value.replace(0, 1, QLatin1String("\\s"));
    return value;
}

// One argument of Exec, as a session splits the line without a shell: quoted
// where it holds a reserved character, with '"', '`', '$' and '\' escaped
// inside the quotes; then a string value.
QString execArgument(const QString &argument)
{
    if (std::none_of(argument.begin(), argument.end(),
                     [](QChar c) { return QString(ExecReserved).contains(c); }))
        return stringValue(argument);
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (QStringLiteral("\"`$\\").contains(c))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return stringValue(quoted + QLatin1Char('"'));
}

// The lines of the [Desktop Entry] group, without its header; the other
// groups are the application's actions, which a session never starts.
QStringList mainGroupLines(QIODevice &file)
{
    QStringList lines;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QLatin1String(MainGroup);
        else if (inMainGroup)
            lines << line;
    }
    return lines;
}

// Why `path` cannot be written so that every session reads it back, with
// the path; empty when it can. No value carries a line break or another
// control character. In Exec, '%' would be written "%%", but GLib (GNOME's
// sessions) then looks for the program under that very name.
QString unwritable(const QString &path, bool inExec)
{
    if (inExec && path.contains(QLatin1Char('%')))
        return path + QStringLiteral(": a '%' in the path");
    if (std::any_of(path.begin(), path.end(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }))
        return path + QStringLiteral(": a control character in the path");
    return QString();
}

} // namespace

QString AutostartEntry::path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/quillnet.desktop");
}

bool AutostartEntry::isEnabled()
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QStringList lines = mainGroupLines(file);
    return std::none_of(lines.begin(), lines.end(), [](const QString &line) {
        const QString key = keyOf(line);
        return (key == QLatin1String("Hidden") && valueOf(line) == QLatin1String("true")) ||
               (key == QLatin1String("X-GNOME-Autostart-enabled") &&
                valueOf(line) == QLatin1String("false"));
    });
}

QByteArray AutostartEntry::text(const Installation &installation, const QString &workingFolder,
                                QString *error)
{
    const QString launcher = installation.launcher();
    const bool ownFolder = !installation.hasLauncher();
    QString problem = unwritable(launcher, true);
    if (problem.isEmpty() && ownFolder)
        problem = unwritable(workingFolder, false);
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return QByteArray();
    }
    QFile package{QLatin1String(PackageEntry)};
    if (!package.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = package.fileName() + QStringLiteral(": ") + package.errorString();
        return QByteArray();
    }

    QStringList lines{
        QStringLiteral("# Quillnet's \"Start Quillnet when I log in\": unticking it removes this "
                       "file.")};
    lines << QLatin1String(MainGroup);
    for (const QString &line : mainGroupLines(package)) {
        const QString key = keyOf(line);
        if (std::none_of(std::begin(OwnKeys), std::end(OwnKeys),
                         [&](const char *own) { return key == QLatin1String(own); }))
            lines << line;
    }
    lines << QStringLiteral("TryExec=") + stringValue(launcher)
          << QStringLiteral("Exec=") + execArgument(launcher);
    // The program itself reads and writes in the folder it starts in.
    if (ownFolder)
        lines << QStringLiteral("Path=") + stringValue(workingFolder);
    lines << QStringLiteral("X-GNOME-Autostart-enabled=true");
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

bool AutostartEntry::enable(const Installation &installation, const QString &workingFolder,
                            QString *error)
{
    const QByteArray content = text(installation, workingFolder, error);
    if (content.isEmpty())
        return false;
    const QString folder = QFileInfo(path()).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = folder + QStringLiteral(": cannot be created");
        return false;
    }
    return AtomicFile::replace(path(), content, 0644, error);
}

bool AutostartEntry::disable(QString *error)
{
    QFile entry(path());
    const QFileInfo info(entry.fileName());
    if (!info.exists() && !info.isSymLink())
        return true;
    if (entry.remove())
        return true;
    if (error)
        *error = entry.fileName() + QStringLiteral(": ") + entry.errorString();
    return false;
}
