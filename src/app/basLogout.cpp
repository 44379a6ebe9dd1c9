#include "app/basLogout.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPointer>

#include "console/frmQuerna.h"
#include "core/RunErr.h"
#include "platform/Platform.h"
#include "session/SessionData.h"

void mSb_CloseAllSessions() {
  for (SessionData& rec : gSessionData) {
    if (rec.OraDynaset) rec.OraDynaset->Close();
    if (rec.OraDatabase) rec.OraDatabase->Close();
    rec.OraDynaset.reset();
    rec.OraDatabase.reset();
    rec.OraSession.reset();
  }
  CreateSessions();
  mSb_UnloadConsoles();
  ora::ErrClear();
}

void mSb_UnloadConsoles() {
  QList<QPointer<frmQuerna>> consoles;
  for (QWidget* w : QApplication::allWidgets()) {
    if (auto* c = qobject_cast<frmQuerna*>(w)) consoles << c;
  }
  for (const QPointer<frmQuerna>& c : consoles) {
    if (!c) continue;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(c->parentWidget())) {
      sub->setAttribute(Qt::WA_DeleteOnClose);
      sub->close();
    } else {
      c->setAttribute(Qt::WA_DeleteOnClose);
      c->close();
    }
  }
  ora::ErrClear();
}

void LogoutConsoleSession(frmQuerna* console) {
  // A session in use by a running statement stays until the statement has ended.
  if (!console || frmQuerna::StatementRunning()) return;
  if (platform::MsgBox(QStringLiteral("【") + console->SelectedSessionLabel() +
                           QStringLiteral("】\r\n\r\nをログアウトしますか？"),
                       platform::vbYesNo | platform::vbQuestion) != platform::vbYes)
    return;

  // The selected record is closed and dropped; the ones behind it move forward.
  const int selected = console->SelectedSession();
  std::vector<SessionData> kept;
  for (int i = 0; i < static_cast<int>(gSessionData.size()); ++i) {
    SessionData& rec = gSessionData[static_cast<std::size_t>(i)];
    if (i != selected) {
      kept.push_back(std::move(rec));
      continue;
    }
    if (rec.OraDynaset) rec.OraDynaset->Close();
    if (rec.OraDatabase) rec.OraDatabase->Close();
  }
  CreateSessions();
  if (!kept.empty()) gSessionData = std::move(kept);
  ora::ErrClear();

  if (!gSessionData[0].Host.isEmpty()) {
    console->RefreshSessionList();
  } else {
    // The last session is gone: every console closes, this one included.
    mSb_CloseAllSessions();
  }
}
