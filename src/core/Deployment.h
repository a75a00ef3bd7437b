#pragma once

#include "core/LocalServicePorts.h"

#include <QString>
#include <QStringList>

// Where this build of the client is aimed: the service, its mail relay and
// the vendor's addresses. Read in one place so that tests and the local demo
// can point the client at 127.0.0.1 through an override file named by the
// environment variable QUILLNET_DEPLOYMENT, without touching the code.
class Deployment
{
public:
    QString serviceHost;
    quint16 serviceHttpsPort = 443;
    quint16 serviceHttpPort = 80;
    // The account requests carry the password in their query: "https"
    // sends them encrypted to the pinned certificate like the
    // configuration request; "http" is the service's historical scheme.
    bool apiOverHttps = false;
    QString relayHost;
    quint16 relayPort = 443;
    QString aliasDomain;
    QString supportMailbox;
    QString webBase; // ends with "/"; pages are appended to it
    QString organizationDomain;
    QString serverCertPath; // PEM file of the pinned service certificate
    // The loopback ports of the local web filter and mail proxy. Users set
    // their browser and mail program to these; tests move them to free ones
    // so that a client running on the same machine does not disturb them.
    quint16 webFilterPort = LocalServicePorts::WebFilter;
    quint16 mailProxyPort = LocalServicePorts::MailProxy;

    // The values compiled into the program.
    static Deployment defaults();

    // Defaults overridden by the INI file at `path`. Every problem (an
    // unreadable or malformed file, a bad port, an unknown key) is appended
    // to `problems`; a bad file changes nothing and a bad value keeps its
    // default.
    static Deployment fromFile(const QString &path, QStringList *problems);

    // The values of this process: loaded on first use from QUILLNET_DEPLOYMENT
    // when it is set, with any problem reported once on standard error.
    static const Deployment &current();

    QString registrationLink() const { return webBase + QStringLiteral("register.php"); }
    // Where a packaged client's user gets a new package.
    QString downloadLink() const { return webBase + QStringLiteral("download.php"); }
};
