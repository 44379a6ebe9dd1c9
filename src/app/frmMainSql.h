#pragma once
// The dictionary query commands of the menu "ｵﾗｸﾙ参照・設定(&O)".
class frmMain;

// Connects every item of that menu (found by its item name) to its command.
void mSb_ConnectSqlMenu(frmMain* main);
