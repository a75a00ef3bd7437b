// The web surfing page: where the user is seen on the Internet, and the
// local web filter with the identity it lends the user's browser.

#include "app/Instances.h"
#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "ui/main/MainForm.h"
#include "vpn/AdapterControl.h"
#include "vpn/Tunnel.h"
#include "webfilter/WebFilter.h"
#include "ui/webfilter/WebFilterUi.h"

#include <QSettings>
#include <QTimer>

namespace {

// The identity and filter choices can only be changed while the filter runs.
void setWebControlsEnabled(Ui::WebPage &web, bool on)
{
    for (QWidget *control : std::initializer_list<QWidget *>{
             web.systemCombo, web.browserCombo, web.advertChBox, web.cookieChBox, web.headerChBox})
        control->setEnabled(on);
}

} // namespace

void MainForm::setUpWebPage()
{
    WebFilterUi::fillOsCombo(web.systemCombo);
    WebFilterUi::fillBrowserCombo(web.browserCombo);
    loadWebFilterCfg();
    web.privacyChLbl->hide();
    web.identityChLbl->hide();

    webFilter = new WebFilter(this);
    WebFilterUi::showBindErrors(webFilter);
    connect(webFilter, &WebFilter::privoxyStarted, this, &MainForm::onPrivoxyStarted);
    connect(webFilter, &WebFilter::privoxyStopped, this, &MainForm::onPrivoxyStopped);
    for (HoverChBox *box : {web.advertChBox, web.cookieChBox, web.headerChBox}) {
        connect(box, &QCheckBox::toggled, this, &MainForm::updateWebFilter);
        connect(box, &HoverChBox::hoverOff, this, &MainForm::clearFilterTip);
    }
    for (QComboBox *box : {web.systemCombo, web.browserCombo})
        connect(box, &QComboBox::currentIndexChanged, this, &MainForm::updateWebFilter);

    webStatusTimer = new QTimer(this);
    webStatusTimer->setSingleShot(true);
    webStatusTimer->setInterval(700);
    connect(webStatusTimer, &QTimer::timeout, this, &MainForm::webStatusTimeout);
    // The filter is off until it reports its start.
    onPrivoxyStopped();
    clearFilterTip();
}

void MainForm::loadWebFilterCfg()
{
    web.advertChBox->setChecked(storedSetting(SettingsKey::WebAdvert).toBool());
    web.cookieChBox->setChecked(storedSetting(SettingsKey::WebCookie).toBool());
    web.headerChBox->setChecked(storedSetting(SettingsKey::WebHeader).toBool());
    // A stored index the boxes do not have (another version's tables) falls
    // back to "Leave unchanged" rather than to an empty box.
    const int system = storedSetting(SettingsKey::WebSystem).toInt();
    const int browser = storedSetting(SettingsKey::WebBrowser).toInt();
    web.systemCombo->setCurrentIndex(system < web.systemCombo->count() ? qMax(system, 0) : 0);
    web.browserCombo->setCurrentIndex(browser < web.browserCombo->count() ? qMax(browser, 0) : 0);
}

void MainForm::saveWebFilterCfg()
{
    QSettings settings;
    settings.setValue(QLatin1String(SettingsKey::WebAdvert), web.advertChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::WebCookie), web.cookieChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::WebHeader), web.headerChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::WebSystem), web.systemCombo->currentIndex());
    settings.setValue(QLatin1String(SettingsKey::WebBrowser), web.browserCombo->currentIndex());
}

void MainForm::updateWebFilter()
{
    saveWebFilterCfg();
    const QStringList os = web.systemCombo->currentIndex() > 0
                               ? web.systemCombo->currentData().toStringList()
                               : QStringList();
    const QString browser = web.browserCombo->currentIndex() > 0
                                ? web.browserCombo->currentData().toString()
                                : QString();
    webFilter->updateActionFile(web.advertChBox->isChecked(), web.cookieChBox->isChecked(),
                                web.headerChBox->isChecked(), os, browser);
    updateWebChecks();
}

bool MainForm::webFilterRunning() const
{
    return webFilter->process()->state() == QProcess::Running;
}

void MainForm::on_webFilterBtn_clicked()
{
    const bool running = webFilterRunning();
    QSettings().setValue(QLatin1String(SettingsKey::WebFilter), !running);
    if (running)
        stopWebFilter();
    else
        startWebFilter();
}

void MainForm::startWebFilter()
{
    updateWebFilter();
    webFilter->startPrivoxy();
    setAdapterFlag(vpnConnection->getAdapterGuid(), 1);
}

void MainForm::stopWebFilter()
{
    clearAdapterFlag(vpnConnection->getAdapterGuid(), 1);
    if (webFilter->process()->state() != QProcess::NotRunning)
        webFilter->process()->kill();
}

void MainForm::onPrivoxyStarted()
{
    web.webFilterBtn->setPixmap(QPixmap(QStringLiteral(":/img/button/webfilter-on.png")));
    setWebControlsEnabled(web, true);
    updateWebChecks();
}

void MainForm::onPrivoxyStopped()
{
    web.webFilterBtn->setPixmap(QPixmap(QStringLiteral(":/img/button/webfilter-off.png")));
    setWebControlsEnabled(web, false);
    updateWebChecks();
}

void MainForm::updateWebChecks()
{
    if (webFilterRunning()) {
        webStatusTimer->start();
        return;
    }
    webStatusTimer->stop();
    web.privacyChLbl->hide();
    web.identityChLbl->hide();
}

void MainForm::webStatusTimeout()
{
    const bool privacyWasShown = web.privacyChLbl->isVisibleTo(webPage);
    const bool running = webFilterRunning();
    web.privacyChLbl->setVisible(running);
    const bool identitySet =
        web.systemCombo->currentIndex() >= 1 || web.browserCombo->currentIndex() >= 1;
    // The identity tick follows the privacy tick one period later.
    if (!privacyWasShown && running && identitySet) {
        webStatusTimer->start();
        return;
    }
    web.identityChLbl->setVisible(identitySet && running);
}

void MainForm::setLocation(QString ip, QString location)
{
    web.ipLbl->setText(ip);
    web.locationLbl->setText(location);
}

void MainForm::clearFilterTip()
{
    web.filterTipLbl->setText(tr("Move your mouse cursor over an option to see its description."));
}

// Two descriptions are short keys whose wording lives in the catalogue; a
// user without a catalogue for the language gets the English wording
// rather than the key.
static QString describedBy(const char *key, const char *english)
{
    const QString text = MainForm::tr(key);
    return text == QLatin1String(key) ? QString::fromLatin1(english) : text;
}

void MainForm::on_advertChBox_hoverOn()
{
    web.filterTipLbl->setText(describedBy(
        QT_TR_NOOP("Block advertisements description"),
        "Removes advertising banners, pop-ups and similar adverts from web pages before your "
        "browser shows them. Pages load faster and advertisers learn less about you."));
}

void MainForm::on_cookieChBox_hoverOn()
{
    web.filterTipLbl->setText(
        tr("Cookies are small pieces of information that a website can store on your computer to "
           "identify you next time you show around.\nIf you want to stay anonymous, block them."));
}

void MainForm::on_headerChBox_hoverOn()
{
    web.filterTipLbl->setText(describedBy(
        QT_TR_NOOP("Filter HTTP headers description"),
        "Removes or rewrites the parts of each request that tell web sites about your system, "
        "your browser and the page you came from."));
}
