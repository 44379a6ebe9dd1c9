#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>
#include <optional>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "session/SessionData.h"

namespace {

const QString kCancel = ScriptedDialogs::kCancel;
const QString kNow = QStringLiteral("2024-03-05/17:08:09");
const QString kFailed = QStringLiteral("実行処理が失敗しました。権限などを確認してください");
const QString kEmpty = QStringLiteral("データがありませんでした。");
const QString kFake = QStringLiteral("FAKE");
const QString kRows = QStringLiteral("select * from rows");
const QString kNoRows = QStringLiteral("select * from no_rows");
const QString kFields = QStringLiteral(
    "select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE from "
    "user_tab_columns where upper(TABLE_NAME) = %1 order by COLUMN_ID");
const QString kIndex = QStringLiteral(
    "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where upper(TABLE_NAME) = %1 order by "
    "INDEX_NAME,COLUMN_POSITION");
const QString kLog = QStringLiteral("select * from V$SQL %1 order by FIRST_LOAD_TIME desc");
const QString kLogLoad = QStringLiteral(
    "select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS as Used_Memory, "
    "FIRST_LOAD_TIME as TIME from V$SQL %1 order by FIRST_LOAD_TIME desc");
const QString kFrom = QStringLiteral("FIRST_LOAD_TIME >= '%1'");
const QString kTo = QStringLiteral("FIRST_LOAD_TIME <= '%1'");

// Logs on as the logon dialog would: FAKE through the fake server, DEMO on the local engine.
bool LogOn(const QString& host, const QString& user, const QString& pass) {
  SessionData& rec = gSessionData[static_cast<std::size_t>(AppendSession())];
  rec.Host = host;
  rec.User = user;
  rec.Pass = pass;
  rec.OraSession = ora::CreateOraSession(host);
  if (!rec.OraSession) return false;
  rec.OraDatabase = rec.OraSession->OpenDatabase(host, user + QLatin1Char('/') + pass, 0);
  return rec.OraDatabase != nullptr;
}

int GridRows() {
  return Ctl<vaSpread>(gfrmMain->ActiveConsole(), "vspData")->MaxRows();
}

}  // namespace

class tst_Dictionary : public QObject {
  Q_OBJECT
  std::optional<TestEnv> env_;
  std::optional<fake::FakeDriver> driver_;
  frmMain::LogonDialogFn previousLogon_;
  int logonCalls_ = 0;
  bool logonSucceeds_ = false;

 private slots:
  void init() {
    env_.emplace();
    driver_.emplace();
    driver_->addAccount(kFake, QStringLiteral("SCOTT"), QStringLiteral("TIGER"));
    driver_->addAnswer(kRows, {.rows = 3});
    driver_->addAnswer(kNoRows, fake::Answer{});
    CreateSessions();
    gfrmMain = new frmMain;
    gfrmMain->show();
    logonCalls_ = 0;
    logonSucceeds_ = false;
    previousLogon_ = frmMain::SetLogonDialog([this](QWidget*) {
      ++logonCalls_;
      if (logonSucceeds_) LogOn(kFake, QStringLiteral("SCOTT"), QStringLiteral("TIGER"));
    });
  }
  void cleanup() {
    frmMain::SetLogonDialog(previousLogon_);
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    platform::SetNow(QDateTime());
    driver_.reset();
    env_.reset();
  }

  // answers: one per input box, kCancel cancels it; an empty sql means nothing is run.
  void prompts_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("sql");
    const auto row = [](const char* tag, const char* item, const QStringList& answers,
                        const QString& sql) {
      QTest::newRow(tag) << QString(item) << answers << sql;
    };
    const QString both = "where " + kFrom.arg(kNow) + " and " + kTo.arg(kNow);
    row("fields, quote doubled", "mnuSqlTableFields", {"emp' or 'x'='x"},
        kFields.arg("'EMP'' OR ''X''=''X'"));
    row("fields, blanks only", "mnuSqlTableFields", {"   "}, "");
    row("fields, cancelled", "mnuSqlTableFields", {kCancel}, "");
    row("index", "mnuSqlTableIndex", {"o'brien"}, kIndex.arg("'O''BRIEN'"));
    row("log, defaults", "mnuSqlLog", {kNow, kNow}, kLog.arg(both));
    row("log, start cleared", "mnuSqlLog", {"", kNow}, kLog.arg("where " + kTo.arg(kNow)));
    row("log, end cancelled, trimmed", "mnuSqlLog", {"  " + kNow + " ", kCancel},
        kLog.arg("where " + kFrom.arg(kNow)));
    row("log, both cancelled", "mnuSqlLog", {kCancel, kCancel}, kLog.arg(""));
    row("log, quote doubled", "mnuSqlLog", {"2024'", " "},
        kLog.arg("where " + kFrom.arg("2024''")));
    row("log load", "mnuSqlLogAccess", {kNow, kNow}, kLogLoad.arg(both));
    row("kill session", "mnuSqlKillSession", {}, "");
  }
  void prompts() {
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, sql);
    QVERIFY(LogOn(kFake, QStringLiteral("SCOTT"), QStringLiteral("TIGER")));
    gfrmMain->mnuWindowNewWindow_Click();
    platform::SetNow(QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9)));
    ScriptedDialogs dialogs;
    dialogs.answerInputBoxes(answers);
    gfrmMain->menuItem(item)->trigger();

    QCOMPARE(driver_->databases()[0]->statements, sql.isEmpty() ? QStringList() : QStringList{sql});
    QCOMPARE(dialogs.prompts(), sql.isEmpty() ? QStringList() : QStringList{kFailed});
    QCOMPARE(dialogs.inputBoxes().size(), answers.size());
    for (const platform::InputBoxCall& box : dialogs.inputBoxes())
      QCOMPARE(box.defaultText, item.startsWith(QStringLiteral("mnuSqlTable")) ? QString() : kNow);
  }

  // The query goes to the active console (restored if need be), else to a new one after a logon.
  void runner_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rows");  // -1: no console
    QTest::newRow("rows") << "console" << kRows << "" << 3;
    QTest::newRow("no rows") << "console" << kNoRows << kEmpty << 0;
    QTest::newRow("failed") << "console" << kRows + "_missing" << kFailed << 0;
    QTest::newRow("minimized console") << "minimized" << kRows << "" << 3;
    QTest::newRow("session, no console") << "session" << kRows << "" << 3;
    QTest::newRow("logon first") << "logon" << kRows << "" << 3;
    QTest::newRow("logon cancelled") << "cancel" << kRows << "" << -1;
  }
  void runner() {
    QFETCH(QString, before);
    QFETCH(QString, sql);
    QFETCH(QString, message);
    QFETCH(int, rows);
    const bool logon = before == u"logon" || before == u"cancel";
    logonSucceeds_ = before == u"logon";
    if (!logon) QVERIFY(LogOn(kFake, QStringLiteral("SCOTT"), QStringLiteral("TIGER")));
    if (before == u"console" || before == u"minimized") gfrmMain->mnuWindowNewWindow_Click();
    if (before == u"minimized") gfrmMain->mdiArea()->currentSubWindow()->showMinimized();

    ScriptedDialogs dialogs;
    mSb_RunDictionarySQL(sql);

    QCOMPARE(logonCalls_, logon ? 1 : 0);
    QCOMPARE(dialogs.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) QCOMPARE(dialogs.msgBoxes()[0].style, platform::vbInformation);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(gfrmMain->mdiArea()->subWindowList().size(), rows < 0 ? 0 : 1);
    if (rows < 0) {
      QVERIFY(driver_->databases().empty());
      return;
    }
    QCOMPARE(driver_->databases().back()->statements, QStringList{sql});
    QCOMPARE(GridRows(), rows);
    QVERIFY(!gfrmMain->mdiArea()->currentSubWindow()->isMinimized());
  }

  // On DEMO every item fills the grid for SYSTEM; SCOTT is refused the DBA_ and V$ views.
  void demo_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");
    const QStringList dbaItems{"mnuSqlAccess", "mnuSqlAccessEx",  "mnuSqlDBAGrant", "mnuSqlDBARole",
                               "mnuSqlLog",    "mnuSqlLogAccess", "mnuSqlVer"};
    // An end of the date range that lies after every statement of the test.
    const QString later =
        platform::Now().addSecs(3600).toString(QStringLiteral("yyyy-MM-dd/HH:mm:ss"));
    const QHash<QString, QStringList> answers{{"mnuSqlTableFields", {"help"}},
                                              {"mnuSqlTableIndex", {"emp"}},
                                              {"mnuSqlLog", {kCancel, kCancel}},
                                              {"mnuSqlLogAccess", {"", later}}};
    for (const char* item :
         {"mnuSqlAccess", "mnuSqlAccessEx", "mnuSqlTableFields", "mnuSqlTableIndex",
          "mnuSqlUserGrant", "mnuSqlUserRole", "mnuSqlUserTables", "mnuSqlAllUsers",
          "mnuSqlDBAGrant", "mnuSqlDBARole", "mnuSqlAllTables", "mnuSqlAllFields", "mnuSqlAllView",
          "mnuSqlLog", "mnuSqlLogAccess", "mnuSqlAllObject", "mnuSqlSysDate", "mnuSqlVer"}) {
      QTest::addRow("SYSTEM %s", item) << "SYSTEM" << QString(item) << answers[item] << "";
      if (dbaItems.contains(item))
        QTest::addRow("SCOTT %s", item) << "SCOTT" << QString(item) << answers[item] << kFailed;
    }
    QTest::newRow("SCOTT fields of a quoted name")
        << QString("SCOTT") << QString("mnuSqlTableFields") << QStringList{"emp'"} << kEmpty;
  }
  void demo() {
    QFETCH(QString, user);
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, message);
    driver_.reset();
    QVERIFY(LogOn(QStringLiteral("DEMO"), user, user == u"SYSTEM" ? "MANAGER" : "TIGER"));
    gfrmMain->mnuWindowNewWindow_Click();
    // A statement in the server's SQL area for the log commands to find.
    QVERIFY(gSessionData[0].OraDatabase->CreateDynaset(QStringLiteral("select * from dept"), 0));

    ScriptedDialogs dialogs;
    dialogs.answerInputBoxes(answers);
    gfrmMain->menuItem(item)->trigger();
    QCOMPARE(dialogs.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty()) QVERIFY(GridRows() > 0);
  }
};

QTEST_MAIN(tst_Dictionary)
#include "tst_dictionary.moc"
