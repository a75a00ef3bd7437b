#include "ui/app/AfterFirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {
constexpr int LongestWaitMs = 1000;
} // namespace

void AfterFirstPaint::run(QWidget *window, std::function<void()> work)
{
    new AfterFirstPaint(window, std::move(work));
}

AfterFirstPaint::AfterFirstPaint(QWidget *window, std::function<void()> work)
    : QObject(window), window(window), work(std::move(work))
{
    window->installEventFilter(this);
    // Whether the window is shown is known once its creator is done.
    QTimer::singleShot(0, this, &AfterFirstPaint::decide);
}

void AfterFirstPaint::decide()
{
    if (!window->isVisible() || painted) {
        runNow();
        return;
    }
    waiting = true;
    QTimer::singleShot(LongestWaitMs, this, &AfterFirstPaint::runNow);
}

bool AfterFirstPaint::eventFilter(QObject *watched, QEvent *event)
{
    // Queued: the paint, and the frame it draws, go out first.
    if (watched == window && event->type() == QEvent::Paint) {
        painted = true;
        if (waiting)
            QTimer::singleShot(0, this, &AfterFirstPaint::runNow);
    }
    return QObject::eventFilter(watched, event);
}

void AfterFirstPaint::runNow()
{
    if (!work)
        return;
    window->removeEventFilter(this);
    const std::function<void()> toRun = std::exchange(work, nullptr);
    deleteLater();
    toRun();
}
