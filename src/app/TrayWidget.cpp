#include "app/TrayWidget.h"

#include <QCoreApplication>
#include <QMenu>

TrayWidget::TrayWidget(QObject *parent) : QSystemTrayIcon(parent), menu(new QMenu)
{
    QAction *quitAction = menu->addAction(QIcon(QStringLiteral(":/img/icon/quit.png")), tr("&Quit"));
    connect(quitAction, &QAction::triggered, this, &TrayWidget::quitApp);
    setContextMenu(menu);
    setIcon(QIcon(QStringLiteral(":/img/icon/login.png")));
    setToolTip(tr("Quillnet by Korvex"));
    setVisible(true);
}

TrayWidget::~TrayWidget()
{
    delete menu;
}

void TrayWidget::quitApp()
{
    // The tunnel and the rest are stopped by main() once the loop has ended.
    QCoreApplication::quit();
}
