#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Judges a tunnel configuration that came from elsewhere (the service's
// answer, or a caller of the privileged tunnel service) before OpenVPN ever
// reads it. Only the directives a client connection needs pass, each with
// arguments of the expected shape; anything that could run a program, read
// or write a file of its choosing, change the process or open a control
// channel is refused, as is any setting that switches the encryption off or
// weakens it (old ciphers and TLS versions, compression). One refused line
// refuses the whole configuration.
// Lines are split into words the way OpenVPN splits them (quotes and
// backslashes included), so what is judged is what OpenVPN would read.
class TunnelConfigCheck
{
public:
    // Configurations are a few kilobytes; anything near this is no
    // configuration of ours.
    static constexpr qsizetype MaxSize = 256 * 1024;
    // The only file a configuration may name: the CA certificate the client
    // writes next to it.
    static constexpr char CertificateFile[] = "cert.crt";

    struct Verdict
    {
        bool accepted = false;
        // The refused directive (or what stood in its place), and where.
        QString directive;
        int line = 0;
    };

    static Verdict check(const QByteArray &configuration);

    // OpenVPN's reading of one line into words; empty for a blank line or a
    // comment, none for quoting that parsers may read differently (a quote
    // inside a word, text glued to a closing quote, an unclosed quote).
    static std::optional<QStringList> words(const QString &line);
};
