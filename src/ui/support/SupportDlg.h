#pragma once

#include "ui/app/TmpDialog.h"

class LoginController;
class SupportWdg;
class Tunnel;

// The support page in a dialog of its own, for the time before a login.
// It asks before a close would throw away a typed or outgoing request.
class SupportDlg : public TmpDialog
{
    Q_OBJECT

public:
    SupportDlg(const LoginController *account, const Tunnel *tunnel, QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    SupportWdg *supportWdg;

    Q_DISABLE_COPY_MOVE(SupportDlg)
};
