#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>

// Asks polkit whether the sender of a bus message may do an action,
// without blocking: a caller answering a password dialog must not hold up
// the service for everyone else. The wait is bounded; no answer in time is
// a failure, never a yes.
class PolkitAuthority : public QObject
{
    Q_OBJECT

public:
    enum class Answer
    {
        Authorized,
        Denied,
        Failed // polkit could not be asked, or did not answer in time
    };
    using Callback = std::function<void(Answer answer, const QString &detail)>;

    explicit PolkitAuthority(const QDBusConnection &bus, QObject *parent = nullptr);

    // `done` is called once, from the event loop, unless this object is
    // destroyed first.
    void check(const QString &busName, const QString &action, Callback done);

private:
    QDBusConnection bus;
};
