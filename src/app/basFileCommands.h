#pragma once
// The File and Help menus' commands.

// "SQLﾌｧｲﾙからSQL文をｲﾝﾎﾟｰﾄ...": reads a SQL script into the active console.
void mSb_SqlFileOpenCommand();
// "SQLﾛｸﾞﾌｧｲﾙを開く...": opens a SQL history file in the desktop's text editor.
void mSb_LogFileOpenCommand();
// "ｲﾝﾎﾟｰﾄ..." and "ｴｸｽﾎﾟｰﾄ...".
void mSb_ImportCommand();
void mSb_ExportCommand();
// "目次(&C)" and "ﾄﾋﾟｯｸの検索(&S)...".
void mSb_HelpContentsCommand();
void mSb_HelpSearchCommand();
// "ﾊﾞｰｼﾞｮﾝ情報(&A)".
void mSb_AboutCommand();
