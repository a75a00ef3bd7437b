#pragma once

#include "ui/main/ServiceFlag.h"
#include "vpn/Tunnel.h"

#include <QString>
#include <QWidget>

class QTimer;
class WebFilter;

namespace Ui {
class WebPage;
}

// The web surfing page: where the user is seen on the Internet, and the
// local web filter (Privoxy) with the identity it lends the user's browser.
// The page runs the filter; its choices are stored as the user makes them.
class WebPage : public QWidget
{
    Q_OBJECT

public:
    // The tunnel (may be null) carries the adapter flag of a running filter.
    explicit WebPage(Tunnel *tunnel, QWidget *parent = nullptr);
    ~WebPage() override;

    void startWebFilter();
    void stopWebFilter();
    bool webFilterRunning() const;
    void setLocation(const QString &ip, const QString &location);
    // The page follows its tunnel: "Real IP address is hidden" with its
    // tick only while the tunnel is up, "Not connected" otherwise (while
    // reconnecting nothing hides the address; the block only holds traffic
    // back).
    void showTunnelUp(bool up);
    bool addressTickShown() const;
    // The notice of a network that may want its sign-in page, with the
    // button that opens the network for it.
    void showSignIn(Tunnel::SignIn state);
    static QString signInNeededText();

    // The two ticks that follow the filter: privacy, then identity.
    bool privacyTickShown() const;
    bool identityTickShown() const;

signals:
    void webFilterStarted();
    void webFilterStopped();
    // The filter could not be started at all; the user has been told.
    void webFilterFailed(const QString &text);
    // The user clicked to open the network for a sign-in page.
    void signInRequested();

public slots:
    // The filter button: switches the filter and remembers the choice.
    void toggleWebFilter();

private:
    void connectControls();
    void loadChoices();
    void saveChoices();
    void updateWebFilter();
    void setControlsEnabled(bool on);
    void showFilterRunning(bool running);
    void updateChecks();
    void statusTimeout();
    void clearFilterTip();
    void showFailure(const QString &text);

    Ui::WebPage *ui;
    ServiceFlag flag;
    WebFilter *webFilter;
    QTimer *statusTimer;

    Q_DISABLE_COPY_MOVE(WebPage)
};
