#pragma once
// The main window: a multiple-document frame holding the console windows, with the only menu bar.
#include <QList>
#include <QMainWindow>
#include <functional>

class QAction;
class QMdiArea;
class QMenu;
class frmQuerna;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;
  QMdiArea* mdiArea() const { return mdi_; }

  // The window's Load: placement from the settings, shown in front, then the new-window command
  // (which asks for a logon first, as no session is open at start-up).
  void Load();

  // The record limit as execution reads it from the View menu's marks: the first checked item
  // gives 0, 1, 100, 500, 1000 or -1 ("制限無し"); 0 when none is checked.
  int RecordLimit() const;
  // The active console: the active child window when it is a console, else nullptr.
  frmQuerna* ActiveConsole() const;
  // "新しいｳｨﾝﾄﾞｳを開く": logs on first when no session is open, then opens a console.
  void mnuWindowNewWindow_Click();
  // The menu item of a name ("mnuEditClear" …), for the commands and for tests.
  QAction* menuItem(const QString& name) const;

  // What the new-window command runs to ask for a logon; the logon dialog unless replaced.
  // Tests replace it so that no modal dialog stops them. An empty function restores the dialog.
  // Returns the previous one.
  using LogonDialogFn = std::function<void(QWidget* parent)>;
  static LogonDialogFn SetLogonDialog(LogonDialogFn show);
  // Connects a console's bind and logout buttons to their dialogs; every new console gets it.
  static void WireConsole(frmQuerna* console);

 protected:
  // Closing the window by any way is its Unload: placement saved, then the whole shut-down.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void mSb_NewConsoleWindow();
  void RestorePlacement();
  void SavePlacement();
  void FillWindowList();

  void mnuFileExit_Click();
  void mnuEditClear_Click();
  void mnuEditSqlExec_Click();
  void mnuEditSqlStop_Click();
  void CheckRecordLimit(QAction* clicked);
  void mnuWindowTileHorizontal_Click();
  void mnuWindowTileVertical_Click();
  void mnuWindowArrangeIcons_Click();
  void mnuWindowAllClose_Click();

  QMdiArea* mdi_;
  QMenu* mnuWindow_ = nullptr;
  // The six record-limit items in menu order, each with the limit it stands for.
  QList<QPair<QAction*, int>> recLimitItems_;
  // The items with a shortcut key; their keys win over the focused control's own use of them.
  QList<QAction*> shortcutItems_;
  // The entries listing the open child windows at the end of the Window menu.
  QList<QAction*> windowListItems_;
  // Console numbers are never reused while the program runs.
  qint32 mlngConsoleNo = 0;
};
