// The main window's OS and browser boxes as the web filter fills them, and
// the message box for a bind failure.

#include "ScriptedBoxes.h"
#include "ui/webfilter/WebFilterUi.h"
#include "webfilter/WebFilter.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestWebFilterUi : public QObject
{
    Q_OBJECT

private slots:
    void osCombo();
    void browserCombo();
    void bindFailureBox();
};

void TestWebFilterUi::osCombo()
{
    QComboBox box;
    box.addItem("stale");
    WebFilterUi::fillOsCombo(&box);
    QCOMPARE(box.count(), 6);
    QCOMPARE(box.itemText(0), "Leave unchanged");
    QVERIFY(!box.itemData(0).isValid());
    const QStringList names{"None", "Windows XP", "Windows Vista", "GNU/Linux", "Mac OS X"};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(box.itemText(i + 1), names[i]);
    QCOMPARE(box.itemData(1).toStringList(), QStringList({"-", "-", "os-none"}));
    QCOMPARE(box.itemData(3).toStringList(),
             QStringList({"Windows NT 6.0", "Windows", "os-winvista"}));
    QCOMPARE(box.itemData(5).toStringList(),
             QStringList({"Intel Mac OS X", "Macintosh", "os-mac"}));
}

void TestWebFilterUi::browserCombo()
{
    QComboBox box;
    WebFilterUi::fillBrowserCombo(&box);
    WebFilterUi::fillBrowserCombo(&box);
    QCOMPARE(box.count(), 7);
    QCOMPARE(box.itemText(0), "Leave unchanged");
    QVERIFY(!box.itemData(0).isValid());
    const QStringList names{"None",  "Internet Explorer", "Mozilla Firefox",
                            "Opera", "Konqueror",         "Safari"};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(box.itemText(i + 1), names[i]);
    QCOMPARE(box.itemData(1).toString(), "-");
    QCOMPARE(box.itemData(4).toString(), "Opera/9.10 (%1; %2; U; en)");
}

void TestWebFilterUi::bindFailureBox()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(QDir().mkpath("privoxy"));
    QFile program("privoxy/Quillnet_webfilter");
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\necho \"x Fatal error: can't bind to 127.0.0.1:10080\"\n"
                  "echo \"x Fatal error: can't bind to 127.0.0.1:10080\"\nexit 1\n");
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFile::ExeOwner));

    WebFilter filter;
    WebFilterUi::showBindErrors(&filter);
    QSignalSpy stopped(&filter, &WebFilter::privoxyStopped);
    QStringList shown;
    // Each box waits for the user while the process ends behind it.
    ScriptedBoxes boxes(QMessageBox::Ok, [&](QMessageBox &box) {
        QVERIFY(QTest::qWaitFor([&] { return stopped.count() > 0; }, 5000));
        shown << box.windowTitle() + "|" + box.text();
    });
    filter.startPrivoxy();
    QTRY_COMPARE(stopped.count(), 1);
    QTest::qWait(300);
    QCOMPARE(shown, QStringList({"Quillnet|Web filtering proxy couldn't bind to port 10080.\n"
                                 "There may be other proxy running."}));
}

QTEST_MAIN(TestWebFilterUi)
#include "tst_webfilterui.moc"
