#include "ui/widgets/StatusLbl.h"

#include <QTimer>

namespace {
constexpr int DotsIntervalMs = 400;
constexpr int MaxDots = 3;
} // namespace

StatusLbl::StatusLbl(QWidget *parent)
    : QLabel(parent), dotsTimer(new QTimer(this)), hideTimer(new QTimer(this))
{
    dotsTimer->setObjectName(QStringLiteral("dotsTimer"));
    dotsTimer->setInterval(DotsIntervalMs);
    connect(dotsTimer, &QTimer::timeout, this, &StatusLbl::refreshDots);

    hideTimer->setObjectName(QStringLiteral("hideTimer"));
    hideTimer->setSingleShot(true);
    connect(hideTimer, &QTimer::timeout, this, &QWidget::hide);
}

void StatusLbl::setStatus(const QString &text, int anim, int ms)
{
    hideTimer->stop();

    // Repeating the current status must not restart the dots or bring back a
    // label its owner has hidden; it only re-arms the timed hide.
    if (anim != this->anim || text != this->text) {
        this->anim = static_cast<AnimStatus>(anim);
        this->text = text;
        dots = 0;
        QLabel::setText(text);

        if (this->anim == Anim || (this->anim == AutoAnim && !text.isEmpty()))
            dotsTimer->start();
        else
            dotsTimer->stop();

        // An empty text leaves the visibility alone: the owner decides.
        if (!text.isEmpty())
            show();
    }

    if (ms > 0)
        hideTimer->start(ms);
}

void StatusLbl::setStatus(const QString &text, int anim)
{
    setStatus(text, anim, 0);
}

void StatusLbl::setStatus(const QString &text)
{
    setStatus(text, AutoAnim, 0);
}

void StatusLbl::clearStatus()
{
    text.clear();
    dots = 0;
    QLabel::setText(text);
    anim = AutoAnim;
    dotsTimer->stop();
    hideTimer->stop();
}

void StatusLbl::refreshDots()
{
    if (anim == NoAnim || (anim == AutoAnim && text.isEmpty()))
        return;

    dots = dots >= MaxDots ? 0 : dots + 1;
    QLabel::setText(text + QString(dots, QLatin1Char('.')));
}
