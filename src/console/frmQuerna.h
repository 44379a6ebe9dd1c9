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
  // this console's grid is still filling.
  void mSb_SetListData(QPlainTextEdit* ctlSQL);
  // Runs a SQL text on the selected session for the dictionary commands. Returns the number of
  // rows shown, 0 when there were none, -1 when the execution failed, and kBusy (without running
  // anything) while this console's grid is still filling.
  int mFn_SetListDataSQL(const QString& strSQL);
  static constexpr int kBusy = -2;

  QSize sizeHint() const override;

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

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Form_Activate();
  void mSb_SubWindowStateChanged(Qt::WindowStates before, Qt::WindowStates now);
  void cmdClear_Click();
  void cmdSQL_Exec_Click();
  void cmdSelect_Click();
  void cmdLogout_Click();
  void vspData_Click(int col, int row);
  void txtSQL_FilesDropped(const QStringList& paths);

  void mSb_InsertSQLText(const QString& text);
  void mSb_ClearSpread();
  void mSb_Arrange();
  void mSb_SetStatus(const QString& text);
  void mSb_RunListData(QPlainTextEdit* ctlSQL);
  int mFn_RunListDataSQL(const QString& strSQL);
  // Fills the grid from the result set and checks the database and session afterwards. On
  // success sets the result text and focuses the grid; false after a server error.
  bool mFn_ShowResult(const std::shared_ptr<ora::OraDynaset>& dyn,
                      const std::shared_ptr<ora::OraDatabase>& db,
                      const std::shared_ptr<ora::OraSession>& session);
  void mSb_EndRun();

  QDateTime mdtmStart;
  QDateTime mdtmEnd;
  int mintSortCol = 0;
  bool mblnSortAsc = false;
  bool mblnRunning = false;
  // A close that arrived while the grid was filling; carried out when the execution ends.
  bool mblnCloseWanted = false;
};
