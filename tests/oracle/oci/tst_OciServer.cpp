// The Oracle client driver against a real Oracle database, named by the environment as
// QUERNA_TEST_ORACLE=user/password@host:port/service (the user should hold the DBA role for the
// dictionary texts). Every test is skipped when the variable is not set.
#include <QtTest>

#include "core/RunErr.h"
#include "oracle/oci/OciDriver.h"

using namespace ora;

class tst_OciServer : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void logonFailure();
  void commonTypes_data();
  void commonTypes();
  void syntaxErrorOffset_data();
  void syntaxErrorOffset();
  void statementGate();
  void binds();
  void dictionaryTexts_data();
  void dictionaryTexts();

 private:
  QString user_, password_, host_;
  std::shared_ptr<OraSession> session_;
  std::shared_ptr<OraDatabase> db_;
};

void tst_OciServer::initTestCase() {
  const QString target = qEnvironmentVariable("QUERNA_TEST_ORACLE");
  if (target.isEmpty())
    QSKIP(
        "QUERNA_TEST_ORACLE is not set (user/password@host:port/service): no Oracle database "
        "to run the driver against");
  const qsizetype at = target.lastIndexOf(QLatin1Char('@'));
  const qsizetype slash = target.indexOf(QLatin1Char('/'));
  QVERIFY2(at > 0 && slash > 0 && slash < at, "QUERNA_TEST_ORACLE must read user/password@host");
  user_ = target.left(slash);
  password_ = target.mid(slash + 1, at - slash - 1);
  host_ = target.mid(at + 1);
  session_ = oci::CreateOciSession();
  QVERIFY2(session_, "the Oracle client library could not be loaded");
  db_ = session_->OpenDatabase(host_, user_ + QLatin1Char('/') + password_, 0);
  QVERIFY2(db_, qPrintable(session_->LastServerErrText()));
}

void tst_OciServer::logonFailure() {
  auto s = oci::CreateOciSession();
  QVERIFY(s);
  ErrClear();
  QVERIFY(!s->OpenDatabase(host_, user_ + QStringLiteral("/not-") + password_, 0));
  QCOMPARE(s->LastServerErr(), 1017);
  QVERIFY(s->LastServerErrText().startsWith(QStringLiteral("ORA-01017")));
  QVERIFY(Err().pending());
  ErrClear();
}

void tst_OciServer::commonTypes_data() {
  QTest::addColumn<QString>("expr");
  QTest::addColumn<int>("type");
  QTest::addColumn<QVariant>("value");
  QTest::newRow("VARCHAR2") << "cast('日本語ｶﾀｶﾅ' as varchar2(30))" << int(ORATYPE_VARCHAR2)
                            << QVariant(QStringLiteral("日本語ｶﾀｶﾅ"));
  QTest::newRow("CHAR") << "cast('ab' as char(5))" << int(ORATYPE_CHAR)
                        << QVariant(QStringLiteral("ab   "));
  QTest::newRow("NUMBER") << "cast(12345.67 as number(10,2))" << int(ORATYPE_NUMBER)
                          << QVariant(12345.67);
  QTest::newRow("NUMBER integer") << "42" << int(ORATYPE_NUMBER) << QVariant(qlonglong(42));
  QTest::newRow("NUMBER beyond double") << "12345678901234567890123" << int(ORATYPE_NUMBER)
                                        << QVariant(QStringLiteral("12345678901234567890123"));
  QTest::newRow("DATE") << "to_date('2001-04-06 21:05:07','YYYY-MM-DD HH24:MI:SS')"
                        << int(ORATYPE_DATE)
                        << QVariant(QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)));
  QTest::newRow("RAW") << "hextoraw('01AB')" << int(ORATYPE_RAW)
                       << QVariant(QByteArray("\x01\xab", 2));
  QTest::newRow("ROWID") << "rowid" << int(ORATYPE_ROWID) << QVariant();
  QTest::newRow("Null") << "cast(null as varchar2(10))" << int(ORATYPE_VARCHAR2) << QVariant();
}

void tst_OciServer::commonTypes() {
  QFETCH(QString, expr);
  QFETCH(int, type);
  QFETCH(QVariant, value);
  auto rs = db_->CreateDynaset(QStringLiteral("select ") + expr + QStringLiteral(" as v from dual"),
                               ORADYN_READONLY | ORADYN_NOCACHE);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  QVERIFY(!rs->IsEOF());
  OraField* f = rs->Fields().Item(0);
  QCOMPARE(f->Name(), QStringLiteral("V"));
  QCOMPARE(f->OraIDataType(), type);
  if (type == ORATYPE_ROWID) {
    QCOMPARE(f->Value().toString().size(), 18);
  } else if (IsNull(value)) {
    QVERIFY(IsNull(f->Value()));
  } else {
    QCOMPARE(f->Value(), value);
  }
  rs->MoveNext();
  QVERIFY(rs->IsEOF());
}

void tst_OciServer::syntaxErrorOffset_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<QString>("at");
  QTest::newRow("ascii") << "select * from no_such_table_querna"
                         << "no_such_table_querna";
  QTest::newRow("japanese before the error") << "select '日本語' as ｾｯｼｮﾝ from no_such_table_querna"
                                             << "no_such_table_querna";
}

void tst_OciServer::syntaxErrorOffset() {
  QFETCH(QString, sql);
  QFETCH(QString, at);
  QVERIFY(!db_->CreateDynaset(sql, 0));
  QCOMPARE(db_->LastServerErr(), 942);
  QCOMPARE(db_->LastServerErrPos(), int(sql.indexOf(at)));
  db_->LastServerErrReset();
}

void tst_OciServer::statementGate() {
  ErrClear();
  QVERIFY(!db_->CreateDynaset(QStringLiteral("create table querna_gate_probe (x number)"), 0));
  QCOMPARE(db_->LastServerErr(), 0);
  QVERIFY(!Err().pending());
  // Had the statement run, the table would exist now.
  auto rs = db_->CreateDynaset(
      QStringLiteral("select count(*) from user_tables where table_name = 'QUERNA_GATE_PROBE'"), 0);
  QVERIFY(rs);
  QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(qlonglong(0)));
  QVERIFY(
      db_->CreateDynaset(QStringLiteral("with a as (select 1 x from dual) select x from a"), 0));
}

void tst_OciServer::binds() {
  OraParameters& p = db_->Parameters();
  p.Add(QStringLiteral("S"), QStringLiteral("日本"), ORAPARM_INPUT);
  p.Add(QStringLiteral("N"), QStringLiteral("10.5"), ORAPARM_INPUT);
  p.Item(QStringLiteral("N"))->SetServerType(ORATYPE_NUMBER);
  p.Add(QStringLiteral("D"), QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)), ORAPARM_INPUT);
  p.Item(QStringLiteral("D"))->SetServerType(ORATYPE_DATE);
  p.Add(QStringLiteral("UNUSED"), QStringLiteral("x"), ORAPARM_INPUT);
  auto rs = db_->CreateDynaset(
      QStringLiteral("select :s as s, to_number(:n) * 2 as n, :d + 1 as d from dual"), 0);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(QStringLiteral("日本")));
  QCOMPARE(rs->Fields().Item(1)->Value(), QVariant(qlonglong(21)));
  QCOMPARE(
      rs->Fields().Item(2)->Value().toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
      QStringLiteral("2001/04/07 21:05:07"));
  for (const char* n : {"S", "N", "D", "UNUSED"}) p.Remove(QLatin1String(n));
}

void tst_OciServer::dictionaryTexts_data() {
  QTest::addColumn<QString>("sql");
  const QString sessions = QStringLiteral(
      "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as 処理状況,MACHINE as ﾏｼﾝ名,"
      "TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as Oracle接続ｿﾌﾄ,LOGON_TIME as ﾛｸﾞｵﾝ時間");
  QTest::newRow("connected users")
      << sessions + QStringLiteral(" FROM V$SESSION WHERE USERNAME IS NOT NULL");
  QTest::newRow("connected users with their statement")
      << sessions + QStringLiteral(
                        ",        V$SQL.SQL_TEXT as 最後に使用したSQL FROM V$SESSION, "
                        "V$SQL   WHERE USERNAME IS NOT NULL AND "
                        "V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)");
  QTest::newRow("table fields")
      << "select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE from "
         "user_tab_columns where upper(TABLE_NAME) = 'DUAL' order by COLUMN_ID";
  QTest::newRow("table indexes")
      << "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where "
         "upper(TABLE_NAME) = 'DUAL' order by INDEX_NAME,COLUMN_POSITION";
  for (const char* fixed :
       {"select * from session_privs", "select * from session_roles", "select * from user_tables",
        "select * from all_users", "SELECT * FROM DBA_SYS_PRIVS", "SELECT * FROM DBA_ROLE_PRIVS",
        "select * from all_tables", "select * from user_tab_columns", "select * from all_views",
        "select * from all_objects",
        "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL",
        "select * from v$version"})
    QTest::newRow(fixed) << QString::fromUtf8(fixed);
  QTest::newRow("SQL log") << "select * from V$SQL  order by FIRST_LOAD_TIME desc";
  QTest::newRow("SQL log with load figures")
      << "select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS as Used_Memory, "
         "FIRST_LOAD_TIME as TIME from V$SQL where FIRST_LOAD_TIME >= '1999-08-22/17:55:04' "
         "order by FIRST_LOAD_TIME desc";
}

void tst_OciServer::dictionaryTexts() {
  QFETCH(QString, sql);
  db_->LastServerErrReset();
  auto rs = db_->CreateDynaset(sql, ORADYN_READONLY | ORADYN_NOCACHE);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  int rows = 0;
  while (!rs->IsEOF() && rows < 200) {
    for (int i = 0; i < rs->Fields().Count(); ++i) rs->Fields().Item(i)->Value();
    rs->MoveNext();
    ++rows;
  }
  QCOMPARE(db_->LastServerErr(), 0);
  rs->Close();
}

QTEST_GUILESS_MAIN(tst_OciServer)
#include "tst_OciServer.moc"
