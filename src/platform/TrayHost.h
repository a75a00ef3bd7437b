#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCallWatcher;
class QTimer;

// Whether the desktop offers a tray for status icons on the session bus
// (a StatusNotifierWatcher with a host registered), learnt without ever
// waiting for its answer: the watcher is a program of the desktop, and one
// that is busy, hung or hostile must not hold up the windows, nor shutting
// down. The watcher is asked once, again whenever its name changes hands,
// and, while it did not answer in time, now and then until it does.
class TrayHost : public QObject
{
    Q_OBJECT

public:
    enum State
    {
        Asking,       // the first answer is on its way
        Absent,       // nobody owns the watcher's name (or there is no session bus)
        Answered,     // the watcher answered in time; see hostRegistered()
        Unresponsive, // the watcher did not answer in time
    };
    Q_ENUM(State)

    static constexpr const char *WatcherService = "org.kde.StatusNotifierWatcher";
    static constexpr const char *WatcherPath = "/StatusNotifierWatcher";

    // Without a connected `bus` the state is Absent from the start.
    explicit TrayHost(const QDBusConnection &bus, QObject *parent = nullptr,
                      int answerWithinMs = DefaultAnswerWithinMs,
                      int askAgainAfterMs = DefaultAskAgainAfterMs);

    State state() const { return current; }
    // The watcher's answer: a tray shows the icons it is given.
    bool hostRegistered() const { return current == Answered && registered; }

    static constexpr int DefaultAnswerWithinMs = 1000;
    static constexpr int DefaultAskAgainAfterMs = 15000;

signals:
    void stateChanged(TrayHost::State state);

private:
    void ask();
    void takeAnswer(QDBusPendingCallWatcher *answer);
    void settle(State state, bool hostRegistered);

    QDBusConnection bus;
    const int answerWithinMs;
    QTimer *askAgain;
    QDBusPendingCallWatcher *pending = nullptr;
    State current = Asking;
    bool registered = false;

    Q_DISABLE_COPY_MOVE(TrayHost)
};
