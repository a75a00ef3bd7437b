#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs work that a window does not need to appear once the window is on the
// screen: after its first paint, when it is shown; at the next pass of the
// event loop, when it is not. A window that is shown but not painted within
// a second (another workspace, say) does not hold the work up longer.
class AfterFirstPaint : public QObject
{
    Q_OBJECT

public:
    // `work` runs once, unless `window` goes first.
    static void run(QWidget *window, std::function<void()> work);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    AfterFirstPaint(QWidget *window, std::function<void()> work);
    void decide();
    void runNow();

    QWidget *const window;
    std::function<void()> work;
    bool waiting = false;
    bool painted = false;
};
