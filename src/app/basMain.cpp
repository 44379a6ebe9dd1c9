#include "app/basMain.h"

#include <QFile>

#include "app/frmMain.h"
#include "platform/Platform.h"

frmMain* gfrmMain = nullptr;
bool gblnFetching = false;

void mSb_KillFile(const QString& path) { QFile::remove(path); }

void mSb_EndApplication() {}

void Main() {
  mSb_CreateSessions();
  mSb_KillFile(platform::ProgramFolder() + QStringLiteral("/Querna.sql"));
  gfrmMain = new frmMain;
  gfrmMain->show();
}
