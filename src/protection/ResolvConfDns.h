#pragma once

#include "protection/DnsBackend.h"

// Points the resolver at the pushed servers by replacing a resolv.conf, for
// systems without systemd-resolved. What was there before (a file, a link,
// or nothing) is kept in a marker in a private state folder, so that it
// comes back at revert() or, after a crash, at the next start (recover()).
// Only a resolv.conf that is still the one written here is put back: one
// that someone else has replaced since is theirs, and stays.
// Where the file's folder is read-only (the tunnel service's sandbox makes
// all of /etc read-only but resolv.conf itself) the file, or the one its
// link leads to, is written in place instead, and put back the same way.
class ResolvConfDns : public DnsBackend
{
    Q_OBJECT

public:
    // `stateFolder` is made a 0700 folder of this user if it is not one;
    // its parent must exist.
    explicit ResolvConfDns(const QString &stateFolder,
                           const QString &path = QStringLiteral("/etc/resolv.conf"),
                           QObject *parent = nullptr);

    void apply(const QString &device, int ifindex, const PushedOptions &options) override;
    void revert() override;
    QString describe() const override;

    // Puts back what an earlier run left replaced, if there is a marker.
    // True when nothing was left or it is back; `detail` says what happened
    // (empty when there was nothing to do).
    static bool recover(const QString &path, const QString &stateFolder, QString *detail);

    // glibc reads no more than three nameserver lines.
    static constexpr int MaxWrittenServers = 3;

private:
    QString stateFolder;
    QString path;
    QString written; // what describe() reports: the servers last written
};
