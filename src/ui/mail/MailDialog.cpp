#include "ui/mail/MailDialog.h"

#include "core/Deployment.h"
#include "mail/HeaderDecoding.h"
#include "ui/mail/SplitButton.h"
#include "ui/widgets/MessageBox.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// One "caption: value" row.
QHBoxLayout *captionRow(const QString &caption, const QString &value, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    row->setContentsMargins(0, 0, 0, 0);
    auto *captionLbl = new QLabel(caption, parent);
    captionLbl->setStyleSheet(QStringLiteral("font: bold"));
    auto *valueLbl = new QLabel(value, parent);
    // The value comes from the message: markup in it must stay text, not
    // draw warnings or links of its own inside the dialog.
    valueLbl->setTextFormat(Qt::PlainText);
    valueLbl->setWordWrap(true);
    row->addWidget(captionLbl, 0, Qt::AlignLeft | Qt::AlignTop);
    row->addWidget(valueLbl, 1, Qt::AlignLeft | Qt::AlignTop);
    return row;
}

// The banner's 24 px, or less for a translation that would not fit the
// dialog's fixed width.
int titlePixelSize(const QString &text, int width)
{
    QFont font(QStringLiteral("Microsoft Sans Serif"));
    int pixels = 24;
    for (; pixels > 12; --pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).horizontalAdvance(text) <= width)
            break;
    }
    return pixels;
}

} // namespace

MailDialog::MailDialog(const MailInfo &info, QWidget *parent)
    : QDialog(parent), yesBtn(new SplitButton(this)),
      noBtn(new QPushButton(tr("No, send normally"), this)),
      cancelBtn(new QPushButton(tr("Cancel, don't send at all"), this)), mailInfo(info)
{
    setObjectName(QStringLiteral("MailDialog"));
    setWindowTitle(tr("Quillnet - Outgoing e-mail"));
    setMinimumWidth(343);
    setMaximumWidth(343);
    setStyleSheet(QStringLiteral("QDialog { background: white } QDialog#MailDialog { background: "
                                 "white url(:/img/backgnd/sendmail.png); background-repeat: "
                                 "no-repeat }"));
    yesBtn->setObjectName(QStringLiteral("yesBtn"));
    noBtn->setObjectName(QStringLiteral("noBtn"));
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));

    auto *titleLbl = new QLabel(tr("Send this email anonymously?"), this);
    titleLbl->setObjectName(QStringLiteral("titleLbl"));
    titleLbl->setStyleSheet(QStringLiteral("font: %1px \"Microsoft Sans Serif\"; color: #FFFFFF")
                                .arg(titlePixelSize(titleLbl->text(), 343 - 2 * 9)));
    titleLbl->setFixedHeight(40);
    titleLbl->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    titleLbl->setMargin(-3);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(6);
    layout->setContentsMargins(9, 9, 9, 9);
    layout->addWidget(titleLbl);
    layout->addLayout(captionRow(tr("To:"), info.recipients.join(QStringLiteral(", ")), this));
    layout->addLayout(captionRow(tr("Subject:"), decodeHeaderWord(info.subject), this));
    layout->addWidget(yesBtn);
    layout->addWidget(noBtn);
    layout->addWidget(cancelBtn);

    connect(yesBtn, &QPushButton::clicked, this, &MailDialog::on_yesBtn_clicked);
    connect(noBtn, &QPushButton::clicked, this, &MailDialog::on_noBtn_clicked);
    connect(cancelBtn, &QPushButton::clicked, this, &MailDialog::on_cancelBtn_clicked);
}

void MailDialog::setMailList(const QStringList &mailList, int index)
{
    yesBtn->setMailList(mailList, index);
}

void MailDialog::setBusy()
{
    yesBtn->setBusy();
}

void MailDialog::on_yesBtn_clicked()
{
    decide(QLatin1Char('<') + yesBtn->currentAlias() + QLatin1Char('@') +
           Deployment::current().aliasDomain + QLatin1Char('>'));
}

void MailDialog::on_noBtn_clicked()
{
    decide(mailInfo.from);
}

void MailDialog::on_cancelBtn_clicked()
{
    decide(QString());
}

void MailDialog::decide(const QString &from)
{
    if (decided)
        return;
    MailInfo answer = mailInfo;
    answer.from = from;
    emit mailConfirmed(answer);
    decided = true;
    close();
}

// Escape takes the same way as the close button, so it too ends in a decision.
void MailDialog::reject()
{
    close();
}

void MailDialog::closeEvent(QCloseEvent *event)
{
    if (decided) {
        event->accept();
        return;
    }
    QMessageBox question(QMessageBox::Question, tr("Quillnet"),
                         tr("Are you sure you want to cancel the outgoing e-mail?"),
                         QMessageBox::Yes | QMessageBox::No, this);
    closeQuestion = &question;
    const int answer = MessageBox::exec(question);
    closeQuestion = nullptr;
    // Closed as cancelled while the question was open: decided already.
    if (decided) {
        event->accept();
        return;
    }
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    MailInfo cancelled = mailInfo;
    cancelled.from.clear();
    emit mailConfirmed(cancelled);
    decided = true;
    event->accept();
}

void MailDialog::closeAsCancelled()
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (!decided) {
        MailInfo cancelled = mailInfo;
        cancelled.from.clear();
        decided = true;
        emit mailConfirmed(cancelled);
    }
    if (closeQuestion) {
        // Its close event goes on once the question's loop has ended, and
        // the close then deletes the dialog.
        closeQuestion->done(QMessageBox::No);
        return;
    }
    if (isVisible())
        close();
    else
        deleteLater();
}
