#pragma once

#include <QString>

// What the program's own path says about how it was installed. The path is
// handed in, so that a test can place a program anywhere; current() is the
// running one (already free of links: Linux reports /proc/self/exe).
class Installation
{
public:
    explicit Installation(const QString &programPath);
    static Installation current();

    // Under /usr, but not /usr/local: a distribution's package put it there,
    // and only its package manager may replace it. /usr/local is the
    // administrator's own, outside any package manager.
    bool isPackaged() const;

    // What starts this client as its user would: the launcher of an
    // installed tree (bin/quillnet beside lib/quillnet/quillnet), which
    // gives the user a working folder; else the program itself, which works
    // in the folder it was started from.
    QString launcher() const;
    bool hasLauncher() const { return launcher() != program; }

    QString programPath() const { return program; }

private:
    QString program;
};
