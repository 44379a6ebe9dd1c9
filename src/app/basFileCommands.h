#pragma once
// The File and Help menus' commands.

// "SQLﾌｧｲﾙからSQL文をｲﾝﾎﾟｰﾄ...": reads a SQL script into the active console.
void SqlFileOpenCommand();
// "SQLﾛｸﾞﾌｧｲﾙを開く...": opens a SQL history file in the desktop's text editor.
void LogFileOpenCommand();
// "ｲﾝﾎﾟｰﾄ..." and "ｴｸｽﾎﾟｰﾄ...".
void ImportCommand();
void ExportCommand();
// "目次(&C)" and "ﾄﾋﾟｯｸの検索(&S)...".
void HelpContentsCommand();
void HelpSearchCommand();
// "ﾊﾞｰｼﾞｮﾝ情報(&A)".
void AboutCommand();
