#include "app/basFileCommands.h"

#include <QPointer>

#include "about/frmVersion.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "console/frmQuerna.h"
#include "files/basCmnDlg.h"
#include "files/basImpExp.h"
#include "platform/HelpWindow.h"
#include "platform/Platform.h"
#include "session/SessionData.h"
#include "support/CsvExport.h"

namespace {

const QChar NUL(u'\0');

// The File commands' test for a logon: record 0 names a host.
bool NobodyLoggedIn() {
  return gSessionData.empty() || gSessionData[0].Host.isEmpty();
}

void AskToLogIn() {
  platform::MsgBox(QStringLiteral("ログインしてください"), platform::vbInformation);
}

void ShowHelp(platform::HelpCommand command) {
  const QString file = platform::HelpFile();
  if (file.isEmpty()) {
    platform::MsgBox(QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 "
                                    "このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"),
                     platform::vbInformation, gfrmMain ? gfrmMain->windowTitle() : QString());
    return;
  }
  platform::ShowHelp(gfrmMain, file, command);
}

}  // namespace

void SqlFileOpenCommand() {
  if (NobodyLoggedIn()) {
    AskToLogIn();
    return;
  }
  // Held weakly: the console could be closed while the dialogs below are up.
  QPointer<frmQuerna> console = gfrmMain ? gfrmMain->ActiveConsole() : nullptr;
  if (!console || NoSession()) return;

  const QString path =
      mFn_ShowOpenDialog(gfrmMain, QStringLiteral("SQLﾌｧｲﾙからSQL文をｲﾝﾎﾟｰﾄ"), QString(),
                         QStringLiteral("SQLﾌｧｲﾙ(*.SQL)") + NUL + QStringLiteral("*.SQL"));
  if (path.isEmpty()) return;
  const QString text = mFn_ReadSqlFile(path);
  if (text.isEmpty()) {
    platform::MsgBox(QStringLiteral("読み込みに失敗しました"), platform::vbCritical);
    return;
  }
  if (!console) return;
  console->LoadScript(text);
}

void LogFileOpenCommand() {
  const QString path =
      mFn_ShowOpenDialog(gfrmMain, QStringLiteral("SQLﾛｸﾞﾌｧｲﾙを開く"), platform::ProgramFolder(),
                         QStringLiteral("SQLﾛｸﾞﾌｧｲﾙ(*.LOG)") + NUL + QStringLiteral("*.LOG"));
  // The path goes to the desktop's editor whole, blanks and all; a failure to start it is
  // not reported.
  if (!path.isEmpty()) platform::OpenDocument(path);
}

void ImportCommand() {
  if (NobodyLoggedIn()) AskToLogIn();
}

void ExportCommand() {
  if (NobodyLoggedIn()) {
    AskToLogIn();
    return;
  }
  if (frmQuerna* console = gfrmMain ? gfrmMain->ActiveConsole() : nullptr)
    ExportGridAsCsv(gfrmMain, console->ResultGrid());
}

void HelpContentsCommand() {
  ShowHelp(platform::HelpCommand::Contents);
}

void HelpSearchCommand() {
  ShowHelp(platform::HelpCommand::Search);
}

void AboutCommand() {
  // A fresh dialog at every opening, gone again once it is closed. Held weakly, because
  // shut-down unloads every window, an open About box included.
  QPointer<frmVersion> dialog = new frmVersion(gfrmMain);
  dialog->exec();
  delete dialog;
}
