#include "ui/app/AlreadyRunning.h"

#include "ui/widgets/MessageBox.h"

#include <QApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Without any of these Qt has no screen to open and aborts in the
// QApplication constructor.
bool displayNamed(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void showBox(int &argc, char **argv, const char *text)
{
    QApplication app(argc, argv);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillnet"), QString::fromLatin1(text),
                    QMessageBox::Ok);
    // The first copy may be hidden in the tray: bring this box to the front.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    MessageBox::exec(box);
}

} // namespace

void showAlreadyRunning(int &argc, char **argv)
{
    // The text is not translated: no catalogue is loaded at this point.
    static const char Text[] = "Quillnet is allready running.";
    std::fprintf(stderr, "quillnet: %s\n", Text);
    std::fflush(stderr);
    if (!displayNamed(argc, argv))
        return;

    // A named display may still be gone, and Qt aborts then: the box lives
    // in a child so that this copy ends normally whatever becomes of it.
    const pid_t child = ::fork();
    if (child == 0) {
        showBox(argc, argv, Text);
        ::_exit(0);
    }
    if (child < 0) {
        showBox(argc, argv, Text);
        return;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}
