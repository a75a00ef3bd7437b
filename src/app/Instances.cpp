#include "app/Instances.h"

TrayWidget *trayWidget = nullptr;
VPNConnection *vpnConnection = nullptr;
LoginDlg *loginDlg = nullptr;
