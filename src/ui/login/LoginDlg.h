#pragma once

#include <QDialog>

// The first window of the program: the login form and the controller of a
// login, from the credentials to the working tunnel.
class LoginDlg : public QDialog
{
    Q_OBJECT

public:
    explicit LoginDlg(QWidget *parent = nullptr);
};
