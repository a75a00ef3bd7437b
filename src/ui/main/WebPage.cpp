#include "ui/main/WebPage.h"

#include "core/SettingsKeys.h"
#include "core/StoredSetting.h"
#include "ui/webfilter/WebFilterUi.h"
#include "ui/widgets/MessageBox.h"
#include "ui/widgets/Pictures.h"
#include "ui_WebPage.h"
#include "webfilter/WebFilter.h"

#include <QMessageBox>
#include <QSettings>
#include <QTimer>

namespace {

// Two descriptions are short keys whose wording lives in the catalogue; a
// user without a catalogue for the language gets the English wording
// rather than the key.
QString describedBy(const char *key, const char *english)
{
    const QString text = WebPage::tr(key);
    return text == QLatin1String(key) ? QString::fromLatin1(english) : text;
}

// The adapter flag bit of a running web filter.
const quint8 WebFilterBit = 1;

} // namespace

WebPage::WebPage(Tunnel *tunnel, QWidget *parent)
    : QWidget(parent), ui(new Ui::WebPage), flag(tunnel, WebFilterBit, "web filter")
{
    ui->setupUi(this);
    Pictures::fillLabels(this);
    WebFilterUi::fillOsCombo(ui->systemCombo);
    WebFilterUi::fillBrowserCombo(ui->browserCombo);
    loadChoices();
    ui->privacyChLbl->hide();
    ui->identityChLbl->hide();

    webFilter = new WebFilter(this);
    WebFilterUi::showBindErrors(webFilter);
    connect(webFilter, &WebFilter::privoxyStarted, this, [this] {
        showFilterRunning(true);
        emit webFilterStarted();
    });
    connect(webFilter, &WebFilter::privoxyStopped, this, [this] {
        showFilterRunning(false);
        emit webFilterStopped();
    });
    connect(webFilter, &WebFilter::startFailed, this, [this](const QString &reason) {
        showFailure(tr("Web filtering proxy couldn't be started.\n%1").arg(reason));
    });
    connect(webFilter, &WebFilter::fileNotWritten, this, [this](const QString &path) {
        showFailure(tr("Web filtering proxy settings couldn't be saved to %1.\nCheck your access "
                       "rights, please.")
                        .arg(path));
    });

    statusTimer = new QTimer(this);
    statusTimer->setSingleShot(true);
    statusTimer->setInterval(700);
    connect(statusTimer, &QTimer::timeout, this, &WebPage::statusTimeout);
    connectControls();
    connect(ui->signInBtn, &QPushButton::clicked, this, &WebPage::signInRequested);
    showSignIn(Tunnel::SignIn::None);
    // Made ahead of the login, or while the tunnel comes up: the page says
    // what the tunnel does now, not what a login will make of it.
    showTunnelUp(tunnel && tunnel->getStatus() == Connected);
    if (tunnel)
        connect(tunnel, &Tunnel::statusChanged, this,
                [this](CnnStatus status) { showTunnelUp(status == Connected); });
    // The filter is off until it reports its start.
    showFilterRunning(false);
    clearFilterTip();
}

WebPage::~WebPage()
{
    delete ui;
}

void WebPage::connectControls()
{
    connect(ui->webFilterBtn, &ImageBtn::clicked, this, &WebPage::toggleWebFilter);
    for (HoverChBox *box : {ui->advertChBox, ui->cookieChBox, ui->headerChBox}) {
        connect(box, &QCheckBox::toggled, this, &WebPage::updateWebFilter);
        connect(box, &HoverChBox::hoverOff, this, &WebPage::clearFilterTip);
    }
    for (QComboBox *box : {ui->systemCombo, ui->browserCombo})
        connect(box, &QComboBox::currentIndexChanged, this, &WebPage::updateWebFilter);

    connect(ui->advertChBox, &HoverChBox::hoverOn, this, [this] {
        ui->filterTipLbl->setText(describedBy(
            QT_TR_NOOP("Block advertisements description"),
            "Removes advertising banners, pop-ups and similar adverts from web pages before your "
            "browser shows them. Pages load faster and advertisers learn less about you."));
    });
    connect(ui->cookieChBox, &HoverChBox::hoverOn, this, [this] {
        ui->filterTipLbl->setText(
            tr("Cookies are small pieces of information that a website can store on your computer "
               "to identify you next time you show around.\nIf you want to stay anonymous, block "
               "them."));
    });
    connect(ui->headerChBox, &HoverChBox::hoverOn, this, [this] {
        ui->filterTipLbl->setText(describedBy(
            QT_TR_NOOP("Filter HTTP headers description"),
            "Removes or rewrites the parts of each request that tell web sites about your system, "
            "your browser and the page you came from."));
    });
}

void WebPage::loadChoices()
{
    ui->advertChBox->setChecked(storedSetting(SettingsKey::WebAdvert).toBool());
    ui->cookieChBox->setChecked(storedSetting(SettingsKey::WebCookie).toBool());
    ui->headerChBox->setChecked(storedSetting(SettingsKey::WebHeader).toBool());
    // A stored index the boxes do not have (another version's tables) falls
    // back to "Leave unchanged" rather than to an empty box.
    const int system = storedSetting(SettingsKey::WebSystem).toInt();
    const int browser = storedSetting(SettingsKey::WebBrowser).toInt();
    ui->systemCombo->setCurrentIndex(system < ui->systemCombo->count() ? qMax(system, 0) : 0);
    ui->browserCombo->setCurrentIndex(browser < ui->browserCombo->count() ? qMax(browser, 0) : 0);
}

void WebPage::saveChoices()
{
    QSettings settings;
    settings.setValue(QLatin1String(SettingsKey::WebAdvert), ui->advertChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::WebCookie), ui->cookieChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::WebHeader), ui->headerChBox->isChecked());
    settings.setValue(QLatin1String(SettingsKey::WebSystem), ui->systemCombo->currentIndex());
    settings.setValue(QLatin1String(SettingsKey::WebBrowser), ui->browserCombo->currentIndex());
}

void WebPage::updateWebFilter()
{
    saveChoices();
    const QStringList os = ui->systemCombo->currentIndex() > 0
                               ? ui->systemCombo->currentData().toStringList()
                               : QStringList();
    const QString browser = ui->browserCombo->currentIndex() > 0
                                ? ui->browserCombo->currentData().toString()
                                : QString();
    webFilter->updateActionFile(ui->advertChBox->isChecked(), ui->cookieChBox->isChecked(),
                                ui->headerChBox->isChecked(), os, browser);
    updateChecks();
}

bool WebPage::webFilterRunning() const
{
    return webFilter->process()->state() == QProcess::Running;
}

void WebPage::toggleWebFilter()
{
    const bool running = webFilterRunning();
    QSettings().setValue(QLatin1String(SettingsKey::WebFilter), !running);
    if (running)
        stopWebFilter();
    else
        startWebFilter();
}

void WebPage::startWebFilter()
{
    updateWebFilter();
    webFilter->startPrivoxy();
    flag.raise();
}

void WebPage::stopWebFilter()
{
    flag.lower();
    if (webFilter->process()->state() != QProcess::NotRunning)
        webFilter->process()->kill();
}

void WebPage::showFailure(const QString &text)
{
    // The flag of a filter that never ran goes again; the stored choice
    // stays, so the next login tries once more.
    if (!webFilterRunning())
        flag.lower();
    emit webFilterFailed(text);
    MessageBox::critical(nullptr, tr("Quillnet"), text);
}

void WebPage::setLocation(const QString &ip, const QString &location)
{
    ui->ipLbl->setText(ip);
    ui->locationLbl->setText(location);
}

void WebPage::showTunnelUp(bool up)
{
    ui->hiddenChLbl->setVisible(up);
    ui->hiddenLbl->setText(up ? tr("Real IP address is hidden") : tr("Not connected"));
}

QString WebPage::signInNeededText()
{
    return tr("The network may need you to sign in on its own web page (in a hotel or at an "
              "airport, say) before the tunnel can reach its server.");
}

void WebPage::showSignIn(Tunnel::SignIn state)
{
    ui->signInLbl->setVisible(state != Tunnel::SignIn::None);
    ui->signInBtn->setVisible(state == Tunnel::SignIn::Needed);
    if (state == Tunnel::SignIn::Needed)
        ui->signInLbl->setText(signInNeededText());
    else if (state == Tunnel::SignIn::Open)
        ui->signInLbl->setText(tr("The network is open for signing in for 2 minutes: sign in "
                                  "in your browser now. Only names and web pages pass outside "
                                  "the tunnel meanwhile."));
}

bool WebPage::addressTickShown() const
{
    return ui->hiddenChLbl->isVisibleTo(this);
}

bool WebPage::privacyTickShown() const
{
    return ui->privacyChLbl->isVisibleTo(this);
}

bool WebPage::identityTickShown() const
{
    return ui->identityChLbl->isVisibleTo(this);
}

void WebPage::setControlsEnabled(bool on)
{
    // The identity and filter choices can only be changed while the filter runs.
    for (QWidget *control : std::initializer_list<QWidget *>{
             ui->systemCombo, ui->browserCombo, ui->advertChBox, ui->cookieChBox, ui->headerChBox})
        control->setEnabled(on);
}

void WebPage::showFilterRunning(bool running)
{
    ui->webFilterBtn->setPixmap(
        Pictures::pixmap(running ? QStringLiteral(":/img/button/webfilter-on.png")
                                 : QStringLiteral(":/img/button/webfilter-off.png")));
    setControlsEnabled(running);
    updateChecks();
}

void WebPage::updateChecks()
{
    if (webFilterRunning()) {
        statusTimer->start();
        return;
    }
    statusTimer->stop();
    ui->privacyChLbl->hide();
    ui->identityChLbl->hide();
}

void WebPage::statusTimeout()
{
    const bool privacyWasShown = privacyTickShown();
    const bool running = webFilterRunning();
    ui->privacyChLbl->setVisible(running);
    const bool identitySet =
        ui->systemCombo->currentIndex() >= 1 || ui->browserCombo->currentIndex() >= 1;
    // The identity tick follows the privacy tick one period later.
    if (!privacyWasShown && running && identitySet) {
        statusTimer->start();
        return;
    }
    ui->identityChLbl->setVisible(identitySet && running);
}

void WebPage::clearFilterTip()
{
    ui->filterTipLbl->setText(tr("Move your mouse cursor over an option to see its description."));
}
