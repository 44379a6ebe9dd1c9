#pragma once
// Start-up, shut-down and the program-wide state shared by the windows.
#include <QString>

#include "session/SessionData.h"

class frmMain;

// The one main window, set at start-up and released at shut-down.
extern frmMain* gfrmMain;

// Deletes one file; every error (missing, locked) is swallowed.
void mSb_KillFile(const QString& path);
// Shut-down: closes every session and every window but the main window.
void mSb_EndApplication();
// The entry point's work once the application object exists: creates the session table,
// deletes "Querna.sql", creates, stores and shows the main window.
void Main();
