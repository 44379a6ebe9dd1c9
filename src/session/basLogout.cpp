#include "session/basLogout.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QPointer>

#include "console/frmQuerna.h"
#include "oracle/RunErr.h"
#include "session/SessionData.h"

void mSb_CloseAllSessions() {
  for (SessionData& rec : gSessionData) {
    if (rec.OraDynaset) rec.OraDynaset->Close();
    if (rec.OraDatabase) rec.OraDatabase->Close();
    rec.OraDynaset.reset();
    rec.OraDatabase.reset();
    rec.OraSession.reset();
  }
  mSb_CreateSessions();
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
