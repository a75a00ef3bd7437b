#include "ui/widgets/ComboBox.h"
#include "ui/widgets/HintEdit.h"
#include "ui/widgets/HoverChBox.h"
#include "ui/widgets/RegExpSValidator.h"

#include <QAbstractItemView>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {
const QString HintStyle = "font-style: italic; color: #a0a0a4";
const QString AlertStyle = "background: #FFDDDD";

// An active window with the edit and a second field to move the focus to.
struct HintForm
{
    QWidget window;
    HintEdit *edit = new HintEdit(&window);
    QLineEdit *other = new QLineEdit(&window);

    bool activate()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->setHint("Username");
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    static bool focus(QWidget *widget)
    {
        widget->setFocus();
        return QTest::qWaitFor([widget] { return widget->hasFocus(); });
    }
};
} // namespace

class TestInputHelpers : public QObject
{
    Q_OBJECT

private slots:
    void hintFollowsFocus();
    void hintOnWhileFocusedClears();
    void textChangesEndHintAndAlert();
    void validatorReportsRefusals_data();
    void validatorReportsRefusals();
    void hoverSignalsInPairs();
    void comboOnlyReportsHideRequests();
};

void TestInputHelpers::hintFollowsFocus()
{
    HintForm form;
    QVERIFY(form.activate());
    QVERIFY(form.focus(form.other));
    form.edit->hintOn();
    QCOMPARE(form.edit->text(), QString("Username"));
    QCOMPARE(form.edit->styleSheet(), HintStyle);
    QCOMPARE(form.edit->userText(), QString());

    QVERIFY(form.focus(form.edit));
    QCOMPARE(form.edit->text(), QString());
    QCOMPARE(form.edit->styleSheet(), QString());
    QCOMPARE(form.edit->userText(), QString());

    QVERIFY(form.focus(form.other));
    QCOMPARE(form.edit->text(), QString("Username"));
    QCOMPARE(form.edit->styleSheet(), HintStyle);

    // Leaving the field with the user's text in it keeps that text.
    QVERIFY(form.focus(form.edit));
    QTest::keyClicks(form.edit, "bob");
    QVERIFY(form.focus(form.other));
    QCOMPARE(form.edit->userText(), QString("bob"));
    QCOMPARE(form.edit->styleSheet(), QString());
}

void TestInputHelpers::hintOnWhileFocusedClears()
{
    HintForm form;
    QVERIFY(form.activate());
    QVERIFY(form.focus(form.edit));
    form.edit->setText("typed");
    form.edit->hintOn();
    QCOMPARE(form.edit->text(), QString());
    QCOMPARE(form.edit->styleSheet(), QString());
}

void TestInputHelpers::textChangesEndHintAndAlert()
{
    HintEdit edit;
    edit.setHint("Username");
    edit.hintOn();
    edit.setText("alice"); // set by program over the hint: user text now
    QCOMPARE(edit.userText(), QString("alice"));
    QCOMPARE(edit.styleSheet(), QString());

    edit.alertOn();
    QCOMPARE(edit.styleSheet(), AlertStyle);
    QCOMPARE(edit.userText(), QString("alice"));
    QTest::keyClick(&edit, 'x');
    QCOMPARE(edit.styleSheet(), QString());
    QCOMPARE(edit.userText(), QString("alicex"));
}

void TestInputHelpers::validatorReportsRefusals_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("refusals");

    QTest::newRow("each refused key") << "[0-9]*"
                                      << "1a2bc3"
                                      << "123" << 3;
    QTest::newRow("refused past the length") << "[0-9]{0,3}"
                                             << "12345"
                                             << "123" << 2;
    QTest::newRow("intermediate is no refusal") << "[0-9]{4}"
                                                << "12"
                                                << "12" << 0;
    QTest::newRow("all accepted") << "[a-z]+"
                                  << "abc"
                                  << "abc" << 0;
}

void TestInputHelpers::validatorReportsRefusals()
{
    QFETCH(QString, pattern);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(int, refusals);

    QLineEdit edit;
    auto *validator = new RegExpSValidator(QRegularExpression(pattern), &edit);
    edit.setValidator(validator);
    QSignalSpy modified(validator, &RegExpSValidator::inputModified);

    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.text(), text);
    QCOMPARE(modified.count(), refusals);
}

void TestInputHelpers::hoverSignalsInPairs()
{
    HoverChBox box;
    QStringList events;
    connect(&box, &HoverChBox::hoverOn, this, [&] { events << "on"; });
    connect(&box, &HoverChBox::hoverOff, this, [&] { events << "off"; });

    for (int i = 0; i < 2; ++i) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&box, &enter);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&box, &leave);
    }
    QCOMPARE(events, QStringList({"on", "off", "on", "off"}));
}

void TestInputHelpers::comboOnlyReportsHideRequests()
{
    ComboBox combo;
    combo.addItems({"Send", "Send and forget"});
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));
    QSignalSpy hidden(&combo, &ComboBox::popupHidden);
    combo.showPopup();
    QTRY_VERIFY(combo.view()->isVisible());

    // Picking an item makes Qt ask for the list to close: only reported.
    QTest::keyClick(combo.view(), Qt::Key_Return);
    QCOMPARE(hidden.count(), 1);
    QVERIFY(combo.view()->isVisible());

    combo.closePopup();
    QTRY_VERIFY(!combo.view()->isVisible());
    QCOMPARE(hidden.count(), 2);
}

QTEST_MAIN(TestInputHelpers)
#include "tst_inputhelpers.moc"
