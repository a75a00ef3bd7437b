// The two compiled-in Czech catalogues reach the texts they are meant for.
#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void programCatalogueTranslatesByClassContext()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/data/quillnet_cz")));
        QCOMPARE(translator.translate("TrayWidget", "&Quit"), QStringLiteral("&Ukončit"));
        // A text of another class stays in its source wording.
        QCOMPARE(translator.translate("LoginDlg", "&Quit"), QString());
    }

    void qtCatalogueTranslatesTheYesAndNoButtons()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/data/qt_cz")));
        QCoreApplication::installTranslator(&translator);
        QDialogButtonBox box(QDialogButtonBox::Yes | QDialogButtonBox::No);
        QCOMPARE(box.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ano"));
        QCOMPARE(box.button(QDialogButtonBox::No)->text(), QStringLiteral("&Ne"));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
