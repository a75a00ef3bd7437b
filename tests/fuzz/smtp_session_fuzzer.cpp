// The proxy's line and state handling fed from both sides at once: the mail
// program's bytes, the relay's replies and the user's decisions, in any order
// and cut anywhere. The input is a sequence of steps: one byte for the kind
// of step, one for the length of its bytes, then the bytes.

#include "mail/SmtpInterceptionSession.h"

#include <cstdlib>

namespace {

void require(bool promise)
{
    if (!promise)
        abort();
}

bool holdingMessage(SmtpInterceptionSession::State state)
{
    return state == SmtpInterceptionSession::Collecting ||
           state == SmtpInterceptionSession::Querying || state == SmtpInterceptionSession::Refusing;
}

// A command that would carry the message past the proxy.
bool bypassingCommand(const QByteArray &line)
{
    const QByteArray verb = line.simplified().split(' ').value(0).toUpper();
    return verb == "STARTTLS" || verb == "BDAT" || verb == "BURL";
}

class Connection
{
public:
    Connection() { session.start(); }

    void fromClient(QByteArrayView bytes)
    {
        clientPending += bytes;
        offerClientBytes();
    }

    // As the proxy does after each step: what the mail program sent and the
    // session did not take yet is offered again.
    void offerClientBytes()
    {
        const bool held = holdingMessage(session.state());
        const bool envelope = session.state() == SmtpInterceptionSession::Envelope;
        const qsizetype taken = session.takeClientBytes(clientPending);
        require(taken >= 0 && taken <= clientPending.size());
        clientPending.remove(0, taken);
        const QByteArray toRelay = session.takeForRelay();
        // Before the decision no part of the message may reach the relay,
        // nor any part of a refused one: at its end the relay only hears
        // "RSET" (and then, maybe, the next message's envelope).
        if (held && holdingMessage(session.state()) && !toRelay.startsWith("RSET\r\n"))
            require(toRelay.isEmpty());
        // Commands the proxy answers itself never reach the relay (the
        // first line may be the rest of one begun earlier).
        if (envelope) {
            const QList<QByteArray> lines = toRelay.split('\n');
            for (qsizetype i = 1; i < lines.size(); ++i)
                require(!bypassingCommand(lines.at(i)));
        }
        settle();
    }

    void fromRelay(QByteArrayView bytes)
    {
        relayPending += bytes;
        qsizetype lineEnd;
        while ((lineEnd = relayPending.indexOf('\n')) >= 0) {
            session.relayLine(QByteArrayView(relayPending).first(lineEnd + 1));
            relayPending.remove(0, lineEnd + 1);
        }
        session.takeForRelay();
        settle();
        offerClientBytes();
    }

    void decide(QByteArrayView choice)
    {
        if (!queried)
            return;
        MailInfo answer = session.mailInfo();
        const int option = choice.isEmpty() ? 0 : choice.at(0) % 4;
        if (option == 1)
            answer.from = QStringLiteral("<swift.fox@anon.test>");
        else if (option == 2)
            answer.from.clear();
        else if (option == 3) // a sender that would add a command of its own
            answer.from = QStringLiteral("<fox\r\nRCPT TO:<eve@evil.test>\r\n@anon.test>");
        const bool asked = session.state() == SmtpInterceptionSession::Querying;
        if (!session.decide(answer)) {
            restart();
            return;
        }
        // Refused, never put on an envelope.
        require(!asked || option != 3 || session.state() == SmtpInterceptionSession::Refusing ||
                session.state() == SmtpInterceptionSession::Envelope);
        session.takeForRelay();
        settle();
        offerClientBytes();
    }

    void restart()
    {
        session.start();
        clientPending.clear();
        relayPending.clear();
        queried = false;
    }

private:
    void settle()
    {
        session.takeForClient();
        if (session.takeQueryRequest()) {
            require(session.state() == SmtpInterceptionSession::Querying);
            // An empty sender would turn "send normally" into "do not send".
            require(!session.mailInfo().from.isEmpty());
            queried = true;
        }
        qsizetype held = 0;
        for (const QString &line : session.heldLines())
            held += line.size() + 1; // each came with at least a line feed
        require(held <= SmtpInterceptionSession::MaxHeldHeader);
    }

    SmtpInterceptionSession session;
    QByteArray clientPending;
    QByteArray relayPending;
    bool queried = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    Connection connection;
    qsizetype at = 0;
    while (at + 2 <= input.size()) {
        const int step = uchar(input.at(at)) % 4;
        const qsizetype length = qMin<qsizetype>(uchar(input.at(at + 1)), input.size() - at - 2);
        const QByteArrayView bytes = input.sliced(at + 2, length);
        at += 2 + length;
        switch (step) {
        case 0:
            connection.fromClient(bytes);
            break;
        case 1:
            connection.fromRelay(bytes);
            break;
        case 2:
            connection.decide(bytes);
            break;
        default:
            connection.restart();
        }
    }
    return 0;
}
