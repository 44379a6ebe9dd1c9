#include "console/frmQuerna.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTextCursor>
#include <algorithm>
#include <vector>

#include "console/SqlEditor.h"
#include "core/RunErr.h"
#include "files/basImpExp.h"
#include "grid/vaSpread.h"
#include "platform/Platform.h"
#include "session/SessionData.h"
#include "support/basFunctions.h"
#include "support/basLog.h"

namespace {

const QString kEnterSql = QStringLiteral("ＳＱＬ文を入力してください");
const QString kSelectTemplate = QStringLiteral(
    "SELECT * FROM TABLE_NAME WHERE FIELD_NAME = 'TEXT' GROUP BY FIELD_NAME ORDER BY FIELD_NAME");

// The window's outer size in the design, in twips.
constexpr int kDesignWidth = 9785;
constexpr int kDesignHeight = 7170;

// The record of the session table a selector position stands for, or nullptr.
SessionData* Record(int index) {
  if (index < 0 || index > LastSessionIndex()) return nullptr;
  return &gSessionData[static_cast<std::size_t>(index)];
}

// The databases with a statement running in some console: a session runs one statement at a
// time, even while window messages are let through during the wait.
std::vector<std::shared_ptr<ora::OraDatabase>>& BusyDatabases() {
  static std::vector<std::shared_ptr<ora::OraDatabase>> busy;
  return busy;
}

bool IsBusy(const std::shared_ptr<ora::OraDatabase>& db) {
  const auto& busy = BusyDatabases();
  return db && std::find(busy.begin(), busy.end(), db) != busy.end();
}

// Marks the database busy and lets window messages through while it waits, for the length of
// one execution.
class BusyDatabase {
 public:
  explicit BusyDatabase(std::shared_ptr<ora::OraDatabase> db) : db_(std::move(db)) {
    if (!db_) return;
    BusyDatabases().push_back(db_);
    db_->SetWaitHook([] { platform::DoEvents(); });
  }
  ~BusyDatabase() {
    if (!db_) return;
    db_->SetWaitHook({});
    auto& busy = BusyDatabases();
    busy.erase(std::find(busy.begin(), busy.end(), db_));
  }
  BusyDatabase(const BusyDatabase&) = delete;
  BusyDatabase& operator=(const BusyDatabase&) = delete;

 private:
  std::shared_ptr<ora::OraDatabase> db_;
};

// The record that holds the database, looked up again after window messages may have moved it.
SessionData* RecordOf(const std::shared_ptr<ora::OraDatabase>& db) {
  for (SessionData& rec : gSessionData) {
    if (db && rec.OraDatabase == db) return &rec;
  }
  return nullptr;
}

// The clock with whole-second resolution, as the elapsed time is shown.
QDateTime NowSeconds() {
  QDateTime now = platform::Now();
  now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
  return now;
}

}  // namespace

frmQuerna::frmQuerna(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("frmQuerna"));
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"),
                    QStringLiteral("Noto Sans CJK JP")});
  font.setPointSize(9);
  setFont(font);

  const auto place = [this](QWidget* w, const char* name, int left, int top, int width,
                            int height) {
    w->setObjectName(QLatin1String(name));
    const double dx = logicalDpiX() / 1440.0;
    const double dy = logicalDpiY() / 1440.0;
    w->setGeometry(qRound(left * dx), qRound(top * dy), qRound(width * dx), qRound(height * dy));
  };

  lbl1 = new QLabel(QStringLiteral("接続セッション"), this);
  place(lbl1, "lbl1", 120, 60, 1725, 315);
  lbl1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  cmbSessionData = new QComboBox(this);
  place(cmbSessionData, "cmbSessionData", 1860, 30, 4935, 345);
  cmbSessionData->setToolTip(QStringLiteral("SQL文を実行するｾｯｼｮﾝを選択できます"));

  // Nothing in the program changes the read-only mode, so the box only shows it.
  chkReadOnly = new QCheckBox(QStringLiteral("ReadOnly"), this);
  place(chkReadOnly, "chkReadOnly", 8580, 90, 1395, 285);
  chkReadOnly->setChecked(false);
  chkReadOnly->setEnabled(false);

  cmdSQL_Exec = new QPushButton(QStringLiteral("SQL実行(F5)"), this);
  place(cmdSQL_Exec, "cmdSQL_Exec", 60, 420, 1635, 525);
  cmdSQL_Exec->setToolTip(QStringLiteral("SQL文を実行します"));

  cmdClear = new QPushButton(QStringLiteral("クリア(F3)"), this);
  place(cmdClear, "cmdClear", 1710, 420, 1635, 525);
  cmdClear->setToolTip(QStringLiteral("SQL文とﾘｽﾄをｸﾘｱします"));

  cmdSelect = new QPushButton(QStringLiteral("SELECT文追加"), this);
  place(cmdSelect, "cmdSelect", 3360, 420, 1635, 525);

  cmdLogout = new QPushButton(QStringLiteral("ログアウト"), this);
  place(cmdLogout, "cmdLogout", 5010, 420, 1545, 525);
  cmdLogout->setToolTip(QStringLiteral("選択されているｾｯｼｮﾝをﾛｸﾞｵﾌします"));

  Command1 = new QPushButton(QStringLiteral("バインド変数"), this);
  place(Command1, "Command1", 6570, 420, 1545, 525);

  txtSQL = new SqlEditor(this);
  place(txtSQL, "txtSQL", 60, 960, 8655, 1335);
  txtSQL->setToolTip(QStringLiteral("SELECT文を入力してください"));
  txtSQL->setLineWrapMode(QPlainTextEdit::NoWrap);
  txtSQL->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  txtSQL->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  vspData = new vaSpread(this);
  place(vspData, "vspData", 60, 2340, 9555, 2895);

  txtStatus = new QLineEdit(this);
  place(txtStatus, "txtStatus", 60, 6360, 7605, 360);
  txtStatus->setReadOnly(true);

  for (QPushButton* b : {cmdSQL_Exec, cmdClear, cmdSelect, cmdLogout, Command1})
    b->setAutoDefault(false);

  connect(cmdClear, &QPushButton::clicked, this, &frmQuerna::cmdClear_Click);
  connect(cmdSQL_Exec, &QPushButton::clicked, this, &frmQuerna::cmdSQL_Exec_Click);
  connect(cmdSelect, &QPushButton::clicked, this, &frmQuerna::cmdSelect_Click);
  connect(cmdLogout, &QPushButton::clicked, this, &frmQuerna::cmdLogout_Click);
  connect(vspData, &vaSpread::Click, this, &frmQuerna::vspData_Click);
  connect(txtSQL, &SqlEditor::filesDropped, this, &frmQuerna::txtSQL_FilesDropped);
  connect(Command1, &QPushButton::clicked, this, &frmQuerna::bindRequested);
}

frmQuerna::~frmQuerna() = default;

QSize frmQuerna::sizeHint() const {
  // The inside of a window of the design's outer size, wide enough for the ReadOnly box, which
  // the design places partly beyond it.
  const QSize design(qRound((kDesignWidth - 120) * logicalDpiX() / 1440.0),
                     qRound((kDesignHeight - 450) * logicalDpiY() / 1440.0));
  return design.expandedTo(QSize(chkReadOnly->geometry().right() + 1 + lbl1->x(), 0));
}

void frmQuerna::Load() {
  cmdClear_Click();
  mSb_SetSessionList(cmbSessionData);
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->show();
    if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
    sub->raise();
  } else {
    show();
    raise();
  }
  repaint();
  txtSQL->setFocus();
}

bool frmQuerna::event(QEvent* e) {
  // The window is activated as the frame's child window becomes the active one.
  if (e->type() == QEvent::ParentChange) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
      connect(sub, &QMdiSubWindow::windowStateChanged, this, &frmQuerna::SubWindowStateChanged,
              Qt::UniqueConnection);
    }
  }
  return QWidget::event(e);
}

void frmQuerna::SubWindowStateChanged(Qt::WindowStates before, Qt::WindowStates now) {
  if (!(before & Qt::WindowActive) && (now & Qt::WindowActive)) Form_Activate();
}

void frmQuerna::Form_Activate() {
  mSb_SetSessionList(cmbSessionData);
}

void frmQuerna::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  ArrangeControls();
}

void frmQuerna::ArrangeControls() {
  const double dx = logicalDpiX() / 1440.0;
  const double dy = logicalDpiY() / 1440.0;
  // The layout follows the outer size of the child window, frame and caption included.
  const QWidget* outer = qobject_cast<QMdiSubWindow*>(parentWidget());
  const QSize size = outer ? outer->size() : frameGeometry().size();

  // A size that cannot be set (a window shrunk too far) leaves that control as it was.
  const int sqlWidth = size.width() - qRound(230 * dx);
  if (sqlWidth >= 0) txtSQL->resize(sqlWidth, txtSQL->height());

  vspData->SetReDraw(false);
  const int gridHeight = size.height() - vspData->y() - txtStatus->height() - qRound(500 * dy);
  if (gridHeight >= 0) vspData->resize(vspData->width(), gridHeight);
  vspData->resize(txtSQL->width(), vspData->height());
  vspData->SetReDraw(true);

  txtStatus->move(txtStatus->x(), vspData->y() + vspData->height() + qRound(50 * dy));
  txtStatus->resize(txtSQL->width(), txtStatus->height());
  ora::ErrClear();
  update();
}

void frmQuerna::closeEvent(QCloseEvent* e) {
  // The window's grid and selector are in use until the running execution returns: stop the
  // fill and close once it has ended.
  if (mblnRunning) {
    StopRunningStatements();
    mblnCloseWanted = true;
    e->ignore();
    return;
  }
  QWidget::closeEvent(e);
}

void frmQuerna::EndRun() {
  mblnRunning = false;
  ora::ErrClear();
  if (!mblnCloseWanted) return;
  mblnCloseWanted = false;
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->close();
  } else {
    close();
  }
}

void frmQuerna::SetStatus(const QString& text) {
  txtStatus->setText(text);
  txtStatus->repaint();
}

void frmQuerna::cmdClear_Click() {
  // Emptying the grid under a running fill would break it; the stop command ends a fill.
  if (mblnRunning) return;
  txtSQL->setPlainText(QString());
  mSb_ClearSpread();
  SetStatus(kEnterSql);
  txtSQL->setFocus();
}

void frmQuerna::cmdSQL_Exec_Click() {
  if (mblnRunning) return;
  if (txtSQL->toPlainText().trimmed().isEmpty()) {
    platform::MsgBox(kEnterSql, platform::vbOKOnly | platform::vbExclamation);
    txtSQL->setFocus();
    return;
  }
  platform::Hourglass hourglass;
  platform::DoEvents();
  mSb_SetListData(txtSQL);
}

void frmQuerna::cmdSelect_Click() {
  mSb_InsertSQLText(kSelectTemplate);
}

void frmQuerna::cmdLogout_Click() {
  // The session stays until its statement has ended.
  if (mblnRunning) return;
  emit logoutRequested();
}

void frmQuerna::Run() {
  platform::PressButton(cmdSQL_Exec);
}

void frmQuerna::Clear() {
  platform::PressButton(cmdClear);
}

void frmQuerna::Logout() {
  platform::PressButton(cmdLogout);
}

void frmQuerna::LoadScript(const QString& text) {
  cmdClear_Click();
  txtSQL->setPlainText(text);
  txtSQL->setFocus(Qt::OtherFocusReason);
}

void frmQuerna::PutSql(const QString& text) {
  txtSQL->setPlainText(text);
  txtSQL->setFocus(Qt::OtherFocusReason);
}

int frmQuerna::SelectedSession() const {
  return cmbSessionData->currentIndex();
}

QString frmQuerna::SelectedSessionLabel() const {
  return cmbSessionData->currentText();
}

void frmQuerna::RefreshSessionList() {
  mSb_SetSessionList(cmbSessionData);
}

bool frmQuerna::StatementRunning() {
  return !BusyDatabases().empty();
}

void frmQuerna::StopRunningStatements() {
  gblnFetching = false;
  // Copied: a break may end a statement whose run then leaves the list.
  const auto busy = BusyDatabases();
  for (const auto& db : busy) db->Break();
}

void frmQuerna::mSb_InsertSQLText(const QString& text) {
  QTextCursor cursor = txtSQL->textCursor();
  const int start = cursor.selectionStart();
  cursor.insertText(text);
  cursor.setPosition(start + static_cast<int>(text.size()));
  txtSQL->setTextCursor(cursor);
}

void frmQuerna::mSb_ClearSpread() {
  vspData->SetReDraw(false);
  vspData->SetMaxCols(0);
  vspData->SetMaxRows(0);
  vspData->SetReDraw(true);
  ora::ErrClear();
}

void frmQuerna::vspData_Click(int col, int row) {
  if (col < 1 || row != 0) return;
  vspData->SetReDraw(false);
  vspData->SetColWidth(col, 100);
  vspData->SetColWidth(col, vspData->MaxTextColWidth(col));
  mblnSortAsc = col == mintSortCol ? !mblnSortAsc : true;
  mintSortCol = col;
  mSb_SortSpread(vspData, col, mblnSortAsc, 0, true, 0, true);
  vspData->SetReDraw(true);
  ora::ErrClear();
}

void frmQuerna::txtSQL_FilesDropped(const QStringList& paths) {
  if (mblnRunning || paths.isEmpty()) return;
  cmdClear_Click();
  const QString text = mFn_ReadSqlFile(paths.first());
  if (text.isEmpty()) {
    platform::MsgBox(QStringLiteral("ファイルの読み込みに失敗しました"),
                     platform::vbOKOnly | platform::vbCritical);
    return;
  }
  LoadScript(text);
}

void frmQuerna::mSb_SetListData(QPlainTextEdit* ctlSQL) {
  if (ctlSQL) RunStatement(ctlSQL->toPlainText(), RunMode::Interactive, ctlSQL);
}

int frmQuerna::mFn_SetListDataSQL(const QString& strSQL) {
  return RunStatement(strSQL, RunMode::Dictionary, nullptr);
}

int frmQuerna::RunStatement(const QString& sql, RunMode mode, QPlainTextEdit* editor) {
  const bool interactive = mode == RunMode::Interactive;
  if (mblnRunning) return kBusy;
  // The session is fixed for the whole run: an activation during the fill refills the selector,
  // and a logout may remove the record, but this run keeps its own references.
  const int i = cmbSessionData->currentIndex();
  SessionData* rec = Record(i);
  const std::shared_ptr<ora::OraSession> session = rec ? rec->OraSession : nullptr;
  const std::shared_ptr<ora::OraDatabase> db = rec ? rec->OraDatabase : nullptr;
  if (IsBusy(db)) return kBusy;
  mblnRunning = true;
  int result = 0;
  bool shown = false;
  {
    const BusyDatabase busy(db);
    SetStatus(QStringLiteral("初期処理中．．．"));
    mSb_ResetSession(i);
    mdtmStart = NowSeconds();
    SetStatus(QStringLiteral("オラクルへＳＱＬを発行しました。しばらくお待ちください．．．"));
    if (interactive && session) session->BeginTrans();
    const std::shared_ptr<ora::OraDynaset> dyn =
        mFn_CreateDynaset(db, sql, chkReadOnly->isChecked());
    if (SessionData* current = RecordOf(db)) current->OraDynaset = dyn;
    if (interactive && session) session->RollBack();
    ora::ErrClear();
    SetStatus(QStringLiteral("結果を調査中です．．．"));
    if (interactive) SetStatus(QString());

    const auto complain = [editor](const QString& text) {
      platform::MsgBox(text, platform::vbOKOnly | platform::vbExclamation);
      editor->setFocus();
    };
    if (db && db->LastServerErr() != 0) {
      if (interactive) ShowServerError(*db, editor);
      result = -1;
    } else if (!dyn) {
      if (interactive) complain(QStringLiteral("現バージョンでは対応していないSQL文です"));
    } else if (dyn->IsEOF()) {
      if (interactive) complain(QStringLiteral("データはありませんでした"));
    } else if (ShowResult(dyn, db, session)) {
      if (interactive) mSb_WriteSQLLog(sql);
      result = vspData->MaxRows();
      shown = true;
    } else {
      result = -1;
    }
    if (!shown) SetStatus(QString());
  }
  EndRun();
  return result;
}

void frmQuerna::ShowServerError(const ora::OraDatabase& db, QPlainTextEdit* editor) {
  const QString text = db.LastServerErrText();
  const int pos = db.LastServerErrPos();
  if (pos <= 0) {
    platform::MsgBox(text, platform::vbOKOnly | platform::vbCritical);
    editor->setFocus();
    return;
  }
  platform::MsgBox(text + QStringLiteral("\r\n\r\n") + QString::number(pos) +
                       QStringLiteral("文字目あたりが間違っています。"),
                   platform::vbOKOnly);
  editor->setFocus();
  QTextCursor cursor = editor->textCursor();
  cursor.setPosition(qMin(pos, static_cast<int>(editor->document()->characterCount()) - 1));
  editor->setTextCursor(cursor);
}

bool frmQuerna::ShowResult(const std::shared_ptr<ora::OraDynaset>& dyn,
                           const std::shared_ptr<ora::OraDatabase>& db,
                           const std::shared_ptr<ora::OraSession>& session) {
  const int limit = mintRecordLimit;
  SetStatus(QStringLiteral("データ読み込み中...(中止＝Ctrl+Z)"));
  mSb_FillSpread(dyn.get(), vspData, limit);
  ora::ErrClear();

  if (db && db->LastServerErr() != 0) {
    platform::MsgBox(QStringLiteral("データベースエラーが発生しました。"),
                     platform::vbOKOnly | platform::vbCritical);
    return false;
  }
  if (session && session->LastServerErr() != 0) {
    platform::MsgBox(QStringLiteral("セッションエラーが発生しました。"),
                     platform::vbOKOnly | platform::vbCritical);
    return false;
  }
  mdtmEnd = NowSeconds();
  SetStatus((limit != -1 ? QStringLiteral("表示件数制限付きで ") : QString()) +
            QString::number(vspData->MaxRows()) + QStringLiteral(" 件あります。") +
            QStringLiteral("（検索時間：") + QString::number(mdtmStart.secsTo(mdtmEnd)) +
            QStringLiteral(" 秒）"));
  vspData->SetRow(1);
  vspData->SetCol(1);
  vspData->setFocus();
  ora::ErrClear();
  return true;
}
