#include "ui/mail/SplitButton.h"

#include "core/Deployment.h"
#include "ui/widgets/ComboBox.h"
#include "ui/widgets/Pictures.h"

#include <QAbstractItemView>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

namespace {

constexpr int ArrowAreaWidth = 24;
constexpr int HoldMs = 1500;

} // namespace

SplitButton::SplitButton(QWidget *parent)
    : QPushButton(parent), separator(new QFrame(this)), combo(new ComboBox(this)),
      holdTimer(new QTimer(this))
{
    setMouseTracking(true);
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    // Never shown itself: it only lends its list, opened over the button.
    combo->hide();
    holdTimer->setSingleShot(true);
    holdTimer->setInterval(HoldMs);
    connect(holdTimer, &QTimer::timeout, this, &SplitButton::onHoldTimeout);
    connect(combo, qOverload<int>(&QComboBox::activated), this, &SplitButton::setCurrentIndex);
    connect(combo, &ComboBox::popupHidden, this, &SplitButton::popupHidden);
}

QString SplitButton::currentAlias() const
{
    return combo->currentText();
}

void SplitButton::setCurrentIndex(int index)
{
    setText(tr("Yes, send as ") + combo->itemText(index) + QLatin1Char('@') +
            Deployment::current().aliasDomain);
    setFocus();
    combo->closePopup();
    if (combo->currentIndex() != index)
        combo->setCurrentIndex(index);
}

void SplitButton::setMailList(const QStringList &mailList, int index)
{
    combo->clear();
    if (mailList.isEmpty()) {
        setEnabled(false);
        setText(tr("None alias registered"));
        return;
    }
    combo->addItems(mailList);
    setCurrentIndex(index < 0 ? 0 : index);
    setEnabled(true);
}

void SplitButton::setBusy()
{
    setEnabled(false);
    setText(tr("Checking alias..."));
}

void SplitButton::showPopup()
{
    // Drawn pressed for as long as the list is open.
    setCheckable(true);
    setChecked(true);
    combo->showPopup();
}

void SplitButton::popupHidden()
{
    // The combo box only reports a close request from Qt (a click outside
    // the list); closing the list is ours to do.
    if (combo->view()->isVisible())
        combo->closePopup();
    setChecked(false);
    setCheckable(false);
}

void SplitButton::onHoldTimeout()
{
    // A long press opens the list; the release that follows must not click.
    setDown(false);
    showPopup();
}

void SplitButton::resizeEvent(QResizeEvent *event)
{
    QPushButton::resizeEvent(event);
    combo->resize(size());
    separator->setGeometry(QRect(QPoint(width() - ArrowAreaWidth, 3),
                                 QPoint(width() - ArrowAreaWidth + 1, height() - 4)));
}

void SplitButton::mousePressEvent(QMouseEvent *event)
{
    if (event->position().x() >= width() - ArrowAreaWidth) {
        showPopup();
        event->accept();
        return;
    }
    holdTimer->start();
    QPushButton::mousePressEvent(event);
}

void SplitButton::mouseReleaseEvent(QMouseEvent *event)
{
    holdTimer->stop();
    QPushButton::mouseReleaseEvent(event);
}

// The label is centred on the whole button, so it is cut short the arrow
// area's width from either edge: a long alias ends in an ellipsis instead of
// running under the arrow.
void SplitButton::paintEvent(QPaintEvent *)
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = width() - 2 * ArrowAreaWidth - 8;
    option.text = option.fontMetrics.elidedText(option.text, Qt::ElideRight, qMax(0, room));
    QStylePainter(this).drawControl(QStyle::CE_PushButton, option);
    QPainter painter(this);
    painter.drawPixmap(width() - 17, height() / 2 - 4,
                       Pictures::pixmap(QStringLiteral(":/img/icon/combo.png")));
}
