// The dictionary commands' SQL texts and their prompts, without any window or database.
#include <QtTest>

#include "app/DictionarySql.h"
#include "app/frmMainSql.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "platform/Platform.h"

namespace {

const QString kUsers = QStringLiteral(
    "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as 処理状況,MACHINE as ﾏｼﾝ名,"
    "TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as Oracle接続ｿﾌﾄ,LOGON_TIME as ﾛｸﾞｵﾝ時間");
const QString kStartPrompt =
    QStringLiteral("範囲日付の開始日を入力して下さい\r\n書式：1999-08-22/17:55:04");
const QString kEndPrompt =
    QStringLiteral("範囲日付の終了日を入力して下さい\r\n書式：1999-08-22/17:55:04");

}  // namespace

class tst_DictionarySql : public QObject {
  Q_OBJECT
  TestEnv env_;

 private slots:
  void cleanup() { platform::SetNow(QDateTime()); }

  void connectedUsers() {
    QCOMPARE(dictsql::ConnectedUsersSql(),
             kUsers + QStringLiteral(" FROM V$SESSION WHERE USERNAME IS NOT NULL"));
    const QString ex = dictsql::ConnectedUsersExSql();
    QCOMPARE(ex, kUsers + QStringLiteral(",        V$SQL.SQL_TEXT as 最後に使用したSQL FROM "
                                         "V$SESSION, V$SQL  WHERE USERNAME IS NOT NULL AND "
                                         "V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)"));
    QVERIFY(ex.contains(QStringLiteral("V$SQL  WHERE")));
  }

  void tableQueries_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("literal");
    QTest::newRow("blanks kept") << " emp "
                                 << "' EMP '";
    QTest::newRow("lower case") << "dept"
                                << "'DEPT'";
    QTest::newRow("quote doubled") << "o'brien"
                                   << "'O''BRIEN'";
    QTest::newRow("quote at the end") << "emp' or 'x'='x"
                                      << "'EMP'' OR ''X''=''X'";
  }
  void tableQueries() {
    QFETCH(QString, answer);
    QFETCH(QString, literal);
    QCOMPARE(dictsql::TableFieldsSql(answer),
             QStringLiteral("select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, "
                            "DATA_SCALE, NULLABLE from user_tab_columns where upper(TABLE_NAME) "
                            "= ") +
                 literal + QStringLiteral(" order by COLUMN_ID"));
    QCOMPARE(dictsql::TableIndexSql(answer),
             QStringLiteral("select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where "
                            "upper(TABLE_NAME) = ") +
                 literal + QStringLiteral(" order by INDEX_NAME,COLUMN_POSITION"));
  }

  void logRange_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("condition");
    const QString d1 = QStringLiteral("2024-01-02/03:04:05");
    const QString d2 = QStringLiteral("2024-06-30/23:59:59");
    QTest::newRow("both empty") << ""
                                << ""
                                << "";
    QTest::newRow("both blank") << "   "
                                << " "
                                << "";
    QTest::newRow("start only") << d1 << ""
                                << "where FIRST_LOAD_TIME >= '2024-01-02/03:04:05'";
    QTest::newRow("end only") << "" << d2 << "where FIRST_LOAD_TIME <= '2024-06-30/23:59:59'";
    QTest::newRow("both") << d1 << d2
                          << "where FIRST_LOAD_TIME >= '2024-01-02/03:04:05' and "
                             "FIRST_LOAD_TIME <= '2024-06-30/23:59:59'";
    QTest::newRow("answers trimmed") << "  " + d1 + " "
                                     << ""
                                     << "where FIRST_LOAD_TIME >= '2024-01-02/03:04:05'";
    QTest::newRow("quote doubled") << "2024'"
                                   << ""
                                   << "where FIRST_LOAD_TIME >= '2024'''";
  }
  void logRange() {
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, condition);
    QCOMPARE(dictsql::LogRangeCondition(start, end), condition);
  }

  void sqlLog() {
    QCOMPARE(dictsql::SqlLogSql(QString()),
             QStringLiteral("select * from V$SQL  order by FIRST_LOAD_TIME desc"));
    const QString w = QStringLiteral("where FIRST_LOAD_TIME >= 'x'");
    QCOMPARE(dictsql::SqlLogSql(w),
             QStringLiteral("select * from V$SQL where FIRST_LOAD_TIME >= 'x' order by "
                            "FIRST_LOAD_TIME desc"));
    QCOMPARE(dictsql::SqlLogLoadSql(QString()),
             QStringLiteral("select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS "
                            "as Used_Memory, FIRST_LOAD_TIME as TIME from V$SQL  order by "
                            "FIRST_LOAD_TIME desc"));
    QCOMPARE(dictsql::SqlLogLoadSql(w),
             QStringLiteral("select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS "
                            "as Used_Memory, FIRST_LOAD_TIME as TIME from V$SQL where "
                            "FIRST_LOAD_TIME >= 'x' order by FIRST_LOAD_TIME desc"));
  }

  void fixedQueries_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("sql");
    QTest::newRow("grants") << "mnuSqlUserGrant"
                            << "select * from session_privs";
    QTest::newRow("roles") << "mnuSqlUserRole"
                           << "select * from session_roles";
    QTest::newRow("own tables") << "mnuSqlUserTables"
                                << "select * from user_tables";
    QTest::newRow("users") << "mnuSqlAllUsers"
                           << "select * from all_users";
    QTest::newRow("dba grants") << "mnuSqlDBAGrant"
                                << "SELECT * FROM DBA_SYS_PRIVS";
    QTest::newRow("dba roles") << "mnuSqlDBARole"
                               << "SELECT * FROM DBA_ROLE_PRIVS";
    QTest::newRow("tables") << "mnuSqlAllTables"
                            << "select * from all_tables";
    QTest::newRow("fields") << "mnuSqlAllFields"
                            << "select * from user_tab_columns";
    QTest::newRow("views") << "mnuSqlAllView"
                           << "select * from all_views";
    QTest::newRow("objects") << "mnuSqlAllObject"
                             << "select * from all_objects";
    QTest::newRow("date") << "mnuSqlSysDate"
                          << "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE "
                             "FROM DUAL";
    QTest::newRow("version") << "mnuSqlVer"
                             << "select * from v$version";
  }
  void fixedQueries() {
    QFETCH(QString, item);
    QFETCH(QString, sql);
    QVERIFY(dictsql::FixedQueryItems().contains(item));
    QCOMPARE(dictsql::FixedQuerySql(item), sql);
  }

  void fixedQueryItemsAreOnlyThese() {
    QCOMPARE(dictsql::FixedQueryItems().size(), 12);
    QVERIFY(dictsql::FixedQuerySql(QStringLiteral("mnuSqlAccess")).isEmpty());
  }

  void tableNamePrompt_data() {
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("table");
    QTest::newRow("typed") << false << " emp "
                           << " emp ";
    QTest::newRow("only blanks") << false << "   "
                                 << "";
    QTest::newRow("empty") << false << ""
                           << "";
    QTest::newRow("cancelled") << true << ""
                               << "";
  }
  void tableNamePrompt() {
    QFETCH(bool, cancel);
    QFETCH(QString, answer);
    QFETCH(QString, table);
    ScriptedDialogs dialogs;
    if (cancel)
      dialogs.cancelInputBox();
    else
      dialogs.answerInputBox(answer);
    QCOMPARE(mFn_AskTableName(), table);
    QCOMPARE(dialogs.inputBoxes().size(), 1);
    QCOMPARE(dialogs.inputBoxes()[0].prompt, QStringLiteral("テーブル名を入力して下さい"));
    QCOMPARE(dialogs.inputBoxes()[0].title, QStringLiteral("frmMain"));
    QCOMPARE(dialogs.inputBoxes()[0].defaultText, QString());
  }

  void logRangePrompts_data() {
    QTest::addColumn<int>("startAction");  // 0 keep the default, 1 clear it, 2 cancel
    QTest::addColumn<int>("endAction");
    QTest::addColumn<QString>("condition");
    const QString d = QStringLiteral("2024-03-05/17:08:09");
    QTest::newRow("defaults kept")
        << 0 << 0 << "where FIRST_LOAD_TIME >= '" + d + "' and FIRST_LOAD_TIME <= '" + d + "'";
    QTest::newRow("start cleared") << 1 << 0 << "where FIRST_LOAD_TIME <= '" + d + "'";
    QTest::newRow("end cancelled") << 0 << 2 << "where FIRST_LOAD_TIME >= '" + d + "'";
    QTest::newRow("both cancelled") << 2 << 2 << "";
  }
  void logRangePrompts() {
    QFETCH(int, startAction);
    QFETCH(int, endAction);
    QFETCH(QString, condition);
    platform::SetNow(QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9)));
    ScriptedDialogs dialogs;
    for (int action : {startAction, endAction}) {
      if (action == 0) dialogs.answerInputBox(QStringLiteral("2024-03-05/17:08:09"));
      if (action == 1) dialogs.answerInputBox(QString());
      if (action == 2) dialogs.cancelInputBox();
    }
    QCOMPARE(mFn_AskLogRange(), condition);
    QCOMPARE(dialogs.inputBoxes().size(), 2);
    QCOMPARE(dialogs.inputBoxes()[0].prompt, kStartPrompt);
    QCOMPARE(dialogs.inputBoxes()[1].prompt, kEndPrompt);
    for (const auto& call : dialogs.inputBoxes()) {
      QCOMPARE(call.title, QStringLiteral("frmMain"));
      QCOMPARE(call.defaultText, QStringLiteral("2024-03-05/17:08:09"));
    }
  }
};

QTEST_MAIN(tst_DictionarySql)
#include "tst_dictionarysql.moc"
