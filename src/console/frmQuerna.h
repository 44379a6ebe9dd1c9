#pragma once
// The console window: pick a session, type SQL, run it, read the rows in the grid.
#include <QDateTime>
#include <QWidget>
#include <memory>

#include "oracle/OraInterface.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class SqlEditor;
class vaSpread;

class frmQuerna : public QWidget {
  Q_OBJECT
 public:
  explicit frmQuerna(QWidget* parent = nullptr);
  ~frmQuerna() override;

  // The window's Load: clears it, fills its session selector, shows it, focuses the SQL box.
  void Load();
  // Runs the text of the SQL box on the selected session (the interactive path). Ignored while
  // this console is running a statement or its session is busy in another console.
  void mSb_SetListData(QPlainTextEdit* ctlSQL);
  // Runs a SQL text on the selected session for the dictionary commands. Returns the number of
  // rows shown, 0 when there were none, -1 when the execution failed, and kBusy (without running
  // anything) while this console or its session is busy.
  int mFn_SetListDataSQL(const QString& strSQL);
  static constexpr int kBusy = -2;

  // The commands the menus give the active console, pressed as the user would press its buttons.
  void Run();
  void Clear();
  void Logout();
  // Empties the console and puts a script into its SQL box.
  void LoadScript(const QString& text);
  // Puts a statement into the SQL box, leaving the result as it is (the history browser's choice).
  void PutSql(const QString& text);
  // The result grid, for the export.
  vaSpread* ResultGrid() const { return vspData; }
  // The selected session's index in the session table, and its label.
  int SelectedSession() const;
  QString SelectedSessionLabel() const;
  // Refills the session selector from the session table, selecting the newest session.
  void RefreshSessionList();
  // Rows shown per execution: 0, a positive count, or -1 for all. The main window hands it in.
  void SetRecordLimit(int limit) { mintRecordLimit = limit; }
  bool IsRunning() const { return mblnRunning; }
  // "SQL中断": ends every grid fill and breaks off every statement a console is running.
  static void StopRunningStatements();
  // True while some console runs a statement; its session must not be closed under it.
  static bool StatementRunning();

  QSize sizeHint() const override;

 signals:
  // The "バインド変数" and "ログアウト" buttons; the main window carries them out.
  void bindRequested();
  void logoutRequested();

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Form_Activate();
  void SubWindowStateChanged(Qt::WindowStates before, Qt::WindowStates now);
  void cmdClear_Click();
  void cmdSQL_Exec_Click();
  void cmdSelect_Click();
  void cmdLogout_Click();
  void vspData_Click(int col, int row);
  void txtSQL_FilesDropped(const QStringList& paths);

  void mSb_InsertSQLText(const QString& text);
  void mSb_ClearSpread();
  void ArrangeControls();
  void SetStatus(const QString& text);
  // The two execution paths share one routine; the interactive one runs in a transaction that is
  // rolled back, reports every outcome by message box and writes the history, the dictionary one
  // reports only through its result.
  enum class RunMode { Interactive, Dictionary };
  int RunStatement(const QString& sql, RunMode mode, QPlainTextEdit* editor);
  void ShowServerError(const ora::OraDatabase& db, QPlainTextEdit* editor);
  // Fills the grid from the result set and checks the database and session afterwards. On
  // success sets the result text and focuses the grid; false after a server error.
  bool ShowResult(const std::shared_ptr<ora::OraDynaset>& dyn,
                  const std::shared_ptr<ora::OraDatabase>& db,
                  const std::shared_ptr<ora::OraSession>& session);
  void EndRun();

  QLabel* lbl1 = nullptr;
  QComboBox* cmbSessionData = nullptr;
  QCheckBox* chkReadOnly = nullptr;
  QPushButton* cmdSQL_Exec = nullptr;
  QPushButton* cmdClear = nullptr;
  QPushButton* cmdSelect = nullptr;
  QPushButton* cmdLogout = nullptr;
  QPushButton* Command1 = nullptr;
  SqlEditor* txtSQL = nullptr;
  vaSpread* vspData = nullptr;
  QLineEdit* txtStatus = nullptr;

  QDateTime mdtmStart;
  QDateTime mdtmEnd;
  int mintSortCol = 0;
  bool mblnSortAsc = false;
  int mintRecordLimit = 100;
  bool mblnRunning = false;
  // A close that arrived while the grid was filling; carried out when the execution ends.
  bool mblnCloseWanted = false;
};
