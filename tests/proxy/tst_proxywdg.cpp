// The proxy form: what it shows for the stored choice, which fields it
// offers for each choice, and when it writes the six keys.
#include "core/ApplicationNames.h"
#include "core/SettingsKeys.h"
#include "ui/proxy/ProxyDlg.h"
#include "ui/proxy/ProxyWdg.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

namespace {

template <typename T> T *child(QWidget *form, const char *name)
{
    T *widget = form->findChild<T *>(QLatin1String(name));
    if (!widget)
        qFatal("no %s", name);
    return widget;
}

QVariantList storedKeys()
{
    const QSettings settings;
    QVariantList values;
    for (const char *key : {SettingsKey::ProxySource, SettingsKey::ProxyAddress, SettingsKey::ProxyPort,
                            SettingsKey::ProxyAuth, SettingsKey::ProxyUser, SettingsKey::ProxyPasswd})
        values << settings.value(QLatin1String(key));
    return values;
}

void store(int source, bool auth)
{
    QSettings settings;
    settings.clear();
    settings.setValue(QLatin1String(SettingsKey::ProxySource), source);
    settings.setValue(QLatin1String(SettingsKey::ProxyAddress), QStringLiteral("proxy.example"));
    settings.setValue(QLatin1String(SettingsKey::ProxyPort), 3128);
    settings.setValue(QLatin1String(SettingsKey::ProxyAuth), auth);
    settings.setValue(QLatin1String(SettingsKey::ProxyUser), QStringLiteral("joe"));
    settings.setValue(QLatin1String(SettingsKey::ProxyPasswd), QStringLiteral("secret"));
}

} // namespace

class TestProxyWdg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setApplicationNames();
    }

    void loadedChoiceDecidesWhatIsOffered_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<bool>("addressOn");
        QTest::addColumn<bool>("authBoxOn");
        QTest::addColumn<bool>("credentialsOn");
        QTest::newRow("own proxy with authorization") << 2 << true << "myRadBtn" << true << true << true;
        QTest::newRow("own proxy without") << 2 << false << "myRadBtn" << true << true << false;
        QTest::newRow("system proxy with authorization") << 1 << true << "ieRadBtn" << false << true << true;
        QTest::newRow("none, authorization stored") << 0 << true << "noRadBtn" << false << false << false;
        QTest::newRow("unknown source") << 9 << false << "noRadBtn" << false << false << false;
    }

    void loadedChoiceDecidesWhatIsOffered()
    {
        QFETCH(int, source);
        QFETCH(bool, auth);
        QFETCH(QString, checked);
        QFETCH(bool, addressOn);
        QFETCH(bool, authBoxOn);
        QFETCH(bool, credentialsOn);
        store(source, auth);
        ProxyWdg form;
        QVERIFY(child<QRadioButton>(&form, checked.toLatin1().constData())->isChecked());
        QCOMPARE(child<QGroupBox>(&form, "groupBox")->isEnabled(), addressOn);
        QCOMPARE(child<QCheckBox>(&form, "authChckBox")->isEnabled(), authBoxOn);
        QCOMPARE(child<QCheckBox>(&form, "authChckBox")->isChecked(), auth);
        QCOMPARE(child<QGroupBox>(&form, "authGrpBox")->isEnabled(), credentialsOn);
        QCOMPARE(child<QLineEdit>(&form, "addressEdit")->text(), QStringLiteral("proxy.example"));
        QCOMPARE(child<QSpinBox>(&form, "portSpinBox")->value(), 3128);
        QCOMPARE(child<QLineEdit>(&form, "passwordEdit")->echoMode(), QLineEdit::Password);
    }

    void clickingFollowsTheChoice()
    {
        store(0, false);
        ProxyWdg form;
        form.show();
        child<QRadioButton>(&form, "myRadBtn")->click();
        QVERIFY(child<QGroupBox>(&form, "groupBox")->isEnabled());
        QVERIFY(!child<QGroupBox>(&form, "authGrpBox")->isEnabled());
        child<QCheckBox>(&form, "authChckBox")->click();
        QVERIFY(child<QGroupBox>(&form, "authGrpBox")->isEnabled());
        child<QRadioButton>(&form, "noRadBtn")->click();
        QVERIFY(!child<QGroupBox>(&form, "groupBox")->isEnabled());
        QVERIFY(!child<QCheckBox>(&form, "authChckBox")->isEnabled());
        QVERIFY(!child<QGroupBox>(&form, "authGrpBox")->isEnabled());
    }

    void addressRefusesSpacesAndColons()
    {
        store(2, false);
        ProxyWdg form;
        QLineEdit *address = child<QLineEdit>(&form, "addressEdit");
        address->clear();
        QTest::keyClicks(address, QStringLiteral("my proxy:8080"));
        QCOMPARE(address->text(), QStringLiteral("myproxy8080"));
    }

    void switchingToNoneKeepsTheOwnProxy()
    {
        store(2, true);
        ProxyWdg form;
        child<QRadioButton>(&form, "noRadBtn")->setChecked(true);
        form.saveSettings();
        QCOMPARE(storedKeys(), (QVariantList{0, QStringLiteral("proxy.example"), 3128, true, QStringLiteral("joe"),
                                             QStringLiteral("secret")}));
    }

    void dialogSavesOnlyOnSave()
    {
        store(0, false);
        const QVariantList before = storedKeys();
        QPointer<ProxyDlg> dialog = new ProxyDlg;
        QCOMPARE(dialog->size(), QSize(510, 295));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Quillnet - Proxy settings"));
        QVERIFY(dialog->windowModality() == Qt::ApplicationModal);
        dialog->show();
        child<QRadioButton>(dialog, "ieRadBtn")->click();
        child<QPushButton>(dialog, "cancelBtn")->click();
        QCOMPARE(storedKeys(), before);
        QTRY_VERIFY(dialog.isNull()); // closed dialogs delete themselves

        dialog = new ProxyDlg;
        dialog->show();
        child<QRadioButton>(dialog, "ieRadBtn")->click();
        child<QPushButton>(dialog, "saveBtn")->click();
        QCOMPARE(storedKeys().first().toInt(), 1);
        QTRY_VERIFY(dialog.isNull());
    }
};

QTEST_MAIN(TestProxyWdg)
#include "tst_proxywdg.moc"
