#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Splits the service's configuration answer into the two files OpenVPN is
// started with: the CA certificate "cert.crt" and the configuration
// "quillnet.ovpn" (which refers to the certificate by that name), and picks
// the server's location out of its marked comment line.
class TunnelFiles
{
    // The location key is translated like the login dialog's texts: the
    // service sends the line under the key of the installed catalogue.
    Q_DECLARE_TR_FUNCTIONS(LoginDlg)

public:
    static constexpr char CertFile[] = "cert.crt";
    static constexpr char ConfigFile[] = "quillnet.ovpn";

    // The key of the location line for the installed catalogue.
    static QString locationKey();

    // Whether the body holds a certificate and a configuration after it:
    // anything else (an error page, a proxy's answer) only makes OpenVPN
    // fail without saying why.
    static bool isTunnelConfig(const QByteArray &body);

    // The configuration lines that follow the certificate, as write() puts
    // them into the configuration file.
    static QByteArray configuration(const QByteArray &body);

    // Writes both files into `folder`, each 0600 and whole or not at all.
    // Returns false when either could not be written (a read-only folder, a
    // full disk); OpenVPN must not start then. `location` is set from the
    // last location line and left as it was when there is none.
    static bool write(const QByteArray &body, const QString &folder, QString *location);
};
