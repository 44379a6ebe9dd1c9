#include "app/Logon.h"

#include "app/basMain.h"
#include "app/frmMain.h"
#include "console/frmQuerna.h"
#include "platform/Platform.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"

void ShowLogonDialog(QWidget* parent) {
  // A fresh dialog at every opening, so the saved history is read again.
  frmLogon dlg(parent);
  dlg.exec();
}

void SessionLogonCommand() {
  if (NoSession()) {
    if (gfrmMain) gfrmMain->mnuWindowNewWindow_Click();
  } else {
    ShowLogonDialog(gfrmMain);
  }
  // The active console offers the new session at once (or the newest one after a cancel).
  if (frmQuerna* console = gfrmMain ? gfrmMain->ActiveConsole() : nullptr)
    console->RefreshSessionList();
}

void SessionLogoutCommand() {
  frmQuerna* console = gfrmMain ? gfrmMain->ActiveConsole() : nullptr;
  if (!console || NoSession()) return;
  console->Logout();
}
