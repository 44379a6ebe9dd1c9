#pragma once
// The logon dialog "ログイン" and the Session menu's commands.
class QWidget;

// Loads a fresh logon dialog and shows it modally; returns when it has closed. On a successful
// logon the session table has one more live record.
void ShowLogonDialog(QWidget* parent);
// "ﾛｸﾞｲﾝ...": logs on to one more database (through the new-window command when none is open).
void SessionLogonCommand();
// "ﾛｸﾞｱｳﾄ...": presses the active console's logout button when a session is open.
void SessionLogoutCommand();
