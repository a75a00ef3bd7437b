#pragma once

class TrayWidget;
class VPNConnection;
class LoginDlg;

// The three process-wide objects. They are created and deleted by main() in
// a fixed order; every other part reaches them through these pointers, which
// are null outside that span.
extern TrayWidget *trayWidget;
extern VPNConnection *vpnConnection;
extern LoginDlg *loginDlg;
