#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

// Runs the event loop until `done` holds (true) or `timeoutMs` have passed
// (false). QTest::qWaitFor and the QTRY_ macros sleep 10 ms after every
// pass of the event loop, so code under test in this thread that needs many
// passes (a proxy reading a message in small pieces, a dialogue of many
// lines) advances only a step per 10 ms; this wait sleeps only while no
// event is due.
template <typename Predicate> bool waitUntil(Predicate done, int timeoutMs = 5000)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Wakes the loop for a condition that no event of this thread announces,
    // and at the deadline.
    QTimer poll;
    poll.start(10);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}
