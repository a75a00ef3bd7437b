#include "ui/widgets/StatusLbl.h"

#include <QTest>
#include <QTimer>

namespace {
QString shown(const StatusLbl &label)
{
    return label.QLabel::text();
}

QTimer *timer(const StatusLbl &label, const char *name)
{
    return label.findChild<QTimer *>(QLatin1String(name));
}
} // namespace

class TestStatusLbl : public QObject
{
    Q_OBJECT

private slots:
    void dotsCycle_data();
    void dotsCycle();
    void timersDriveDotsAndHide();
    void repeatedStatus();
    void clearStatus();
};

void TestStatusLbl::dotsCycle_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("anim");
    QTest::addColumn<QStringList>("frames");

    const QStringList withText{"Go.", "Go..", "Go...", "Go"};
    QTest::newRow("anim") << "Go" << int(Anim) << withText;
    QTest::newRow("anim, dots alone") << "" << int(Anim) << QStringList{".", "..", "...", ""};
    QTest::newRow("auto") << "Go" << int(AutoAnim) << withText;
    QTest::newRow("auto, empty: nothing") << "" << int(AutoAnim) << QStringList{"", "", "", ""};
    QTest::newRow("no anim") << "Go" << int(NoAnim) << QStringList{"Go", "Go", "Go", "Go"};
}

void TestStatusLbl::dotsCycle()
{
    QFETCH(QString, text);
    QFETCH(int, anim);
    QFETCH(QStringList, frames);

    StatusLbl label;
    label.setStatus("Before", Anim); // every row is then a change of content
    label.setStatus(text, anim);
    QCOMPARE(shown(label), text);
    // The timer runs exactly when there is something to animate.
    QCOMPARE(timer(label, "dotsTimer")->isActive(), frames.first() != text);

    for (const QString &frame : frames + frames) {
        label.refreshDots();
        QCOMPARE(shown(label), frame);
    }
}

void TestStatusLbl::timersDriveDotsAndHide()
{
    QWidget window;
    StatusLbl label(&window);
    window.show();

    label.setStatus("Go", AutoAnim, 1000);
    QCOMPARE(timer(label, "dotsTimer")->interval(), 400);
    QTRY_COMPARE_WITH_TIMEOUT(shown(label), QString("Go."), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(label.isHidden(), 5000);

    // Hidden, it still holds its text and kind: repeating them changes nothing.
    QVERIFY(shown(label).startsWith("Go"));
    label.setStatus("Go");
    QVERIFY(label.isHidden());
}

void TestStatusLbl::repeatedStatus()
{
    QWidget window;
    StatusLbl label(&window);
    window.show();
    QTimer *hideTimer = timer(label, "hideTimer");

    label.setStatus("Go", Anim, 3000);
    label.refreshDots();
    label.refreshDots();
    label.hide();
    label.setStatus("Go", Anim, 5000);
    QCOMPARE(shown(label), QString("Go.."));
    QVERIFY(label.isHidden());
    QVERIFY(hideTimer->isActive());
    QCOMPARE(hideTimer->interval(), 5000);

    label.setStatus("Go", Anim);
    QVERIFY(!hideTimer->isActive());

    // New content restarts the dots and shows the label again.
    label.setStatus("Go", AutoAnim);
    QCOMPARE(shown(label), QString("Go"));
    QVERIFY(!label.isHidden());
}

void TestStatusLbl::clearStatus()
{
    QWidget window;
    StatusLbl label(&window);
    window.show();

    label.setStatus("Go", Anim, 3000);
    label.setStatus("", NoAnim); // an empty text does not hide
    QVERIFY(!label.isHidden());

    label.setStatus("Go", Anim, 3000);
    label.refreshDots();
    label.clearStatus();
    QCOMPARE(shown(label), QString());
    QVERIFY(!label.isHidden());
    QVERIFY(!timer(label, "dotsTimer")->isActive());
    QVERIFY(!timer(label, "hideTimer")->isActive());
    label.refreshDots(); // back to AutoAnim: no dots behind an empty text
    QCOMPARE(shown(label), QString());
}

QTEST_MAIN(TestStatusLbl)
#include "tst_statuslbl.moc"
