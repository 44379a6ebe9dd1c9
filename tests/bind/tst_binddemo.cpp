// Bind variables end to end on the local engine's DEMO database: defined in the dialog opened by
// the console's button, used by the statements the console runs on that session.
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "bind/frmBind.h"
#include "common/ConsoleControls.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "session/SessionData.h"

namespace {

const QString kByDept = QStringLiteral("select * from emp where deptno = :X");
const QString kByHireDate = QStringLiteral("select ename from emp where hiredate = :H");
const QString kNotAllBound = QStringLiteral("ORA-01008: not all variables bound");

struct Entry {
  QString name;
  QString value;
  QString type;  // the type's name as the list shows it, without its padding
  QString kind;
};

QStringList Fields(const frmBind& dlg) {
  return {dlg.cmbName->currentText(), dlg.cmbValue->currentText(),
          dlg.cmbValueType->currentText().trimmed(), dlg.cmbVarType->currentText()};
}

}  // namespace

class tst_BindDemo : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    env_ = std::make_unique<TestEnv>();
    mSb_CreateSessions();
    SessionData& rec = gSessionData[0];
    rec.Host = QStringLiteral("DEMO");
    rec.User = QStringLiteral("SCOTT");
    rec.Pass = QStringLiteral("TIGER");
    rec.OraSession = ora::CreateOraSession(rec.Host);
    QVERIFY(rec.OraSession);
    rec.OraDatabase = rec.OraSession->OpenDatabase(rec.Host, QStringLiteral("SCOTT/TIGER"), 0);
    QVERIFY(rec.OraDatabase);
    gfrmMain = new frmMain;
    gfrmMain->show();
    gfrmMain->mnuWindowNewWindow_Click();
    console_ = gfrmMain->mFn_ActiveConsole();
    QVERIFY(console_);
  }
  void cleanup() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    env_.reset();
  }

  void defineUseReplaceDelete() {
    ScriptedDialogs dialogs;
    QCOMPARE(Dialog({QStringLiteral("X"), QStringLiteral("10"), QStringLiteral("NUMBER"),
                     QStringLiteral("入出力変数")}),
             QStringList({"", "", "VARCHAR2", "入力変数"}));
    QCOMPARE(Dialog(), QStringList({"X", "10", "NUMBER", "入出力変数"}));
    QVERIFY(dialogs.msgBoxes().isEmpty());

    QCOMPARE(Run(kByDept), QStringList({"CLARK", "KING", "MILLER"}));
    QVERIFY(dialogs.msgBoxes().isEmpty());

    Dialog({QStringLiteral("X"), QStringLiteral("30"), QStringLiteral("NUMBER"),
            QStringLiteral("入力変数")});
    QCOMPARE(Dialog(), QStringList({"X", "30", "NUMBER", "入力変数"}));
    QCOMPARE(gSessionData[0].OraDatabase->Parameters().Count(), 1);
    QCOMPARE(Run(kByDept).size(), 6);

    Dialog({}, true);
    QCOMPARE(gSessionData[0].OraDatabase->Parameters().Count(), 0);
    QCOMPARE(Run(kByDept), QStringList());
    QCOMPARE(dialogs.msgBoxes().size(), 1);
    QVERIFY2(dialogs.prompts()[0].startsWith(kNotAllBound), qPrintable(dialogs.prompts()[0]));
  }

  void dates() {
    ScriptedDialogs dialogs;
    Dialog({QStringLiteral("H"), QStringLiteral("1981/02/20"), QStringLiteral("DATE"),
            QStringLiteral("入力変数")});
    QCOMPARE(Dialog(), QStringList({"H", "1981/02/20", "DATE", "入力変数"}));
    QCOMPARE(Run(kByHireDate), QStringList{"ALLEN"});
    QVERIFY(dialogs.msgBoxes().isEmpty());

    // A text that is no date adds nothing, says nothing, and takes the older H away.
    Dialog({QStringLiteral("H"), QStringLiteral("1981/02/30"), QStringLiteral("DATE"),
            QStringLiteral("入力変数")});
    QVERIFY(dialogs.msgBoxes().isEmpty());
    QCOMPARE(Dialog(), QStringList({"", "", "VARCHAR2", "入力変数"}));
    QCOMPARE(Run(kByHireDate), QStringList());
    QVERIFY(dialogs.prompts().value(0).startsWith(kNotAllBound));
  }

 private:
  // Opens the dialog with the console's button and returns what its fields showed on opening;
  // then enters and registers the entry (when given), or deletes the shown variable, and closes.
  QStringList Dialog(const Entry& entry = {}, bool remove = false) {
    QStringList shown;
    bool opened = false;
    QTimer::singleShot(0, this, [&] {
      auto* dlg = qobject_cast<frmBind*>(QApplication::activeModalWidget());
      if (!dlg) return;
      opened = true;
      shown = Fields(*dlg);
      if (!entry.name.isEmpty()) {
        dlg->cmbName->setEditText(entry.name);
        dlg->cmbValue->setEditText(entry.value);
        for (int i = 0; i < dlg->cmbValueType->count(); ++i) {
          if (dlg->cmbValueType->itemText(i).trimmed() == entry.type)
            dlg->cmbValueType->setCurrentIndex(i);
        }
        dlg->cmbVarType->setCurrentText(entry.kind);
        dlg->cmdAdd->click();
      }
      if (remove) dlg->cmdDel->click();
      dlg->cmdClose->click();
    });
    Ctl<QPushButton>(console_, "Command1")->click();
    [&] { QVERIFY(opened); }();
    return shown;
  }

  // Runs a statement as the user does and returns the first column of the rows shown.
  QStringList Run(const QString& sql) {
    Ctl<SqlEditor>(console_, "txtSQL")->setPlainText(sql);
    Ctl<vaSpread>(console_, "vspData")->SetMaxRows(0);
    Ctl<QPushButton>(console_, "cmdSQL_Exec")->click();
    QStringList names;
    vaSpread* grid = Ctl<vaSpread>(console_, "vspData");
    int col = 1;
    for (; col <= grid->MaxCols(); ++col) {
      grid->SetCol(col);
      grid->SetRow(0);
      if (grid->Text() == QStringLiteral("ENAME")) break;
    }
    for (int row = 1; row <= grid->MaxRows(); ++row) {
      grid->SetCol(col);
      grid->SetRow(row);
      names << grid->Text();
    }
    names.sort();
    return names;
  }

  std::unique_ptr<TestEnv> env_;
  frmQuerna* console_ = nullptr;
};

QTEST_MAIN(tst_BindDemo)
#include "tst_binddemo.moc"
