// The display platform asked of Qt: Wayland with X11 behind it wherever Qt
// would otherwise abort without a compositor, and nothing else changed.
#include "platform/DisplayPlatform.h"

#include <QTest>

class TestDisplayPlatform : public QObject
{
    Q_OBJECT

private slots:
    void fallback_data()
    {
        QTest::addColumn<QByteArray>("requested");
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<QByteArray>("desktops");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("Wayland session") << QByteArray() << QByteArray("wayland")
                                         << QByteArray("KDE") << QByteArray("wayland;xcb");
        QTest::newRow("Wayland asked for") << QByteArray("wayland") << QByteArray("x11")
                                           << QByteArray() << QByteArray("wayland;xcb");
        QTest::newRow("GNOME, where Qt uses X11")
            << QByteArray() << QByteArray("wayland") << QByteArray("ubuntu:GNOME") << QByteArray();
        QTest::newRow("X11 session")
            << QByteArray() << QByteArray("x11") << QByteArray() << QByteArray();
        QTest::newRow("no session") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("the user's own list")
            << QByteArray("wayland;offscreen") << QByteArray("wayland") << QByteArray()
            << QByteArray();
        QTest::newRow("another platform")
            << QByteArray("offscreen") << QByteArray("wayland") << QByteArray() << QByteArray();
    }

    void fallback()
    {
        QFETCH(QByteArray, requested);
        QFETCH(QByteArray, session);
        QFETCH(QByteArray, desktops);
        QFETCH(QByteArray, expected);
        QCOMPARE(DisplayPlatform::withFallback(requested, session, desktops), expected);
    }
};

QTEST_GUILESS_MAIN(TestDisplayPlatform)
#include "tst_displayplatform.moc"
