// The items of the menu "ｵﾗｸﾙ参照・設定(&O)": their prompts and the exact SQL text each hands to
// the active console. The fake server knows none of the texts, so each run ends in the runner's
// failure message.
#include <QAction>
#include <QtTest>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "session/SessionData.h"

namespace {

const QString kCancel = ScriptedDialogs::kCancel;
const QString kNow = QStringLiteral("2024-03-05/17:08:09");
const QString kUsers = QStringLiteral(
    "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as 処理状況,MACHINE as ﾏｼﾝ名,"
    "TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as Oracle接続ｿﾌﾄ,LOGON_TIME as ﾛｸﾞｵﾝ時間");
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

}  // namespace

class tst_Dictionary : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<fake::FakeDriver> driver_;
  std::shared_ptr<fake::DatabaseLog> log_;

 private slots:
  void init() {
    env_ = std::make_unique<TestEnv>();
    driver_ = std::make_unique<fake::FakeDriver>();
    mSb_CreateSessions();
    log_ = driver_->logOn(QStringLiteral("SYSTEM"), QStringLiteral("FAKE"));
    gfrmMain = new frmMain;
    gfrmMain->show();
    gfrmMain->mnuWindowNewWindow_Click();
    platform::SetNow(QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9)));
  }
  void cleanup() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    platform::SetNow(QDateTime());
    driver_.reset();
    env_.reset();
  }

  // answers: one per input box, kCancel cancels it; an empty sql means nothing is run.
  void items_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("sql");
    const QStringList none;
    QTest::newRow("users") << "mnuSqlAccess" << none
                           << kUsers + " FROM V$SESSION WHERE USERNAME IS NOT NULL";
    QTest::newRow("users ex") << "mnuSqlAccessEx" << none
                              << kUsers +
                                     ",        V$SQL.SQL_TEXT as 最後に使用したSQL FROM "
                                     "V$SESSION, V$SQL  WHERE USERNAME IS NOT NULL AND "
                                     "V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)";
    QTest::newRow("fields, blanks kept")
        << "mnuSqlTableFields" << QStringList{" emp "} << kFields.arg("' EMP '");
    QTest::newRow("fields, quote doubled") << "mnuSqlTableFields" << QStringList{"emp' or 'x'='x"}
                                           << kFields.arg("'EMP'' OR ''X''=''X'");
    QTest::newRow("fields, blanks only") << "mnuSqlTableFields" << QStringList{"   "} << "";
    QTest::newRow("fields, cancelled") << "mnuSqlTableFields" << QStringList{kCancel} << "";
    QTest::newRow("index") << "mnuSqlTableIndex" << QStringList{"o'brien"}
                           << kIndex.arg("'O''BRIEN'");
    QTest::newRow("index, empty") << "mnuSqlTableIndex" << QStringList{""} << "";
    QTest::newRow("log, defaults")
        << "mnuSqlLog" << QStringList{kNow, kNow}
        << kLog.arg("where " + kFrom.arg(kNow) + " and " + kTo.arg(kNow));
    QTest::newRow("log, start cleared")
        << "mnuSqlLog" << QStringList{"", kNow} << kLog.arg("where " + kTo.arg(kNow));
    QTest::newRow("log, end cancelled, trimmed")
        << "mnuSqlLog" << QStringList{"  " + kNow + " ", kCancel}
        << kLog.arg("where " + kFrom.arg(kNow));
    QTest::newRow("log, both cancelled")
        << "mnuSqlLog" << QStringList{kCancel, kCancel} << kLog.arg("");
    QTest::newRow("log, quote doubled")
        << "mnuSqlLog" << QStringList{"2024'", " "} << kLog.arg("where " + kFrom.arg("2024''"));
    QTest::newRow("log load") << "mnuSqlLogAccess" << QStringList{"2024-03-01/00:00:00", kNow}
                              << kLogLoad.arg("where " + kFrom.arg("2024-03-01/00:00:00") +
                                              " and " + kTo.arg(kNow));
    QTest::newRow("log load, none") << "mnuSqlLogAccess" << QStringList{"", ""} << kLogLoad.arg("");
    const QList<std::pair<const char*, const char*>> fixed{
        {"mnuSqlUserGrant", "select * from session_privs"},
        {"mnuSqlUserRole", "select * from session_roles"},
        {"mnuSqlUserTables", "select * from user_tables"},
        {"mnuSqlAllUsers", "select * from all_users"},
        {"mnuSqlDBAGrant", "SELECT * FROM DBA_SYS_PRIVS"},
        {"mnuSqlDBARole", "SELECT * FROM DBA_ROLE_PRIVS"},
        {"mnuSqlAllTables", "select * from all_tables"},
        {"mnuSqlAllFields", "select * from user_tab_columns"},
        {"mnuSqlAllView", "select * from all_views"},
        {"mnuSqlAllObject", "select * from all_objects"},
        {"mnuSqlSysDate",
         "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL"},
        {"mnuSqlVer", "select * from v$version"},
        {"mnuSqlKillSession", ""},
    };
    for (const auto& [item, sql] : fixed) QTest::newRow(item) << item << none << sql;
  }
  void items() {
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, sql);
    ScriptedDialogs dialogs;
    dialogs.answerInputBoxes(answers);
    gfrmMain->menuItem(item)->trigger();

    QCOMPARE(log_->statements, sql.isEmpty() ? QStringList() : QStringList{sql});
    QCOMPARE(dialogs.prompts(),
             sql.isEmpty() ? QStringList()
                           : QStringList{"実行処理が失敗しました。権限などを確認してください"});
    QCOMPARE(dialogs.inputBoxes().size(), answers.size());
    const bool table = item.startsWith(QStringLiteral("mnuSqlTable"));
    for (int i = 0; i < answers.size(); ++i) {
      const platform::InputBoxCall& box = dialogs.inputBoxes()[i];
      QCOMPARE(box.title, QStringLiteral("frmMain"));
      QCOMPARE(box.defaultText, table ? QString() : kNow);
      const QString which = i == 0 ? QStringLiteral("開始日") : QStringLiteral("終了日");
      QCOMPARE(box.prompt,
               table ? QStringLiteral("テーブル名を入力して下さい")
                     : QStringLiteral("範囲日付の") + which +
                           QStringLiteral("を入力して下さい\r\n書式：1999-08-22/17:55:04"));
    }
  }
};

QTEST_MAIN(tst_Dictionary)
#include "tst_dictionary.moc"
