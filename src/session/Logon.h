#pragma once
// The logon dialog "ログイン" as the main window's commands open it.
class QWidget;

// Loads a fresh logon dialog and shows it modally; returns when it has closed. On a successful
// logon the session table has one more live record.
void mSb_ShowLogonDialog(QWidget* parent);
