#pragma once
// The logon dialog "ログイン": user name, password and host string, each an editable list of the
// values of earlier successful logons, starting with the values of the last one.
#include <QDialog>
#include <QString>
#include <QStringList>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

class frmLogon : public QDialog {
  Q_OBJECT
 public:
  // Builds the dialog and reads the saved history into it; the caller shows it.
  explicit frmLogon(QWidget* parent = nullptr);

  // Empties the three lists and refills them and the boxes from the saved history.
  void mSb_LoadLogonHistory();
  // "接続": checks the entries, connects, saves the history and closes on success.
  void cmdLogOn_Click();
  // "全てのﾛｸﾞｲﾝ情報を削除": erases the whole saved history after asking.
  void mnuToolDelLog_Click();

  QLabel* lbl1[3] = {};
  QComboBox* cmbUser = nullptr;
  QComboBox* cmbPass = nullptr;
  QComboBox* cmbHost = nullptr;
  QPushButton* cmdLogOn = nullptr;
  QPushButton* cmdCancel = nullptr;
  QMenu* mnuTool = nullptr;
  QAction* mnuToolDelLog = nullptr;
  QAction* mnuToolAutoHost = nullptr;

  // The histories as read at load; the lists are not updated afterwards.
  QString mStrUser, mStrPass, mStrHost;
  QStringList mAryUser, mAryPass, mAryHost;

 public slots:
  // Every way of closing the dialog ends here: the table loses the blank record a failed attempt
  // left behind.
  void done(int result) override;
};
