#include "app/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "app/FirstPlacement.h"
#include "app/Logon.h"
#include "app/basFileCommands.h"
#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmHistory.h"
#include "app/frmMainSql.h"
#include "bind/frmBind.h"
#include "console/frmQuerna.h"
#include "platform/Platform.h"
#include "session/SessionData.h"

namespace {

const QString kApp = QStringLiteral("ZEPH");
const QString kSection = QStringLiteral("Settings");
constexpr double kTwipsPerInch = 1440.0;

frmMain::LogonDialogFn& LogonDialog() {
  static frmMain::LogonDialogFn show;
  return show;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name));
  return menu;
}

QMenu* AddSubMenu(QMenu* parent, const char* name, const QString& caption) {
  QMenu* menu = parent->addMenu(caption);
  menu->setObjectName(QLatin1String(name));
  menu->menuAction()->setObjectName(QLatin1String(name));
  return menu;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption,
                 const QKeySequence& key = QKeySequence()) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(QLatin1String(name));
  if (!key.isEmpty()) item->setShortcut(key);
  return item;
}

QAction* AddBar(QMenu* menu, const char* name) {
  QAction* bar = menu->addSeparator();
  bar->setObjectName(QLatin1String(name));
  return bar;
}

// Hidden and disabled from the start and for the whole run.
void HideAndDisable(QAction* item) {
  item->setVisible(false);
  item->setEnabled(false);
}

double LogicalDpiX(const QWidget* w) {
  const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInchX() : 96.0;
}

double LogicalDpiY(const QWidget* w) {
  const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
  return s ? s->logicalDotsPerInchY() : 96.0;
}

int TwipsToPixels(double twips, double dpi) {
  return static_cast<int>(std::lround(twips * dpi / kTwipsPerInch));
}

QString PixelsToTwipsText(int pixels, double dpi) {
  return QString::number(static_cast<float>(pixels * kTwipsPerInch / dpi), 'g', 7);
}

// A value that is missing or not a number reads as its default.
double ReadTwips(const QString& key, float defaultValue) {
  bool ok = false;
  const float v = platform::GetSetting(kApp, kSection, key).trimmed().toFloat(&ok);
  return ok && std::isfinite(v) ? v : defaultValue;
}

}  // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent), mdi_(new QMdiArea(this)) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Querna"));
  setCentralWidget(mdi_);
  BuildMenus();
  qApp->installEventFilter(this);
  ConnectSqlMenu(this);
}

frmMain::~frmMain() {
  if (gfrmMain == this) gfrmMain = nullptr;
}

frmMain::LogonDialogFn frmMain::SetLogonDialog(LogonDialogFn show) {
  LogonDialogFn previous = LogonDialog();
  LogonDialog() = std::move(show);
  return previous;
}

void frmMain::BuildMenus() {
  QMenuBar* bar = menuBar();

  QMenu* file = AddMenu(bar, "mnuFile", QStringLiteral("ﾌｧｲﾙ(&F)"));
  connect(AddItem(file, "mnuSqlFileOpen", QStringLiteral("SQLﾌｧｲﾙからSQL文をｲﾝﾎﾟｰﾄ...")),
          &QAction::triggered, this, [] { SqlFileOpenCommand(); });
  AddBar(file, "mnuFileBar0");
  connect(AddItem(file, "mnuFileLogOpen", QStringLiteral("SQLﾛｸﾞﾌｧｲﾙを開く..."), Qt::Key_F4),
          &QAction::triggered, this, [] { LogFileOpenCommand(); });
  connect(AddItem(file, "mnuFileHistory", QStringLiteral("SQL履歴..."), Qt::CTRL | Qt::Key_H),
          &QAction::triggered, this, [] { ShowSqlHistory(); });
  AddBar(file, "mnuFileBar1");
  connect(AddItem(file, "mnuFileImport", QStringLiteral("ｲﾝﾎﾟｰﾄ...")), &QAction::triggered, this,
          [] { ImportCommand(); });
  connect(AddItem(file, "mnuFileExport", QStringLiteral("ｴｸｽﾎﾟｰﾄ...")), &QAction::triggered, this,
          [] { ExportCommand(); });
  AddBar(file, "mnuFileBar11");
  connect(AddItem(file, "mnuFileExit", QStringLiteral("終了(&X)")), &QAction::triggered, this,
          [this] { mnuFileExit_Click(); });

  QMenu* edit = AddMenu(bar, "mnuEdit", QStringLiteral("編集(&E)"));
  connect(AddItem(edit, "mnuEditClear", QStringLiteral("ｸﾘｱ"), Qt::Key_F3), &QAction::triggered,
          this, [this] { mnuEditClear_Click(); });
  AddBar(edit, "mnuEditBar22");
  connect(AddItem(edit, "mnuEditSqlExec", QStringLiteral("SQL実行"), Qt::Key_F5),
          &QAction::triggered, this, [this] { mnuEditSqlExec_Click(); });
  connect(AddItem(edit, "mnuEditSqlStop", QStringLiteral("SQL中断"), Qt::CTRL | Qt::Key_Z),
          &QAction::triggered, this, [this] { mnuEditSqlStop_Click(); });
  AddBar(edit, "mnuEditBar2")->setVisible(false);
  HideAndDisable(AddItem(edit, "mnuEditSqlCheck", QStringLiteral("SQL解析...")));

  QMenu* view = AddMenu(bar, "mnuView", QStringLiteral("表示(&V)"));
  QMenu* limit = AddSubMenu(view, "mnuDispRecLimit", QStringLiteral("表示件数制限"));
  const struct {
    const char* name;
    QString caption;
    int limit;
  } limits[] = {
      {"mnuDispRecLimit0", QStringLiteral("表示しない(SQLﾃｽﾄ)"), 0},
      {"mnuDispRecLimit1", QStringLiteral("1ﾚｺｰﾄﾞまで"), 1},
      {"mnuDispRecLimit100", QStringLiteral("100ﾚｺｰﾄﾞまで"), 100},
      {"mnuDispRecLimit500", QStringLiteral("500ﾚｺｰﾄﾞまで"), 500},
      {"mnuDispRecLimit1000", QStringLiteral("1000ﾚｺｰﾄﾞまで"), 1000},
      {"mnuDispRecLimitNot", QStringLiteral("制限無し"), -1},
  };
  for (const auto& l : limits) {
    QAction* item = AddItem(limit, l.name, l.caption);
    item->setCheckable(true);
    item->setChecked(l.limit == 100);
    recLimitItems_.append({item, l.limit});
    connect(item, &QAction::triggered, this, [this, item] { CheckRecordLimit(item); });
  }
  AddBar(view, "mnuEditBar1")->setVisible(false);
  HideAndDisable(AddItem(view, "mnuViewRefresh", QStringLiteral("最新の情報に更新(&R)")));
  AddBar(view, "mnuView1")->setVisible(false);
  HideAndDisable(AddItem(view, "mnuViewOptions", QStringLiteral("ｵﾌﾟｼｮﾝ(&O)...")));

  QMenu* session = AddMenu(bar, "mnuSession", QStringLiteral("ｾｯｼｮﾝ(&S)"));
  connect(AddItem(session, "mnuSessionLogon", QStringLiteral("ﾛｸﾞｲﾝ...")), &QAction::triggered,
          this, [] { SessionLogonCommand(); });
  connect(AddItem(session, "mnuSessionLogout", QStringLiteral("ﾛｸﾞｱｳﾄ...")), &QAction::triggered,
          this, [] { SessionLogoutCommand(); });

  QMenu* sql = AddMenu(bar, "mnuSql", QStringLiteral("ｵﾗｸﾙ参照・設定(&O)"));
  AddItem(sql, "mnuSqlAccess", QStringLiteral("ｵﾗｸﾙ接続ﾕｰｻﾞｰ状況を見る"));
  AddItem(sql, "mnuSqlAccessEx", QStringLiteral("ｵﾗｸﾙ接続ﾕｰｻﾞｰ状況を見る(拡張版)"));
  AddItem(sql, "mnuSqlKillSession", QStringLiteral("ｵﾗｸﾙ接続ﾕｰｻﾞｰ状況にあるｾｯｼｮﾝを削除する..."))
      ->setEnabled(false);
  AddBar(sql, "mnuSqlBar1");
  AddItem(sql, "mnuSqlTableFields", QStringLiteral("ﾃｰﾌﾞﾙのﾌｨｰﾙﾄﾞを見る..."));
  AddItem(sql, "mnuSqlTableIndex", QStringLiteral("ﾃｰﾌﾞﾙのｲﾝﾃﾞｯｸｽを見る..."));
  AddBar(sql, "mnuSqlBar2");
  AddItem(sql, "mnuSqlUserGrant",
          QStringLiteral("現在ﾛｸﾞｲﾝしているﾕｰｻﾞｰに与えられている権限を見る"));
  AddItem(sql, "mnuSqlUserRole", QStringLiteral("現在ﾛｸﾞｲﾝしているﾕｰｻﾞｰに与えられているﾛｰﾙを見る"));
  AddItem(sql, "mnuSqlUserTables", QStringLiteral("現在ﾛｸﾞｲﾝしているﾕｰｻﾞｰがｵｰﾅｰのﾃｰﾌﾞﾙを見る"));
  AddBar(sql, "mnuSqlBar3");
  AddItem(sql, "mnuSqlAllUsers", QStringLiteral("全てのﾕｰｻﾞｰを見る"));
  AddItem(sql, "mnuSqlDBAGrant", QStringLiteral("全てのﾕｰｻﾞｰの権限情報を見る"));
  AddItem(sql, "mnuSqlDBARole", QStringLiteral("全てのﾕｰｻﾞｰのﾛｰﾙ情報を見る"));
  AddBar(sql, "mnuSqlBar4");
  AddItem(sql, "mnuSqlAllTables", QStringLiteral("登録されている全てのﾃｰﾌﾞﾙを見る"));
  AddItem(sql, "mnuSqlAllFields", QStringLiteral("登録されている全てのﾌｨｰﾙﾄﾞを見る"));
  AddItem(sql, "mnuSqlAllView", QStringLiteral("登録されている全てのﾋﾞｭｰを見る"));
  AddBar(sql, "mnuSqlBar5");
  AddItem(sql, "mnuSqlLog", QStringLiteral("OracleのSQLﾛｸﾞを見る..."));
  AddItem(sql, "mnuSqlLogAccess", QStringLiteral("OracleのSQLﾛｸﾞを見る(ｻｰﾊﾞｰ負荷値情報)..."));
  AddBar(sql, "mnuSqlBar6");
  AddItem(sql, "mnuSqlAllObject", QStringLiteral("全てのｵﾌﾞｼﾞｪｸﾄを見る"));
  AddBar(sql, "mnuSqlBar7");
  AddItem(sql, "mnuSqlSysDate", QStringLiteral("Oracleから日付を見る"));
  AddItem(sql, "mnuSqlVer", QStringLiteral("Oracleのﾊﾞｰｼﾞｮﾝを見る"));

  mnuWindow_ = AddMenu(bar, "mnuWindow", QStringLiteral("ｳｨﾝﾄﾞｳ(&W)"));
  QMenu* window = mnuWindow_;
  connect(AddItem(window, "mnuWindowNewWindow", QStringLiteral("新しいｳｨﾝﾄﾞｳを開く"), Qt::Key_F7),
          &QAction::triggered, this, [this] { mnuWindowNewWindow_Click(); });
  AddBar(window, "mnuWindowBar1");
  connect(AddItem(window, "mnuWindowCascade", QStringLiteral("重ねて表示(&C)")),
          &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(AddItem(window, "mnuWindowTileHorizontal", QStringLiteral("上下に並べて表示(&H)")),
          &QAction::triggered, this, [this] { mnuWindowTileHorizontal_Click(); });
  connect(AddItem(window, "mnuWindowTileVertical", QStringLiteral("左右に並べて表示(&V)")),
          &QAction::triggered, this, [this] { mnuWindowTileVertical_Click(); });
  connect(AddItem(window, "mnuWindowArrangeIcons", QStringLiteral("ｱｲｺﾝの整列(&A)")),
          &QAction::triggered, this, [this] { mnuWindowArrangeIcons_Click(); });
  AddBar(window, "mnuWindowBar10");
  connect(AddItem(window, "mnuWindowAllClose", QStringLiteral("全てのｳｨﾝﾄﾞｳを閉じる")),
          &QAction::triggered, this, [this] { mnuWindowAllClose_Click(); });
  connect(window, &QMenu::aboutToShow, this, [this] { FillWindowList(); });

  QMenu* help = AddMenu(bar, "mnuHelp", QStringLiteral("ﾍﾙﾌﾟ(&H)"));
  connect(AddItem(help, "mnuHelpContents", QStringLiteral("目次(&C)")), &QAction::triggered, this,
          [] { HelpContentsCommand(); });
  connect(AddItem(help, "mnuHelpSearch", QStringLiteral("ﾄﾋﾟｯｸの検索(&S)...")), &QAction::triggered,
          this, [] { HelpSearchCommand(); });
  AddBar(help, "mnuHelpBar5");
  connect(AddItem(help, "mnuHelpAbout", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)")), &QAction::triggered,
          this, [] { AboutCommand(); });

  for (QAction* item : findChildren<QAction*>()) {
    if (!item->shortcut().isEmpty()) shortcutItems_.append(item);
  }
}

void frmMain::Load() {
  RestorePlacement();
  show();
  raise();
  activateWindow();
  mnuWindowNewWindow_Click();
}

void frmMain::RestorePlacement() {
  const QStringList keys = {QStringLiteral("MainLeft"), QStringLiteral("MainTop"),
                            QStringLiteral("MainWidth"), QStringLiteral("MainHeight")};
  if (std::all_of(keys.begin(), keys.end(), [](const QString& key) {
        return platform::GetSetting(kApp, kSection, key).isNull();
      })) {
    const QRect first = FirstStartPlacement(this);
    move(first.topLeft());
    resize(first.size());
    return;
  }
  const double dpiX = LogicalDpiX(this);
  const double dpiY = LogicalDpiY(this);
  const int left = TwipsToPixels(ReadTwips(QStringLiteral("MainLeft"), 1000), dpiX);
  const int top = TwipsToPixels(ReadTwips(QStringLiteral("MainTop"), 1000), dpiY);
  const int width = TwipsToPixels(ReadTwips(QStringLiteral("MainWidth"), 6500), dpiX);
  const int height = TwipsToPixels(ReadTwips(QStringLiteral("MainHeight"), 6500), dpiY);
  move(left, top);
  resize(width, height);
}

// The position is the frame's, as move() takes it; the extent is the window's own, which is known
// before the window manager has framed the window, so a restored window does not grow by its
// frame on every run.
void frmMain::SavePlacement() {
  if (isMinimized()) return;
  const platform::SettingsBatch saveOnce;
  const double dpiX = LogicalDpiX(this);
  const double dpiY = LogicalDpiY(this);
  platform::SaveSetting(kApp, kSection, QStringLiteral("MainLeft"), PixelsToTwipsText(x(), dpiX));
  platform::SaveSetting(kApp, kSection, QStringLiteral("MainTop"), PixelsToTwipsText(y(), dpiY));
  platform::SaveSetting(kApp, kSection, QStringLiteral("MainWidth"),
                        PixelsToTwipsText(width(), dpiX));
  platform::SaveSetting(kApp, kSection, QStringLiteral("MainHeight"),
                        PixelsToTwipsText(height(), dpiY));
}

void frmMain::closeEvent(QCloseEvent* event) {
  // Window messages reach here while a statement waits; its session closes only once the
  // stopped statement has returned.
  if (frmQuerna::StatementRunning()) {
    frmQuerna::StopRunningStatements();
    QTimer::singleShot(0, this, &QWidget::close);
    event->ignore();
    return;
  }
  SavePlacement();
  mSb_EndApplication();
  event->accept();
}

// The menu's shortcut keys are taken by the menu before the focused control sees them, so that
// Ctrl+Z stops a fetch even while the caret is in a text box that would undo with it.
bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != this) return false;
  const QKeySequence key(static_cast<QKeyEvent*>(event)->keyCombination());
  for (QAction* item : std::as_const(shortcutItems_)) {
    if (item->isEnabled() && item->shortcut() == key) {
      event->ignore();
      return true;
    }
  }
  return false;
}

int frmMain::RecordLimit() const {
  for (const auto& [item, limit] : recLimitItems_) {
    if (item->isChecked()) return limit;
  }
  return 0;
}

void frmMain::CheckRecordLimit(QAction* clicked) {
  for (const auto& entry : std::as_const(recLimitItems_))
    entry.first->setChecked(entry.first == clicked);
  for (frmQuerna* console : mdi_->findChildren<frmQuerna*>())
    console->SetRecordLimit(RecordLimit());
}

frmQuerna* frmMain::ActiveConsole() const {
  // The current child stays known while another application is in front, so a command still
  // finds its console then.
  QMdiSubWindow* sub = mdi_->currentSubWindow();
  return sub ? qobject_cast<frmQuerna*>(sub->widget()) : nullptr;
}

void frmMain::mnuWindowNewWindow_Click() {
  if (NoSession()) {
    if (LogonDialog()) {
      LogonDialog()(this);
    } else {
      ShowLogonDialog(this);
    }
    if (NoSession()) return;
  }
  mSb_NewConsoleWindow();
}

void frmMain::WireConsole(frmQuerna* console) {
  QObject::connect(console, &frmQuerna::bindRequested, console,
                   [console] { ShowBindWindow(console, console->SelectedSession()); });
  QObject::connect(console, &frmQuerna::logoutRequested, console,
                   [console] { LogoutConsoleSession(console); });
}

void frmMain::mSb_NewConsoleWindow() {
  ++mlngConsoleNo;
  auto* console = new frmQuerna;
  WireConsole(console);
  console->SetRecordLimit(RecordLimit());
  console->setWindowTitle(QStringLiteral("Querna") + QString::number(mlngConsoleNo));
  QMdiSubWindow* sub = mdi_->addSubWindow(console);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->show();
  console->Load();
}

QAction* frmMain::menuItem(const QString& name) const {
  return findChild<QAction*>(name);
}

void frmMain::mnuFileExit_Click() {
  close();
}

void frmMain::mnuEditClear_Click() {
  if (frmQuerna* console = ActiveConsole()) console->Clear();
}

void frmMain::mnuEditSqlExec_Click() {
  frmQuerna* console = ActiveConsole();
  if (console && !NoSession()) console->Run();
}

void frmMain::mnuEditSqlStop_Click() {
  // A statement still waiting for the server, or for its first row, is broken off at once.
  frmQuerna::StopRunningStatements();
}

namespace {

// The child windows to tile: shown and not minimized, the active one first.
QList<QMdiSubWindow*> TileableWindows(QMdiArea* mdi) {
  QList<QMdiSubWindow*> list = mdi->subWindowList(QMdiArea::ActivationHistoryOrder);
  std::reverse(list.begin(), list.end());
  list.removeIf([](QMdiSubWindow* w) { return !w->isVisible() || w->isMinimized(); });
  return list;
}

// Every window gets the full width (stacked) or the full height (side by side) of the area.
void Tile(QMdiArea* mdi, bool sideBySide) {
  const QList<QMdiSubWindow*> list = TileableWindows(mdi);
  if (list.isEmpty()) return;
  const QRect area = mdi->viewport()->rect();
  const int n = static_cast<int>(list.size());
  for (int i = 0; i < n; ++i) {
    QMdiSubWindow* w = list[i];
    if (w->isMaximized()) w->showNormal();
    if (sideBySide) {
      const int x0 = area.width() * i / n;
      const int x1 = area.width() * (i + 1) / n;
      w->setGeometry(x0, 0, x1 - x0, area.height());
    } else {
      const int y0 = area.height() * i / n;
      const int y1 = area.height() * (i + 1) / n;
      w->setGeometry(0, y0, area.width(), y1 - y0);
    }
  }
}

}  // namespace

void frmMain::mnuWindowTileHorizontal_Click() {
  Tile(mdi_, false);
}

void frmMain::mnuWindowTileVertical_Click() {
  Tile(mdi_, true);
}

// Minimized windows line up from the bottom left corner, row above row when one is full.
void frmMain::mnuWindowArrangeIcons_Click() {
  const QRect area = mdi_->viewport()->rect();
  int x = 0;
  int y = area.height();
  int rowHeight = 0;
  for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
    if (!w->isMinimized()) continue;
    const QSize size = w->size();
    if (x > 0 && x + size.width() > area.width()) {
      x = 0;
      y -= rowHeight;
      rowHeight = 0;
    }
    if (x == 0) rowHeight = size.height();
    rowHeight = std::max(rowHeight, size.height());
    w->move(x, y - rowHeight);
    x += size.width();
  }
}

void frmMain::mnuWindowAllClose_Click() {
  mSb_UnloadConsoles();
}

void frmMain::FillWindowList() {
  qDeleteAll(windowListItems_);
  windowListItems_.clear();
  const QList<QMdiSubWindow*> list = mdi_->subWindowList(QMdiArea::CreationOrder);
  if (list.isEmpty()) return;
  windowListItems_.append(mnuWindow_->addSeparator());
  QMdiSubWindow* current = mdi_->currentSubWindow();
  int number = 0;
  for (QMdiSubWindow* sub : list) {
    ++number;
    const QString prefix =
        number <= 9 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("%1 ").arg(number);
    QAction* entry = mnuWindow_->addAction(prefix + sub->windowTitle());
    entry->setCheckable(true);
    entry->setChecked(sub == current);
    QPointer<QMdiSubWindow> target(sub);
    connect(entry, &QAction::triggered, this, [this, target] {
      if (!target) return;
      if (target->isMinimized()) target->showNormal();
      mdi_->setActiveSubWindow(target);
    });
    windowListItems_.append(entry);
  }
}
