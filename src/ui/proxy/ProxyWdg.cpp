#include "ui/proxy/ProxyWdg.h"

#include "core/SettingsKeys.h"
#include "secrets/RememberedPasswords.h"
#include "ui/widgets/Pictures.h"
#include "ui_ProxyWidget.h"

#include <QRegularExpressionValidator>
#include <QSettings>

ProxyWdg::ProxyWdg(QWidget *parent, RememberedPasswords *passwords)
    : QWidget(parent), ui(new Ui::ProxyWidget),
      passwords(passwords ? passwords : new RememberedPasswords(nullptr, this))
{
    ui->setupUi(this);
    Pictures::fillLabels(this);
    // A host name has no space, and the port has its own field.
    ui->addressEdit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[^ :]+")), ui->addressEdit));
    ui->portSpinBox->setButtonSymbols(QAbstractSpinBox::NoButtons);
    loadSettings();
    // Built before the keyring has answered, the form gets the password
    // when it does.
    connect(this->passwords, &RememberedPasswords::loaded, this, [this] {
        if (ui->passwordEdit->text().isEmpty())
            ui->passwordEdit->setText(this->passwords->proxyPassword());
    });
}

ProxyWdg::~ProxyWdg()
{
    delete ui;
}

void ProxyWdg::on_noRadBtn_toggled(bool checked)
{
    // Without a proxy there is nobody to authorize to.
    ui->authChckBox->setEnabled(!checked);
    ui->authGrpBox->setEnabled(!checked && ui->authChckBox->isChecked());
}

void ProxyWdg::loadSettings()
{
    const QSettings settings;
    auto stored = [&](const char *key) { return settings.value(QLatin1String(key), QVariant()); };
    ui->addressEdit->setText(stored(SettingsKey::ProxyAddress).toString());
    ui->portSpinBox->setValue(stored(SettingsKey::ProxyPort).toInt());
    ui->authChckBox->setChecked(stored(SettingsKey::ProxyAuth).toBool());
    ui->usernameEdit->setText(stored(SettingsKey::ProxyUser).toString());
    ui->passwordEdit->setText(passwords->proxyPassword());
    switch (stored(SettingsKey::ProxySource).toInt()) {
    case 1:
        ui->ieRadBtn->setChecked(true);
        break;
    case 2:
        ui->myRadBtn->setChecked(true);
        break;
    default:
        ui->noRadBtn->setChecked(true);
        break;
    }
    on_noRadBtn_toggled(ui->noRadBtn->isChecked());
}

void ProxyWdg::saveSettings()
{
    QSettings settings;
    const int source = ui->ieRadBtn->isChecked() ? 1 : ui->myRadBtn->isChecked() ? 2 : 0;
    settings.setValue(QLatin1String(SettingsKey::ProxySource), source);
    // Kept whatever the choice, so switching back finds them again.
    settings.setValue(QLatin1String(SettingsKey::ProxyAddress), ui->addressEdit->text());
    settings.setValue(QLatin1String(SettingsKey::ProxyPort), ui->portSpinBox->value());
    settings.setValue(QLatin1String(SettingsKey::ProxyAuth), ui->authChckBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::ProxyUser), ui->usernameEdit->text());
    passwords->rememberProxy(ui->addressEdit->text(), ui->usernameEdit->text(),
                             ui->passwordEdit->text());
}
