#pragma once
// The About dialog: product title, version, the project's contact rows, and buttons for the
// system information program and the project's home page.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Ver " + major + "." + minor in at least two digits: 1 and 0 give "Ver 1.00".
QString VersionLabel(int major, int minor);

class frmVersion : public QDialog {
  Q_OBJECT
 public:
  // The owner is the main window: it is the window the home page button minimizes.
  explicit frmVersion(QWidget* owner = nullptr);

  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* imgIcon = nullptr;
  // Indexed as designed; the rows top to bottom are Label1[2], [1], [4], [3], [0].
  QLabel* Label1[5] = {};
  // One beside each label, top to bottom [0] to [4]; txtDesc[3] holds the home page address.
  QLineEdit* txtDesc[5] = {};
  QPushButton* cmdSysInfo = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdGoHP = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void cmdSysInfo_Click();
  void cmdGoHP_Click();
  void mSb_StartSystemInfo();
};
