// The mail proxy on its own, for smtp_proxy_bench: a process of its own so
// that its peak memory is the proxy's and nobody else's. Every message is
// sent normally, decided from the event loop as the dialog would.
//
// Usage: smtp_proxy_bench_proxy <relay port>   prints "READY port=<port>"
#include "mail/SmtpRoxyServer.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: smtp_proxy_bench_proxy <relay port>\n");
        return 2;
    }
    SmtpRoxyServer proxy;
    proxy.setRelay(QStringLiteral("127.0.0.1"), quint16(std::atoi(argv[1])));
    QObject::connect(&proxy, &SmtpRoxyServer::showQuery, &proxy, [&proxy](const MailInfo &info) {
        QTimer::singleShot(0, &proxy, [&proxy, info] { proxy.queryDone(info); });
    });
    proxy.startProxy(0);
    if (proxy.port() == 0)
        return 1;
    std::printf("READY port=%u\n", unsigned(proxy.port()));
    std::fflush(stdout);
    return app.exec();
}
