// Entry of the client: the single-instance guard, the application set-up,
// the three process-wide objects (tunnel, tray, login dialog), the event
// loop and the ordered shut-down. They live here and nowhere else: every
// other object is handed the ones it needs when it is made.
// A command line with a command, --help or --version is answered before any
// of that, without a display and without the guard; otherwise the arguments
// go to QApplication.

#include "core/ApplicationNames.h"
#include "core/Catalogues.h"
#include "core/SettingsFile.h"
#include "platform/BusProbe.h"
#include "platform/DisplayPlatform.h"
#include "platform/FontConfigWarmUp.h"
#include "platform/PowerEvents.h"
#include "platform/SingleInstanceLock.h"
#include "platform/TerminationSignals.h"
#include "remote/ClientCommands.h"
#include "remote/CommandLine.h"
#include "remote/RemoteControl.h"
#include "secrets/KeychainSecretStore.h"
#include "secrets/RememberedPasswords.h"
#include "ui/app/AfterFirstPaint.h"
#include "ui/app/AlreadyRunning.h"
#include "ui/app/OpenDialogs.h"
#include "ui/login/LoginDlg.h"
#include "ui/tray/TrayWidget.h"
#include "vpn/AdapterControl.h"
#include "vpn/DeferredConsole.h"
#include "vpn/LocalConsole.h"
#include "vpn/TunnelModeQuery.h"
#include "vpn/VPNConnection.h"

#include <QApplication>
#include <QDBusConnection>
#include <QResource>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How long a bus daemon gets to answer at start; a local one answers in
// well under a millisecond.
constexpr int BusAnswerMs = 1000;

// A termination signal must end the client within 2 s even when the
// keyring hangs; the password then stays in the settings file.
constexpr int KeyringGraceMs = 1500;

// OpenVPN runs in the privileged tunnel service where the package put one
// on the system bus, else here (root, a capable process). One line on
// stderr and in the log says which.
void chooseTunnelMode(VPNConnection *openVpn, DeferredConsole *console)
{
    auto *query =
        new TunnelModeQuery(QDBusConnection::systemBus(), TunnelMode::ownStatus(), console);
    QObject::connect(query, &TunnelModeQuery::chosen, console,
                     [openVpn, console, query](const TunnelMode::Choice &choice) {
                         query->deleteLater();
                         std::fprintf(stderr, "%s\n", qPrintable(choice.line));
                         openVpn->noteInLog(choice.line);
                         // In direct mode the client protects its tunnel
                         // itself: a resolver file a crashed run of it
                         // replaced is restored before anything starts.
                         if (choice.mode == TunnelMode::Direct) {
                             const QString recovered = LocalConsole::recoverAfterCrash();
                             if (!recovered.isEmpty())
                                 openVpn->noteInLog(QStringLiteral("Quillnet: ") + recovered);
                         }
                         console->useMode(choice.mode);
                     });
    query->ask();
}

// The tray's and the command line's connect, disconnect and quit, acted on
// by the windows and, once the dialog is up, offered on the session bus.
ClientCommands *offerCommands(LoginDlg *loginDlg, TrayWidget *tray, Tunnel *tunnel)
{
    auto *commands = new ClientCommands(loginDlg->loginController(), tunnel);
    loginDlg->followCommands(commands);
    tray->offerCommands(commands);
    // After the answer has gone out. exit(), not quit(): see TrayWidget.
    QObject::connect(
        commands, &ClientCommands::quitWanted, commands, [] { QCoreApplication::exit(0); },
        Qt::QueuedConnection);
    return commands;
}

void publishCommands(ClientCommands *commands)
{
    auto *remote = new RemoteControl(commands, QDBusConnection::sessionBus());
    if (!remote->publish())
        std::fprintf(stderr, "quillnet: no commands from the command line: %s\n",
                     qPrintable(remote->errorString()));
}

} // namespace

int main(int argc, char *argv[])
{
    // Logs, tunnel files and the web filter's files can hold account
    // details: whatever this process and its children create is the user's
    // alone.
    ::umask(077);

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine(arguments);
    if (commandLine.request() != CommandLine::StartClient) {
        const int result = commandLine.answer();
        // Nothing is left to tear down, and Qt's bus thread would still
        // take the bus's last signals while the process's static objects go,
        // which it reports with a warning now and then.
        std::fflush(nullptr);
        ::_exit(result);
    }

    // Any window of this process, the "already running" box included, shows
    // through X11 when the Wayland compositor named does not answer.
    DisplayPlatform::addFallback();

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

    // The first text of the login dialog needs the font configuration: it
    // is read while the application connects to the display.
    FontConfigWarmUp fontConfig;
    // A bus daemon that took the connection and never answers would hold
    // the window's thread for 25 s wherever Qt or the program first needs
    // that bus: such a bus is left out of this run.
    for (const QString &note : BusProbe::setAsideSilentBuses(BusAnswerMs))
        std::fprintf(stderr, "%s\n", qPrintable(note));
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

    // Who runs OpenVPN is decided once the dialog is up (chooseTunnelMode);
    // a login clicked before that waits in the console.
    auto *console = new DeferredConsole;
    auto *openVpn = new VPNConnection(console);
    // The tray follows the tunnel and the login dialog uses both, so the
    // dialog goes first at the end.
    Tunnel *tunnel = openVpn;
    TrayWidget *tray = new TrayWidget(tunnel);
    tray->followDialogs(OpenDialogs::instance());

    // Remembered passwords live in the desktop's keyring; the dialog moves
    // those an older version left in the settings file there.
    KeychainSecretStore keyring;
    RememberedPasswords passwords(&keyring);
    LoginDlg *loginDlg = new LoginDlg(tunnel, tray, &passwords);
    ClientCommands *commands = offerCommands(loginDlg, tray, tunnel);
    loginDlg->setVisible(true);

    // Once the dialog is up: the tray icon, who runs OpenVPN, the commands
    // on the session bus, and sleep, which closes the tunnel first (waking
    // up opens it again). None of them is needed to show the dialog, and
    // each reaches a bus.
    AfterFirstPaint::run(loginDlg, [tunnel, openVpn, console, tray, commands] {
        tray->appear();
        chooseTunnelMode(openVpn, console);
        publishCommands(commands);
        auto *powerEvents = new PowerEvents(tunnel);
        QObject::connect(powerEvents, &PowerEvents::suspending, tunnel, &Tunnel::systemSuspending);
        QObject::connect(powerEvents, &PowerEvents::resumed, tunnel, &Tunnel::systemResumed);
    });

    const int result = app.exec();

    // It acts on the dialog's login: it goes first, and no command comes in
    // any more.
    delete commands;
    // The dialog saves the check boxes as it goes: the keyring gets a
    // moment to confirm, or the settings file keeps the password.
    delete loginDlg;
    passwords.waitForKeyring(KeyringGraceMs);

    // Also when the tunnel is down already: its protection goes at quit.
    tunnel->stop(false);
    delete tunnel;

    disableAdapter();

    delete tray;

    instanceLock.release();
    return result;
}
