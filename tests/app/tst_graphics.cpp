// Checks the built graphics.rcc: every picture the program asks for is there,
// the sliced sprites have the geometry the windows cut them at, and the busy
// animation really plays in Qt's movie player.

#include <QDir>
#include <QImageReader>
#include <QMovie>
#include <QResource>
#include <QSet>
#include <QtTest>

namespace {
bool hasVisiblePixels(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            if (qAlpha(argb.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

int opaquePixels(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x)
            count += qAlpha(argb.pixel(x, y)) > 128 ? 1 : 0;
    }
    return count;
}
} // namespace

class TestGraphics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pictureLoads_data();
    void pictureLoads();
    void pictureFitsItsWidget_data();
    void pictureFitsItsWidget();
    void backgroundSpansItsWindow_data();
    void backgroundSpansItsWindow();
    void buttonLooksDiffer_data();
    void buttonLooksDiffer();
    void swappedPicturesMatch();
    void trayIconsStayApartWhenSmall();
    void comboArrowSitsCentredRightOfSeparator();
    void busyAnimationShowsDistinctFrames();
    void busyAnimationLoops();
    void busyFramesDoNotPileUp();

private:
    QList<QImage> recordBusyFrames(int count);
};

void TestGraphics::initTestCase()
{
    const QString appDir = qEnvironmentVariable("QUILLNET_APP_DIR");
    QVERIFY2(!appDir.isEmpty(), "QUILLNET_APP_DIR is not set");
    const QString rcc = QDir(appDir).filePath("graphics.rcc");
    QVERIFY2(QResource::registerResource(rcc), qPrintable("cannot register " + rcc));
}

void TestGraphics::pictureLoads_data()
{
    QTest::addColumn<QString>("path");
    const char *paths[] = {
        ":/img/button/menubar.png",
        ":/img/button/tabbar.png",
        ":/img/button/exitbar.png",
        ":/img/button/webfilter-on.png",
        ":/img/button/webfilter-off.png",
        ":/img/backgnd/title.png",
        ":/img/backgnd/title-login.png",
        ":/img/backgnd/stripe-login.png",
        ":/img/backgnd/stripe.png",
        ":/img/backgnd/attention.png",
        ":/img/backgnd/proxy.png",
        ":/img/backgnd/notice1.png",
        ":/img/backgnd/notice2.png",
        ":/img/backgnd/sendmail.png",
        ":/img/icon/login.png",
        ":/img/icon/connected.png",
        ":/img/icon/disconnected.png",
        ":/img/icon/reconnecting.png",
        ":/img/icon/mail.png",
        ":/img/icon/show.png",
        ":/img/icon/hide.png",
        ":/img/icon/quit.png",
        ":/img/icon/alert.png",
        ":/img/icon/ok.png",
        ":/img/icon/info.png",
        ":/img/icon/faq.png",
        ":/img/icon/help.png",
        ":/img/icon/forum.png",
        ":/img/icon/contact.png",
        ":/img/icon/about.png",
        ":/img/icon/combo.png",
    };
    for (const char *path : paths)
        QTest::newRow(path) << QString::fromLatin1(path);
}

void TestGraphics::pictureLoads()
{
    QFETCH(QString, path);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path + " does not load"));
    QVERIFY2(hasVisiblePixels(image), qPrintable(path + " is fully transparent"));
}

void TestGraphics::pictureFitsItsWidget_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    // Menu bar: boundaries 0..686 in three rows of 40 (normal, hover, selected).
    QTest::newRow("menu bar") << ":/img/button/menubar.png" << QSize(686, 120);
    // Tabs 0-106 and 107-212 plus the filler up to 685, three rows of 26.
    QTest::newRow("tab bar") << ":/img/button/tabbar.png" << QSize(686, 78);
    // Three buttons in rows of 54, three looks in columns of 312.
    QTest::newRow("exit bar") << ":/img/button/exitbar.png" << QSize(936, 162);
    // The filter button spans 25,55 to 336,108.
    QTest::newRow("filter on") << ":/img/button/webfilter-on.png" << QSize(312, 54);
    QTest::newRow("filter off") << ":/img/button/webfilter-off.png" << QSize(312, 54);
    // The title label spans 0,0 to 685,77.
    QTest::newRow("title") << ":/img/backgnd/title.png" << QSize(686, 78);
}

void TestGraphics::pictureFitsItsWidget()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QCOMPARE(QImage(path).size(), size);
}

// Backgrounds placed without repeating must be as wide as the window they
// sit in, or a bare strip shows beside them.
void TestGraphics::backgroundSpansItsWindow_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::newRow("page stripe") << ":/img/backgnd/stripe.png" << 686;
    QTest::newRow("login title") << ":/img/backgnd/title-login.png" << 300;
    QTest::newRow("login stripe") << ":/img/backgnd/stripe-login.png" << 300;
    QTest::newRow("mail header") << ":/img/backgnd/sendmail.png" << 343;
}

void TestGraphics::backgroundSpansItsWindow()
{
    QFETCH(QString, path);
    QFETCH(int, width);
    QCOMPARE(QImage(path).width(), width);
}

// Each button's normal, hover and selected (or pressed) slices must differ,
// otherwise the button gives no feedback.
void TestGraphics::buttonLooksDiffer_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<QRect>>("looks");
    const int menu[] = {0, 133, 277, 419, 566, 686};
    for (int i = 0; i < 5; ++i) {
        const int w = menu[i + 1] - menu[i];
        QTest::addRow("menu button %d", i)
            << ":/img/button/menubar.png"
            << QList<QRect>{{menu[i], 0, w, 40}, {menu[i], 40, w, 40}, {menu[i], 80, w, 40}};
    }
    const int tabs[] = {0, 107, 213};
    for (int i = 0; i < 2; ++i) {
        const int w = tabs[i + 1] - tabs[i];
        QTest::addRow("tab %d", i)
            << ":/img/button/tabbar.png"
            << QList<QRect>{{tabs[i], 0, w, 26}, {tabs[i], 26, w, 26}, {tabs[i], 52, w, 26}};
    }
    for (int row = 0; row < 3; ++row) {
        QTest::addRow("exit button %d", row)
            << ":/img/button/exitbar.png"
            << QList<QRect>{
                   {0, row * 54, 312, 54}, {312, row * 54, 312, 54}, {624, row * 54, 312, 54}};
    }
}

void TestGraphics::buttonLooksDiffer()
{
    QFETCH(QString, path);
    QFETCH(QList<QRect>, looks);
    const QImage sprite(path);
    QVERIFY(!sprite.isNull());
    QList<QImage> slices;
    for (const QRect &look : looks)
        slices.append(sprite.copy(look));
    for (int a = 0; a < slices.size(); ++a) {
        QVERIFY2(hasVisiblePixels(slices[a]), qPrintable(QString("look %1 is empty").arg(a)));
        for (int b = a + 1; b < slices.size(); ++b)
            QVERIFY2(slices[a] != slices[b],
                     qPrintable(QString("looks %1 and %2 are the same").arg(a).arg(b)));
    }
}

// Pictures that replace one another in the same widget: same size, so the
// layout does not jump, but different content.
void TestGraphics::swappedPicturesMatch()
{
    const QImage stripe(":/img/backgnd/stripe-login.png"), attention(":/img/backgnd/attention.png");
    QCOMPARE(attention.size(), stripe.size());
    QVERIFY(attention != stripe);
    const QImage on(":/img/button/webfilter-on.png"), off(":/img/button/webfilter-off.png");
    QCOMPARE(on.size(), off.size());
    QVERIFY(on != off);
}

// Shrunk to a 16 px tray, the four states must still differ clearly in colour.
void TestGraphics::trayIconsStayApartWhenSmall()
{
    const char *names[] = {"login", "connected", "disconnected", "reconnecting"};
    QList<QColor> averages;
    for (const char *name : names) {
        const QImage icon(QString(":/img/icon/%1.png").arg(name));
        QVERIFY2(!icon.isNull(), name);
        const QImage tiny = icon.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                .convertToFormat(QImage::Format_ARGB32);
        qint64 r = 0, g = 0, b = 0, weight = 0;
        for (int y = 0; y < tiny.height(); ++y) {
            for (int x = 0; x < tiny.width(); ++x) {
                const QRgb px = tiny.pixel(x, y);
                r += qRed(px) * qAlpha(px);
                g += qGreen(px) * qAlpha(px);
                b += qBlue(px) * qAlpha(px);
                weight += qAlpha(px);
            }
        }
        QVERIFY2(weight > 0, name);
        averages.append(QColor(int(r / weight), int(g / weight), int(b / weight)));
    }
    for (int a = 0; a < averages.size(); ++a) {
        for (int b = a + 1; b < averages.size(); ++b) {
            const int distance = qAbs(averages[a].red() - averages[b].red()) +
                                 qAbs(averages[a].green() - averages[b].green()) +
                                 qAbs(averages[a].blue() - averages[b].blue());
            QVERIFY2(distance > 60,
                     qPrintable(QString("%1 and %2 look alike").arg(names[a], names[b])));
        }
    }
}

// The split button draws the arrow at (width - 17, height / 2 - 4), right of
// its separator at width - 24 and width - 23.
void TestGraphics::comboArrowSitsCentredRightOfSeparator()
{
    const QImage arrow(":/img/icon/combo.png");
    QVERIFY(!arrow.isNull());
    QVERIFY2(arrow.width() <= 16, "the arrow would run past the button's right edge");
    QCOMPARE(arrow.height(), 8);
}

QList<QImage> TestGraphics::recordBusyFrames(int count)
{
    QList<QImage> frames;
    if (!QImageReader::supportedImageFormats().contains("mng"))
        return frames;
    QMovie movie(":/img/icon/busy.mng");
    if (!movie.isValid())
        return frames;
    connect(&movie, &QMovie::frameChanged, this, [&] { frames.append(movie.currentImage()); });
    movie.start();
    // A movie that stops early simply leaves the list short; the callers say why that fails.
    if (!QTest::qWaitFor([&] { return frames.size() >= count; }, 15000))
        qWarning("the busy animation gave %d of %d frames", int(frames.size()), count);
    return frames;
}

void TestGraphics::busyAnimationShowsDistinctFrames()
{
    QVERIFY2(QImageReader::supportedImageFormats().contains("mng"),
             "no MNG image plugin: the busy animation cannot play");
    const QList<QImage> frames = recordBusyFrames(12);
    QVERIFY2(frames.size() >= 12, "the animation stopped or never started");

    QSet<QByteArray> distinct;
    for (const QImage &frame : frames) {
        const QImage argb = frame.convertToFormat(QImage::Format_ARGB32);
        distinct.insert(
            QByteArray(reinterpret_cast<const char *>(argb.constBits()), argb.sizeInBytes()));
    }
    QVERIFY2(distinct.size() >= 8,
             qPrintable(QString("only %1 distinct frames").arg(distinct.size())));
    QVERIFY(frames.first().width() <= 20 && frames.first().height() <= 20);
}

void TestGraphics::busyAnimationLoops()
{
    const QList<QImage> frames = recordBusyFrames(30);
    QVERIFY2(frames.size() >= 30, "the animation stopped instead of looping");
    QVERIFY2(frames.indexOf(frames.first(), 1) > 0, "the first frame never came back");
}

// Each frame must start from a clear background; otherwise the transparent
// spinner smears into a solid ring after one turn.
void TestGraphics::busyFramesDoNotPileUp()
{
    const QList<QImage> frames = recordBusyFrames(12);
    QVERIFY(frames.size() >= 12);
    const int first = opaquePixels(frames.first());
    QVERIFY(first > 0);
    for (const QImage &frame : frames) {
        QVERIFY(opaquePixels(frame) <= first * 13 / 10);
        QCOMPARE(qAlpha(frame.convertToFormat(QImage::Format_ARGB32).pixel(0, 0)), 0);
    }
}

QTEST_MAIN(TestGraphics)
#include "tst_graphics.moc"
