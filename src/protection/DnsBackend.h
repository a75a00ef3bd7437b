#pragma once

#include "protection/PushedOptions.h"

#include <QObject>
#include <QString>

// Points the system's resolver at the servers the tunnel's server pushed,
// and back. Every call ends in exactly one finished(), always from the
// event loop (never from inside the call), so a caller may connect after
// calling; nothing waits on another process meanwhile.
class DnsBackend : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // `ifindex` is the tunnel device's interface index. Nothing is changed
    // when nothing usable was pushed.
    virtual void apply(const QString &device, int ifindex, const PushedOptions &options) = 0;
    // Undoes what apply() did; a no-op when it did nothing.
    virtual void revert() = 0;
    // For the one log line: what is (or was last) applied, and how.
    virtual QString describe() const = 0;

signals:
    void finished(bool ok, const QString &detail);

protected:
    void finishLater(bool ok, const QString &detail);
    // "10.8.0.1, fd00::1"
    static QString listed(const QList<QHostAddress> &servers);
};
