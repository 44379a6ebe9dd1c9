#include "app/frmMain.h"

#include <QMdiArea>

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), mdi_(new QMdiArea(this)) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Querna"));
  setCentralWidget(mdi_);
}
