#pragma once

class TrayWidget;
class Tunnel;
class LoginDlg;

// The three process-wide objects. They are created and deleted by main() in
// a fixed order, which hands them to the objects that need them; these
// pointers are null outside that span.
extern TrayWidget *trayWidget;
extern Tunnel *vpnConnection;
extern LoginDlg *loginDlg;
