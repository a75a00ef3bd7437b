#pragma once

#include <QDBusVirtualObject>
#include <QMutex>
#include <QStringList>

// systemd-resolved's manager object as far as a tunnel configures a link:
// SetLinkDNS, SetLinkDomains, SetLinkDefaultRoute and RevertLink. It
// answers like resolved (an error for arguments resolved refuses and for an
// interface index no link of this network namespace has) and records every
// call it accepted as one line, e.g.
//   SetLinkDNS 7 2:10.8.0.1 10:fd00::1
//   SetLinkDomains 7 corp.test:false .:true
//   SetLinkDefaultRoute 7 true
//   RevertLink 7
// also appended to a file, when one is given, for scripts.
class ResolvedStandIn : public QDBusVirtualObject
{
public:
    static constexpr char Path[] = "/org/freedesktop/resolve1";

    explicit ResolvedStandIn(const QString &recordFile = QString());

    QStringList calls() const;
    void clear();

    QString introspect(const QString &) const override { return QString(); }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;

private:
    // The call as a line, or an empty string with the error resolved gives.
    QString describe(const QDBusMessage &message, QString *errorName, QString *errorText) const;
    void record(const QString &line);

    mutable QMutex lock;
    QStringList recorded;
    QString recordFile;
};
