#include "StandInProgram.h"

#include "platform/TerminationSignals.h"

#include <QCommandLineParser>
#include <cstdio>

int runStandInProgram(QCoreApplication &app, const char *description, StandInPeer &peer,
                      const std::function<bool()> &start)
{
    const QByteArray name = QCoreApplication::applicationName().toLocal8Bit();
    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(description));
    parser.addHelpOption();
    const QCommandLineOption delayOption(QStringLiteral("delay"),
                                         QStringLiteral("Answer every call after MS."),
                                         QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption neverOption(QStringLiteral("never"),
                                         QStringLiteral("Never answer a call."));
    parser.addOption(delayOption);
    parser.addOption(neverOption);
    parser.process(app);
    bool ok = false;
    const int delay = parser.value(delayOption).toInt(&ok);
    if (!ok || delay < 0 || (parser.isSet(neverOption) && parser.isSet(delayOption))) {
        std::fprintf(stderr, "%s: --delay takes milliseconds, and not with --never\n",
                     name.constData());
        return 2;
    }

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, &app, &QCoreApplication::quit);

    peer.setAnswerDelay(parser.isSet(neverOption) ? StandInPeer::Never : delay);
    peer.setTellCalls(true);
    if (!start()) {
        std::fprintf(stderr, "%s: cannot start the bus\n", name.constData());
        return 1;
    }
    std::printf("%s\n", qPrintable(peer.address()));
    std::fflush(stdout);
    return app.exec();
}
