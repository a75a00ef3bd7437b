// One version everywhere a user or a package manager reads it: the client's
// own (what `quillnet --version` prints), the package's, the AppStream
// release's and the manual page's; the login window's title gives its
// major and minor number.
#include "TestFiles.h"
#include "core/ApplicationNames.h"
#include "ui_LoginDialog.h"

#include <QApplication>
#include <QDialog>
#include <QRegularExpression>
#include <QTest>
#include <QVersionNumber>

class TestApplicationVersion : public QObject
{
    Q_OBJECT

    // The first capture of `pattern` in the build's file `name`.
    static QString builtVersion(const char *name, const char *pattern)
    {
        const QString text = QString::fromUtf8(
            readAll(QStringLiteral(QUILLNET_BINARY_DIR "/") + QLatin1String(name)));
        return QRegularExpression(QLatin1String(pattern)).match(text).captured(1);
    }

private slots:
    void everyPlaceSaysTheClientsVersion_data()
    {
        setApplicationNames();
        const QString version = QCoreApplication::applicationVersion();
        QVERIFY(!QVersionNumber::fromString(version).isNull());
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("expected");
        QTest::newRow("package") << builtVersion("CPackConfig.cmake",
                                                 "set\\(CPACK_PACKAGE_VERSION \"([^\"]*)\"\\)")
                                 << version;
        QTest::newRow("AppStream release")
            << builtVersion("metainfo/net.quillnet.Quillnet.metainfo.xml",
                            "<release version=\"([^\"]*)\"")
            << version;
        QTest::newRow("manual page")
            << builtVersion("man/quillnet.1",
                            "\\n\\.TH QUILLNET 1 \"[^\"]*\" \"Quillnet ([^\"]*)\"")
            << version;
        QDialog login;
        Ui::LoginDialog form;
        form.setupUi(&login);
        const QVersionNumber number = QVersionNumber::fromString(version);
        QTest::newRow("login window") << login.windowTitle()
                                      << QStringLiteral("Quillnet %1.%2")
                                             .arg(number.majorVersion())
                                             .arg(number.minorVersion());
    }

    void everyPlaceSaysTheClientsVersion()
    {
        QFETCH(QString, said);
        QFETCH(QString, expected);
        QCOMPARE(said, expected);
    }
};

QTEST_MAIN(TestApplicationVersion)
#include "tst_applicationversion.moc"
