#pragma once
// The console window: pick a session, type SQL, run it, read the rows in the grid.
#include <QDateTime>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class vaSpread;

class frmQuerna : public QWidget {
  Q_OBJECT
 public:
  explicit frmQuerna(QWidget* parent = nullptr);
  ~frmQuerna() override;

  // The window's Load: clears it, fills its session selector, shows it, focuses the SQL box.
  void Load();
  // Runs the text of the SQL box on the selected session (the interactive path).
  void mSb_SetListData(QPlainTextEdit* txt);
  // Runs a SQL text on the selected session for the dictionary commands. Returns the number of
  // rows shown, 0 when there were none, -1 when the execution failed.
  int mFn_SetListDataSQL(const QString& sql);

  QLabel* lbl1 = nullptr;
  QComboBox* cmbSessionData = nullptr;
  QCheckBox* chkReadOnly = nullptr;
  QPushButton* cmdSQL_Exec = nullptr;
  QPushButton* cmdClear = nullptr;
  QPushButton* cmdSelect = nullptr;
  QPushButton* cmdLogout = nullptr;
  QPushButton* Command1 = nullptr;
  QPlainTextEdit* txtSQL = nullptr;
  vaSpread* vspData = nullptr;
  QLineEdit* txtStatus = nullptr;
};
