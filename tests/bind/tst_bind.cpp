#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "bind/frmBind.h"
#include "common/ConsoleControls.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "core/RunErr.h"
#include "grid/vaSpread.h"
#include "session/Connect.h"
#include "session/SessionData.h"

namespace {

ora::OraParameters& Params(int session = 0) {
  return gSessionData[static_cast<std::size_t>(session)].OraDatabase->Parameters();
}

void Define(const QString& name, const QVariant& value, int kind, int type) {
  Params().Add(name, value, kind);
  Params().Item(name)->SetServerType(type);
}

// Name and value are typed key by key, as a user does, so a completing box would show.
void Enter(frmBind& dlg, const QString& name, const QString& value, int type, int kind) {
  for (const auto& [box, text] : {std::pair{dlg.cmbName, name}, std::pair{dlg.cmbValue, value}}) {
    box->setFocus();
    box->clearEditText();
    QTest::keyClicks(box->lineEdit(), text);
  }
  dlg.cmbValueType->setCurrentIndex(dlg.cmbValueType->findData(type));
  dlg.cmbVarType->setCurrentIndex(dlg.cmbVarType->findData(kind));
}

// What the fields of the dialog show: name, value, type name, kind.
QStringList Fields(const frmBind& dlg) {
  return {dlg.cmbName->currentText(), dlg.cmbValue->currentText(),
          dlg.cmbValueType->currentText().trimmed(), dlg.cmbVarType->currentText()};
}

}  // namespace

class tst_Bind : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    driver_ = std::make_unique<fake::FakeDriver>();
    FakeColumn column;
    column.name = QStringLiteral("A");
    driver_->addResult(QStringLiteral("select 1 from dual"), {column}, {QVariantList{1}});
    CreateSessions();
    driver_->logOn();
    driver_->logOn();
    ora::ErrClear();
  }
  void cleanup() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    driver_.reset();
  }

  void listAndPick() {
    Define(QStringLiteral("X"), 2.5, ora::ORAPARM_OUTPUT, ora::ORATYPE_NUMBER);
    Define(QStringLiteral("D"), QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30)), ora::ORAPARM_INPUT,
           ora::ORATYPE_DATE);
    Define(QStringLiteral("T"), QDateTime(QDate(2000, 1, 2), QTime(0, 0)), ora::ORAPARM_BOTH,
           ora::ORATYPE_TIMESTAMP);
    Define(QStringLiteral("N"), QVariant(), ora::ORAPARM_OUTPUT, ora::ORATYPE_VARCHAR2);
    frmBind dlg;
    dlg.Load();
    QCOMPARE(Items(dlg.cmbValue), QStringList({"2.5", "2024/03/05 10:20:30", "2000/01/02", ""}));
    QCOMPARE(Fields(dlg), QStringList({"X", "2.5", "NUMBER", "出力変数"}));

    const QList<QStringList> expected = {
        {"D", "2024/03/05 10:20:30", "DATE", "入力変数"},
        {"T", "2000/01/02", "VARCHAR2", "入出力変数"},  // a type the list does not offer
        {"N", "", "VARCHAR2", "出力変数"},              // Null on the server
    };
    for (int i = 1; i <= 3; ++i) {
      dlg.cmbName->setCurrentIndex(i);
      emit dlg.cmbName->activated(i);
      QCOMPARE(Fields(dlg), expected[i - 1]);
    }
  }

  // Entries rejected for their type also lose an older variable of that name.
  void addRejected_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("olderKept");
    const auto row = [](const char* tag, const char* name, const char* value, int type,
                        const char* message, const char* focus, bool olderKept) {
      QTest::newRow(tag) << QString(name) << QString(value) << type << QString(message)
                         << QString(focus) << olderKept;
    };
    row("no name", "", "1", 2, "変数名を入力してください", "cmbName", true);
    row("no value", "X", "", 2, "データ(値)を入力してください", "cmbValue", true);
    row("ROWID", "X", "1", 11, "未対応のデータ型が指定されました", "cmbValueType", false);
    row("not a date", "X", "2024/02/30", 12, "", "", false);
  }
  void addRejected() {
    QFETCH(QString, name);
    QFETCH(QString, value);
    QFETCH(int, type);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(bool, olderKept);
    Define(QStringLiteral("X"), QStringLiteral("5"), ora::ORAPARM_INPUT, ora::ORATYPE_NUMBER);
    gSessionData[0].OraDynaset =
        gSessionData[0].OraDatabase->CreateDynaset(QStringLiteral("select 1 from dual"), 0);
    ScriptedDialogs dialogs;
    frmBind dlg;
    dlg.Load();
    Enter(dlg, name, value, type, ora::ORAPARM_INPUT);
    dlg.cmdAdd->click();

    QCOMPARE(dialogs.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) {
      QCOMPARE(dialogs.msgBoxes()[0].style, platform::vbCritical);
      const QWidget* box = dlg.findChild<QWidget*>(focus);
      QVERIFY(box == dlg.focusWidget() || box->isAncestorOf(dlg.focusWidget()));
    }
    QCOMPARE(Params().Count(), olderKept ? 1 : 0);
    if (olderKept) QCOMPARE(Params().Item(0)->Value(), QVariant(QStringLiteral("5")));
    QVERIFY(!gSessionData[0].OraDynaset);
    QVERIFY(!ora::Err().pending());
  }

  void remove_data() {
    QTest::addColumn<int>("defined");  // A, B, C... each as its number
    QTest::addColumn<int>("pick");     // the item picked before deleting; -1 types the name
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QStringList>("names");  // the fields then show A = 1, if it is listed
    QTest::newRow("middle") << 3 << 1 << "" << QStringList{"A", "C"} << QStringList{"A", "C"};
    const QStringList all{"A", "B", "C"};
    QTest::newRow("typed name") << 3 << -1 << "c" << QStringList{"A", "B"} << all;
    QTest::newRow("unknown name") << 3 << -1 << "Z" << all << all;
    QTest::newRow("the only one") << 1 << 0 << "" << QStringList() << QStringList();
  }
  void remove() {
    QFETCH(int, defined);
    QFETCH(int, pick);
    QFETCH(QString, typed);
    QFETCH(QStringList, left);
    QFETCH(QStringList, names);
    for (int i = 0; i < defined; ++i)
      Define(QString(QChar(u'A' + i)), QString::number(i + 1), ora::ORAPARM_INPUT,
             ora::ORATYPE_NUMBER);
    gSessionData[0].OraDynaset =
        gSessionData[0].OraDatabase->CreateDynaset(QStringLiteral("select 1 from dual"), 0);
    ScriptedDialogs dialogs;
    frmBind dlg;
    dlg.Load();
    if (pick >= 0) {
      dlg.cmbName->setCurrentIndex(pick);
      emit dlg.cmbName->activated(pick);
    } else {
      dlg.cmbName->setEditText(typed);
    }
    dlg.cmdDel->click();
    QStringList params;
    for (int i = 0; i < Params().Count(); ++i) params << Params().Item(i)->Name();
    QCOMPARE(params, left);
    QCOMPARE(Items(dlg.cmbName), names);
    QCOMPARE(dlg.cmbValue->count(), defined);
    const QString a = names.isEmpty() ? QString() : QStringLiteral("A");
    QCOMPARE(Fields(dlg), QStringList({a, a.isEmpty() ? "" : "1", "NUMBER", "入力変数"}));
    QVERIFY(dialogs.msgBoxes().isEmpty());
    QVERIFY(gSessionData[0].OraDynaset);  // a delete leaves the result set alone
  }

  void addThenRemoveAll_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("left");
    QTest::newRow("OK") << int(platform::vbOK) << 0;
    QTest::newRow("Cancel") << int(platform::vbCancel) << 3;
  }
  // The database still holds an error from an earlier statement when the variable is added.
  void addThenRemoveAll() {
    QFETCH(int, answer);
    QFETCH(int, left);
    QVERIFY(!gSessionData[0].OraDatabase->CreateDynaset(QStringLiteral("select nothing"), 0));
    Define(QStringLiteral("A"), QStringLiteral("1"), ora::ORAPARM_INPUT, ora::ORATYPE_NUMBER);
    Define(QStringLiteral("DNO"), 20, ora::ORAPARM_INPUT, ora::ORATYPE_NUMBER);
    ScriptedDialogs dialogs;
    frmBind dlg;
    dlg.Load();
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    // Typed key by key, D and 2 are not completed to the DNO = 20 listed.
    Enter(dlg, QStringLiteral("D"), QStringLiteral("2 "), ora::ORATYPE_CHAR, ora::ORAPARM_BOTH);
    dlg.cmdAdd->click();
    QCOMPARE(dlg.cmbName->count(), 2);
    QCOMPARE(Params().Item(QStringLiteral("DNO"))->Value().toInt(), 20);
    const ora::OraParameter* added = Params().Item(QStringLiteral("D"));
    QCOMPARE(added->Value(), QVariant(QStringLiteral("2 ")));
    QCOMPARE(added->ServerType(), ora::ORATYPE_CHAR);
    QCOMPARE(added->Status(), ora::ORAPSTAT_BOTH);
    Params(1).Add(QStringLiteral("OTHER"), 1, ora::ORAPARM_INPUT);
    dialogs.answerMsgBox(answer);
    dlg.mnuToolDelBind->trigger();
    QCOMPARE(dialogs.prompts(), QStringList{"全てのバインド変数を削除しますか？"});
    QCOMPARE(dialogs.msgBoxes()[0].style, platform::vbQuestion | platform::vbOKCancel);
    QCOMPARE(Params().Count(), left);
    QCOMPARE(dlg.cmbName->count(), left);  // refilled either way, so D shows after Cancel
    QCOMPARE(Params(1).Count(), 1);
  }

  void parseDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("date");
    QTest::newRow("slashes") << "2024/3/5 7:08" << QDateTime(QDate(2024, 3, 5), QTime(7, 8));
    QTest::newRow("iso") << "2024-03-05T07:08:09" << QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9));
    QTest::newRow("blanks around") << " 2024/03/05 " << QDateTime(QDate(2024, 3, 5), QTime(0, 0));
    QTest::newRow("no such day") << "2023/02/29" << QDateTime();
    QTest::newRow("no such hour") << "2024/03/05 25:00:00" << QDateTime();
    QTest::newRow("number") << "10" << QDateTime();
  }
  void parseDate() {
    QFETCH(QString, text);
    QFETCH(QDateTime, date);
    const auto parsed = ParseDateText(text);
    QCOMPARE(parsed.has_value(), date.isValid());
    if (parsed) QCOMPARE(*parsed, date);
  }

  void onTheDemoDatabase() {
    driver_.reset();
    TestEnv env;
    CreateSessions();
    QVERIFY(ConnectSession("SCOTT", "TIGER", "DEMO"));
    gfrmMain = new frmMain;
    gfrmMain->show();
    gfrmMain->mnuWindowNewWindow_Click();
    frmQuerna* console = gfrmMain->ActiveConsole();
    const auto add = [](const QString& name, const QString& value, int type, int kind) {
      return [=](frmBind& dlg) {
        Enter(dlg, name, value, type, kind);
        dlg.cmdAdd->click();
      };
    };
    const QString byDept = QStringLiteral("select ename from emp where deptno = :X");
    ScriptedDialogs dialogs;
    QCOMPARE(FromConsole(console, add("X", "10", ora::ORATYPE_NUMBER, ora::ORAPARM_BOTH)),
             QStringList({"", "", "VARCHAR2", "入力変数"}));
    QCOMPARE(FromConsole(console), QStringList({"X", "10", "NUMBER", "入出力変数"}));
    QCOMPARE(Run(console, byDept), QStringList({"CLARK", "KING", "MILLER"}));
    FromConsole(console, add("X", "30", ora::ORATYPE_NUMBER, ora::ORAPARM_INPUT));
    QCOMPARE(Params().Count(), 1);
    QCOMPARE(Run(console, byDept).size(), 6);
    FromConsole(console, add("H", "1981/02/20", ora::ORATYPE_DATE, ora::ORAPARM_INPUT));
    QCOMPARE(Run(console, "select ename from emp where hiredate = :H"), QStringList{"ALLEN"});
    QVERIFY(dialogs.msgBoxes().isEmpty());

    QCOMPARE(FromConsole(console, [](frmBind& dlg) { dlg.cmdDel->click(); }),
             QStringList({"X", "30", "NUMBER", "入力変数"}));
    QCOMPARE(Run(console, byDept), QStringList());
    QCOMPARE(dialogs.msgBoxes().size(), 1);
    QVERIFY2(dialogs.prompts()[0].startsWith(QStringLiteral("ORA-01008: not all variables bound")),
             qPrintable(dialogs.prompts()[0]));
  }

 private:
  // Opens the dialog by the console's button and returns its fields as opened; work runs after.
  QStringList FromConsole(frmQuerna* console, const std::function<void(frmBind&)>& work = {}) {
    QStringList shown;
    QTimer::singleShot(0, this, [&] {
      auto* dlg = qobject_cast<frmBind*>(QApplication::activeModalWidget());
      if (!dlg) return;
      shown = Fields(*dlg);
      if (work) work(*dlg);
      dlg->cmdClose->click();
    });
    Ctl<QPushButton>(console, "Command1")->click();
    return shown;
  }

  // Runs a statement as the user does and returns the first column of the rows shown, sorted.
  static QStringList Run(frmQuerna* console, const QString& sql) {
    Ctl<SqlEditor>(console, "txtSQL")->setPlainText(sql);
    vaSpread* grid = Ctl<vaSpread>(console, "vspData");
    grid->SetMaxRows(0);
    Ctl<QPushButton>(console, "cmdSQL_Exec")->click();
    QStringList names;
    for (int row = 1; row <= grid->MaxRows(); ++row) names << grid->CellText(1, row);
    names.sort();
    return names;
  }

  std::unique_ptr<fake::FakeDriver> driver_;
};

QTEST_MAIN(tst_Bind)
#include "tst_bind.moc"
