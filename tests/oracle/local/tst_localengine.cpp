// The local engine through the component interface: logon outcomes, result columns and values.
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <atomic>
#include <thread>

#include "common/TestEnv.h"
#include "core/RunErr.h"
#include "oracle/ParameterChecks.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

namespace {

// Copies a database and what lies beside it at this moment, as a crashed writer leaves them.
bool CopyWithSideFiles(const QString& from, const QString& to, const QStringList& suffixes) {
  for (const QString& suffix : QStringList{""} + suffixes)
    if (!QFile::copy(from + suffix, to + suffix)) return false;
  return true;
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// A database of three rows in table t: in rollback or WAL mode, with the rows still in the WAL
// (with or without the writer's index), or with a hot journal of a write never committed.
bool MakeDatabaseFile(const QString& path, const QString& kind) {
  if (kind == "rollback" || kind == "wal")
    return MakeSqliteFile(path, QByteArray(kind == "wal" ? "PRAGMA journal_mode = WAL;" : "") +
                                    "CREATE TABLE t (a); INSERT INTO t VALUES (1), (2), (3);");
  const QString writerPath = path + ".writer";
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(QFile::encodeName(writerPath).constData(), &db) == SQLITE_OK;
  if (kind == "hot") {
    ok = ok && Exec(db,
                    "PRAGMA cache_size = 1; CREATE TABLE t (a); INSERT INTO t VALUES (1), "
                    "(2), (3); BEGIN; INSERT INTO t SELECT zeroblob(5000) FROM "
                    "(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                    "WHERE x < 200) SELECT x FROM c);");
    ok = ok && CopyWithSideFiles(writerPath, path, {"-journal"});
  } else {
    ok = ok && Exec(db,
                    "PRAGMA journal_mode = WAL; CREATE TABLE t (a); "
                    "INSERT INTO t VALUES (1), (2), (3);");
    ok = ok &&
         CopyWithSideFiles(writerPath, path,
                           kind == "wal-shm" ? QStringList{"-wal", "-shm"} : QStringList{"-wal"});
  }
  sqlite3_close(db);
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) QFile::remove(writerPath + suffix);
  return ok;
}

}  // namespace

class TestLocalEngine : public QObject {
  Q_OBJECT
 private slots:
  void logonOutcomes_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const QString denied = "ORA-01017: invalid username/password; logon denied";
    const QString tns = "ORA-12154: TNS:could not resolve the connect identifier specified";
    auto row = [](const char* name, const char* host, const char* connect, int error,
                  const QString& text) { QTest::newRow(name) << host << connect << error << text; };
    row("scott", "DEMO", "SCOTT/TIGER", 0, {});
    row("system", "DEMO", "SYSTEM/MANAGER", 0, {});
    row("lower case user and host", "demo", "scott/tiger", 0, {});
    row("wrong password", "DEMO", "SCOTT/LION", 1017, denied);
    row("blank user", "DEMO", " /TIGER", 1017, denied);
    row("no password", "DEMO", "SCOTT/", 1005, "ORA-01005: null password given; logon denied");
    row("unknown user", "DEMO", "NOBODY/TIGER", 1017, denied);
    row("missing file", "/nonexistent/x.db", "a/b", 12154, tns);
    row("not a database", "NOTDB", "a/b", 12154, tns);
    row("plain file any user", "PLAIN", "whoever/whatever", 0, {});
    row("file with accounts", "ACCOUNTS", "ANN/SECRET", 0, {});
    row("file with accounts, wrong", "ACCOUNTS", "BOB/SECRET", 1017, denied);
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
    Logon l = LogOn(host, connect);
    QVERIFY(l.session);
    QCOMPARE(l.session->LastServerErr(), error);
    QCOMPARE(l.session->LastServerErrText(), text);
    QCOMPARE(bool(l.db), error == 0);
    // The sample database is made in the data folder when it is first named.
    QCOMPARE(QFile::exists(env.folder() + "/data/DEMO.db"), host.toUpper() == "DEMO");
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
    for (const char* sql :
         {"insert into t values (2)", "update t set a = 5", "delete from t", "create table u (x)",
          "drop table t", "alter table t add b number", "truncate table t",
          "pragma user_version = 7", "PRAGMA journal_mode = DELETE", "vacuum",
          "attach database 'other.db' as o", "commit",
          "with x as (select 1) insert into t select * from x", "replace into t values (3)"})
      QTest::newRow(sql) << QString(sql);
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
    auto row = [](const char* sql, const char* name, const QVariant& value, int serverType,
                  const char* expected) {
      QTest::addRow("%s as %d", sql, serverType)
          << QString(sql) << QString(name) << value << serverType << expected;
    };
    const QDateTime day(QDate(1981, 12, 3), QTime(0, 0));
    row("select count(*) from emp where deptno = :DEPT", "DEPT", "10", ORATYPE_NUMBER, "3");
    row("select empno from emp where ename = :name", "NAME", "KING", ORATYPE_VARCHAR2, "7839");
    row("select empno from emp where ename = :N", "n", "FORD", ORATYPE_CHAR, "7902");
    row("select length(:TXT) from dual", "TXT", "abcd", ORATYPE_LONG, "4");
    row("select count(*) from emp where hiredate = :D", "D", day, ORATYPE_DATE, "2");
    row("select :D + 1 from dual", "D", day, ORATYPE_DATE, "1981-12-04 00:00:00");
    row("select * from emp where empno = :NOPE", "OTHER", "1", ORATYPE_NUMBER, "error 1008");
    row("select :a#b$ || '.' from dual", "A#B$", "x", ORATYPE_VARCHAR2, "x.");
    row("select :1 || '.' from dual", "1", "y", ORATYPE_VARCHAR2, "y.");
    row("select count(*) from dual where :E is null", "E", "", ORATYPE_VARCHAR2, "1");
    row("select count(*) from dual where :E is null", "E", "", ORATYPE_NUMBER, "1");
    row("select :1a from dual", "1a", "1", ORATYPE_NUMBER, "error 1745");
    for (const char* foreign : {"?1", "?", "@a", "$a"})
      QTest::addRow("placeholder %s", foreign)
          << QString("select %1 from dual").arg(foreign) << "a" << QVariant("1")
          << int(ORATYPE_NUMBER) << "error 911";
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
    if (expected == "error 1008")
      QCOMPARE(l.db->LastServerErrText(), QString("ORA-01008: not all variables bound"));
  }

  // Each name binds wherever it recurs, in any case, and an error after the placeholders still
  // points at its own word.
  void placeholdersRecurAndKeepErrorPositions() {
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    l.db->Parameters().Add("a", "1", ORAPARM_INPUT);
    l.db->Parameters().Add("B#", "2", ORAPARM_INPUT);
    QCOMPARE(First(*l.db, "select :b# || :a || :B# || :A from dual"), QString("2121"));
    const QString bad = "select :a, :b# from dual where 1 = = 2";
    QCOMPARE(First(*l.db, bad), QString("error 936"));
    QCOMPARE(l.db->LastServerErrPos(), int(bad.lastIndexOf('=')));
  }

  // A statement that never gives its first row (or its next one) is stopped by Break(): from
  // the wait hook, as the stop command reaches it, or from another thread.
  void breakStopsARunningStatement_data() {
    QTest::addColumn<bool>("otherThread");
    QTest::addColumn<bool>("duringFetch");
    QTest::newRow("first row, from the wait hook") << false << false;
    QTest::newRow("first row, from another thread") << true << false;
    QTest::newRow("next row, from the wait hook") << false << true;
  }
  void breakStopsARunningStatement() {
    QFETCH(bool, otherThread);
    QFETCH(bool, duringFetch);
    TestEnv env;
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    const QString endless = duringFetch
                                ? "with c(x) as (select 1 from dual union all select x+1 from c) "
                                  "select x from c where x = 1 or x < 0"
                                : "with c(x) as (select 1 from dual union all select x+1 from c) "
                                  "select count(*) from c";
    QElapsedTimer clock;
    std::atomic<qint64> brokeAt{-1};
    int hooks = 0;
    auto breakNow = [&] {
      brokeAt = clock.nsecsElapsed();
      l.db->Break();
    };
    l.db->SetWaitHook([&] {
      ++hooks;
      if (!otherThread && clock.elapsed() >= 50) breakNow();
    });
    std::atomic<bool> done{false};
    std::thread breaker([&] {
      while (otherThread && !done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!done) breakNow();
      }
    });
    clock.start();
    auto dyn = l.db->CreateDynaset(endless, 0);
    if (duringFetch) {
      QVERIFY(dyn);
      QCOMPARE(dyn->Fields().Item(0)->Value().toInt(), 1);
      clock.restart();
      dyn->MoveNext();
      QVERIFY(dyn->IsEOF());
    } else {
      QVERIFY(!dyn);
    }
    const qint64 stoppedAt = clock.nsecsElapsed();
    done = true;
    breaker.join();
    QCOMPARE(l.db->LastServerErr(), kOraUserCancel);
    QCOMPARE(l.db->LastServerErrText(), QString(kOraUserCancelText));
    QCOMPARE(l.db->LastServerErrPos(), 0);
    QVERIFY(hooks > 0);
    qInfo("Break() to ORA-01013: %.2f ms", double(stoppedAt - brokeAt) / 1e6);
    // The database goes on, and a break with nothing running fails nothing later.
    l.db->SetWaitHook({});
    l.db->Break();
    QCOMPARE(First(*l.db, "select count(*) from emp"), QString("14"));
  }

  // SQL that reaches past a query (code addresses, tokenizer pointers, extensions) is refused
  // with an Oracle error; the functions a query needs stay.
  void hardeningRoutes_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    for (auto [sql, expected] : std::initializer_list<std::pair<const char*, const char*>>{
             {"select fts3_tokenizer('mytok', X'4141414141414141') from dual", "error 904"},
             {"select hex(fts3_tokenizer('simple')) from dual", "error 904"},
             {"select FTS3_TOKENIZER('simple') from dual", "error 904"},
             {"select * from tok", "error 904"},
             {"select load_extension('/tmp/x.so') from dual", "error 904"},
             {"select sqlite_compileoption_get(0) from dual", "error 904"},
             {"select * from notes where notes match 'a'", "error 900"},
             {"select upper(substr('abc', 2)) from dual", "BC"},
             {"select count(*) over () from dual", "1"},
             {"select nvl(to_char(1), 'x') from dual", "1"}})
      QTest::newRow(sql) << QString(sql) << QString(expected);
  }
  void hardeningRoutes() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    TestEnv env;
    const QString path = env.folder() + "/fts.db";
    QString why;
    QVERIFY2(MakeSqliteFile(path,
                            "select fts3_tokenizer('mytok', fts3_tokenizer('simple'));"
                            "create virtual table notes using fts3(body, tokenize=mytok);"
                            "insert into notes values ('a b');"
                            "create view tok as select hex(fts3_tokenizer('simple')) t;",
                            &why),
             qPrintable(why));
    Logon l = LogOn(path, "u/p");
    QVERIFY(l.db);
    QCOMPARE(First(*l.db, sql), expected);
    if (expected.startsWith("error"))
      QVERIFY2(l.db->LastServerErrText().startsWith("ORA-"), qPrintable(l.db->LastServerErrText()));
  }

  // A binary value is handed out as a prefix only, with its whole length beside it.
  void binaryValuesAreReadAsAPrefix_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("valueSize");
    QTest::addColumn<qint64>("bytes");
    QTest::newRow("short") << "select x'0102' from dual" << 2 << qint64(2);
    QTest::newRow("stored") << "select b from t" << 256 << qint64(1000000);
    QTest::newRow("zero blob") << "select zeroblob(3000000) from dual" << 256 << qint64(3000000);
    QTest::newRow("text") << "select 'abc' from dual" << 3 << qint64(-1);
  }
  void binaryValuesAreReadAsAPrefix() {
    QFETCH(QString, sql);
    QFETCH(int, valueSize);
    QFETCH(qint64, bytes);
    TestEnv env;
    const QString path = env.folder() + "/blob.db";
    QVERIFY(MakeSqliteFile(path,
                           "CREATE TABLE t (b BLOB); INSERT INTO t VALUES "
                           "(randomblob(1000000));"));
    Logon l = LogOn(path, "u/p");
    auto dyn = l.db->CreateDynaset(sql, 0);
    QVERIFY2(dyn, qPrintable(l.db->LastServerErrText()));
    OraField* f = dyn->Fields().Item(0);
    const QVariant v = f->Value();
    QCOMPARE(v.typeId() == QMetaType::QByteArray ? v.toByteArray().size() : v.toString().size(),
             valueSize);
    QCOMPARE(f->ValueBytes(), bytes);
  }

  // Opening a SQLite file creates nothing beside it, also in a read-only folder. Committed rows
  // still in a WAL file are read through the writer's index, or the file is refused with a
  // clear error when that index is gone, as it is with a hot journal: never read stale.
  void openingLeavesNoTraces_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("expected");
    for (bool ro : {false, true}) {
      const char* where = ro ? "read-only folder" : "folder";
      QTest::addRow("rollback, %s", where) << "rollback" << ro << "3";
      QTest::addRow("WAL, %s", where) << "wal" << ro << "3";
      QTest::addRow("WAL holding committed rows, %s", where) << "wal-data" << ro << "logon 376";
      QTest::addRow("hot journal, %s", where) << "hot" << ro << "logon 376";
    }
    QTest::newRow("WAL holding rows, writer's index beside it") << "wal-shm" << false << "3";
  }
  void openingLeavesNoTraces() {
    QFETCH(QString, kind);
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, expected);
    TestEnv env;
    const QString folder = env.folder() + "/db";
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/t.db";
    QVERIFY(MakeDatabaseFile(path, kind));
    const QStringList before = QDir(folder).entryList(QDir::Files);
    if (readOnlyFolder) QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    QString got;
    {
      Logon l = LogOn(path, "u/p");
      got = l.db ? First(*l.db, "select count(*) from t")
                 : QString("logon %1").arg(l.session->LastServerErr());
      if (!l.db)
        QVERIFY2(l.session->LastServerErrText().contains("cannot be read"),
                 qPrintable(l.session->LastServerErrText()));
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(got, expected);
    QCOMPARE(QDir(folder).entryList(QDir::Files), before);
  }

  void parametersCollection() {
    TestEnv env;
    CheckParameterCollection(LogOn("DEMO", "SCOTT/TIGER").db->Parameters());
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
