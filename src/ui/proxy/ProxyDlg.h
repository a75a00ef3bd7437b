#pragma once

#include "ui/app/TmpDialog.h"

class ProxyWdg;
class RememberedPasswords;

// The proxy form in a small dialog of its own, opened from the login
// dialog: Save stores the choice, Cancel leaves the stored one alone. The
// password goes to `passwords`, or without them to the settings file.
class ProxyDlg : public TmpDialog
{
    Q_OBJECT

public:
    explicit ProxyDlg(QWidget *parent = nullptr, RememberedPasswords *passwords = nullptr);

public slots:
    void okBtnClicked();

private:
    ProxyWdg *proxyWdg;

    Q_DISABLE_COPY_MOVE(ProxyDlg)
};
