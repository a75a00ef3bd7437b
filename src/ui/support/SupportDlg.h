#pragma once

#include "ui/app/TmpDialog.h"

class SupportWdg;

// The support page in a dialog of its own, for the time before a login.
// It asks before a close would throw away a typed or outgoing request.
class SupportDlg : public TmpDialog
{
    Q_OBJECT

public:
    explicit SupportDlg(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    SupportWdg *supportWdg;
};
