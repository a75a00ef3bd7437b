#include "app/Instances.h"

TrayWidget *trayWidget = nullptr;
Tunnel *vpnConnection = nullptr;
LoginDlg *loginDlg = nullptr;
