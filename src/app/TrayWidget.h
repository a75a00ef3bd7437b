#pragma once

#include <QSystemTrayIcon>

class QMenu;

// The program's icon in the system tray.
class TrayWidget : public QSystemTrayIcon
{
    Q_OBJECT

public:
    explicit TrayWidget(QObject *parent = nullptr);
    ~TrayWidget() override;

public slots:
    void quitApp();

private:
    QMenu *menu;
};
