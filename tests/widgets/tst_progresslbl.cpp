#include "ui/widgets/ProgressLbl.h"

#include <QLabel>
#include <QMovie>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
QLabel *child(const ProgressLbl &strip, const char *name)
{
    return strip.findChild<QLabel *>(QLatin1String(name));
}

QTimer *hideTimer(const ProgressLbl &strip)
{
    return strip.findChild<QTimer *>(QStringLiteral("hideTimer"));
}
} // namespace

class TestProgressLbl : public QObject
{
    Q_OBJECT

private slots:
    void noticeKinds_data();
    void noticeKinds();
    void busyAnimationReplaced();
    void mutedChangesNothing();
    void shownAndHiddenOnlyOnTransitions();
};

void TestProgressLbl::noticeKinds_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<int>("defaultMs");
    QTest::addColumn<QString>("style");

    const QString notice = "font: 13px; color: #042a4a";
    QTest::newRow("busy stays") << QByteArray("setBusy") << 0 << notice;
    QTest::newRow("alert 6 s") << QByteArray("setAlert") << 6000 << notice;
    QTest::newRow("ok 3 s") << QByteArray("setOk") << 3000 << notice;
    QTest::newRow("info stays") << QByteArray("setInfo") << 0 << "font: 11px; color: #000000";
}

// Owners reach these slots by name, so both overloads must be in the meta-object.
void TestProgressLbl::noticeKinds()
{
    QFETCH(QByteArray, slot);
    QFETCH(int, defaultMs);
    QFETCH(QString, style);

    ProgressLbl strip;
    strip.setAlert("Previous", 100); // its pending hide must not survive
    QVERIFY(QMetaObject::invokeMethod(&strip, slot.constData(), Q_ARG(QString, "Saved")));
    QCOMPARE(child(strip, "textLabel")->text(), QString("Saved"));
    QCOMPARE(child(strip, "textLabel")->styleSheet(), style);
    QCOMPARE(hideTimer(strip)->isActive(), defaultMs > 0);
    if (defaultMs > 0)
        QCOMPARE(hideTimer(strip)->interval(), defaultMs);

    QVERIFY(QMetaObject::invokeMethod(&strip, slot.constData(), Q_ARG(QString, "Again"),
                                      Q_ARG(int, 1234)));
    QCOMPARE(hideTimer(strip)->interval(), 1234);
}

void TestProgressLbl::busyAnimationReplaced()
{
    ProgressLbl strip;
    strip.setBusy("Loading");
    QVERIFY(child(strip, "iconLabel")->movie());
    strip.hideStatus(); // keeps the animation
    strip.setBusy("Loading more");
    QCOMPARE(strip.findChildren<QMovie *>().size(), 1);

    strip.setOk("Done");
    QVERIFY(!child(strip, "iconLabel")->movie());
    QVERIFY(strip.findChildren<QMovie *>().isEmpty());
}

void TestProgressLbl::mutedChangesNothing()
{
    ProgressLbl strip;
    QSignalSpy hidden(&strip, &ProgressLbl::statusHidden);
    strip.setOk("Saved", 100);
    strip.muted = true;

    strip.setAlert("Failed");
    strip.setBusy("Working");
    QCOMPARE(child(strip, "textLabel")->text(), QString("Saved"));
    QVERIFY(!child(strip, "iconLabel")->movie());

    // The hide armed before muting still happens, and nothing shows it again.
    QTRY_COMPARE_WITH_TIMEOUT(hidden.count(), 1, 5000);
    QSignalSpy shown(&strip, &ProgressLbl::statusShown);
    strip.setInfo("Note");
    QVERIFY(child(strip, "textLabel")->isHidden());
    QCOMPARE(shown.count(), 0);
}

void TestProgressLbl::shownAndHiddenOnlyOnTransitions()
{
    ProgressLbl strip;
    strip.show();
    QSignalSpy shown(&strip, &ProgressLbl::statusShown);
    QSignalSpy hidden(&strip, &ProgressLbl::statusHidden);

    strip.hideStatus();
    strip.hideStatus();
    QCOMPARE(hidden.count(), 1);

    strip.setInfo("One");
    strip.setOk("Two", 50);
    QCOMPARE(shown.count(), 1);
    QVERIFY(!child(strip, "iconLabel")->isHidden());

    QTRY_COMPARE_WITH_TIMEOUT(hidden.count(), 2, 5000);
    QVERIFY(child(strip, "textLabel")->isHidden());
    QVERIFY(child(strip, "iconLabel")->isHidden());
}

QTEST_MAIN(TestProgressLbl)
#include "tst_progresslbl.moc"
