#include "console/frmQuerna.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/basFunctions.h"

// The window's controls; the console's own behaviour comes with the console work.
frmQuerna::frmQuerna(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmQuerna"));
  auto* layout = new QVBoxLayout(this);
  lbl1 = new QLabel(QStringLiteral("接続セッション"), this);
  cmbSessionData = new QComboBox(this);
  chkReadOnly = new QCheckBox(QStringLiteral("ReadOnly"), this);
  cmdSQL_Exec = new QPushButton(QStringLiteral("SQL実行(F5)"), this);
  cmdClear = new QPushButton(QStringLiteral("クリア(F3)"), this);
  cmdSelect = new QPushButton(QStringLiteral("SELECT文追加"), this);
  cmdLogout = new QPushButton(QStringLiteral("ログアウト"), this);
  Command1 = new QPushButton(QStringLiteral("バインド変数"), this);
  txtSQL = new QPlainTextEdit(this);
  txtStatus = new QLineEdit(this);
  for (QWidget* w : std::initializer_list<QWidget*>{lbl1, cmbSessionData, chkReadOnly, cmdSQL_Exec,
                                                    cmdClear, cmdSelect, cmdLogout, Command1,
                                                    txtSQL, txtStatus})
    layout->addWidget(w);
}

frmQuerna::~frmQuerna() = default;

void frmQuerna::Load() {
  mSb_SetSessionList(cmbSessionData);
  show();
  txtSQL->setFocus();
}

void frmQuerna::mSb_SetListData(QPlainTextEdit*) {}

int frmQuerna::mFn_SetListDataSQL(const QString&) { return -1; }
