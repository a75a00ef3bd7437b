#pragma once

#include <QObject>

class QSocketNotifier;

// Brings SIGTERM, SIGINT and SIGHUP (end of the session, Ctrl-C, a service
// manager, a closed terminal) into the event loop, so that the program ends
// through its ordinary shut-down and stops its child processes. The handler
// only writes the signal number into a socket pair; everything else happens
// on the GUI thread when the notifier fires.
class TerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    bool isActive() const { return notifier != nullptr; }

signals:
    void received(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *notifier = nullptr;

    Q_DISABLE_COPY_MOVE(TerminationSignals)
};
