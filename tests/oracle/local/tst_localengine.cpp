// The local engine through the component interface: logon outcomes, result columns and values.
#include <QTest>

#include "common/TestEnv.h"
#include "core/RunErr.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

class TestLocalEngine : public QObject {
  Q_OBJECT
 private slots:
  void logonOutcomes_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const QString ok;
    const QString denied = "ORA-01017: invalid username/password; logon denied";
    const QString tns = "ORA-12154: TNS:could not resolve the connect identifier specified";
    QTest::newRow("scott") << "DEMO"
                           << "SCOTT/TIGER" << 0 << ok;
    QTest::newRow("system") << "DEMO"
                            << "SYSTEM/MANAGER" << 0 << ok;
    QTest::newRow("lower case user and host") << "demo"
                                              << "scott/tiger" << 0 << ok;
    QTest::newRow("wrong password") << "DEMO"
                                    << "SCOTT/LION" << 1017 << denied;
    QTest::newRow("blank user") << "DEMO"
                                << " /TIGER" << 1017 << denied;
    QTest::newRow("no password") << "DEMO"
                                 << "SCOTT/" << 1005
                                 << "ORA-01005: null password given; logon denied";
    QTest::newRow("unknown user") << "DEMO"
                                  << "NOBODY/TIGER" << 1017 << denied;
    QTest::newRow("missing file") << "/nonexistent/x.db"
                                  << "a/b" << 12154 << tns;
    QTest::newRow("not a database") << "NOTDB"
                                    << "a/b" << 12154 << tns;
    QTest::newRow("plain file any user") << "PLAIN"
                                         << "whoever/whatever" << 0 << ok;
    QTest::newRow("file with accounts") << "ACCOUNTS"
                                        << "ANN/SECRET" << 0 << ok;
    QTest::newRow("file with accounts, wrong") << "ACCOUNTS"
                                               << "BOB/SECRET" << 1017 << denied;
  }
  void logonOutcomes() {
    TestEnv env;
    QFETCH(QString, host);
    QFETCH(QString, connect);
    QFETCH(int, error);
    QFETCH(QString, text);
    if (host == "NOTDB") {
      host = env.folder() + "/junk.db";
      QFile f(host);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(4096, 'x'));
    } else if (host == "PLAIN") {
      host = env.folder() + "/plain.db";
      QVERIFY(MakeSqliteFile(host, "CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (1);"));
    } else if (host == "ACCOUNTS") {
      host = env.folder() + "/acc.sqlite";
      QVERIFY(MakeSqliteFile(host,
                             "CREATE TABLE QUERNA_ACCOUNTS (USERNAME, PASSWORD, IS_DBA);"
                             "INSERT INTO QUERNA_ACCOUNTS VALUES ('ANN', 'SECRET', 0);"));
    }
    ErrClear();
    Logon l = LogOn(host, connect);
    QVERIFY(l.session);
    QCOMPARE(l.session->LastServerErr(), error);
    QCOMPARE(l.session->LastServerErrText(), text);
    QCOMPARE(bool(l.db), error == 0);
  }

  void demoIsCreatedInTheDataFolder() {
    TestEnv env;
    const QString path = env.folder() + "/data/DEMO.db";
    QVERIFY(!QFile::exists(path));
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    QVERIFY(l.db);
    QVERIFY(QFile::exists(path));
  }

  void columnTypesAndSizes_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<int>("maxDSize");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("scale");
    QTest::addColumn<int>("valueType");
    const int text = QMetaType::QString, num = QMetaType::LongLong, dbl = QMetaType::Double,
              date = QMetaType::QDateTime, bin = QMetaType::QByteArray, none = 0;
    auto row = [](const char* name, const char* sql, int type, int size, int dsize, int p, int s,
                  int vt) {
      QTest::newRow(name) << QString(sql) << type << size << dsize << p << s << vt;
    };
    row("VARCHAR2(10)", "select ename from emp", ORATYPE_VARCHAR2, 10, 10, 0, 0, text);
    row("NUMBER(4)", "select empno from emp", ORATYPE_NUMBER, 22, 5, 4, 0, num);
    row("NUMBER(7,2)", "select sal from emp", ORATYPE_NUMBER, 22, 9, 7, 2, num);
    row("DATE", "select hiredate from emp", ORATYPE_DATE, 7, 19, 0, 0, date);
    row("ROWID", "select rowid from emp", ORATYPE_ROWID, 18, 18, 0, 0, text);
    row("SYSDATE", "select sysdate from dual", ORATYPE_DATE, 7, 19, 0, 0, date);
    row("number literal", "select 1 from dual", ORATYPE_NUMBER, 22, 22, 0, 0, num);
    row("text literal", "select 'x' from dual", ORATYPE_VARCHAR2, 4000, 4000, 0, 0, text);
    row("CHAR(5)", "select c from t", ORATYPE_CHAR, 5, 5, 0, 0, text);
    row("TEXT", "select tx from t", ORATYPE_VARCHAR2, 4000, 4000, 0, 0, text);
    row("VARCHAR(20)", "select vc from t", ORATYPE_VARCHAR2, 20, 20, 0, 0, text);
    row("INTEGER", "select i from t", ORATYPE_NUMBER, 22, 39, 38, 0, num);
    row("REAL", "select r from t", ORATYPE_NUMBER, 22, 22, 126, 0, dbl);
    row("LONG", "select l from t", ORATYPE_LONG, 2147483647, 32760, 0, 0, text);
    row("RAW(16)", "select rw from t", ORATYPE_RAW, 16, 16, 0, 0, bin);
    row("BLOB", "select b from t", ORATYPE_LONGRAW, 2147483647, 32760, 0, 0, bin);
    row("TIMESTAMP", "select ts from t", ORATYPE_TIMESTAMP, 11, 29, 0, 6, text);
    row("DATETIME", "select dt from t", ORATYPE_DATE, 7, 19, 0, 0, date);
    row("NULL value", "select n from t", ORATYPE_VARCHAR2, 30, 30, 0, 0, none);
  }
  void columnTypesAndSizes() {
    QFETCH(QString, sql);
    QFETCH(int, type);
    QFETCH(int, maxSize);
    QFETCH(int, maxDSize);
    QFETCH(int, precision);
    QFETCH(int, scale);
    QFETCH(int, valueType);
    TestEnv env;
    const QString path = env.folder() + "/types.db";
    QVERIFY(MakeSqliteFile(path,
                           "CREATE TABLE t (c CHAR(5), tx TEXT, vc VARCHAR(20), i INTEGER, r REAL, "
                           "l LONG, rw RAW(16), b BLOB, ts TIMESTAMP, dt DATETIME, "
                           "n VARCHAR2(30));"
                           "INSERT INTO t VALUES ('ab', 'text', 'vc', 42, 1.5, 'long text', "
                           "x'00ff', x'0102', '2001-04-06 21:05:07.5', '2001-04-06 21:05:07', "
                           "NULL);"));
    Logon l = sql.contains(" from t") ? LogOn(path, "u/p") : LogOn("DEMO", "SCOTT/TIGER");
    QVERIFY(l.db);
    auto dyn = l.db->CreateDynaset(sql, 0);
    QVERIFY2(dyn, qPrintable(l.db->LastServerErrText()));
    QVERIFY(!dyn->IsEOF());
    OraField* f = dyn->Fields().Item(0);
    QCOMPARE(f->OraIDataType(), type);
    QCOMPARE(f->OraMaxSize(), maxSize);
    QCOMPARE(f->OraMaxDSize(), maxDSize);
    QCOMPARE(f->OraPrecision(), precision);
    QCOMPARE(f->OraScale(), scale);
    const QVariant v = f->Value();
    QCOMPARE(v.isValid() ? v.typeId() : 0, valueType);
    if (type == ORATYPE_ROWID) QCOMPARE(v.toString().size(), 18);
    if (sql.contains("dt from t"))
      QCOMPARE(v.toDateTime(), QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)));
  }

  void columnNames() {
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    auto dyn = l.db->CreateDynaset(
        QString::fromUtf8(
            "select ename, e.job, sal*2, sal as \"Pay\", comm c, 'ｱ' ｶﾅ, count(*) over () n2, "
            "nvl(comm, 0) from emp e"),
        0);
    QVERIFY(dyn);
    QCOMPARE(FieldNames(dyn), QStringList({"ENAME", "JOB", "SAL*2", "Pay", "C",
                                           QString::fromUtf8("ｶﾅ"), "N2", "NVL(COMM,0)"}));
    auto star = l.db->CreateDynaset("select d.*, 1 one from dept d", 0);
    QVERIFY(star);
    QCOMPARE(FieldNames(star), QStringList({"DEPTNO", "DNAME", "LOC", "ONE"}));
    const QString path = env.folder() + "/lower.db";
    QVERIFY(MakeSqliteFile(
        path, "CREATE TABLE people (firstName TEXT); INSERT INTO people VALUES ('a');"));
    Logon p = LogOn(path, "u/p");
    QCOMPARE(FieldNames(p.db->CreateDynaset("select * from people", 0)),
             QStringList({"FIRSTNAME"}));
  }

  void numbersNamedLikeDatesStayNumbers() {
    TestEnv env;
    const QString path = env.folder() + "/n.db";
    QVERIFY(MakeSqliteFile(path,
                           "CREATE TABLE t (created NUMBER, d DATE);"
                           "INSERT INTO t VALUES (41, '2001-04-06 00:00:00');"));
    Logon l = LogOn(path, "u/p");
    auto dyn = l.db->CreateDynaset("select created + 1, created - 1, d + 1, d - d from t", 0);
    QVERIFY2(dyn, qPrintable(l.db->LastServerErrText()));
    const QList<QVariantList> rows = ReadAll(dyn);
    QCOMPARE(
        Show(rows[0][0]) + "," + Show(rows[0][1]) + "," + Show(rows[0][2]) + "," + Show(rows[0][3]),
        QString("42,40,2001-04-07 00:00:00,0"));
    QCOMPARE(dyn->Fields().Item(0)->OraIDataType(), int(ORATYPE_NUMBER));
    QCOMPARE(dyn->Fields().Item(2)->OraIDataType(), int(ORATYPE_DATE));
  }

  void eofAtOnceWithoutRows() {
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    auto dyn = l.db->CreateDynaset("select * from emp where 1 = 0", 0);
    QVERIFY(dyn);
    QVERIFY(dyn->IsEOF());
    QCOMPARE(dyn->Fields().Count(), 8);
    QCOMPARE(l.db->LastServerErr(), 0);
  }

  void rowsStayReadableAfterRollBack_data() {
    QTest::addColumn<int>("options");
    QTest::newRow("default") << ORADYN_DEFAULT;
    QTest::newRow("read-only, no cache") << (ORADYN_READONLY | ORADYN_NOCACHE);
  }
  void rowsStayReadableAfterRollBack() {
    QFETCH(int, options);
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    l.session->BeginTrans();
    auto dyn = l.db->CreateDynaset("select empno, ename from emp order by empno", options);
    l.session->RollBack();
    QVERIFY(dyn);
    const QList<QVariantList> rows = ReadAll(dyn);
    QCOMPARE(rows.size(), 14);
    QCOMPARE(rows.first()[1].toString(), QString("SMITH"));
    QCOMPARE(rows.last()[1].toString(), QString("MILLER"));
    QCOMPARE(l.session->LastServerErr(), 0);
  }

  void writingStatementsAreNotRun_data() {
    QTest::addColumn<QString>("sql");
    QTest::newRow("insert") << "insert into t values (2)";
    QTest::newRow("update") << "update t set a = 5";
    QTest::newRow("delete") << "delete from t";
    QTest::newRow("create") << "create table u (x)";
    QTest::newRow("drop") << "drop table t";
    QTest::newRow("alter") << "alter table t add b number";
    QTest::newRow("truncate") << "truncate table t";
    QTest::newRow("writing pragma") << "pragma user_version = 7";
    QTest::newRow("pragma journal") << "PRAGMA journal_mode = DELETE";
    QTest::newRow("vacuum") << "vacuum";
    QTest::newRow("attach") << "attach database 'other.db' as o";
    QTest::newRow("commit") << "commit";
    QTest::newRow("with insert") << "with x as (select 1) insert into t select * from x";
    QTest::newRow("replace") << "replace into t values (3)";
  }
  void writingStatementsAreNotRun() {
    QFETCH(QString, sql);
    TestEnv env;
    const QString path = env.folder() + "/w.db";
    QVERIFY(MakeSqliteFile(path, "CREATE TABLE t (a INTEGER); INSERT INTO t VALUES (1);"));
    const QByteArray before = TestEnv::readFile(path);
    Logon l = LogOn(path, "u/p");
    QVERIFY(l.db);
    ErrClear();
    auto dyn = l.db->CreateDynaset(sql, 0);
    QVERIFY(!dyn);
    QCOMPARE(l.db->LastServerErr(), 0);
    QCOMPARE(Err().Number, 0);
    QCOMPARE(First(*l.db, "select count(*) || ':' || max(a) from t"), QString("1:1"));
    l = {};
    QCOMPARE(TestEnv::readFile(path), before);
    QVERIFY(!QFile::exists(env.folder() + "/other.db"));
  }

  void bindVariables_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("serverType");
    QTest::addColumn<QString>("expected");
    QTest::newRow("number") << "select count(*) from emp where deptno = :DEPT"
                            << "DEPT" << QVariant("10") << int(ORATYPE_NUMBER) << "3";
    QTest::newRow("name case-insensitive")
        << "select empno from emp where ename = :name"
        << "NAME" << QVariant("KING") << int(ORATYPE_VARCHAR2) << "7839";
    QTest::newRow("char") << "select empno from emp where ename = :N"
                          << "n" << QVariant("FORD") << int(ORATYPE_CHAR) << "7902";
    QTest::newRow("long") << "select length(:TXT) from dual"
                          << "TXT" << QVariant("abcd") << int(ORATYPE_LONG) << "4";
    QTest::newRow("date") << "select count(*) from emp where hiredate = :D"
                          << "D" << QVariant(QDateTime(QDate(1981, 12, 3), QTime(0, 0)))
                          << int(ORATYPE_DATE) << "2";
    QTest::newRow("date arithmetic") << "select :D + 1 from dual"
                                     << "D" << QVariant(QDateTime(QDate(1981, 12, 3), QTime(0, 0)))
                                     << int(ORATYPE_DATE) << "1981-12-04 00:00:00";
    QTest::newRow("missing") << "select * from emp where empno = :NOPE"
                             << "OTHER" << QVariant("1") << int(ORATYPE_NUMBER) << "error 1008";
  }
  void bindVariables() {
    QFETCH(QString, sql);
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    QFETCH(int, serverType);
    QFETCH(QString, expected);
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    l.db->Parameters().Add(name, value, ORAPARM_INPUT);
    l.db->Parameters().Item(name)->SetServerType(serverType);
    QCOMPARE(First(*l.db, sql), expected);
    if (expected == "error 1008") {
      QCOMPARE(l.db->LastServerErrText(), QString("ORA-01008: not all variables bound"));
    }
  }

  void parametersCollection() {
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    OraParameters& p = l.db->Parameters();
    p.Add("B", "1", ORAPARM_INPUT);
    p.Add("A", "2", ORAPARM_OUTPUT);
    p.Add("C", "3", ORAPARM_BOTH);
    QCOMPARE(p.Count(), 3);
    QCOMPARE(p.Item(0)->Name(), QString("B"));
    QCOMPARE(p.Item(1)->Name(), QString("A"));
    QCOMPARE(p.Item("b")->Status(), ORAPSTAT_INPUT);
    QCOMPARE(p.Item("A")->Status(), ORAPSTAT_OUTPUT);
    QCOMPARE(p.Item("c")->Status(), ORAPSTAT_BOTH);
    p.Item("A")->SetServerType(ORATYPE_NUMBER);
    QCOMPARE(p.Item("a")->ServerType(), int(ORATYPE_NUMBER));
    QCOMPARE(p.Item("a")->Value().toString(), QString("2"));
    ErrClear();
    p.Add("a", "x", ORAPARM_INPUT);
    QVERIFY(Err().pending());
    QCOMPARE(p.Count(), 3);
    ErrClear();
    p.Remove("a");
    QVERIFY(!Err().pending());
    QCOMPARE(p.Count(), 2);
    p.Remove("nope");
    QVERIFY(Err().pending());
    ErrClear();
    QVERIFY(!p.Item("nope"));
    QVERIFY(Err().pending());
    ErrClear();
    QVERIFY(!p.Item(5));
    QVERIFY(Err().pending());
  }

  void closedObjectsRaise() {
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    auto dyn = l.db->CreateDynaset("select * from dept", 0);
    QVERIFY(dyn);
    dyn->Close();
    QVERIFY(dyn->IsEOF());
    ErrClear();
    dyn->MoveNext();
    QVERIFY(Err().pending());
    l.db->Close();
    ErrClear();
    QVERIFY(!l.db->CreateDynaset("select * from dept", 0));
    QVERIFY(Err().pending());
    QCOMPARE(l.db->LastServerErr(), 0);
  }

  void sessionsOfOneDatabaseShareTheSqlArea() {
    TestEnv env;
    Logon scott = LogOn("DEMO", "SCOTT/TIGER");
    Logon system = LogOn("DEMO", "SYSTEM/MANAGER");
    QVERIFY(scott.db->CreateDynaset("select 'marker' from dual", 0));
    QCOMPARE(First(*system.db,
                   "select executions from v$sql where sql_text = 'select ''marker'' from dual'"),
             QString("1"));
    QCOMPARE(First(*system.db, "select count(*) from v$session where username = 'SCOTT'"),
             QString("1"));
    scott.db->Close();
    QCOMPARE(First(*system.db, "select count(*) from v$session where username = 'SCOTT'"),
             QString("0"));
  }
};

QTEST_GUILESS_MAIN(TestLocalEngine)
#include "tst_localengine.moc"
