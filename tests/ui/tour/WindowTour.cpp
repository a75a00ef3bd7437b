#include "WindowTour.h"

#include "MainFormFixture.h"
#include "login/LoginController.h"
#include "mail/MailInfo.h"
#include "ui/login/LoginDlg.h"
#include "ui/mail/MailDialog.h"
#include "ui/main/EmailPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/WebPage.h"
#include "ui/proxy/ProxyDlg.h"
#include "ui/support/SupportDlg.h"
#include "ui/support/SupportWdg.h"
#include "ui/tray/TrayWidget.h"
#include "ui/widgets/AnimStatus.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/HoverChBox.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QMetaEnum>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// "MissingCredentials" -> "missing-credentials".
QString dashed(const char *key)
{
    QString name;
    for (const char *c = key; *c; ++c) {
        const QChar letter = QLatin1Char(*c);
        if (letter.isUpper() && c != key)
            name += QLatin1Char('-');
        name += letter.toLower();
    }
    return name;
}

// The tunnel's two-line failure texts, as the catalogue holds their
// sources (context VPNConnection, a line break in them).
QList<QByteArray> tunnelFailures()
{
    QFile catalogue(QDir(qEnvironmentVariable("QUILLNET_SOURCE_DIR"))
                        .filePath(QStringLiteral("resources/translations/quillnet_cz.ts")));
    QList<QByteArray> sources;
    if (!catalogue.open(QIODevice::ReadOnly)) {
        qWarning("tour: no catalogue at %s: %s", qPrintable(catalogue.fileName()),
                 qPrintable(catalogue.errorString()));
        return sources;
    }
    QXmlStreamReader xml(&catalogue);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            const QString source = xml.readElementText();
            if (context == QLatin1String("VPNConnection") && source.contains(QLatin1Char('\n')))
                sources << source.toUtf8();
        }
    }
    return sources;
}

void hover(QWidget *widget, bool on)
{
    if (on) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(widget, &leave);
    }
}

} // namespace

bool WindowTour::run(const Visitor &visitor)
{
    visit = visitor;
    bool ok = loginWindow();
    ok &= mainWindow();
    ok &= dialogs();
    return ok;
}

bool WindowTour::stop(QWidget *window, const QString &name, bool documented)
{
    // Lets the window settle (layout, pictures, answers on their way) first.
    window->raise();
    QTest::qWait(400);
    return visit(window, name, documented);
}

bool WindowTour::loginWindow()
{
    LoginDlg dialog(fixture.tunnel, fixture.tray);
    dialog.show();
    QTest::qWait(1500); // its update check
    bool ok = stop(&dialog, QStringLiteral("login"));
    dialog.mySetStatus(LoginDlg::tr("Authenticating user"), AutoAnim, 0);
    ok &= stop(&dialog, QStringLiteral("login-busy"));
    dialog.myClearStatus();
    ok &= loginFailures(&dialog);
    return ok;
}

bool WindowTour::loginFailures(LoginDlg *dialog)
{
    bool ok = true;
    // Every reason the dialog gives for a refused login, in its own words;
    // the directive as long as the check of the configuration passes on.
    const QString directive = QStringLiteral("tls-verify").repeated(7).left(64);
    const QMetaEnum refusals = QMetaEnum::fromType<LoginController::Refusal>();
    for (int i = 0; i < refusals.keyCount(); ++i) {
        const auto refusal = LoginController::Refusal(refusals.value(i));
        dialog->showRefusal(refusal, directive, 123);
        if (refusal == LoginController::LoginFailed)
            ok &= stop(dialog, QStringLiteral("login-attention"));
        else
            ok &= stop(dialog, QStringLiteral("login-") + dashed(refusals.key(i)), false);
    }
    dialog->showCnnFailureMsg();
    ok &= stop(dialog, QStringLiteral("login-connection-failure"), false);
    // The tunnel's failures reach the dialog only from a running tunnel:
    // its catalogue entries say what they are.
    int number = 0;
    for (const QByteArray &source : tunnelFailures()) {
        dialog->vpnError(QCoreApplication::translate("VPNConnection", source.constData()));
        ok &= stop(dialog, QStringLiteral("login-tunnel-failure-%1").arg(++number), false);
    }
    return ok && number > 0;
}

bool WindowTour::mainWindow()
{
    MainForm *form = fixture.logIn(QStringLiteral("demo"), QStringLiteral("demo123"));
    form->setLocation(QStringLiteral("10.8.0.6"), QStringLiteral("Loopback One"));
    // As a login leaves it; the fixture's own tunnel stays down.
    form->webPage()->showTunnelUp(true);
    bool ok = stop(form, QStringLiteral("main-web"));
    ok &= webPageStates(form);
    const char *pages[] = {"main-web", "main-email", "main-personal", "main-support", "main-exit"};
    for (int page = 1; page < 5; ++page) {
        form->selectPage(page);
        QTest::qWait(1500); // the page's first answers
        ok &= stop(form, QLatin1String(pages[page]));
    }
    form->selectPage(1);
    auto *forward = child<HintEdit>(form->emailPage(), "mailForwardEdit");
    forward->hintOff();
    QApplication::clipboard()->setText(QStringLiteral("bob+news@example.org"));
    forward->paste();
    ok &= stop(form, QStringLiteral("main-email-refused"), false);
    forward->hintOn();

    form->selectPage(2);
    form->selectSettingsTab(1);
    ok &= stop(form, QStringLiteral("main-proxy"));
    form->selectSettingsTab(0);

    form = fixture.logIn(QStringLiteral("vestor"), QStringLiteral("vestor"));
    form->selectPage(1);
    ok &= stop(form, QStringLiteral("main-email-free"));
    fixture.tearDownWindow();
    return ok;
}

bool WindowTour::webPageStates(MainForm *form)
{
    bool ok = true;
    // Each filter's description, as the mouse over its box shows it.
    for (HoverChBox *box : form->findChildren<HoverChBox *>()) {
        hover(box, true);
        ok &= stop(form,
                   QStringLiteral("main-web-tip-") +
                       box->objectName().remove(QStringLiteral("ChBox")),
                   false);
        hover(box, false);
    }
    WebPage *web = form->webPage();
    web->showTunnelUp(false);
    ok &= stop(form, QStringLiteral("main-web-not-connected"), false);
    web->showTunnelUp(true);
    return ok;
}

bool WindowTour::dialogs()
{
    MailInfo info;
    info.messageId = QStringLiteral("<1@example.org>");
    info.from = QStringLiteral("Ann Smith <ann@example.org>");
    info.subject = QStringLiteral("Tickets for Friday");
    info.recipients = QStringList{QStringLiteral("<bob@example.net>")};
    MailDialog mail(info);
    mail.setMailList({QStringLiteral("shopping"), QStringLiteral("news.letters")}, 0);
    mail.show();
    bool ok = stop(&mail, QStringLiteral("mail-confirm"));

    // As the login window opens it: no account logged in.
    auto *support = new SupportDlg(nullptr, fixture.tunnel);
    support->show();
    ok &= stop(support, QStringLiteral("support"));
    support->findChild<SupportWdg *>()->openMail();
    ok &= stop(support, QStringLiteral("support-form"));
    delete support;

    auto *proxy = new ProxyDlg;
    proxy->show();
    ok &= stop(proxy, QStringLiteral("proxy"));
    delete proxy;
    return ok;
}
