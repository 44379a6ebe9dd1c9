#pragma once
// The dictionary query commands of the menu "ｵﾗｸﾙ参照・設定(&O)".
#include <QString>

class frmMain;

// Connects every item of that menu (found by its item name) to its command.
void ConnectSqlMenu(frmMain* main);

// The table-name prompt: the answer as typed, or an empty text when it was blank or cancelled.
QString AskTableName();
// The two date-range prompts of the SQL log commands, both offering the current date and time:
// the range condition their answers give.
QString AskLogRange();
