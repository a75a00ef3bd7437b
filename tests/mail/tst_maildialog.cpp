// The confirmation dialog for held-back outgoing mail and its alias button.

#include "ScriptedBoxes.h"
#include "ui/mail/MailDialog.h"
#include "ui/mail/SplitButton.h"
#include "ui/widgets/ComboBox.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

MailInfo query()
{
    MailInfo info;
    info.messageId = "m1@example.org";
    info.from = "Ann Smith <ann@example.org>";
    info.subject = "=?utf-8?B?w6TDtsO8?=";
    info.inReplyTo = "m0@example.org";
    info.recipients = {"bob@example.net", "carl@example.net"};
    return info;
}

} // namespace

class TestMailDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void form();
    void mailDataShownAsText();
    void mailList_data();
    void mailList();
    void answers_data();
    void answers();
    void choosingAnAliasDoesNotSend();
    void arrowAreaOpensListWithoutClick();
    void longPressOpensList();
    void separatorFollowsSize();
    void closing_data();
    void closing();
    void closeAfterAnswerAsksNothing();
    void closedAsCancelled_data();
    void closedAsCancelled();

private:
    QTemporaryDir folder;
};

void TestMailDialog::initTestCase()
{
    QFile ini(folder.filePath("deployment.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("alias_domain = anon.test\n");
    ini.close();
    qputenv("QUILLNET_DEPLOYMENT", QFile::encodeName(ini.fileName()));
}

void TestMailDialog::form()
{
    MailDialog dialog(query());
    dialog.show();
    QCOMPARE(dialog.objectName(), QString("MailDialog"));
    QCOMPARE(dialog.width(), 343);
    QStringList texts;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        texts << label->text();
    QCOMPARE(texts, (QStringList{"Send this email anonymously?",
                                 "To:", "bob@example.net, carl@example.net",
                                 "Subject:", QString::fromUtf8("äöü")}));
}

// A message's own markup must not draw inside the dialog (a fake warning,
// a link): what it says is shown as the text it is.
void TestMailDialog::mailDataShownAsText()
{
    MailInfo info = query();
    info.subject = "<h1 style='color:red'>Your account is blocked</h1>";
    info.recipients = QStringList{"<a href='http://evil.test'>bob</a>@example.net"};
    MailDialog dialog(info);
    int shown = 0;
    for (QLabel *label : dialog.findChildren<QLabel *>()) {
        if (label->text() == info.subject || label->text() == info.recipients.first()) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            ++shown;
        }
    }
    QCOMPARE(shown, 2);
}

void TestMailDialog::mailList_data()
{
    QTest::addColumn<QStringList>("aliases");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("second") << QStringList{"fox", "owl"} << 1 << "Yes, send as owl@anon.test"
                            << true;
    QTest::newRow("negative selects first")
        << QStringList{"fox", "owl"} << -1 << "Yes, send as fox@anon.test" << true;
    QTest::newRow("no aliases") << QStringList{} << 0 << "None alias registered" << false;
    QTest::newRow("busy") << QStringList{"busy"} << 0 << "Checking alias..." << false;
}

void TestMailDialog::mailList()
{
    QFETCH(QStringList, aliases);
    QFETCH(int, index);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    MailDialog dialog(query());
    auto *yesBtn = dialog.findChild<SplitButton *>("yesBtn");
    dialog.setMailList({"earlier"}, 0); // a later list replaces what was there
    if (aliases == QStringList{"busy"})
        dialog.setBusy();
    else
        dialog.setMailList(aliases, index);
    QCOMPARE(yesBtn->text(), text);
    QCOMPARE(yesBtn->isEnabled(), enabled);
}

void TestMailDialog::answers_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("from");
    QTest::newRow("alias") << "yesBtn"
                           << "<owl@anon.test>";
    QTest::newRow("send normally") << "noBtn"
                                   << "Ann Smith <ann@example.org>";
    QTest::newRow("do not send") << "cancelBtn"
                                 << "";
}

void TestMailDialog::answers()
{
    QFETCH(QString, button);
    QFETCH(QString, from);
    MailDialog dialog(query());
    dialog.setMailList({"fox", "owl"}, 1);
    dialog.show();
    QSignalSpy decisions(&dialog, &MailDialog::mailConfirmed);
    auto *btn = dialog.findChild<QPushButton *>(button);
    QTest::mouseClick(btn, Qt::LeftButton, {}, QPoint(20, btn->height() / 2));
    QCOMPARE(decisions.count(), 1);
    MailInfo expected = query();
    expected.from = from;
    const MailInfo answer = decisions.first().at(0).value<MailInfo>();
    QCOMPARE(
        (QStringList{answer.messageId, answer.from, answer.subject, answer.inReplyTo}),
        (QStringList{expected.messageId, expected.from, expected.subject, expected.inReplyTo}));
    QCOMPARE(answer.recipients, expected.recipients);
    QVERIFY(!dialog.isVisible());
}

void TestMailDialog::choosingAnAliasDoesNotSend()
{
    MailDialog dialog(query());
    dialog.setMailList({"fox", "owl"}, 0);
    QSignalSpy decisions(&dialog, &MailDialog::mailConfirmed);
    auto *combo = dialog.findChild<ComboBox *>();
    emit combo->activated(1);
    QCOMPARE(dialog.findChild<SplitButton *>()->text(), QString("Yes, send as owl@anon.test"));
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(decisions.count(), 0);
}

void TestMailDialog::arrowAreaOpensListWithoutClick()
{
    SplitButton button;
    button.resize(200, 30);
    button.setMailList({"fox", "owl"}, 0);
    button.show();
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(200 - 24, 15));
    QCOMPARE(clicks.count(), 0);
    QVERIFY(button.isChecked());
    auto *combo = button.findChild<ComboBox *>();
    QTRY_VERIFY(combo->view()->isVisible());

    combo->closePopup();
    QVERIFY(!button.isChecked());
    QVERIFY(!button.isCheckable());
    QVERIFY(!combo->view()->isVisible());

    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(200 - 25, 15));
    QCOMPARE(clicks.count(), 1);
}

void TestMailDialog::longPressOpensList()
{
    SplitButton button;
    button.resize(200, 30);
    button.setMailList({"fox"}, 0);
    button.show();
    QSignalSpy clicks(&button, &QPushButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(20, 15));
    auto *combo = button.findChild<ComboBox *>();
    QTRY_VERIFY_WITH_TIMEOUT(combo->view()->isVisible(), 3000);
    QVERIFY(button.isChecked());
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(20, 15));
    QCOMPARE(clicks.count(), 0);
}

void TestMailDialog::separatorFollowsSize()
{
    SplitButton button;
    button.resize(150, 28);
    button.show();
    QCOMPARE(button.findChild<QFrame *>({}, Qt::FindDirectChildrenOnly)->geometry(),
             QRect(QPoint(126, 3), QPoint(127, 24)));
    QCOMPARE(button.findChild<ComboBox *>()->size(), QSize(150, 28));
}

void TestMailDialog::closing_data()
{
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("decisions");
    QTest::newRow("close, yes") << false << int(QMessageBox::Yes) << 1;
    QTest::newRow("close, no") << false << int(QMessageBox::No) << 0;
    QTest::newRow("escape, yes") << true << int(QMessageBox::Yes) << 1;
    QTest::newRow("escape, no") << true << int(QMessageBox::No) << 0;
}

void TestMailDialog::closing()
{
    QFETCH(bool, escape);
    QFETCH(int, answer);
    QFETCH(int, decisions);
    MailDialog dialog(query());
    dialog.show();
    QSignalSpy spy(&dialog, &MailDialog::mailConfirmed);
    QString question;
    ScriptedBoxes boxes(QMessageBox::StandardButton(answer),
                        [&](QMessageBox &box) { question = box.windowTitle() + "|" + box.text(); });
    if (escape)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        dialog.close();
    QCOMPARE(question, QString("Quillnet|Are you sure you want to cancel the outgoing e-mail?"));
    QCOMPARE(spy.count(), decisions);
    QCOMPARE(dialog.isVisible(), decisions == 0);
    if (decisions)
        QVERIFY(spy.first().at(0).value<MailInfo>().from.isEmpty());
}

void TestMailDialog::closeAfterAnswerAsksNothing()
{
    MailDialog dialog(query());
    dialog.show();
    QSignalSpy spy(&dialog, &MailDialog::mailConfirmed);
    dialog.findChild<QPushButton *>("noBtn")->click();
    dialog.show();
    ScriptedBoxes boxes(QMessageBox::Yes);
    dialog.close();
    QVERIFY(boxes.texts().isEmpty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(spy.count(), 1);
}

void TestMailDialog::closedAsCancelled_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("decisions"); // emitted by closeAsCancelled
    QTest::newRow("undecided") << "undecided" << 1;
    QTest::newRow("answered") << "answered" << 0;
    QTest::newRow("asking whether to close") << "asking" << 1;
    QTest::newRow("hidden, never shown") << "hidden" << 1;
}

// A new question replaces the dialog in any state: it ends as "do not send"
// unless it was answered, asks nothing, and is deleted once nothing of it is
// running any more, its close question's event loop included.
void TestMailDialog::closedAsCancelled()
{
    QFETCH(QString, state);
    QFETCH(int, decisions);
    QPointer<MailDialog> dialog = new MailDialog(query());
    if (state != "hidden")
        dialog->show();
    QSignalSpy spy(dialog.data(), &MailDialog::mailConfirmed);
    if (state == "answered") {
        dialog->findChild<QPushButton *>("noBtn")->click();
        spy.clear();
    }

    if (state == "asking") {
        // Whatever the user would have answered, the dialog is gone.
        ScriptedBoxes boxes(QMessageBox::No, [&](QMessageBox &) { dialog->closeAsCancelled(); });
        dialog->close(); // returns when the question has gone
        QCOMPARE(boxes.texts().size(), 1);
        QVERIFY(dialog); // deleted later, never at once
    } else {
        dialog->closeAsCancelled();
    }
    QCOMPARE(spy.count(), decisions);
    if (decisions)
        QVERIFY(spy.first().at(0).value<MailInfo>().from.isEmpty());
    QTRY_VERIFY(dialog.isNull());
    for (QWidget *widget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<QMessageBox *>(widget) || !widget->isVisible());
}

QTEST_MAIN(TestMailDialog)
#include "tst_maildialog.moc"
