// Every text of every window, page and state the user meets has the room
// it needs, in English and in Czech: nothing is cut off.
#include "MainFormFixture.h"
#include "TextFit.h"
#include "WindowTour.h"

#include <QApplication>
#include <QScopeGuard>
#include <QTest>
#include <QTranslator>

class TestTextsFit : public QObject
{
    Q_OBJECT

    MainFormFixture fixture;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(fixture.start(&error), qPrintable(error));
    }

    void everyTextFits_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::newRow("English") << QString();
        QTest::newRow("Czech") << QStringLiteral(":/data/quillnet_cz");
    }

    void everyTextFits()
    {
        QFETCH(QString, catalogue);
        QTranslator translator;
        if (!catalogue.isEmpty()) {
            QVERIFY(translator.load(catalogue));
            QCoreApplication::installTranslator(&translator);
        }
        auto english = qScopeGuard([&] { QCoreApplication::removeTranslator(&translator); });
        QStringList clipped;
        QVERIFY(WindowTour(fixture).run([&](QWidget *window, const QString &name, bool) {
            for (const QString &line : clippedTexts(window))
                clipped << name + QStringLiteral(": ") + line;
            return true;
        }));
        QVERIFY2(clipped.isEmpty(),
                 qPrintable(QLatin1Char('\n') + clipped.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestTextsFit)
#include "tst_textsfit.moc"
