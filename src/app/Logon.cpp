#include "app/Logon.h"

#include "app/basMain.h"
#include "app/frmMain.h"
#include "console/frmQuerna.h"
#include "platform/Platform.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"

void mSb_ShowLogonDialog(QWidget* parent) {
  // A fresh dialog at every opening, so the saved history is read again.
  frmLogon dlg(parent);
  dlg.exec();
}

void mSb_SessionLogonCommand() {
  if (mFn_NoSession()) {
    if (gfrmMain) gfrmMain->mnuWindowNewWindow_Click();
  } else {
    mSb_ShowLogonDialog(gfrmMain);
  }
  // The active console offers the new session at once (or the newest one after a cancel).
  if (frmQuerna* console = gfrmMain ? gfrmMain->mFn_ActiveConsole() : nullptr)
    console->RefreshSessionList();
}

void mSb_SessionLogoutCommand() {
  frmQuerna* console = gfrmMain ? gfrmMain->mFn_ActiveConsole() : nullptr;
  if (!console || mFn_NoSession()) return;
  console->Logout();
}
