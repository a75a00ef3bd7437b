#include "ui/widgets/ProgressLbl.h"

#include "ui/widgets/Pictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QTimer>

namespace {
const QString IconRoot = QStringLiteral(":/img/icon/");
const QString BusyIcon = QStringLiteral("busy");
const QString AlertIcon = QStringLiteral("alert");
const QString OkIcon = QStringLiteral("ok");
const QString InfoIcon = QStringLiteral("info");

// Alerts stay longer than confirmations so that they can be read; busy and
// info notices stay until the owner replaces or hides them.
constexpr int AlertMs = 6000;
constexpr int OkMs = 3000;
constexpr int InitialHideMs = 3000;

const QString NoticeStyle = QStringLiteral("font: 13px; color: #042a4a");
const QString InfoStyle = QStringLiteral("font: 11px; color: #000000");
} // namespace

ProgressLbl::ProgressLbl(QWidget *parent)
    : QWidget(parent), textLabel(new QLabel(this)), iconLabel(new QLabel(this)),
      hideTimer(new QTimer(this))
{
    textLabel->setObjectName(QStringLiteral("textLabel"));
    textLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Notices may quote the service's answers: never read as markup.
    textLabel->setTextFormat(Qt::PlainText);
    iconLabel->setObjectName(QStringLiteral("iconLabel"));
    iconLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);

    hideTimer->setObjectName(QStringLiteral("hideTimer"));
    hideTimer->setSingleShot(true);
    hideTimer->setInterval(InitialHideMs);
    connect(hideTimer, &QTimer::timeout, this, &ProgressLbl::hideStatus);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(6);
    layout->addWidget(iconLabel, 0);
    layout->addWidget(textLabel, 0);
}

void ProgressLbl::setAlignment(Qt::Alignment alignment)
{
    // The label with the Expanding policy takes the spare room and so pushes
    // the pair to the other side.
    if (alignment == Qt::AlignLeft) {
        iconLabel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
        textLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    } else if (alignment == Qt::AlignRight) {
        iconLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        textLabel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    }
}

void ProgressLbl::setWordWrap(bool on)
{
    textLabel->setWordWrap(on);
}

void ProgressLbl::hideStatus()
{
    if (iconLabel->isHidden() && textLabel->isHidden())
        return;
    iconLabel->hide();
    textLabel->hide();
    emit statusHidden();
}

void ProgressLbl::setStatus(const QString &icon, const QString &text, int ms)
{
    // A muted strip keeps what it shows, including a hide already pending.
    if (muted)
        return;

    hideTimer->stop();
    textLabel->setStyleSheet(icon == InfoIcon ? InfoStyle : NoticeStyle);
    showIcon(icon);
    textLabel->setText(text);

    if (iconLabel->isHidden() || textLabel->isHidden()) {
        iconLabel->show();
        textLabel->show();
        emit statusShown();
    }

    if (ms > 0)
        hideTimer->start(ms);
}

void ProgressLbl::showIcon(const QString &icon)
{
    delete movie;
    movie = nullptr;

    if (icon == BusyIcon) {
        movie = new QMovie(IconRoot + BusyIcon + QStringLiteral(".mng"), QByteArray(), this);
        iconLabel->setMovie(movie);
        movie->start();
    } else {
        iconLabel->setPixmap(Pictures::pixmap(IconRoot + icon + QStringLiteral(".png")));
    }
}

void ProgressLbl::setStatus(const QString &icon, const QString &text)
{
    setStatus(icon, text, 0);
}

void ProgressLbl::setBusy(const QString &text, int ms)
{
    setStatus(BusyIcon, text, ms);
}

void ProgressLbl::setBusy(const QString &text)
{
    setBusy(text, 0);
}

void ProgressLbl::setAlert(const QString &text, int ms)
{
    setStatus(AlertIcon, text, ms);
}

void ProgressLbl::setAlert(const QString &text)
{
    setAlert(text, AlertMs);
}

void ProgressLbl::setOk(const QString &text, int ms)
{
    setStatus(OkIcon, text, ms);
}

void ProgressLbl::setOk(const QString &text)
{
    setOk(text, OkMs);
}

void ProgressLbl::setInfo(const QString &text, int ms)
{
    setStatus(InfoIcon, text, ms);
}

void ProgressLbl::setInfo(const QString &text)
{
    setInfo(text, 0);
}
