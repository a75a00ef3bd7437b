// The login dialog's status line, attention messages and the tunnel's
// state in the button and the tray.
#include "ui/login/LoginDlg.h"
#include "ui/main/MainForm.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Pictures.h"
#include "ui_LoginDialog.h"
#include "vpn/Tunnel.h"

#include <QPointer>

namespace {

// Only a change of the tunnel's state touches the tray and the button.
CnnStatus lastStatus = Disconnected;

const char StripePicture[] = ":/img/backgnd/stripe-login.png";
const char AttentionPicture[] = ":/img/backgnd/attention.png";

// The request layer's failure texts, shown translated by displayError().
[[maybe_unused]] const char *const TransportTexts[] = {
    QT_TRANSLATE_NOOP("LoginDlg", "Connection timeout."),
    QT_TRANSLATE_NOOP("LoginDlg", "Unable to load server certificate."),
    QT_TRANSLATE_NOOP("LoginDlg", "Unable to autenticate server certificate."),
    QT_TRANSLATE_NOOP("LoginDlg", "The server's answer is too large."),
};

QString paragraph(const QString &text)
{
    return QStringLiteral("<p style=\"margin-top:0px; margin-bottom:4px; margin-left:0px; "
                          "margin-right:0px; -qt-block-indent:0; text-indent:0px; "
                          "font-size:11px;\">") +
           text + QStringLiteral("</p>");
}

// One box at a time: a tunnel that keeps failing repeats its text.
QPointer<QMessageBox> tunnelFailureBox;

void showOnMainWindow(QWidget *window, const QString &text)
{
    if (!tunnelFailureBox) {
        tunnelFailureBox = new QMessageBox(QMessageBox::Warning, LoginDlg::tr("Quillnet"),
                                           QString(), QMessageBox::Ok, window);
        tunnelFailureBox->setAttribute(Qt::WA_DeleteOnClose);
        tunnelFailureBox->setTextFormat(Qt::PlainText);
    }
    tunnelFailureBox->setText(text.trimmed());
    // Not exec(): the tunnel's next state must not wait for the user.
    MessageBox::open(tunnelFailureBox);
}

} // namespace

void LoginDlg::showStripe(const char *picture)
{
    ui->stripeImgLbl->setPixmap(Pictures::pixmap(QLatin1String(picture)));
}

void LoginDlg::uiSetEnabled(bool en)
{
    ui->usernameEdit->setEnabled(en);
    ui->passwordEdit->setEnabled(en);
    ui->loginBtn->setEnabled(en);
    ui->rememberUserChBox->setEnabled(en);
    ui->freeLoginBtn->setEnabled(en);
    ui->autoLoginChBox->setEnabled(en && ui->rememberUserChBox->isChecked());
    if (!en)
        showStripe(StripePicture);
}

void LoginDlg::myAttention(const QString &text1, const QString &text2)
{
    // The user is told why and gets the controls back: a reconnect under
    // way has failed, and the next log-out must not log in again.
    controller->abandonReconnect();
    if (statusShown) {
        ui->statusLbl->clearStatus();
        statusShown = false;
    }
    ui->userInfoLbl->setGeometry(55, 383, 230, 50);
    ui->userInfoLbl->setText(paragraph(text1) + paragraph(text2));
    showStripe(AttentionPicture);
    attentionShown = true;
    uiSetEnabled(true);
}

void LoginDlg::myAttention(const QString &text1)
{
    myAttention(text1, QString());
}

void LoginDlg::mySetStatus(const QString &text, int anim, int ms)
{
    if (text.isEmpty()) {
        if (attentionShown) {
            // The attention message stays; only the status line goes.
            ui->statusLbl->clearStatus();
            statusShown = false;
        } else {
            myClearStatus();
        }
        return;
    }
    ui->userInfoLbl->clear();
    ui->userInfoLbl->repaint();
    if (attentionShown) {
        showStripe(StripePicture);
        attentionShown = false;
    }
    ui->statusLbl->setStatus(text, anim, ms);
    statusShown = true;
}

void LoginDlg::mySetStatus(const QString &text, int anim)
{
    mySetStatus(text, anim, 0);
}

void LoginDlg::mySetStatus(const QString &text)
{
    mySetStatus(text, AutoAnim, 0);
}

void LoginDlg::myClearStatus()
{
    if (attentionShown) {
        showStripe(StripePicture);
        attentionShown = false;
    }
    if (statusShown) {
        ui->statusLbl->clearStatus();
        statusShown = false;
    }
    // Three lines of the hint fit, which the Czech one needs.
    ui->userInfoLbl->setGeometry(12, 390, 276, 46);
    ui->userInfoLbl->setText(
        tr("If you are using proxy server click for <a href='proxy'>Proxy settings</a>. In "
           "case you are looking for help use <a href='support'>Support</a> dialog."));
}

void LoginDlg::setTrayIcon(const char *icon, const QString &toolTip)
{
    if (!tray)
        return;
    tray->setIcon(Pictures::icon(QLatin1String(icon)));
    tray->setToolTip(toolTip);
}

void LoginDlg::vpnStatus(CnnStatus status, QString text)
{
    mySetStatus(text, status == Connected ? NoAnim : AutoAnim, 0);
    if (status == NoStatus || status == lastStatus)
        return;
    const CnnStatus previous = lastStatus;
    lastStatus = status;

    const QString plainTip = tr("Quillnet by Korvex");
    switch (status) {
    case Disconnected:
        // The controller logs in again; tray and button stay as they are.
        if (controller->isReconnecting())
            return;
        setTrayIcon(":/img/icon/disconnected.png", plainTip);
        busyButton->setText(busyButton == ui->loginBtn ? tr("Log me into quillnet")
                                                       : tr("Login to free quillnet"));
        uiSetEnabled(true);
        // Straight from up or on its way, with no failure shown, the tunnel
        // ended by itself (OpenVPN died or gave up without a known line);
        // otherwise only the tray icon would change.
        if (!attentionShown && (previous == Connecting || previous == Connected)) {
            showCnnFailureMsg();
            if (previous == Connected && tray)
                tray->showMessage(tr("Quillnet disconnected"),
                                  tr("The connection to the server was lost."),
                                  QSystemTrayIcon::Warning, 10000);
        }
        break;
    case Connecting:
        busyButton->setText(tr("Stop connecting"));
        busyButton->setEnabled(true);
        if (previous == Connected) {
            setTrayIcon(":/img/icon/reconnecting.png",
                        withProtection(tr("Quillnet is reconnecting")));
        }
        break;
    case Connected: {
        busyButton->setText(tr("Disconnect"));
        busyButton->setEnabled(true);
        const QString tip = tr("IP: %1\nConnected since %2")
                                .arg(tunnel->getIp(),
                                     tunnel->getConnectedSince().toString(QStringLiteral("hh:mm")));
        setTrayIcon(":/img/icon/connected.png", withProtection(plainTip + QLatin1Char('\n') + tip));
        if (tray)
            tray->showMessage(tr("Quillnet connected"), tip, QSystemTrayIcon::Information, 10000);
        break;
    }
    case Reconnecting:
        setTrayIcon(":/img/icon/reconnecting.png", withProtection(tr("Quillnet is reconnecting")));
        busyButton->setText(tr("Stop reconnecting"));
        busyButton->setEnabled(true);
        break;
    case Disconnecting:
        busyButton->setText(tr("Stop disconnecting"));
        busyButton->setEnabled(true);
        break;
    case Suspending:
        busyButton->setText(tr("Disconnect"));
        busyButton->setEnabled(false);
        break;
    case Suspended:
        // Asleep, the tunnel is down and its protection stands.
        setTrayIcon(":/img/icon/disconnected.png", withProtection(plainTip));
        break;
    case NoStatus:
        break;
    }
}

void LoginDlg::vpnError(QString text)
{
    const int lineBreak = text.indexOf(QLatin1Char('\n'));
    const QString first = lineBreak < 0 ? text : text.left(lineBreak);
    const QString rest = lineBreak < 0 ? QString() : text.mid(lineBreak + 1);
    myAttention(first, rest);
    if (isVisible())
        return;
    // The user is elsewhere: over the main window, or with only the tray.
    if (mainForm && mainForm->isVisible())
        showOnMainWindow(mainForm, first + QLatin1Char('\n') + rest);
    else if (tray)
        tray->showMessage(first, rest, QSystemTrayIcon::Warning, 10000);
}

void LoginDlg::displayError(QByteArray response)
{
    uiSetEnabled(true);
    myClearStatus();
    if (response.size() < 2) {
        showCnnFailureMsg();
        return;
    }
    // The request layer's own text, in Czech where the catalogue has it. A
    // body the server sent is text, never markup for the label.
    myAttention(tr("Error occured."), tr(response.constData()).toHtmlEscaped());
}

void LoginDlg::showCnnFailureMsg()
{
    myAttention(
        tr("Server connection failure."),
        tr("Check your firewall and <a href='proxy'>Proxy settings</a>.\nFor help you can use <a "
           "href='support'>Support</a> dialog."));
}

QString LoginDlg::withProtection(const QString &tip) const
{
    const Tunnel::Protection protection = tunnel ? tunnel->protection() : Tunnel::Protection();
    QString line;
    if (!protection.block)
        line = tr("Traffic outside the tunnel is not blocked");
    else if (protection.localNetwork)
        line = tr("Traffic outside the tunnel is blocked, except to the local network");
    else
        line = tr("Traffic outside the tunnel is blocked");
    return tip + QLatin1Char('\n') + line;
}

void LoginDlg::reconnectVpn()
{
    setTrayIcon(":/img/icon/reconnecting.png", withProtection(tr("Quillnet is reconnecting")));
    controller->reconnect();
}
