// The two compiled-in Czech catalogues reach the texts they are meant for,
// and speak of one thing in one way wherever the user meets it.
#include "mail/MailInfo.h"
#include "ui/mail/MailDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
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

    // A feature named one way in the tray's menu and another in its
    // balloons, or a question worded two ways, reads as two things.
    void oneThingOneWording_data()
    {
        QTest::addColumn<QByteArray>("context");
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("sameAsContext");
        QTest::addColumn<QByteArray>("sameAsSource");
        const QByteArray exit = "There is still active connection that will be closed if you "
                                "exit Quillnet.\nAre you sure you want to exit?";
        QTest::newRow("disposable alias: menu and balloons")
            << QByteArray("TrayWidget") << QByteArray("&Junk mail") << QByteArray("EmailPage")
            << QByteArray("Junk mail");
        QTest::newRow("exit question: tray and exit page")
            << QByteArray("TrayWidget") << exit << QByteArray("MainForm") << exit;
        // The login window's question is the last line of the other one.
        QTest::newRow("exit question: login window")
            << QByteArray("LoginDlg") << QByteArray("Are you sure you want to exit?")
            << QByteArray("MainForm") << exit;
    }

    void oneThingOneWording()
    {
        QFETCH(QByteArray, context);
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, sameAsContext);
        QFETCH(QByteArray, sameAsSource);
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/data/quillnet_cz")));
        const QString text = translator.translate(context, source).remove(QLatin1Char('&'));
        const QString other = translator.translate(sameAsContext, sameAsSource);
        QVERIFY(!text.isEmpty() && !other.isEmpty());
        QCOMPARE(text, other.section(QLatin1Char('\n'), -1 - text.count(QLatin1Char('\n'))));
    }

    // The mail dialog's captions are Czech like the rest of it.
    void mailDialogCaptionsTranslated()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/data/quillnet_cz")));
        QCoreApplication::installTranslator(&translator);
        MailInfo info;
        info.subject = QStringLiteral("Hello");
        info.recipients = QStringList{QStringLiteral("<bob@example.net>")};
        MailDialog dialog(info);
        QStringList texts;
        for (QLabel *label : dialog.findChildren<QLabel *>())
            texts << label->text();
        QCoreApplication::removeTranslator(&translator);
        QVERIFY2(texts.contains(QStringLiteral("Komu:")), qPrintable(texts.join(", ")));
        QVERIFY2(texts.contains(QStringLiteral("Předmět:")), qPrintable(texts.join(", ")));
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
