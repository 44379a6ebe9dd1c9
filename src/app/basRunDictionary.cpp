#include <QMdiSubWindow>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "console/frmQuerna.h"
#include "core/RunErr.h"
#include "platform/Platform.h"
#include "session/SessionData.h"

namespace {

frmQuerna* ActiveConsoleWithSession() {
  frmQuerna* console = gfrmMain ? gfrmMain->ActiveConsole() : nullptr;
  return console && !NoSession() ? console : nullptr;
}

}  // namespace

void mSb_RunDictionarySQL(const QString& sql) {
  if (!gfrmMain) return;
  if (!ActiveConsoleWithSession()) gfrmMain->mnuWindowNewWindow_Click();
  frmQuerna* console = ActiveConsoleWithSession();
  if (!console) {
    // The user cancelled the logon: no query, no message.
    ora::ErrClear();
    return;
  }
  QWidget* window = qobject_cast<QMdiSubWindow*>(console->parentWidget());
  if (!window) window = console;
  if (window->isMinimized()) window->showMaximized();

  platform::Hourglass hourglass;
  const int result = console->mFn_SetListDataSQL(sql);
  if (result == -1) {
    platform::MsgBox(QStringLiteral("実行処理が失敗しました。権限などを確認してください"),
                     platform::vbInformation);
  } else if (result == 0) {
    platform::MsgBox(QStringLiteral("データがありませんでした。"), platform::vbInformation);
  }
  ora::ErrClear();
}
