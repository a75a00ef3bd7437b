#include "protection/ResolvConfDns.h"

#include "platform/AtomicFile.h"
#include "platform/PrivateFile.h"
#include "platform/PrivateRuntimeFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char MarkerName[] = "resolv.conf.marker";
const char MarkerMagic[] = "quillnet resolv.conf marker 1";
// Far beyond any real resolv.conf; a bigger one is not read (nor replaced).
constexpr qsizetype MaxContent = 256 * 1024;

// What is at the resolv.conf path.
struct Entry
{
    enum Kind
    {
        None,
        File,
        Link
    };
    Kind kind = None;
    QByteArray data; // the content of a file, the target of a link
    mode_t mode = 0644;
};

// The marker: what was there before, (a hash of) what was written, and
// how: by replacing the entry, or into the file itself where its folder is
// read-only (the tunnel service's sandbox leaves only the file writable).
struct Marker
{
    QByteArray path;
    QByteArray writtenHash;
    Entry before;
    bool inPlace = false;
};

// The first lines of every file written here.
const char WrittenHeader[] =
    "# Written by Quillnet while its tunnel is up: names are resolved through\n"
    "# the tunnel. The previous file comes back when the tunnel ends.\n";

QString systemError(const QString &what)
{
    return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray hashOf(const QByteArray &content)
{
    return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
}

// With `follow`, a link is read as the file it leads to (one written in
// place); a link to nothing is then no entry.
bool readEntry(const QString &path, Entry *entry, QString *error, qsizetype limit = MaxContent,
               bool follow = false)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if ((follow ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info)) != 0) {
        if (errno != ENOENT) {
            *error = systemError(path);
            return false;
        }
        *entry = Entry();
        return true;
    }
    if (S_ISLNK(info.st_mode)) {
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(name.constData(), target.data(), size_t(target.size()));
        if (length <= 0 || length >= target.size()) {
            *error = systemError(path);
            return false;
        }
        *entry = {Entry::Link, target.left(length), 0777};
        return true;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > limit) {
        *error = path + QStringLiteral(": neither a file of a usual size nor a link");
        return false;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *error = systemError(path);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    *entry = {Entry::File, file.read(limit + 1), mode_t(info.st_mode & 0777)};
    if (entry->data.size() > limit) {
        *error = path + QStringLiteral(": too big");
        return false;
    }
    return true;
}

bool isOurs(const Entry &current, const Marker &marker)
{
    if (current.kind != Entry::File)
        return false;
    if (hashOf(current.data) == marker.writtenHash)
        return true;
    // A write in place that a crash cut short leaves the file empty or with
    // a beginning of ours; nobody else writes our first lines.
    const QByteArray header(WrittenHeader);
    return marker.inPlace && (header.startsWith(current.data) || current.data.startsWith(header));
}

QByteArray kindName(Entry::Kind kind)
{
    return kind == Entry::File ? "file" : kind == Entry::Link ? "link" : "none";
}

QByteArray markerText(const Marker &marker)
{
    return QByteArray(MarkerMagic) + "\npath " + marker.path.toHex() + "\nwrote " +
           marker.writtenHash + "\nkind " + kindName(marker.before.kind) + "\nmode " +
           QByteArray::number(marker.before.mode & 0777, 8) + "\nwrite " +
           (marker.inPlace ? "in-place" : "replace") + "\n\n" + marker.before.data;
}

// False with `error` for a marker that is there but cannot be understood;
// `found` tells whether there was one at all.
bool readMarker(const QString &folder, Marker *marker, bool *found, QString *error)
{
    Entry stored;
    const QString markerPath = QDir(folder).filePath(QLatin1String(MarkerName));
    // The marker holds a whole backup besides its few lines.
    if (!readEntry(markerPath, &stored, error, 2 * MaxContent))
        return false;
    *found = stored.kind != Entry::None;
    if (!*found)
        return true;
    const qsizetype end = stored.data.indexOf("\n\n");
    const QByteArrayList header = stored.data.left(end).split('\n');
    *error = markerPath + QStringLiteral(": not understood; left in place");
    // Markers of earlier versions have no "write" line: they replaced.
    if (stored.kind != Entry::File || end < 0 || header.size() < 5 || header.size() > 6 ||
        header.at(0) != MarkerMagic)
        return false;
    QHash<QByteArray, QByteArray> fields;
    for (const QByteArray &line : header.mid(1)) {
        const qsizetype space = line.indexOf(' ');
        fields.insert(line.left(space), space < 0 ? QByteArray() : line.mid(space + 1));
    }
    bool modeOk = false;
    marker->path = QByteArray::fromHex(fields.value("path"));
    marker->writtenHash = fields.value("wrote");
    marker->before.mode = mode_t(fields.value("mode").toUInt(&modeOk, 8) & 0777);
    marker->before.data = stored.data.mid(end + 2);
    const QByteArray kind = fields.value("kind");
    const QByteArray write = fields.value("write", "replace");
    marker->inPlace = write == "in-place";
    if (!marker->inPlace && write != "replace")
        return false;
    marker->before.kind = kind == "file" ? Entry::File : kind == "link" ? Entry::Link : Entry::None;
    return modeOk && marker->writtenHash.size() == 64 && kindName(marker->before.kind) == kind;
}

bool removeMarker(const QString &folder, QString *error)
{
    const QString markerPath = QDir(folder).filePath(QLatin1String(MarkerName));
    if (::unlink(QFile::encodeName(markerPath).constData()) == 0 || errno == ENOENT)
        return true;
    *error = systemError(markerPath);
    return false;
}

bool putBack(const QString &path, const Marker &marker, QString *error)
{
    const Entry &before = marker.before;
    if (marker.inPlace)
        return AtomicFile::overwrite(path, before.data, error);
    switch (before.kind) {
    case Entry::File:
        return AtomicFile::replace(path, before.data, before.mode, error);
    case Entry::Link:
        return AtomicFile::replaceWithLink(path, before.data, error);
    case Entry::None:
        if (::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
            return true;
        *error = systemError(path);
        return false;
    }
    return false;
}

QByteArray resolvConf(const QList<QHostAddress> &servers, const QStringList &domains)
{
    QByteArray text = WrittenHeader;
    for (const QHostAddress &server : servers)
        text += "nameserver " + server.toString().toLatin1() + '\n';
    if (!domains.isEmpty())
        text += "search " + domains.join(QLatin1Char(' ')).toLatin1() + '\n';
    return text;
}

} // namespace

ResolvConfDns::ResolvConfDns(const QString &stateFolder, const QString &path, QObject *parent)
    : DnsBackend(parent), stateFolder(stateFolder), path(path)
{
}

void ResolvConfDns::apply(const QString &device, int ifindex, const PushedOptions &options)
{
    Q_UNUSED(device)
    Q_UNUSED(ifindex)
    const PushedOptions checked = options.checked();
    const QList<QHostAddress> servers = checked.tunnelDnsServers().mid(0, MaxWrittenServers);
    if (servers.isEmpty()) {
        finishLater(true, path + QStringLiteral(": no name servers pushed, unchanged"));
        return;
    }
    QString error;
    Entry current;
    Marker marker;
    bool hadMarker = false;
    // Under the tunnel service's sandbox only the file itself is writable.
    const bool inPlace = AtomicFile::folderIsReadOnly(path);
    if (!PrivateRuntimeFolder::makePrivate(stateFolder, &error) ||
        !readMarker(stateFolder, &marker, &hadMarker, &error) ||
        !readEntry(path, &current, &error, MaxContent, inPlace)) {
        finishLater(false, error);
        return;
    }
    const QByteArray name = QFile::encodeName(path);
    if (hadMarker && marker.path != name) {
        finishLater(false, stateFolder + QStringLiteral(" keeps another file's backup"));
        return;
    }
    if (inPlace && current.kind != Entry::File) {
        finishLater(false, path + QStringLiteral(": its folder is read-only and there is no "
                                                 "file to write into"));
        return;
    }
    const Marker previous = marker;
    // Applied again (a reconnect) over our own file: the backup stays. Over a
    // file someone else wrote since, theirs is the one to come back later.
    if (!hadMarker || marker.inPlace != inPlace || !isOurs(current, marker))
        marker.before = current;
    marker.inPlace = inPlace;
    const QByteArray content = resolvConf(servers, checked.domains + checked.searchDomains);
    marker.path = name;
    marker.writtenHash = hashOf(content);
    const QString markerPath = QDir(stateFolder).filePath(QLatin1String(MarkerName));
    if (!PrivateFile::write(markerPath, markerText(marker), &error)) {
        finishLater(false, error);
        return;
    }
    const bool stored = inPlace ? AtomicFile::overwrite(path, content, &error)
                                : AtomicFile::replace(path, content, 0644, &error);
    if (!stored) {
        QString ignored;
        // A write in place may have emptied the file: the marker stays until
        // what was there is back.
        const bool untouched = !inPlace || AtomicFile::overwrite(path, current.data, &ignored);
        if (untouched && hadMarker)
            (void)PrivateFile::write(markerPath, markerText(previous), &ignored);
        else if (untouched)
            removeMarker(stateFolder, &ignored);
        finishLater(false, error);
        return;
    }
    written = listed(servers);
    finishLater(true, describe());
}

void ResolvConfDns::revert()
{
    QString detail;
    const bool ok = recover(path, stateFolder, &detail);
    written.clear();
    finishLater(ok, detail);
}

QString ResolvConfDns::describe() const
{
    return QStringLiteral("%1: %2").arg(path, written);
}

bool ResolvConfDns::recover(const QString &path, const QString &stateFolder, QString *detail)
{
    Marker marker;
    bool found = false;
    Entry current;
    if (!readMarker(stateFolder, &marker, &found, detail))
        return false;
    if (!found) {
        // The usual case at every start: nothing worth a line in a log.
        detail->clear();
        return true;
    }
    if (marker.path != QFile::encodeName(path)) {
        *detail = stateFolder + QStringLiteral(" keeps another file's backup");
        return false;
    }
    if (!readEntry(path, &current, detail, MaxContent, marker.inPlace))
        return false;
    if (!isOurs(current, marker)) {
        // Whoever replaced it owns it now; the old backup is of no use.
        removeMarker(stateFolder, detail);
        *detail = path + QStringLiteral(" was changed by someone else meanwhile; left as it is");
        return false;
    }
    if (!putBack(path, marker, detail) || !removeMarker(stateFolder, detail))
        return false;
    *detail = path + QStringLiteral(": the previous one is back");
    return true;
}
