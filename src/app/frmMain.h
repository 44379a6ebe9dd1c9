#pragma once
// The main window: a multiple-document frame holding the console windows, with the only menu bar.
#include <QMainWindow>

class QAction;
class QMdiArea;
class frmQuerna;

class frmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit frmMain(QWidget* parent = nullptr);
  QMdiArea* mdiArea() const { return mdi_; }

  // The record limit as execution reads it from the View menu's marks: the first checked item
  // gives 0, 1, 100, 500, 1000 or -1 ("制限無し"); 0 when none is checked.
  int mFn_RecordLimit() const;
  // The active console: the active child window when it is a console, else nullptr.
  frmQuerna* mFn_ActiveConsole() const;
  // "新しいｳｨﾝﾄﾞｳを開く": logs on first when no session is open, then opens a console.
  void mnuWindowNewWindow_Click();
  // The menu item of a name ("mnuEditClear" …), for the commands and for tests.
  QAction* menuItem(const QString& name) const;

 private:
  QMdiArea* mdi_;
};
