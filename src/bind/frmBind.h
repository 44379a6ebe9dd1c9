#pragma once
// The bind variable dialog: lists, defines, replaces and deletes the bind variables of one
// session. The variables live on the session's database, which binds them by name to every later
// statement of that session.
#include <QDateTime>
#include <QDialog>
#include <QString>
#include <QVariant>
#include <array>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

namespace ora {
class OraDatabase;
}

class frmBind : public QDialog {
  Q_OBJECT
 public:
  explicit frmBind(QWidget* parent = nullptr);

  // The session whose variables the dialog works on, by its index in the session table. Set
  // before Load.
  void mSb_SetSessionNo(int intSessionNo);
  // The window's Load: names the session and fills the lists.
  void Load();

  QLabel* lblSession = nullptr;
  // Captions of the session, kind, type, value and name fields, in that order.
  std::array<QLabel*, 5> lbl1{};
  QComboBox* cmbName = nullptr;
  QComboBox* cmbValue = nullptr;
  QComboBox* cmbValueType = nullptr;
  QComboBox* cmbVarType = nullptr;
  QPushButton* cmdAdd = nullptr;
  QPushButton* cmdDel = nullptr;
  QPushButton* cmdClose = nullptr;
  QMenu* mnuTool = nullptr;
  QAction* mnuToolDelBind = nullptr;

 private:
  ora::OraDatabase* Database() const;
  void mSb_SetBindList();
  void cmbName_Click();
  void cmdAdd_Click();
  void cmdDel_Click();
  void mnuToolDelBind_Click();

  int mintSessionNo = 0;
};

// A bind variable's value as the lists show it; a Null value is empty text.
QString BindValueText(const QVariant& value);
// A typed date (with or without a time) as a date value; nothing when the text is not a date.
std::optional<QDateTime> ParseDateText(const QString& text);

// Opens the dialog modally over a console for a session of the session table.
void ShowBindWindow(QWidget* parent, int sessionNo);
