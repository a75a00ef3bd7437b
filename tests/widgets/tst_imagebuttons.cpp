#include "ui/widgets/ActiveLabel.h"
#include "ui/widgets/ImageBtn.h"
#include "ui/widgets/ImageBtnBar.h"
#include "ui/widgets/ImageButton.h"

#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>

namespace {
const QPoint Inside(5, 5);
const QPoint Outside(50, 5);

QPixmap picture(Qt::GlobalColor color)
{
    QPixmap pixmap(20, 20);
    pixmap.fill(color);
    return pixmap;
}

bool shows(const QLabel &label, const QPixmap &expected)
{
    return label.pixmap().toImage() == expected.toImage();
}

void enter(QWidget &widget)
{
    QEnterEvent event(Inside, Inside, widget.mapToGlobal(Inside));
    QCoreApplication::sendEvent(&widget, &event);
}

void leave(QWidget &widget)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&widget, &event);
}

// A move with the left button held, as Qt delivers it to the pressed widget.
void dragTo(QWidget &widget, QPoint pos)
{
    QMouseEvent event(QEvent::MouseMove, pos, widget.mapToGlobal(pos), Qt::NoButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}
} // namespace

class TestImageButtons : public QObject
{
    Q_OBJECT

private slots:
    void completedClick_data();
    void completedClick();
    void imageButtonPictures();
    void imageBtnTwoPicturesNeverSelected();
    void imageBtnSelectedIgnoresHover();
    void imageBtnWithoutPicturesKeepsOwnersPicture();
    void barSelection();

private:
    // Created with the test object, after the application exists.
    const QPixmap normalPix = picture(Qt::gray);
    const QPixmap hoverPix = picture(Qt::yellow);
    const QPixmap thirdPix = picture(Qt::blue); // pressed or selected
};

void TestImageButtons::completedClick_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<Qt::MouseButton>("pressButton");
    QTest::addColumn<Qt::MouseButton>("releaseButton");
    QTest::addColumn<bool>("dragOff");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<int>("clicks");

    for (const char *kind : {"ActiveLabel", "ImageButton", "ImageBtn"}) {
        QTest::addRow("%s: left click", kind)
            << kind << Qt::LeftButton << Qt::LeftButton << false << Inside << 1;
        QTest::addRow("%s: dragged off", kind)
            << kind << Qt::LeftButton << Qt::LeftButton << true << Outside << 0;
        QTest::addRow("%s: dragged off and back", kind)
            << kind << Qt::LeftButton << Qt::LeftButton << true << Inside << 1;
        QTest::addRow("%s: right press, left release", kind)
            << kind << Qt::RightButton << Qt::LeftButton << false << Inside << 0;
        QTest::addRow("%s: left press, right release", kind)
            << kind << Qt::LeftButton << Qt::RightButton << false << Inside << 0;
    }
}

void TestImageButtons::completedClick()
{
    QFETCH(QString, kind);
    QFETCH(Qt::MouseButton, pressButton);
    QFETCH(Qt::MouseButton, releaseButton);
    QFETCH(bool, dragOff);
    QFETCH(QPoint, releaseAt);
    QFETCH(int, clicks);

    std::unique_ptr<QLabel> label;
    if (kind == "ActiveLabel")
        label = std::make_unique<ActiveLabel>();
    else if (kind == "ImageButton")
        label = std::make_unique<ImageButton>();
    else
        label = std::make_unique<ImageBtn>(nullptr, normalPix, hoverPix, thirdPix);
    label->resize(20, 20);
    QSignalSpy clicked(label.get(), SIGNAL(clicked()));

    QTest::mousePress(label.get(), pressButton, {}, Inside);
    if (dragOff)
        dragTo(*label, Outside);
    QTest::mouseRelease(label.get(), releaseButton, {}, releaseAt);
    // The press is over either way: a stray release clicks nothing.
    QTest::mouseRelease(label.get(), Qt::LeftButton, {}, Inside);
    QCOMPARE(clicked.count(), clicks);
}

void TestImageButtons::imageButtonPictures()
{
    ImageButton button;
    button.resize(20, 20);
    button.setPixmaps(normalPix, hoverPix, thirdPix);
    QVERIFY(shows(button, normalPix));

    enter(button);
    QVERIFY(shows(button, hoverPix));
    QTest::mousePress(&button, Qt::LeftButton, {}, Inside);
    QVERIFY(shows(button, thirdPix));
    dragTo(button, Outside);
    QVERIFY(shows(button, normalPix));
    dragTo(button, Inside);
    QVERIFY(shows(button, thirdPix));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, Inside);
    QVERIFY(shows(button, hoverPix));
    leave(button);
    QVERIFY(shows(button, normalPix));

    // New pictures forget the old hover and press.
    enter(button);
    QTest::mousePress(&button, Qt::LeftButton, {}, Inside);
    button.setPixmaps(hoverPix, thirdPix, normalPix);
    QVERIFY(shows(button, hoverPix));
    QSignalSpy clicked(&button, &ImageButton::clicked);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, Inside);
    QCOMPARE(clicked.count(), 0);
}

void TestImageButtons::imageBtnTwoPicturesNeverSelected()
{
    ImageBtn button(nullptr, normalPix, hoverPix);
    button.resize(20, 20);
    enter(button);
    QVERIFY(shows(button, hoverPix));
    button.setSelected(true);
    QTest::mouseClick(&button, Qt::LeftButton, {}, Inside);
    QVERIFY(shows(button, hoverPix));
    leave(button);
    QVERIFY(shows(button, normalPix));
}

void TestImageButtons::imageBtnSelectedIgnoresHover()
{
    ImageBtn button(nullptr, normalPix, hoverPix, thirdPix);
    button.resize(20, 20);
    button.setSelected(true);
    enter(button);
    QTest::mousePress(&button, Qt::LeftButton, {}, Inside);
    dragTo(button, Outside);
    dragTo(button, Inside);
    leave(button);
    QVERIFY(shows(button, thirdPix));

    button.setSelected(false);
    QVERIFY(shows(button, normalPix));
    enter(button);
    QVERIFY(shows(button, hoverPix));
}

void TestImageButtons::imageBtnWithoutPicturesKeepsOwnersPicture()
{
    ImageBtn button;
    button.resize(20, 20);
    button.setPixmap(thirdPix);
    enter(button);
    button.setSelected(true);
    QTest::mouseClick(&button, Qt::LeftButton, {}, Inside);
    leave(button);
    QVERIFY(shows(button, thirdPix));
}

void TestImageButtons::barSelection()
{
    ImageBtnBar bar;
    bar.addButton(normalPix, hoverPix, thirdPix);
    bar.addImage(hoverPix); // takes room, never selectable
    bar.addButton(normalPix, hoverPix, thirdPix);
    const QList<ImageBtn *> children = bar.findChildren<ImageBtn *>();
    QCOMPARE(children.size(), 3);
    ImageBtn *first = children[0];
    ImageBtn *second = children[2];
    QSignalSpy changed(&bar, &ImageBtnBar::selectionChanged);
    QVERIFY(shows(*first, normalPix) && shows(*second, normalPix));

    QTest::mouseClick(second, Qt::LeftButton, {}, Inside);
    QTest::mouseClick(second, Qt::LeftButton, {}, Inside); // already selected
    QTest::mouseClick(children[1], Qt::LeftButton, {}, Inside);
    for (int index : {-1, 2, 99})
        bar.click(index);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toInt(), 1);
    QVERIFY(shows(*second, thirdPix));

    bar.click(0);
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(1).at(0).toInt(), 0);
    QVERIFY(shows(*first, thirdPix));
    QVERIFY(shows(*second, normalPix));
}

QTEST_MAIN(TestImageButtons)
#include "tst_imagebuttons.moc"
