#include "session/frmLogon.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "files/basImpExp.h"
#include "platform/Platform.h"
#include "session/Connect.h"
#include "session/SessionData.h"

namespace {

const QString kApp = QStringLiteral("ZEPH");
const QString kSection = QStringLiteral("Logon");

QComboBox* MakeHistoryBox(QWidget* parent, const QString& name, const QString& tip) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setEditable(true);
  // Only a successful logon adds to a list, and a value is taken as typed: no list item is
  // added by Enter and no inline completion changes the case of what was typed.
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setCompleter(nullptr);
  box->setMinimumContentsLength(24);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setToolTip(tip);
  return box;
}

// Splits a saved history and lists every item that is not blank, spaces kept as stored.
void FillHistoryBox(QComboBox* box, const QString& history, QStringList& items) {
  mFn_SplitText(history, QStringLiteral(","), items);
  for (const QString& item : items) {
    if (!item.trimmed().isEmpty()) box->addItem(item);
  }
}

}  // namespace

frmLogon::frmLogon(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmLogon"));
  setWindowTitle(QStringLiteral("ログイン"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

  auto* menuBar = new QMenuBar(this);
  mnuTool = menuBar->addMenu(QStringLiteral("ﾂｰﾙ(&T)"));
  mnuTool->setObjectName(QStringLiteral("mnuTool"));
  mnuToolDelLog = mnuTool->addAction(QStringLiteral("全てのﾛｸﾞｲﾝ情報を削除"));
  mnuToolDelLog->setObjectName(QStringLiteral("mnuToolDelLog"));
  mnuToolAutoHost = mnuTool->addAction(QStringLiteral("ﾎｽﾄ文字列を自動取得..."));
  mnuToolAutoHost->setObjectName(QStringLiteral("mnuToolAutoHost"));
  mnuToolAutoHost->setEnabled(false);

  const QString captions[3] = {QStringLiteral("ユーザー名："), QStringLiteral("パスワード："),
                               QStringLiteral("ホスト文字列：")};
  for (int i = 0; i < 3; ++i) {
    lbl1[i] = new QLabel(captions[i], this);
    lbl1[i]->setObjectName(QStringLiteral("lbl1_%1").arg(i));
  }
  cmbUser = MakeHistoryBox(this, QStringLiteral("cmbUser"),
                           QStringLiteral("ｵﾗｸﾙに接続する為のﾕｰｻﾞｰIDを入力します"));
  cmbPass = MakeHistoryBox(this, QStringLiteral("cmbPass"),
                           QStringLiteral("ｵﾗｸﾙに接続する為のﾊﾟｽﾜｰﾄﾞを入力します"));
  cmbHost = MakeHistoryBox(this, QStringLiteral("cmbHost"),
                           QStringLiteral("ｵﾗｸﾙに接続する為の接続文字列を入力します"));
  for (int i = 0; i < 3; ++i) lbl1[i]->setBuddy(i == 0 ? cmbUser : i == 1 ? cmbPass : cmbHost);

  cmdLogOn = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                             QStringLiteral("接続"), this);
  cmdLogOn->setObjectName(QStringLiteral("cmdLogOn"));
  cmdLogOn->setToolTip(QStringLiteral("ｵﾗｸﾙへ接続します"));
  cmdLogOn->setDefault(true);
  cmdCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                              QStringLiteral("取消"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setToolTip(QStringLiteral("ﾛｸﾞｲﾝを中止します"));
  cmdCancel->setAutoDefault(false);
  for (QPushButton* b : {cmdLogOn, cmdCancel}) b->setMinimumWidth(96);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(8);
  QComboBox* boxes[3] = {cmbUser, cmbPass, cmbHost};
  for (int i = 0; i < 3; ++i) {
    grid->addWidget(lbl1[i], i, 0);
    grid->addWidget(boxes[i], i, 1);
  }
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(cmdLogOn);
  buttons->addWidget(cmdCancel);
  buttons->addStretch();
  grid->addLayout(buttons, 0, 2, 3, 1);
  grid->setColumnMinimumWidth(2, 96);
  auto* outer = new QVBoxLayout(this);
  outer->setMenuBar(menuBar);
  outer->setContentsMargins(12, 12, 12, 12);
  outer->addLayout(grid);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  setTabOrder(cmbUser, cmbPass);
  setTabOrder(cmbPass, cmbHost);
  setTabOrder(cmbHost, cmdLogOn);
  setTabOrder(cmdLogOn, cmdCancel);

  connect(cmdLogOn, &QPushButton::clicked, this, &frmLogon::cmdLogOn_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmLogon::reject);
  connect(mnuToolDelLog, &QAction::triggered, this, &frmLogon::mnuToolDelLog_Click);

  mSb_LoadLogonHistory();
  cmbUser->setFocus();
}

void frmLogon::mSb_LoadLogonHistory() {
  cmbUser->clear();
  cmbPass->clear();
  cmbHost->clear();
  mStrUser = platform::GetSetting(kApp, kSection, QStringLiteral("User"));
  FillHistoryBox(cmbUser, mStrUser, mAryUser);
  mStrPass = platform::GetSetting(kApp, kSection, QStringLiteral("Pass"));
  FillHistoryBox(cmbPass, mStrPass, mAryPass);
  mStrHost = platform::GetSetting(kApp, kSection, QStringLiteral("Host"));
  FillHistoryBox(cmbHost, mStrHost, mAryHost);
  // After the lists: a box takes its first item as text when that item is added.
  cmbUser->setEditText(platform::GetSetting(kApp, kSection, QStringLiteral("StartUser")));
  cmbPass->setEditText(platform::GetSetting(kApp, kSection, QStringLiteral("StartPass")));
  cmbHost->setEditText(platform::GetSetting(kApp, kSection, QStringLiteral("StartHost")));
}

void frmLogon::cmdLogOn_Click() {
  const QString user = cmbUser->currentText();
  const QString pass = cmbPass->currentText();
  const QString host = cmbHost->currentText();
  // Only the empty text counts as missing: a name of spaces goes to the server as typed.
  if (user.isEmpty()) {
    platform::MsgBox(QStringLiteral("ユーザー名を入力してください"), platform::vbCritical);
    cmbUser->setFocus();
    return;
  }
  if (pass.isEmpty()) {
    platform::MsgBox(QStringLiteral("パスワードを入力してください"), platform::vbCritical);
    cmbPass->setFocus();
    return;
  }
  if (host.isEmpty()) {
    platform::MsgBox(QStringLiteral("ホスト文字列を入力してください"), platform::vbCritical);
    cmbHost->setFocus();
    return;
  }

  if (!ConnectSession(user, pass, host)) {
    cmbUser->setFocus();
    return;
  }

  const platform::SettingsBatch saveOnce;
  struct History {
    const QStringList& items;
    QString& saved;
    const char* key;
    const QString& text;
  };
  for (const History& h :
       {History{mAryUser, mStrUser, "User", user}, History{mAryPass, mStrPass, "Pass", pass},
        History{mAryHost, mStrHost, "Host", host}}) {
    if (mFn_FindInList(h.items, h.text) >= 0) continue;
    h.saved = AppendToHistory(h.saved, h.text);
    platform::SaveSetting(kApp, kSection, QLatin1String(h.key), h.saved);
  }
  platform::SaveSetting(kApp, kSection, QStringLiteral("StartUser"), user);
  platform::SaveSetting(kApp, kSection, QStringLiteral("StartPass"), pass);
  platform::SaveSetting(kApp, kSection, QStringLiteral("StartHost"), host);
  accept();
}

void frmLogon::mnuToolDelLog_Click() {
  if (platform::MsgBox(QStringLiteral("全てのログイン情報を削除しますか？"),
                       platform::vbOKCancel | platform::vbQuestion) != platform::vbOK)
    return;
  platform::DeleteSetting(kApp, kSection);
  mSb_LoadLogonHistory();
  cmbUser->setFocus();
}

void frmLogon::done(int result) {
  mSb_PackSessions();
  QDialog::done(result);
}
