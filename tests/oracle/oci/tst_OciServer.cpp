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
  QString user_, password_, host_;
  std::shared_ptr<OraSession> session_;
  std::shared_ptr<OraDatabase> db_;

  std::shared_ptr<OraDynaset> query(const QString& sql) {
    db_->LastServerErrReset();
    auto rs = db_->CreateDynaset(sql, ORADYN_READONLY | ORADYN_NOCACHE);
    if (!rs) qWarning("%s", qPrintable(db_->LastServerErrText()));
    return rs;
  }

 private slots:
  void initTestCase() {
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
    auto rs = query(
        "select parameter || ' = ' || value from nls_database_parameters where "
        "parameter in ('NLS_CHARACTERSET', 'NLS_NCHAR_CHARACTERSET')");
    QVERIFY(rs);
    for (; !rs->IsEOF(); rs->MoveNext())
      qInfo("%s", qPrintable(rs->Fields().Item(0)->Value().toString()));
  }

  void logonFailure() {
    auto s = oci::CreateOciSession();
    ErrClear();
    QVERIFY(!s->OpenDatabase(host_, user_ + QStringLiteral("/not-") + password_, 0));
    QCOMPARE(s->LastServerErr(), 1017);
    QVERIFY(Err().pending());
    ErrClear();
  }

  void commonTypes_data() {
    QTest::addColumn<QString>("expr");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    auto row = [](const char* name, const char* expr, int type, const QVariant& v) {
      QTest::newRow(name) << QString::fromUtf8(expr) << type << v;
    };
    row("VARCHAR2", "cast('日本語ｶﾀｶﾅ' as varchar2(30))", ORATYPE_VARCHAR2, "日本語ｶﾀｶﾅ");
    row("CHAR", "cast('ab' as char(5))", ORATYPE_CHAR, "ab   ");
    row("NUMBER", "cast(12345.67 as number(10,2))", ORATYPE_NUMBER, 12345.67);
    row("NUMBER integer", "42", ORATYPE_NUMBER, qlonglong(42));
    row("NUMBER beyond double", "12345678901234567890123", ORATYPE_NUMBER,
        "12345678901234567890123");
    row("DATE", "to_date('2001-04-06 21:05:07','YYYY-MM-DD HH24:MI:SS')", ORATYPE_DATE,
        QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)));
    row("RAW", "hextoraw('01AB')", ORATYPE_RAW, QByteArray("\x01\xab", 2));
    row("ROWID", "rowid", ORATYPE_ROWID, QVariant());
    row("Null", "cast(null as varchar2(10))", ORATYPE_VARCHAR2, QVariant());
    row("NCHAR", "cast(n'ｱｲ' as nchar(3))", ORATYPE_CHAR, "ｱｲ ");
    row("NVARCHAR2", "cast(n'日本語' as nvarchar2(10))", ORATYPE_VARCHAR2, "日本語");
    row("TIMESTAMP", "cast(timestamp '2001-04-06 21:05:07.25' as timestamp(6))", ORATYPE_VARCHAR2,
        "2001/04/06 21:05:07.250000");
    row("TIMESTAMP WITH TIME ZONE",
        "cast(timestamp '2001-04-06 21:05:07.25 +09:00' as timestamp(6) with time zone)",
        ORATYPE_VARCHAR2, "2001/04/06 21:05:07.250000 +09:00");
    row("INTERVAL DAY TO SECOND", "interval '1 02:03:04.5' day to second", ORATYPE_VARCHAR2,
        "+01 02:03:04.500000");
    row("INTERVAL YEAR TO MONTH", "interval '3-2' year to month", ORATYPE_VARCHAR2, "+03-02");
    row("BINARY_DOUBLE", "to_binary_double(0.1)", ORATYPE_NUMBER, 0.1);
    row("BINARY_FLOAT", "to_binary_float(1.1)", ORATYPE_NUMBER, 1.1);
    row("CLOB over 4000 bytes", "to_clob(rpad('x', 4000, 'x')) || rpad('日', 1000, '日')",
        ORATYPE_VARCHAR2, QString(4000, QLatin1Char('x')) + QString(1000, QChar(0x65E5)));
    row("NCLOB", "to_nclob('全角ｶﾅ')", ORATYPE_VARCHAR2, "全角ｶﾅ");
    row("BLOB", "to_blob(hextoraw('01AB'))", ORATYPE_BLOB, QByteArray("\x01\xab", 2));
  }
  void commonTypes() {
    QFETCH(QString, expr);
    QFETCH(int, type);
    QFETCH(QVariant, value);
    auto rs = query(QStringLiteral("select ") + expr + QStringLiteral(" as v from dual"));
    QVERIFY(rs && !rs->IsEOF());
    OraField* f = rs->Fields().Item(0);
    QCOMPARE(f->Name(), QStringLiteral("V"));
    QCOMPARE(f->OraIDataType(), type);
    if (type == ORATYPE_ROWID)
      QCOMPARE(f->Value().toString().size(), 18);
    else if (IsNull(value))
      QVERIFY(IsNull(f->Value()));
    else
      QCOMPARE(f->Value(), value);
    rs->MoveNext();
    QVERIFY(rs->IsEOF());
  }

  void errorOffset_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("at");
    QTest::addColumn<int>("error");
    const QString missing = QStringLiteral("no_such_table_querna");
    QTest::newRow("ascii") << "select * from " + missing << missing << 942;
    QTest::newRow("japanese before the error")
        << "select '日本語' as ｾｯｼｮﾝ from " + missing << missing << 942;
    QTest::newRow("after a comment") << "-- note\nselect 1 from " + missing << missing << 942;
    QTest::newRow("misspelt keyword") << "selec 1 from dual"
                                      << "selec" << 900;
    // The gate refuses a statement that is not a query without running it.
    QTest::newRow("not a query") << "create table querna_gate_probe (x number)" << QString() << 0;
  }
  void errorOffset() {
    QFETCH(QString, sql);
    QFETCH(QString, at);
    QFETCH(int, error);
    ErrClear();
    QVERIFY(!query(sql));
    QCOMPARE(db_->LastServerErr(), error);
    if (error) QCOMPARE(db_->LastServerErrPos(), int(sql.indexOf(at)));
    QVERIFY(!Err().pending());
    auto rs = query("select count(*) from user_tables where table_name = 'QUERNA_GATE_PROBE'");
    QVERIFY(rs);
    QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(qlonglong(0)));
  }

  void binds() {
    OraParameters& p = db_->Parameters();
    p.Add(QStringLiteral("S"), QStringLiteral("日本"), ORAPARM_INPUT);
    p.Add(QStringLiteral("N"), QStringLiteral("10.5"), ORAPARM_INPUT);
    p.Item(QStringLiteral("N"))->SetServerType(ORATYPE_NUMBER);
    p.Add(QStringLiteral("D"), QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)), ORAPARM_INPUT);
    p.Item(QStringLiteral("D"))->SetServerType(ORATYPE_DATE);
    p.Add(QStringLiteral("E"), QVariant(), ORAPARM_INPUT);
    p.Add(QStringLiteral("UNUSED"), QStringLiteral("x"), ORAPARM_INPUT);
    auto rs = query(
        "select :s, to_number(:n) * 2, to_char(:d + 1, 'YYYY/MM/DD HH24:MI:SS'), "
        "nvl(:e, 'empty') from dual");
    QVERIFY(rs);
    QStringList got;
    for (int i = 0; i < 4; ++i) got << rs->Fields().Item(i)->Value().toString();
    QCOMPARE(got, QStringList({"日本", "21", "2001/04/07 21:05:07", "empty"}));
    for (const char* n : {"S", "N", "D", "E", "UNUSED"}) p.Remove(QLatin1String(n));
  }

  void manyRowsInBatches() {
    auto rs = query("select level, 'row ' || level from dual connect by level <= 2500");
    QVERIFY(rs);
    qlonglong expected = 1;
    for (; !rs->IsEOF(); rs->MoveNext(), ++expected)
      QCOMPARE(rs->Fields().Item(1)->Value(), QVariant(QStringLiteral("row %1").arg(expected)));
    QCOMPARE(expected, qlonglong(2501));
    QCOMPARE(db_->LastServerErr(), 0);
  }

  void longValue() {
    // A dictionary view's text is a LONG of several kilobytes.
    auto rs = query(
        "select text, text_length from all_views where owner = 'SYS' and "
        "view_name = 'ALL_VIEWS'");
    QVERIFY(rs && !rs->IsEOF());
    QCOMPARE(rs->Fields().Item(0)->OraIDataType(), int(ORATYPE_LONG));
    QCOMPARE(qlonglong(rs->Fields().Item(0)->Value().toString().toUtf8().size()),
             rs->Fields().Item(1)->Value().toLongLong());
  }

  void stopSlowQuery() {
    QElapsedTimer sinceBreak;
    int waits = 0;
    db_->SetWaitHook([&] {
      // Half a second into the statement, the stop command arrives.
      if (++waits == 50) {
        sinceBreak.start();
        db_->Break();
      }
    });
    QVERIFY(!query("select count(*) from all_objects a, all_objects b, all_objects c"));
    db_->SetWaitHook({});
    QCOMPARE(db_->LastServerErr(), kOraUserCancel);
    qInfo("the statement ended %lld ms after the break", sinceBreak.elapsed());
    QVERIFY(query("/* after the stop */ select 1 from dual"));
  }

  void dictionaryTexts_data() {
    QTest::addColumn<QString>("sql");
    const QString sessions = QStringLiteral(
        "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as 処理状況,MACHINE as "
        "ﾏｼﾝ名,TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as Oracle接続ｿﾌﾄ,LOGON_TIME as "
        "ﾛｸﾞｵﾝ時間");
    QTest::newRow("connected users")
        << sessions + QStringLiteral(" FROM V$SESSION WHERE USERNAME IS NOT NULL");
    QTest::newRow("connected users with their statement")
        << sessions + QStringLiteral(
                          ",        V$SQL.SQL_TEXT as 最後に使用したSQL FROM "
                          "V$SESSION, V$SQL   WHERE USERNAME IS NOT NULL AND "
                          "V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)");
    for (const char* fixed :
         {"select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE from "
          "user_tab_columns where upper(TABLE_NAME) = 'DUAL' order by COLUMN_ID",
          "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where upper(TABLE_NAME) = 'DUAL' "
          "order by INDEX_NAME,COLUMN_POSITION",
          "select * from session_privs", "select * from session_roles", "select * from user_tables",
          "select * from all_users", "SELECT * FROM DBA_SYS_PRIVS", "SELECT * FROM DBA_ROLE_PRIVS",
          "select * from all_tables", "select * from user_tab_columns", "select * from all_views",
          "select * from all_objects",
          "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL",
          "select * from v$version", "select * from V$SQL  order by FIRST_LOAD_TIME desc",
          "select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS as Used_Memory, "
          "FIRST_LOAD_TIME as TIME from V$SQL where FIRST_LOAD_TIME >= '1999-08-22/17:55:04' "
          "order by FIRST_LOAD_TIME desc"})
      QTest::newRow(fixed) << QString::fromUtf8(fixed);
  }
  void dictionaryTexts() {
    QFETCH(QString, sql);
    auto rs = query(sql);
    QVERIFY(rs);
    for (int rows = 0; !rs->IsEOF() && rows < 200; ++rows, rs->MoveNext())
      for (int i = 0; i < rs->Fields().Count(); ++i) rs->Fields().Item(i)->Value();
    QCOMPARE(db_->LastServerErr(), 0);
  }
};

QTEST_GUILESS_MAIN(tst_OciServer)
#include "tst_OciServer.moc"
