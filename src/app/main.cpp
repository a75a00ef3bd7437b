// Entry of the client: the single-instance guard, the application set-up,
// the three process-wide objects, the event loop and the ordered shut-down.
// The program takes no options of its own; the arguments go to QApplication.

#include "app/Instances.h"
#include "core/ApplicationNames.h"
#include "core/Catalogues.h"
#include "core/SettingsFile.h"
#include "platform/PowerEvents.h"
#include "platform/SingleInstanceLock.h"
#include "platform/TerminationSignals.h"
#include "ui/app/AlreadyRunning.h"
#include "ui/app/OpenDialogs.h"
#include "ui/login/LoginDlg.h"
#include "ui/tray/TrayWidget.h"
#include "vpn/AdapterControl.h"
#include "vpn/TunnelMode.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QResource>
#include <cstdio>
#include <sys/stat.h>

int main(int argc, char *argv[])
{
    // Logs, tunnel files and the web filter's files can hold account
    // details: whatever this process and its children create is the user's
    // alone.
    ::umask(077);

    SingleInstanceLock instanceLock;
    switch (instanceLock.tryAcquire()) {
    case SingleInstanceLock::Acquired:
        break;
    case SingleInstanceLock::HeldElsewhere:
        showAlreadyRunning(argc, argv);
        return 0;
    case SingleInstanceLock::Unavailable:
        // A broken lock folder must not keep the user from the service.
        std::fprintf(stderr, "quillnet: cannot guard against a second copy: %s\n",
                     qPrintable(instanceLock.errorString()));
        break;
    }

    QApplication app(argc, argv);

    // Pictures live outside the binary; a missing file only loses pictures.
    QResource::registerResource(QStringLiteral("graphics.rcc"));

    installCatalogues(app);

    // Closing every window leaves the program in the tray; only an explicit
    // quit ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // A termination signal ends the program like the tray's Quit, without
    // the question: the shut-down below still stops the tunnel.
    TerminationSignals terminationSignals;
    // exit(), not quit(): in Qt 6 quit() first asks every window to close,
    // and the login dialog answers that with a question.
    QObject::connect(&terminationSignals, &TerminationSignals::received, &app,
                     [] { QCoreApplication::exit(0); });

    setApplicationNames();
    QString settingsError;
    if (!restrictSettingsFile(&settingsError))
        std::fprintf(stderr, "quillnet: cannot make the settings private: %s\n",
                     qPrintable(settingsError));

    // OpenVPN runs in the privileged tunnel service where the package put
    // one on the system bus, else here (root, a capable process).
    const TunnelMode::Choice tunnelMode = TunnelMode::choose();
    std::fprintf(stderr, "%s\n", qPrintable(tunnelMode.line));
    auto *tunnel = new VPNConnection(TunnelMode::createConsole(tunnelMode.mode));
    tunnel->noteInLog(tunnelMode.line);
    vpnConnection = tunnel;
    trayWidget = new TrayWidget(vpnConnection);
    trayWidget->followDialogs(OpenDialogs::instance());

    // Sleep closes the tunnel first; waking up opens it again.
    PowerEvents powerEvents;
    QObject::connect(&powerEvents, &PowerEvents::suspending, vpnConnection,
                     &Tunnel::systemSuspending);
    QObject::connect(&powerEvents, &PowerEvents::resumed, vpnConnection, &Tunnel::systemResumed);

    loginDlg = new LoginDlg(vpnConnection, trayWidget);
    loginDlg->setVisible(true);

    const int result = app.exec();

    delete loginDlg;
    loginDlg = nullptr;

    if (vpnConnection->getStatus() != Disconnected)
        vpnConnection->stop(false);
    delete vpnConnection;
    vpnConnection = nullptr;

    disableAdapter();

    delete trayWidget;
    trayWidget = nullptr;

    instanceLock.release();
    return result;
}
