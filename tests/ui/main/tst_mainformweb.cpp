// The web surfing page with real Privoxy started and stopped from its
// button: the stored choices, the action file it writes and the two status
// ticks that follow the filter.

#include "MainFormFixture.h"
#include "ScriptedBoxes.h"
#include "TestFiles.h"
#include "core/Deployment.h"
#include "core/SettingsKeys.h"
#include "peers/LoopbackPorts.h"
#include "ui/main/EmailPage.h"
#include "ui/main/MainForm.h"
#include "ui/main/PersonalPage.h"
#include "ui/main/WebPage.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/ProgressLbl.h"
#include "vpn/VPNConnection.h"
#include "webfilter/WebFilter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTreeWidget>

namespace {

bool filterPortOpen()
{
    return LoopbackPorts::listening(Deployment::current().webFilterPort);
}

// Which ticks were seen, in order, while waiting for `done`.
QStringList tickSequence(MainForm *form, const std::function<bool()> &done)
{
    QStringList seen;
    auto state = [&] {
        return QStringLiteral("%1%2").arg(form->webPage()->privacyTickShown() ? "P" : "-",
                                          form->webPage()->identityTickShown() ? "I" : "-");
    };
    for (int i = 0; i < 300 && !done(); ++i) {
        if (seen.isEmpty() || seen.last() != state())
            seen << state();
        QTest::qWait(10);
    }
    if (seen.isEmpty() || seen.last() != state())
        seen << state();
    return seen;
}

} // namespace

class TestMainFormWeb : public QObject
{
    Q_OBJECT

    MainFormFixture fixture;
    MainForm *form = nullptr;

    void clickFilterButton()
    {
        QTest::mouseClick(child<QWidget>(form->webPage(), "webFilterBtn"), Qt::LeftButton);
    }

    void startFilter()
    {
        QSignalSpy started(form->webPage(), &WebPage::webFilterStarted);
        clickFilterButton();
        QVERIFY(started.wait(10000));
    }

    void stopFilter()
    {
        if (!form->webPage()->webFilterRunning())
            return;
        QSignalSpy stopped(form->webPage(), &WebPage::webFilterStopped);
        clickFilterButton();
        QVERIFY(stopped.wait(10000));
    }

private slots:
    void initTestCase()
    {
        const QString staged = qEnvironmentVariable("QUILLNET_APP_DIR") + "/privoxy/";
        if (!QFile::exists(staged + "Quillnet_webfilter"))
            QSKIP("Privoxy is not installed (scripts/install-deps installs it)");
        QVERIFY(QDir().mkpath("privoxy"));
        for (const QString &name : QDir(staged).entryList(QDir::Files)) {
            QFile::remove("privoxy/" + name);
            QVERIFY(QFile::copy(staged + name, "privoxy/" + name));
        }
        QString error;
        QVERIFY2(fixture.start(&error), qPrintable(error));
        // Only once the fixture has aimed the client at its own ports.
        QVERIFY(!filterPortOpen());
    }

    void init()
    {
        QSettings settings;
        for (const char *key :
             {SettingsKey::WebAdvert, SettingsKey::WebCookie, SettingsKey::WebHeader,
              SettingsKey::WebSystem, SettingsKey::WebBrowser})
            settings.remove(QLatin1String(key));
        form = fixture.logIn("demo", "demo123");
    }

    void cleanup() { stopFilter(); }

    // The tunnel's word on a sign-in page shows on the page: the notice
    // with its button while hinted, the notice alone while open, nothing
    // otherwise; the button asks the tunnel, which alone decides.
    void signInNoticeFollowsTheTunnel()
    {
        auto *button = child<QPushButton>(form->webPage(), "signInBtn");
        auto *notice = child<QLabel>(form->webPage(), "signInLbl");
        QSignalSpy asked(form->webPage(), &WebPage::signInRequested);
        const QList<std::tuple<Tunnel::SignIn, bool, bool>> states = {
            {Tunnel::SignIn::Needed, true, true},
            {Tunnel::SignIn::Open, true, false},
            {Tunnel::SignIn::None, false, false}};
        for (const auto &[state, noticeShown, buttonShown] : states) {
            emit fixture.tunnel->signInChanged(state);
            QCOMPARE(notice->isVisibleTo(form->webPage()), noticeShown);
            QCOMPARE(button->isVisibleTo(form->webPage()), buttonShown);
            if (buttonShown) {
                QVERIFY(notice->text().contains(QStringLiteral("sign in")));
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        QCOMPARE(asked.count(), 1);
    }

    void freshInstallationStartsOff()
    {
        for (QCheckBox *box : {child<QCheckBox>(form->webPage(), "advertChBox"),
                               child<QCheckBox>(form->webPage(), "cookieChBox"),
                               child<QCheckBox>(form->webPage(), "headerChBox")}) {
            QVERIFY(!box->isChecked());
            QVERIFY(!box->isEnabled());
        }
        QCOMPARE(child<QComboBox>(form->webPage(), "systemCombo")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(form->webPage(), "browserCombo")->currentIndex(), 0);
        QVERIFY(!form->webPage()->privacyTickShown());
        QVERIFY(!form->webPage()->identityTickShown());
    }

    void buttonSwitchesTheFilterAndRemembersIt()
    {
        startFilter();
        QCOMPARE(QSettings().value(SettingsKey::WebFilter).toBool(), true);
        QTRY_VERIFY(filterPortOpen());
        QVERIFY(child<QCheckBox>(form->webPage(), "advertChBox")->isEnabled());
        QVERIFY(child<QComboBox>(form->webPage(), "systemCombo")->isEnabled());

        stopFilter();
        QCOMPARE(QSettings().value(SettingsKey::WebFilter).toBool(), false);
        QTRY_VERIFY(!filterPortOpen());
        QVERIFY(!child<QCheckBox>(form->webPage(), "advertChBox")->isEnabled());
        QVERIFY(!form->webPage()->privacyTickShown());
    }

    void privacyTickAloneWithoutIdentity()
    {
        startFilter();
        // Hidden when the start is reported; shown one period later; the
        // identity tick never, as no identity is chosen.
        const QStringList seen =
            tickSequence(form, [&] { return form->webPage()->privacyTickShown(); });
        QCOMPARE(seen, (QStringList{"--", "P-"}));
        QTest::qWait(900);
        QVERIFY(!form->webPage()->identityTickShown());
    }

    void identityTickFollowsThePrivacyTick()
    {
        startFilter();
        child<QComboBox>(form->webPage(), "systemCombo")->setCurrentIndex(1);
        QTRY_VERIFY(form->webPage()->identityTickShown());
        stopFilter();

        startFilter();
        const QStringList seen =
            tickSequence(form, [&] { return form->webPage()->identityTickShown(); });
        QCOMPARE(seen, (QStringList{"--", "P-", "PI"}));
    }

    void choicesReachTheActionFileAndTheStore()
    {
        startFilter();
        child<QComboBox>(form->webPage(), "browserCombo")->setCurrentIndex(1);
        child<QCheckBox>(form->webPage(), "cookieChBox")->setChecked(true);
        QSettings settings;
        QCOMPARE(settings.value(SettingsKey::WebBrowser).toInt(), 1);
        QCOMPARE(settings.value(SettingsKey::WebCookie).toBool(), true);
        QCOMPARE(settings.value(SettingsKey::WebAdvert).toBool(), false);
        const QString agent =
            child<QComboBox>(form->webPage(), "browserCombo")->currentData().toString();
        QVERIFY(!agent.isEmpty());
        const QByteArray withAgent = readAll("privoxy/quillnet.action");
        QTRY_VERIFY(form->webPage()->identityTickShown());

        // Back to "Leave unchanged": nothing of the browser stays in the
        // file, and the identity tick goes at the next expiry.
        child<QComboBox>(form->webPage(), "browserCombo")->setCurrentIndex(0);
        const QByteArray without = readAll("privoxy/quillnet.action");
        QVERIFY(withAgent != without);
        QVERIFY(form->webPage()->identityTickShown());
        QTRY_VERIFY(!form->webPage()->identityTickShown());
        QVERIFY(form->webPage()->privacyTickShown());

        // A new window takes the stored choices.
        stopFilter();
        form = fixture.logIn("demo", "demo123");
        QVERIFY(child<QCheckBox>(form->webPage(), "cookieChBox")->isChecked());
        QCOMPARE(child<QComboBox>(form->webPage(), "browserCombo")->currentIndex(), 0);
    }

    // Privoxy that cannot be run at all is reported, not left as a button
    // that does nothing.
    void filterThatCannotStartIsReported()
    {
        const QString program = QStringLiteral("privoxy/Quillnet_webfilter");
        QVERIFY(QFile::rename(program, program + ".away"));
        const auto restore = qScopeGuard([&] { QFile::rename(program + ".away", program); });
        ScriptedBoxes ok(QMessageBox::Ok);
        QSignalSpy failed(form->webPage(), &WebPage::webFilterFailed);
        clickFilterButton();
        QTRY_COMPARE_WITH_TIMEOUT(ok.texts().size(), 1, 10000);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(ok.texts().first().startsWith("Web filtering proxy couldn't be started.\n"),
                 qPrintable(ok.texts().first()));
        QVERIFY(!form->webPage()->webFilterRunning());
        QVERIFY(!child<QCheckBox>(form->webPage(), "advertChBox")->isEnabled());
    }
};

QTEST_MAIN(TestMainFormWeb)
#include "tst_mainformweb.moc"
