#include "vpn/TunnelConfigCheck.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <functional>

namespace {

using Arguments = QStringList;
using ArgumentRule = std::function<bool(const Arguments &)>;

bool isAsciiAlphanumeric(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool isAsciiHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

bool isAsciiDigits(QStringView text, qsizetype least, qsizetype most)
{
    if (text.size() < least || text.size() > most)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; });
}

// One to `most` characters, each an ASCII letter or digit or one of `others`.
// Plain loops rather than regular expressions: the service judges every
// configuration in a process of its own, where each pattern would be
// compiled anew.
bool isMadeOf(QStringView text, QLatin1StringView others, qsizetype most)
{
    if (text.isEmpty() || text.size() > most)
        return false;
    return std::all_of(text.begin(), text.end(),
                       [others](QChar c) { return isAsciiAlphanumeric(c) || others.contains(c); });
}

// Begins with a letter or digit; nothing that reads as an option or a path.
bool isWord(QStringView text, QLatin1StringView others, qsizetype most)
{
    return isMadeOf(text, others, most) && isAsciiAlphanumeric(text.front());
}

bool isNumber(const QString &text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && isAsciiDigits(text, 1, 9) && value >= low && value <= high;
}

bool isPort(const QString &text)
{
    return isNumber(text, 1, 65535);
}

bool isProtocol(const QString &text)
{
    static const QSet<QString> protocols = {
        QStringLiteral("udp"),        QStringLiteral("udp4"),        QStringLiteral("udp6"),
        QStringLiteral("tcp"),        QStringLiteral("tcp4"),        QStringLiteral("tcp6"),
        QStringLiteral("tcp-client"), QStringLiteral("tcp4-client"), QStringLiteral("tcp6-client"),
    };
    return protocols.contains(text);
}

// A host name or an address; never anything that reads as an option or a
// path.
bool isHost(const QString &text)
{
    return isWord(text, QLatin1StringView(".:-"), 253);
}

// Cipher, digest and TLS names, and colon-separated lists of them.
bool isAlgorithmList(const QString &text)
{
    return isWord(text, QLatin1StringView(":_+-"), 512);
}

ArgumentRule none()
{
    return [](const Arguments &args) { return args.isEmpty(); };
}

ArgumentRule numbers(int count, int optional, int low, int high)
{
    return [=](const Arguments &args) {
        if (args.size() < count || args.size() > count + optional)
            return false;
        for (const QString &arg : args)
            if (!isNumber(arg, low, high))
                return false;
        return true;
    };
}

ArgumentRule oneOf(QSet<QString> values)
{
    return [values](const Arguments &args) { return args.size() == 1 && values.contains(args[0]); };
}

// Data-channel ciphers that switch encryption off, are broken, or have
// 64-bit blocks (a tunnel carries enough data under one key for their block
// collisions to give plaintext away, as Sweet32 showed for BF-CBC and 3DES).
// OpenSSL reads names in any case, so they are compared in upper case; the
// families are prefixes ("DES" covers DES-CBC, DES-EDE3-CBC, DESX-CBC ...).
bool isWeakCipher(const QString &name)
{
    static const char *const families[] = {"BF",  "DES",  "3DES", "CAST",  "RC2", "RC4",
                                           "RC5", "IDEA", "GOST", "MAGMA", "NONE"};
    const QString upper = name.toUpper();
    return std::any_of(std::begin(families), std::end(families),
                       [&](const char *family) { return upper.startsWith(QLatin1String(family)); });
}

// "none" leaves packets unauthenticated; MD4 and MD5 are broken digests.
bool isWeakDigest(const QString &name)
{
    const QString upper = name.toUpper();
    return upper == QLatin1String("NONE") || upper.contains(QLatin1String("MD4")) ||
           upper.contains(QLatin1String("MD5"));
}

// Control-channel suites in OpenSSL's or IANA's spelling that encrypt
// nothing, authenticate no server, or use the ciphers above. OpenSSL's
// security level drops most of them, but OpenVPN asks for level 1 unless
// told otherwise, where RC4 and 3DES suites still pass. The server picks
// from the list, so one such entry refuses it; an entry that removes suites
// ("-RC4") weakens nothing.
bool isWeakTlsSuite(const QString &name)
{
    static const char *const markers[] = {"NULL", "ANON", "ADH",  "AECDH", "EXP",       "RC4",
                                          "RC2",  "DES",  "IDEA", "MD5",   "COMPLEMENT"};
    if (name.startsWith(QLatin1Char('-')))
        return false;
    const QString upper = name.toUpper();
    return std::any_of(std::begin(markers), std::end(markers),
                       [&](const char *marker) { return upper.contains(QLatin1String(marker)); });
}

// One colon-separated list, none of whose entries `weak` refuses.
ArgumentRule algorithmList(bool (*weak)(const QString &) = nullptr)
{
    return [weak](const Arguments &args) {
        if (args.size() != 1 || !isAlgorithmList(args[0]))
            return false;
        const QStringList names = args[0].split(QLatin1Char(':'));
        return !weak || std::none_of(names.begin(), names.end(), weak);
    };
}

const QHash<QString, ArgumentRule> &allowList()
{
    static const QHash<QString, ArgumentRule> rules = {
        // What kind of peer this is and how it reaches the server.
        {QStringLiteral("client"), none()},
        {QStringLiteral("tls-client"), none()},
        {QStringLiteral("pull"), none()},
        {QStringLiteral("dev"),
         [](const Arguments &a) {
             return a.size() == 1 && a[0].startsWith(QLatin1String("tun")) &&
                    isAsciiDigits(QStringView(a[0]).mid(3), 0, 3);
         }},
        {QStringLiteral("dev-type"), oneOf({QStringLiteral("tun")})},
        {QStringLiteral("proto"),
         [](const Arguments &a) { return a.size() == 1 && isProtocol(a[0]); }},
        {QStringLiteral("remote"),
         [](const Arguments &a) {
             return !a.isEmpty() && a.size() <= 3 && isHost(a[0]) &&
                    (a.size() < 2 || isPort(a[1])) && (a.size() < 3 || isProtocol(a[2]));
         }},
        {QStringLiteral("remote-random"), none()},
        {QStringLiteral("port"), [](const Arguments &a) { return a.size() == 1 && isPort(a[0]); }},
        {QStringLiteral("rport"), [](const Arguments &a) { return a.size() == 1 && isPort(a[0]); }},
        {QStringLiteral("nobind"), none()},
        {QStringLiteral("float"), none()},
        {QStringLiteral("resolv-retry"),
         [](const Arguments &a) {
             return a.size() == 1 &&
                    (a[0] == QLatin1String("infinite") || isNumber(a[0], 0, 86400));
         }},
        {QStringLiteral("connect-retry"), numbers(1, 1, 0, 86400)},
        {QStringLiteral("connect-retry-max"), numbers(1, 0, 1, 100000)},
        {QStringLiteral("connect-timeout"), numbers(1, 0, 1, 86400)},
        {QStringLiteral("server-poll-timeout"), numbers(1, 0, 1, 86400)},
        {QStringLiteral("persist-key"), none()},
        {QStringLiteral("persist-tun"), none()},
        {QStringLiteral("disable-dco"), none()},
        {QStringLiteral("tun-mtu"), numbers(1, 0, 576, 65535)},
        {QStringLiteral("mssfix"), numbers(0, 1, 0, 65535)},
        {QStringLiteral("fast-io"), none()},
        {QStringLiteral("tun-ipv6"), none()}, // OpenVPN 2.6 ignores it
        // OpenVPN ignores anything from 1000000 up; 0 keeps the system's size.
        {QStringLiteral("sndbuf"), numbers(1, 0, 0, 1000000)},
        {QStringLiteral("rcvbuf"), numbers(1, 0, 0, 1000000)},
        // Taking less of what the server pushes. Traffic that the tunnel
        // then does not carry is the leak block's to stop, as without them.
        {QStringLiteral("route-nopull"), none()},
        {QStringLiteral("pull-filter"),
         [](const Arguments &a) {
             // The text is only ever compared with the start of a pushed
             // option; words() has already made it one word, so nothing
             // after it can be read as another option.
             static const QSet<QString> actions = {
                 QStringLiteral("accept"), QStringLiteral("ignore"), QStringLiteral("reject")};
             return a.size() == 2 && actions.contains(a[0]) && !a[1].isEmpty() &&
                    a[1].size() <= 256;
         }},
        {QStringLiteral("redirect-gateway"),
         [](const Arguments &a) {
             static const QSet<QString> flags = {
                 QStringLiteral("def1"),       QStringLiteral("local"),
                 QStringLiteral("autolocal"),  QStringLiteral("ipv6"),
                 QStringLiteral("!ipv4"),      QStringLiteral("bypass-dhcp"),
                 QStringLiteral("bypass-dns"), QStringLiteral("block-local")};
             for (const QString &flag : a)
                 if (!flags.contains(flag))
                     return false;
             return a.size() <= flags.size();
         }},
        // Who the server is: the CA the client wrote, or inline blocks.
        {QStringLiteral("ca"),
         [](const Arguments &a) {
             return a.size() == 1 && a[0] == QLatin1String(TunnelConfigCheck::CertificateFile);
         }},
        {QStringLiteral("remote-cert-tls"), oneOf({QStringLiteral("server")})},
        {QStringLiteral("verify-x509-name"),
         [](const Arguments &a) {
             return !a.isEmpty() && a.size() <= 2 &&
                    isMadeOf(a[0], QLatin1StringView("=,. _@-"), 256) &&
                    (a.size() < 2 ||
                     QSet<QString>{QStringLiteral("subject"), QStringLiteral("name"),
                                   QStringLiteral("name-prefix")}
                         .contains(a[1]));
         }},
        {QStringLiteral("key-direction"), oneOf({QStringLiteral("0"), QStringLiteral("1")})},
        // Which server certificate is good enough: only ever narrower.
        {QStringLiteral("remote-cert-eku"),
         [](const Arguments &a) {
             // An OID or OpenSSL's name for one ("TLS Web Server Authentication").
             return a.size() == 1 && isWord(a[0], QLatin1StringView(" .-"), 128);
         }},
        {QStringLiteral("remote-cert-ku"),
         [](const Arguments &a) {
             // Key usage bits in hex ("a0"); none: the extension must be there.
             return a.size() <= 8 && std::all_of(a.begin(), a.end(), [](const QString &bits) {
                        return isMadeOf(bits, QLatin1StringView(), 4) &&
                               std::all_of(bits.begin(), bits.end(), isAsciiHexDigit);
                    });
         }},
        // TLS 1.0 and 1.1 are past their end: 1.2 is OpenVPN 2.6's own floor.
        {QStringLiteral("tls-version-min"),
         [](const Arguments &a) {
             return !a.isEmpty() && a.size() <= 2 &&
                    (a[0] == QLatin1String("1.2") || a[0] == QLatin1String("1.3")) &&
                    (a.size() < 2 || a[1] == QLatin1String("or-highest"));
         }},
        {QStringLiteral("cipher"), algorithmList(isWeakCipher)},
        {QStringLiteral("data-ciphers"), algorithmList(isWeakCipher)},
        {QStringLiteral("data-ciphers-fallback"), algorithmList(isWeakCipher)},
        {QStringLiteral("auth"), algorithmList(isWeakDigest)},
        {QStringLiteral("tls-cipher"), algorithmList(isWeakTlsSuite)},
        // Every TLS 1.3 suite encrypts and authenticates.
        {QStringLiteral("tls-ciphersuites"), algorithmList()},
        {QStringLiteral("reneg-sec"), numbers(1, 1, 0, 604800)},
        {QStringLiteral("hand-window"), numbers(1, 0, 1, 600)},
        {QStringLiteral("tls-timeout"), numbers(1, 0, 1, 60)},
        // OpenVPN's own limits: a wider window still refuses every replay.
        {QStringLiteral("replay-window"),
         [](const Arguments &a) {
             return !a.isEmpty() && a.size() <= 2 && isNumber(a[0], 0, 65536) &&
                    (a.size() < 2 || isNumber(a[1], 0, 600));
         }},
        // Compression beside encryption leaks plaintext through packet sizes
        // (VORACLE): only the settings that keep it off. "asym" still lets
        // the server compress what it sends, so it is refused with "yes".
        {QStringLiteral("comp-lzo"), oneOf({QStringLiteral("no")})},
        {QStringLiteral("allow-compression"), oneOf({QStringLiteral("no")})},
        {QStringLiteral("compress"),
         [](const Arguments &a) {
             return a.isEmpty() || (a.size() == 1 && (a[0] == QLatin1String("stub") ||
                                                      a[0] == QLatin1String("stub-v2")));
         }},
        // The account: asked for on the console, never read from a file.
        {QStringLiteral("auth-user-pass"), none()},
        {QStringLiteral("auth-nocache"), none()},
        // After a refused login OpenVPN may end or try again with the same
        // answers; we stop it on the refusal either way. "interact" would
        // ask again on the console, where the stored password is typed in
        // for each prompt: the refused login would be repeated.
        {QStringLiteral("auth-retry"),
         oneOf({QStringLiteral("none"), QStringLiteral("nointeract")})},
        {QStringLiteral("static-challenge"),
         [](const Arguments &a) {
             return a.size() == 2 && a[0].size() <= 256 && !a[0].contains(QLatin1Char('\n')) &&
                    (a[1] == QLatin1String("0") || a[1] == QLatin1String("1"));
         }},
        // How the link is kept and what is logged to the console.
        {QStringLiteral("keepalive"), numbers(2, 0, 1, 86400)},
        {QStringLiteral("ping"), numbers(1, 0, 1, 86400)},
        {QStringLiteral("ping-restart"), numbers(1, 0, 1, 86400)},
        {QStringLiteral("ping-exit"), numbers(1, 0, 1, 86400)},
        {QStringLiteral("ping-timer-rem"), none()},
        {QStringLiteral("explicit-exit-notify"), numbers(0, 1, 0, 10)},
        {QStringLiteral("verb"), numbers(1, 0, 0, 11)},
        {QStringLiteral("mute"), numbers(1, 0, 0, 100000)},
        {QStringLiteral("mute-replay-warnings"), none()},
    };
    return rules;
}

// Inline blocks hold key material, which OpenVPN never executes.
const QSet<QString> &inlineBlocks()
{
    static const QSet<QString> blocks = {
        QStringLiteral("ca"),       QStringLiteral("cert"),      QStringLiteral("key"),
        QStringLiteral("tls-auth"), QStringLiteral("tls-crypt"), QStringLiteral("tls-crypt-v2")};
    return blocks;
}

// Outside comments only printable ASCII, tabs and a line's final CR: any
// other byte might be a separator to one parser and part of a word to
// another.
bool isPlainAscii(const QByteArray &line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        const uchar c = uchar(line.at(i));
        const bool finalCr = c == '\r' && i + 1 == line.size();
        if (!finalCr && c != '\t' && (c < 0x20 || c > 0x7e))
            return false;
    }
    return true;
}

TunnelConfigCheck::Verdict refused(const QString &directive, int line)
{
    TunnelConfigCheck::Verdict verdict;
    verdict.directive = directive.left(64);
    verdict.line = line;
    return verdict;
}

} // namespace

std::optional<QStringList> TunnelConfigCheck::words(const QString &line)
{
    QStringList result;
    QString word;
    enum
    {
        Between,
        Plain,
        Quoted
    } state = Between;
    QChar quote;
    const auto escapedNext = [&](qsizetype &i) {
        if (i + 1 < line.size())
            word += line.at(++i);
    };
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        const bool isQuote = c == QLatin1Char('"') || c == QLatin1Char('\'');
        switch (state) {
        case Between:
            if (c.isSpace())
                break;
            if (c == QLatin1Char('#') || c == QLatin1Char(';'))
                return result; // the rest of the line is a comment
            if (isQuote) {
                quote = c;
                state = Quoted;
            } else {
                state = Plain;
                if (c == QLatin1Char('\\'))
                    escapedNext(i);
                else
                    word += c;
            }
            break;
        case Plain:
            if (c.isSpace()) {
                result << std::exchange(word, QString());
                state = Between;
            } else if (isQuote) {
                return std::nullopt; // a quote inside a word: read differently by each parser
            } else if (c == QLatin1Char('\\')) {
                escapedNext(i);
            } else {
                word += c;
            }
            break;
        case Quoted:
            if (c == quote) {
                if (i + 1 < line.size() && !line.at(i + 1).isSpace())
                    return std::nullopt; // text glued to a closing quote
                result << std::exchange(word, QString());
                state = Between;
            } else if (c == QLatin1Char('\\') && quote == QLatin1Char('"')) {
                escapedNext(i);
            } else {
                word += c;
            }
            break;
        }
    }
    if (state == Quoted)
        return std::nullopt; // an unclosed quote
    if (state == Plain)
        result << word;
    return result;
}

TunnelConfigCheck::Verdict TunnelConfigCheck::check(const QByteArray &configuration)
{
    if (configuration.size() > MaxSize)
        return refused(QStringLiteral("(size)"), 0);
    if (configuration.contains('\0'))
        return refused(QStringLiteral("(NUL)"), 0);

    const QList<QByteArray> lines = configuration.split('\n');
    QString openBlock;
    for (int number = 1; number <= lines.size(); ++number) {
        const QByteArray bytes = lines.at(number - 1);
        const QString trimmed = QString::fromUtf8(bytes).trimmed();
        if (trimmed.startsWith(QLatin1Char('#')) || trimmed.startsWith(QLatin1Char(';')))
            continue; // a comment, such as the location line
        if (!isPlainAscii(bytes))
            return refused(QStringLiteral("(character)"), number);
        const QString line = QString::fromLatin1(bytes);

        if (!openBlock.isEmpty()) {
            // Key material holds no "<": a line with one must close the
            // block exactly, so that no parser can end it elsewhere.
            if (trimmed.contains(QLatin1Char('<'))) {
                if (trimmed != QStringLiteral("</%1>").arg(openBlock))
                    return refused(trimmed, number);
                openBlock.clear();
            }
            continue;
        }
        if (trimmed.startsWith(QLatin1Char('<'))) {
            const QString tag = trimmed.mid(1, trimmed.size() - 2);
            if (!trimmed.endsWith(QLatin1Char('>')) || !inlineBlocks().contains(tag))
                return refused(trimmed, number);
            openBlock = tag;
            continue;
        }

        const std::optional<QStringList> split = words(line);
        if (!split)
            return refused(trimmed, number);
        QStringList parts = *split;
        if (parts.isEmpty())
            continue;
        QString directive = parts.takeFirst();
        if (directive.startsWith(QLatin1String("--")))
            directive.remove(0, 2);
        const auto rule = allowList().constFind(directive);
        if (rule == allowList().constEnd() || !(*rule)(parts))
            return refused(directive, number);
    }
    // An unclosed block would swallow the options OpenVPN adds after it.
    if (!openBlock.isEmpty())
        return refused(QLatin1Char('<') + openBlock + QLatin1Char('>'), lines.size());

    Verdict verdict;
    verdict.accepted = true;
    return verdict;
}
