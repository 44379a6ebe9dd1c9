// The data dictionary of the local engine: every query of the dictionary menu runs as SYSTEM on
// DEMO and returns rows; the DBA_ and V$ views are refused to SCOTT.
#include <QTest>

#include "common/TestEnv.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

namespace {

// The texts the dictionary menu builds, with a table name and a date range filled in.
QString Q1() {
  return QString::fromUtf8(
      "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as 処理状況,MACHINE as "
      "ﾏｼﾝ名,TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as Oracle接続ｿﾌﾄ,LOGON_TIME as "
      "ﾛｸﾞｵﾝ時間 FROM V$SESSION WHERE USERNAME IS NOT NULL");
}
QString Q2() {
  return QString::fromUtf8(
             "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as "
             "処理状況,MACHINE as ﾏｼﾝ名,TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as "
             "Oracle接続ｿﾌﾄ,LOGON_TIME as ﾛｸﾞｵﾝ時間,") +
         QString::fromUtf8("        V$SQL.SQL_TEXT as 最後に使用したSQL") +
         " FROM V$SESSION, V$SQL " +
         " WHERE USERNAME IS NOT NULL AND V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)";
}
QString Q3(const QString& t) {
  return "select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE from "
         "user_tab_columns where upper(TABLE_NAME) = '" +
         t + "' order by COLUMN_ID";
}
QString Q4(const QString& t) {
  return "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where upper(TABLE_NAME) = '" + t +
         "' order by INDEX_NAME,COLUMN_POSITION";
}
QString Range() {
  const QDateTime now = QDateTime::currentDateTime();
  return "where FIRST_LOAD_TIME >= '" + now.addSecs(-3600).toString("yyyy-MM-dd/HH:mm:ss") +
         "' and FIRST_LOAD_TIME <= '" + now.addSecs(3600).toString("yyyy-MM-dd/HH:mm:ss") + "'";
}
QString Q5(const QString& w) {
  return "select * from V$SQL " + w + " order by FIRST_LOAD_TIME desc";
}
QString Q6(const QString& w) {
  return "select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS as Used_Memory, "
         "FIRST_LOAD_TIME as TIME from V$SQL " +
         w + " order by FIRST_LOAD_TIME desc";
}

}  // namespace

class TestLocalDictionary : public QObject {
  Q_OBJECT
 private:
  TestEnv* env_ = nullptr;
  Logon system_;
  Logon scott_;

 private slots:
  void initTestCase() {
    env_ = new TestEnv;
    system_ = LogOn("DEMO", "SYSTEM/MANAGER");
    scott_ = LogOn("DEMO", "SCOTT/TIGER");
    QVERIFY(system_.db);
    QVERIFY(scott_.db);
    // A statement of SCOTT's, so that the SQL area holds more than the menu's own queries.
    QVERIFY(scott_.db->CreateDynaset("select * from emp", 0));
  }
  void cleanupTestCase() {
    system_ = {};
    scott_ = {};
    delete env_;
  }

  void menuQueries_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("dbaOnly");
    QTest::newRow("Q1 connected users") << Q1() << true;
    QTest::newRow("Q2 connected users with their SQL") << Q2() << true;
    QTest::newRow("Q3 table fields") << Q3("HELP") << false;
    QTest::newRow("Q4 table indexes") << Q4("HELP") << false;
    QTest::newRow("user grants") << "select * from session_privs" << false;
    QTest::newRow("user roles") << "select * from session_roles" << false;
    QTest::newRow("user tables") << "select * from user_tables" << false;
    QTest::newRow("all users") << "select * from all_users" << false;
    QTest::newRow("DBA grants") << "SELECT * FROM DBA_SYS_PRIVS" << true;
    QTest::newRow("DBA roles") << "SELECT * FROM DBA_ROLE_PRIVS" << true;
    QTest::newRow("all tables") << "select * from all_tables" << false;
    QTest::newRow("all fields") << "select * from user_tab_columns" << false;
    QTest::newRow("all views") << "select * from all_views" << false;
    QTest::newRow("Q5 SQL log, range") << Q5(Range()) << true;
    QTest::newRow("Q5 SQL log, no range") << Q5("") << true;
    QTest::newRow("Q6 SQL log with load figures") << Q6(Range()) << true;
    QTest::newRow("all objects") << "select * from all_objects" << false;
    QTest::newRow("server date")
        << "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL" << false;
    QTest::newRow("version") << "select * from v$version" << true;
  }
  void menuQueries() {
    QFETCH(QString, sql);
    QFETCH(bool, dbaOnly);
    system_.db->LastServerErrReset();
    auto dyn = system_.db->CreateDynaset(sql, 12);
    QVERIFY2(dyn, qPrintable(system_.db->LastServerErrText()));
    QVERIFY(!dyn->IsEOF());
    QVERIFY(!ReadAll(dyn).isEmpty());
    QCOMPARE(system_.db->LastServerErr(), 0);

    scott_.db->LastServerErrReset();
    auto mine = scott_.db->CreateDynaset(sql, 12);
    if (dbaOnly) {
      QVERIFY(!mine);
      QCOMPARE(scott_.db->LastServerErr(), 942);
      QCOMPARE(scott_.db->LastServerErrText(), QString("ORA-00942: table or view does not exist"));
      QVERIFY(scott_.db->LastServerErrPos() > 0);
    } else {
      QVERIFY2(mine, qPrintable(scott_.db->LastServerErrText()));
    }
  }

  void connectedUsersShowBothSessionsAndTheirSql() {
    QVERIFY(scott_.db->CreateDynaset("select * from emp", 0));
    auto dyn = system_.db->CreateDynaset(Q2(), 0);
    QVERIFY(dyn);
    const QStringList names = FieldNames(dyn);
    QCOMPARE(names.first(), QString::fromUtf8("ｾｯｼｮﾝ"));
    QCOMPARE(names.last(), QString::fromUtf8("最後に使用したSQL"));
    QCOMPARE(dyn->Fields().Item(7)->OraIDataType(), int(ORATYPE_DATE));
    QMap<QString, QString> lastSql;
    for (const QVariantList& r : ReadAll(dyn)) lastSql[r[1].toString()] = r[8].toString();
    QCOMPARE(lastSql.value("SCOTT"), QString("select * from emp"));
    QCOMPARE(lastSql.value("SYSTEM"), Q2());
  }

  void sqlLogHasLoadTimesAsText() {
    auto dyn = system_.db->CreateDynaset(Q6(""), 0);
    QVERIFY(dyn);
    QCOMPARE(FieldNames(dyn), QStringList({"SQL_LOG", "DISK_READ_COUNT", "USED_MEMORY", "TIME"}));
    QCOMPARE(dyn->Fields().Item(3)->OraIDataType(), int(ORATYPE_VARCHAR2));
    const QString t = dyn->Fields().Item(3)->Value().toString();
    QVERIFY2(QDateTime::fromString(t, "yyyy-MM-dd/HH:mm:ss").isValid(), qPrintable(t));
  }

  // Rows of a view as "a.b" per row, joined by ",".
  void viewContents_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* user, const QString& sql, const char* expected) {
      QTest::newRow(name) << user << sql << QString::fromUtf8(expected);
    };
    row("fields of EMP", "SCOTT",
        "select COLUMN_NAME || ':' || DATA_TYPE || ':' || DATA_LENGTH || ':' || DATA_PRECISION || "
        "':' || DATA_SCALE || ':' || NULLABLE from (" +
            Q3("EMP") +
            ") where COLUMN_NAME in "
            "('EMPNO', 'ENAME', 'HIREDATE', 'SAL')",
        "EMPNO:NUMBER:22:4:0:N,ENAME:VARCHAR2:10:::Y,HIREDATE:DATE:7:::Y,SAL:NUMBER:22:7:2:Y");
    // With the blanks a user typed around the name nothing matches, as on a server.
    row("fields of a name with blanks", "SCOTT", Q3(" EMP "), "");
    row("indexes of EMP", "SCOTT", Q4("EMP"),
        "EMP_DEPTNO_IX.DEPTNO,EMP_ENAME_IX.ENAME,PK_EMP.EMPNO");
    row("scott roles", "SCOTT", "select role from session_roles order by 1", "CONNECT,RESOURCE");
    row("system has DBA", "SYSTEM", "select count(*) from session_roles where role = 'DBA'", "1");
    row("scott may create sessions", "SCOTT",
        "select count(*) from session_privs where privilege = 'CREATE SESSION'", "1");
    row("grants of SYSTEM", "SYSTEM",
        "select granted_role from dba_role_privs where grantee = 'SYSTEM'", "DBA");
    row("users", "SYSTEM", "select username from all_users order by user_id", "SYS,SYSTEM,SCOTT");
    row("scott's tables", "SCOTT", "select table_name from user_tables order by 1",
        "BONUS,DEPT,EMP,SALGRADE");
    row("scott's index columns", "SCOTT",
        "select column_name from user_ind_columns where index_name = 'PK_EMP'", "EMPNO");
    row("views", "SCOTT", "select view_name from user_views", "EMP_DEPT");
    row("version names the engine and SQLite", "SYSTEM",
        "select count(*) from v$version where banner like '%Querna%' and banner like '%" +
            QString::fromLatin1(sqlite3_libversion()) + "%'",
        "1");
  }
  void viewContents() {
    QFETCH(QString, user);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    Logon& l = user == "SCOTT" ? scott_ : system_;
    auto dyn = l.db->CreateDynaset(sql, 0);
    QVERIFY2(dyn, qPrintable(l.db->LastServerErrText()));
    QStringList got;
    for (const QVariantList& r : ReadAll(dyn)) {
      QStringList cells;
      for (const QVariant& v : r) cells << (IsNull(v) ? QString() : Show(v));
      got << cells.join(".");
    }
    QCOMPARE(got.join(","), expected);
  }

  void plainFileTablesBelongToTheUser() {
    const QString path = env_->folder() + "/plain.db";
    QVERIFY(MakeSqliteFile(path,
                           "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                           "price REAL, added DATETIME);"
                           "CREATE INDEX items_name ON items(name);"));
    Logon l = LogOn(path, "anna/x");
    QVERIFY(l.db);
    QCOMPARE(First(*l.db, "select owner from all_tables where table_name = 'ITEMS'"),
             QString("ANNA"));
    QCOMPARE(First(*l.db, "select count(*) from user_tab_columns where table_name = 'ITEMS'"),
             QString("4"));
    QCOMPARE(First(*l.db, "select data_type from user_tab_columns where column_name = 'ADDED'"),
             QString("DATE"));
    QCOMPARE(First(*l.db, Q4("ITEMS")), QString("ITEMS_NAME"));
  }
};

QTEST_GUILESS_MAIN(TestLocalDictionary)
#include "tst_localdictionary.moc"
