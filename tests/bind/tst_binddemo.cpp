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

const QString kByDept = QStringLiteral("select ename from emp where deptno = :X");
const QString kByHireDate = QStringLiteral("select ename from emp where hiredate = :H");

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

  // The statements use the variable's latest value, dates included; once it is deleted they
  // fail for want of it.
  void defineUseReplaceDelete() {
    ScriptedDialogs dialogs;
    QCOMPARE(Dialog({"X", "10", "NUMBER", "入出力変数"}),
             QStringList({"", "", "VARCHAR2", "入力変数"}));
    QCOMPARE(Dialog(), QStringList({"X", "10", "NUMBER", "入出力変数"}));
    QCOMPARE(Run(kByDept), QStringList({"CLARK", "KING", "MILLER"}));
    Dialog({"X", "30", "NUMBER", "入力変数"});
    QCOMPARE(gSessionData[0].OraDatabase->Parameters().Count(), 1);
    QCOMPARE(Run(kByDept).size(), 6);
    Dialog({"H", "1981/02/20", "DATE", "入力変数"});
    QCOMPARE(Run(kByHireDate), QStringList{"ALLEN"});
    QVERIFY(dialogs.msgBoxes().isEmpty());

    QCOMPARE(Dialog({}, true), QStringList({"X", "30", "NUMBER", "入力変数"}));
    QCOMPARE(Run(kByDept), QStringList());
    QCOMPARE(dialogs.msgBoxes().size(), 1);
    QVERIFY2(dialogs.prompts()[0].startsWith(QStringLiteral("ORA-01008: not all variables bound")),
             qPrintable(dialogs.prompts()[0]));
  }

 private:
  // Opens the dialog with the console's button and returns what its fields showed on opening
  // (name, value, type, kind); then registers the entry when given, or deletes the shown one.
  QStringList Dialog(const QStringList& entry = {}, bool remove = false) {
    QStringList shown;
    QTimer::singleShot(0, this, [&] {
      auto* dlg = qobject_cast<frmBind*>(QApplication::activeModalWidget());
      if (!dlg) return;
      shown =
          QStringList{dlg->cmbName->currentText(), dlg->cmbValue->currentText(),
                      dlg->cmbValueType->currentText().trimmed(), dlg->cmbVarType->currentText()};
      if (!entry.isEmpty()) {
        dlg->cmbName->setEditText(entry[0]);
        dlg->cmbValue->setEditText(entry[1]);
        for (int i = 0; i < dlg->cmbValueType->count(); ++i) {
          if (dlg->cmbValueType->itemText(i).trimmed() == entry[2])
            dlg->cmbValueType->setCurrentIndex(i);
        }
        dlg->cmbVarType->setCurrentText(entry[3]);
        dlg->cmdAdd->click();
      }
      if (remove) dlg->cmdDel->click();
      dlg->cmdClose->click();
    });
    Ctl<QPushButton>(console_, "Command1")->click();
    return shown;
  }

  // Runs a statement as the user does and returns the names shown, sorted.
  QStringList Run(const QString& sql) {
    Ctl<SqlEditor>(console_, "txtSQL")->setPlainText(sql);
    vaSpread* grid = Ctl<vaSpread>(console_, "vspData");
    grid->SetMaxRows(0);
    Ctl<QPushButton>(console_, "cmdSQL_Exec")->click();
    QStringList names;
    for (int row = 1; row <= grid->MaxRows(); ++row) names << grid->CellText(1, row);
    names.sort();
    return names;
  }

  std::unique_ptr<TestEnv> env_;
  frmQuerna* console_ = nullptr;
};

QTEST_MAIN(tst_BindDemo)
#include "tst_binddemo.moc"
