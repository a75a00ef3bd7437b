// Shows every window and page of the client against the local test service
// and saves a picture of each, for the documentation. Run it through
// scripts/screenshots, which gives it a private X screen.
//
// Usage: screenshot_tour OUTPUT_FOLDER

#include "MainFormFixture.h"
#include "core/Catalogues.h"
#include "ui/login/LoginDlg.h"
#include "ui/mail/MailDialog.h"
#include "ui/main/EmailPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/PersonalPage.h"
#include "ui/main/WebPage.h"
#include "ui/proxy/ProxyDlg.h"
#include "ui/support/SupportDlg.h"
#include "ui/support/SupportWdg.h"
#include "ui/widgets/AnimStatus.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ProgressLbl.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

namespace {

QDir output;

// Lets the window settle (layout, pictures, answers on their way) first.
bool save(QWidget *window, const char *name)
{
    window->raise();
    QTest::qWait(400);
    const QString path = output.filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool tourLogin(MainFormFixture &fixture)
{
    LoginDlg dialog(fixture.tunnel, fixture.tray);
    dialog.show();
    QTest::qWait(1500); // its update check
    bool ok = save(&dialog, "login");
    dialog.mySetStatus(LoginDlg::tr("Authenticating user"), AutoAnim, 0);
    ok &= save(&dialog, "login-busy");
    dialog.myClearStatus();
    dialog.myAttention(LoginDlg::tr("Login failed."),
                       LoginDlg::tr("Check your user name and password, please."));
    ok &= save(&dialog, "login-attention");
    return ok;
}

bool tourMainWindow(MainFormFixture &fixture)
{
    MainForm *form = fixture.logIn(QStringLiteral("demo"), QStringLiteral("demo123"));
    form->setLocation(QStringLiteral("10.8.0.6"), QStringLiteral("Loopback One"));
    bool ok = save(form, "main-web");
    const char *pages[] = {"main-web", "main-email", "main-personal", "main-support", "main-exit"};
    for (int page = 1; page < 5; ++page) {
        form->selectPage(page);
        QTest::qWait(1500); // the page's first answers
        ok &= save(form, pages[page]);
    }
    form->selectPage(2);
    form->selectSettingsTab(1);
    ok &= save(form, "main-proxy");
    form->selectSettingsTab(0);

    form = fixture.logIn(QStringLiteral("vestor"), QStringLiteral("vestor"));
    form->selectPage(1);
    ok &= save(form, "main-email-free");
    fixture.tearDownWindow();
    return ok;
}

bool tourDialogs(MainFormFixture &fixture)
{
    MailInfo info;
    info.messageId = QStringLiteral("<1@example.org>");
    info.from = QStringLiteral("Ann Smith <ann@example.org>");
    info.subject = QStringLiteral("Tickets for Friday");
    info.recipients = QStringList{QStringLiteral("<bob@example.net>")};
    MailDialog mail(info);
    mail.setMailList({QStringLiteral("shopping"), QStringLiteral("news.letters")}, 0);
    mail.show();
    bool ok = save(&mail, "mail-confirm");

    // As the login window opens it: no account logged in.
    auto *support = new SupportDlg(nullptr, fixture.tunnel);
    support->show();
    ok &= save(support, "support");
    support->findChild<SupportWdg *>()->openMail();
    ok &= save(support, "support-form");
    delete support;

    auto *proxy = new ProxyDlg;
    proxy->show();
    ok &= save(proxy, "proxy");
    delete proxy;
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // As the program itself shows them.
    installCatalogues(app);
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_tour OUTPUT_FOLDER\n");
        return 2;
    }
    output = QDir(QString::fromLocal8Bit(argv[1]));
    if (!output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    MainFormFixture fixture;
    QString error;
    if (!fixture.start(&error)) {
        std::fprintf(stderr, "test service: %s\n", qPrintable(error));
        return 1;
    }
    const bool ok = tourLogin(fixture) && tourMainWindow(fixture) && tourDialogs(fixture);
    return ok ? 0 : 1;
}
