#pragma once
// How sessions end, and the runner that hands dictionary queries to a console.
#include <QString>

class frmQuerna;

// Closes and releases every session, empties the table and unloads every console window.
void mSb_CloseAllSessions();
// Unloads every console window; sessions are untouched.
void mSb_UnloadConsoles();
// The console's logout of its selected session, with its confirmation.
void LogoutConsoleSession(frmQuerna* console);
// Runs one SQL text in the active console, logging on and opening a console first when needed.
void mSb_RunDictionarySQL(const QString& sql);
