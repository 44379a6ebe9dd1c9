#include "app/frmMain.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "console/frmQuerna.h"

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), mdi_(new QMdiArea(this)) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Querna"));
  setCentralWidget(mdi_);
}

int frmMain::mFn_RecordLimit() const { return 100; }

frmQuerna* frmMain::mFn_ActiveConsole() const {
  QMdiSubWindow* sub = mdi_->activeSubWindow();
  return sub ? qobject_cast<frmQuerna*>(sub->widget()) : nullptr;
}

void frmMain::mnuWindowNewWindow_Click() {}

QAction* frmMain::menuItem(const QString& name) const { return findChild<QAction*>(name); }
