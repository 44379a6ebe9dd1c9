// The Oracle client driver against a real Oracle database, named by the environment as
// QUERNA_TEST_ORACLE=user/password@host:port/service (the user should hold the DBA role for the
// dictionary texts). Every test is skipped when the variable is not set.
#include <QElapsedTimer>
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
  void nullBind();
  void manyRowsInBatches();
  void longValue();
  void stopSlowQuery();
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
  // Offsets and text conversions depend on these, so the log of a run names them first.
  auto rs = db_->CreateDynaset(
      QStringLiteral("select parameter, value from nls_database_parameters where parameter in "
                     "('NLS_CHARACTERSET', 'NLS_NCHAR_CHARACTERSET') order by parameter"),
      0);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  for (; !rs->IsEOF(); rs->MoveNext())
    qInfo("%s = %s", qPrintable(rs->Fields().Item(0)->Value().toString()),
          qPrintable(rs->Fields().Item(1)->Value().toString()));
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
  QTest::newRow("NCHAR") << "cast(n'ｱｲ' as nchar(3))" << int(ORATYPE_CHAR)
                         << QVariant(QStringLiteral("ｱｲ "));
  QTest::newRow("NVARCHAR2") << "cast(n'日本語' as nvarchar2(10))" << int(ORATYPE_VARCHAR2)
                             << QVariant(QStringLiteral("日本語"));
  QTest::newRow("TIMESTAMP") << "cast(timestamp '2001-04-06 21:05:07.25' as timestamp(6))"
                             << int(ORATYPE_VARCHAR2)
                             << QVariant(QStringLiteral("2001/04/06 21:05:07.250000"));
  QTest::newRow("TIMESTAMP WITH TIME ZONE")
      << "cast(timestamp '2001-04-06 21:05:07.25 +09:00' as timestamp(6) with time zone)"
      << int(ORATYPE_VARCHAR2) << QVariant(QStringLiteral("2001/04/06 21:05:07.250000 +09:00"));
  QTest::newRow("INTERVAL DAY TO SECOND")
      << "interval '1 02:03:04.5' day to second" << int(ORATYPE_VARCHAR2)
      << QVariant(QStringLiteral("+01 02:03:04.500000"));
  QTest::newRow("INTERVAL YEAR TO MONTH") << "interval '3-2' year to month" << int(ORATYPE_VARCHAR2)
                                          << QVariant(QStringLiteral("+03-02"));
  QTest::newRow("BINARY_DOUBLE") << "to_binary_double(0.1)" << int(ORATYPE_NUMBER) << QVariant(0.1);
  QTest::newRow("BINARY_FLOAT") << "to_binary_float(1.1)" << int(ORATYPE_NUMBER) << QVariant(1.1);
  QTest::newRow("CLOB over 4000 bytes")
      << "to_clob(rpad('x', 4000, 'x')) || rpad('日', 1000, '日')" << int(ORATYPE_VARCHAR2)
      << QVariant(QString(4000, QLatin1Char('x')) + QString(1000, QChar(0x65E5)));
  QTest::newRow("NCLOB") << "to_nclob('全角ｶﾅ')" << int(ORATYPE_VARCHAR2)
                         << QVariant(QStringLiteral("全角ｶﾅ"));
  QTest::newRow("BLOB") << "to_blob(hextoraw('01AB'))" << int(ORATYPE_BLOB)
                        << QVariant(QByteArray("\x01\xab", 2));
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
  QTest::newRow("after a comment") << "-- note\nselect 1 from no_such_table_querna"
                                   << "no_such_table_querna";
  QTest::newRow("misspelt keyword") << "selec 1 from dual"
                                    << "selec";
}

void tst_OciServer::syntaxErrorOffset() {
  QFETCH(QString, sql);
  QFETCH(QString, at);
  QVERIFY(!db_->CreateDynaset(sql, 0));
  QCOMPARE(db_->LastServerErr(), at == QLatin1String("selec") ? 900 : 942);
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

void tst_OciServer::nullBind() {
  OraParameters& p = db_->Parameters();
  p.Add(QStringLiteral("E"), QVariant(), ORAPARM_INPUT);
  auto rs = db_->CreateDynaset(QStringLiteral("select nvl(:e, 'empty') as v from dual"), 0);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(QStringLiteral("empty")));
  p.Remove(QStringLiteral("E"));
}

void tst_OciServer::manyRowsInBatches() {
  auto rs = db_->CreateDynaset(
      QStringLiteral("select level as n, 'row ' || level as t from dual connect by level <= 2500"),
      ORADYN_READONLY | ORADYN_NOCACHE);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  qlonglong expected = 1;
  for (; !rs->IsEOF(); rs->MoveNext(), ++expected) {
    QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(expected));
    QCOMPARE(rs->Fields().Item(1)->Value(), QVariant(QStringLiteral("row %1").arg(expected)));
  }
  QCOMPARE(expected, qlonglong(2501));
  QCOMPARE(db_->LastServerErr(), 0);
}

void tst_OciServer::longValue() {
  // A dictionary view's text is a LONG of several kilobytes.
  auto rs = db_->CreateDynaset(QStringLiteral("select text, text_length from all_views where "
                                              "owner = 'SYS' and view_name = 'ALL_VIEWS'"),
                               0);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  QVERIFY(!rs->IsEOF());
  QCOMPARE(rs->Fields().Item(0)->OraIDataType(), int(ORATYPE_LONG));
  const QString text = rs->Fields().Item(0)->Value().toString();
  QCOMPARE(qlonglong(text.toUtf8().size()), rs->Fields().Item(1)->Value().toLongLong());
}

void tst_OciServer::stopSlowQuery() {
  QElapsedTimer sinceBreak;
  int waits = 0;
  db_->SetWaitHook([&] {
    // Half a second into the statement, the stop command arrives.
    if (++waits == 50) {
      sinceBreak.start();
      db_->Break();
    }
  });
  QVERIFY(!db_->CreateDynaset(
      QStringLiteral("select count(*) from all_objects a, all_objects b, all_objects c"), 0));
  db_->SetWaitHook({});
  QCOMPARE(db_->LastServerErr(), kOraUserCancel);
  qInfo("the statement ended %lld ms after the break", sinceBreak.elapsed());
  db_->LastServerErrReset();
  auto rs = db_->CreateDynaset(QStringLiteral("/* after the stop */ select 1 as v from dual"), 0);
  QVERIFY2(rs, qPrintable(db_->LastServerErrText()));
  QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(qlonglong(1)));
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
