#include "app/basMain.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <utility>

#include "app/basLogout.h"
#include "app/frmMain.h"
#include "core/RunErr.h"
#include "platform/Platform.h"
#include "support/basFunctions.h"

frmMain* gfrmMain = nullptr;

void mSb_KillFile(const QString& path) {
  QFile::remove(path);
}

void mSb_EndApplication() {
  // The main window's own close runs this again through its Unload; once is enough.
  static bool ending = false;
  if (ending) return;
  ending = true;
  // A grid fill that is letting messages through stops at its next row instead of reading from
  // a result set that is closed below.
  gblnFetching = false;
  mSb_CloseAllSessions();
  ora::ErrClear();
  QList<QPointer<QWidget>> others;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->objectName() != QStringLiteral("frmMain")) others << w;
  }
  for (const QPointer<QWidget>& w : std::as_const(others)) {
    if (w) w->close();
  }
  if (frmMain* main = std::exchange(gfrmMain, nullptr)) main->close();
  ora::ErrClear();
  ending = false;
}

void Main() {
  CreateSessions();
  mSb_KillFile(platform::ProgramFolder() + QStringLiteral("/Querna.sql"));
  gfrmMain = new frmMain;
  gfrmMain->setAttribute(Qt::WA_DeleteOnClose);
  gfrmMain->Load();
}
