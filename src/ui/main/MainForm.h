#pragma once

#include <QByteArray>
#include <QDialog>

class QLabel;

// The window shown while logged in. For now it shows where the tunnel
// leads and offers reconnect, log-out and exit; its pages come later.
class MainForm : public QDialog
{
    Q_OBJECT

public:
    explicit MainForm(QWidget *parent = nullptr);
    ~MainForm() override;

public slots:
    void setLocation(QString ip, QString location);
    void enableNonfreeWidgets(bool reg_user);
    void getReceivingDone(QByteArray response, bool ok);
    void getAliasesDone(QByteArray response, bool ok);
    void getContactDone(QByteArray response, bool ok);
    void loginDone();
    void setNoticesMuted(bool muted);
    void startWebFilter();
    void startMailProxy();

    void reconnect();
    void logOut();
    void exitApp();

private:
    // Gives the screen back to the login dialog for a new login.
    void handBackToLogin();

    QLabel *locationLbl;
};
