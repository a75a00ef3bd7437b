#pragma once

#include <QList>
#include <QStringList>

// The rows the user picks the claimed operating system and browser from.
// Display names are untranslated source texts of the context "WebFilter".
// "-" as token or template means "none".
struct OsRow
{
    const char *displayName;
    QString token;
    QString platform;
    QString filterName;

    // What the action file writer receives as the OS choice.
    QStringList choice() const { return {token, platform, filterName}; }
};

struct BrowserRow
{
    const char *displayName;
    // "%1" takes the OS token, "%2" the platform word.
    QString userAgentTemplate;
};

const QList<OsRow> &osRows();
const QList<BrowserRow> &browserRows();
