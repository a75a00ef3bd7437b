#pragma once

#include <QTcpServer>
#include <QTcpSocket>

// Ports on 127.0.0.1 for tests that run the client's local services beside
// whatever else this machine runs (the demo, an installed client): they take
// free ones through the deployment file rather than the fixed ones.
namespace LoopbackPorts {

// A port that nobody listens on now, or 0.
inline quint16 unused()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

inline bool listening(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace LoopbackPorts
