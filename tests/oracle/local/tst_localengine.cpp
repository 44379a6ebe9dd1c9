// The local engine through the component interface; tst_oracleanswers holds its answers to SQL.
#include <QDir>
#include <QTest>

#include "common/TestEnv.h"
#include "core/RunErr.h"
#include "oracle/ParameterChecks.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

namespace {

// A user's own SQLite file with one row of each kind of column.
QString MakeUserFile(const QString& folder) {
  const QString path = folder + "/user.db";
  return MakeSqliteFile(path,
                        "CREATE TABLE t (c CHAR(5), tx TEXT, vc VARCHAR(20), i INTEGER, r REAL, "
                        "l LONG, rw RAW(16), b BLOB, ts TIMESTAMP, dt DATETIME, n VARCHAR2(30), "
                        "created NUMBER, far DATE, huge DATE, firstName TEXT);"
                        "INSERT INTO t VALUES ('ab', 'text', 'vc', 42, 1.5, 'long text', x'00ff', "
                        "x'0102', '2001-04-06 21:05:07.5', '2001-04-06 21:05:07', NULL, 41, 1e300, "
                        "9223372036854775807, 'a');"
                        "CREATE TABLE tb (id INTEGER PRIMARY KEY, b BLOB);"
                        "INSERT INTO tb VALUES (1, x'0102'), "
                        "(5, CAST('AB' || printf('%.*c', 1999998, 'x') AS BLOB));"
                        "CREATE VIEW tv AS SELECT * FROM tb;"
                        "CREATE TABLE tg (id, b BLOB AS (CAST('AB' || zeroblob(1999998) AS BLOB)));"
                        "INSERT INTO tg VALUES (5);")
             ? path
             : QString();
}

// Sizes, precision, scale, the value's type, its whole length in bytes, and the value.
QString Describe(OraField* f) {
  const QVariant v = f->Value();
  const QString value = v.typeId() == QMetaType::QByteArray && v.toByteArray().size() > 16
                            ? QStringLiteral("%1 bytes %2")
                                  .arg(v.toByteArray().size())
                                  .arg(v.toByteArray().left(2).toHex())
                        : v.typeId() == QMetaType::QByteArray ? v.toByteArray().toHex()
                                                              : Show(v);
  return QString::asprintf("%d %d %d %d %s %lld ", f->OraMaxSize(), f->OraMaxDSize(),
                           f->OraPrecision(), f->OraScale(), v.isValid() ? v.typeName() : "-",
                           static_cast<long long>(f->ValueBytes())) +
         value;
}

// Three rows in table t, in rollback or WAL mode, or left by a writer that stopped short.
bool MakeDatabaseFile(const QString& path, const QString& kind) {
  if (kind == "rollback" || kind == "wal")
    return MakeSqliteFile(path, QByteArray(kind == "wal" ? "PRAGMA journal_mode = WAL;" : "") +
                                    "CREATE TABLE t (a); INSERT INTO t VALUES (1), (2), (3);");
  const QString writerPath = path + ".writer";
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(QFile::encodeName(writerPath).constData(), &db) == SQLITE_OK;
  const bool hot = kind == "hot";
  const char* script = hot ? "PRAGMA cache_size = 1; CREATE TABLE t (a); INSERT INTO t VALUES "
                             "(1), (2), (3); BEGIN; INSERT INTO t SELECT zeroblob(5000) FROM "
                             "(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                             "WHERE x < 200) SELECT x FROM c);"
                           : "PRAGMA journal_mode = WAL; CREATE TABLE t (a); "
                             "INSERT INTO t VALUES (1), (2), (3);";
  ok = ok && sqlite3_exec(db, script, nullptr, nullptr, nullptr) == SQLITE_OK;
  const QStringList sides = hot                 ? QStringList{"-journal"}
                            : kind == "wal-shm" ? QStringList{"-wal", "-shm"}
                                                : QStringList{"-wal"};
  for (const QString& side : QStringList{""} + sides)
    ok = ok && QFile::copy(writerPath + side, path + side);
  sqlite3_close(db);
  for (const char* side : {"", "-wal", "-shm", "-journal"}) QFile::remove(writerPath + side);
  return ok;
}

}  // namespace

class TestLocalEngine : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env_;

 private slots:
  void init() { env_ = std::make_unique<TestEnv>(); }
  void cleanup() { env_.reset(); }

  void logonOutcomes_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const QString denied = "ORA-01017: invalid username/password; logon denied";
    auto row = [](const char* name, const char* host, const char* connect, int error,
                  const QString& text) { QTest::newRow(name) << host << connect << error << text; };
    row("lower case user and host", "demo", "scott/tiger", 0, {});
    row("wrong password", "DEMO", "SCOTT/LION", 1017, denied);
    row("no password", "DEMO", "SCOTT/", 1005, "ORA-01005: null password given; logon denied");
    row("unknown user", "DEMO", "NOBODY/TIGER", 1017, denied);
    row("missing file", "/nonexistent/x.db", "a/b", 12154,
        "ORA-12154: TNS:could not resolve the connect identifier specified");
    row("plain file any user", "PLAIN", "whoever/whatever", 0, {});
    row("file with accounts", "ACCOUNTS", "ANN/SECRET", 0, {});
    row("file with accounts, wrong", "ACCOUNTS", "BOB/SECRET", 1017, denied);
  }
  void logonOutcomes() {
    QFETCH(QString, host);
    QFETCH(QString, connect);
    QFETCH(int, error);
    QFETCH(QString, text);
    if (host == "PLAIN") {
      host = MakeUserFile(env_->folder());
    } else if (host == "ACCOUNTS") {
      host = env_->folder() + "/acc.sqlite";
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
    QCOMPARE(QFile::exists(env_->folder() + "/data/DEMO.db"), host.toUpper() == "DEMO");
  }

  // The first column as described; an expected text ending in "*" is a prefix. A stored binary
  // value read from its table is never loaded whole (SQLite's memory stays below 1 MB).
  void describedColumns_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("fromTable");
    auto row = [](const char* sql, int type, const char* expected, bool fromTable = false) {
      QTest::newRow(sql) << QString(sql) << type << QString(expected) << fromTable;
    };
    row("select ename from emp where empno = 7369", ORATYPE_VARCHAR2, "10 10 0 0 QString -1 SMITH");
    row("select empno from emp", ORATYPE_NUMBER, "22 5 4 0 qlonglong -1 7369");
    row("select sal from emp", ORATYPE_NUMBER, "22 9 7 2 qlonglong -1 800");
    row("select hiredate from emp", ORATYPE_DATE, "7 19 0 0 QDateTime -1 1980-12-17 00:00:00");
    row("select rowid from emp", ORATYPE_ROWID, "18 18 0 0 QString -1 *");
    row("select 'x' from dual", ORATYPE_VARCHAR2, "4000 4000 0 0 QString -1 x");
    // The SQL log compares load times as text of this form.
    row("select first_load_time from v$sql", ORATYPE_VARCHAR2, "19 19 0 0 QString -1 2*");
    row("select c from t", ORATYPE_CHAR, "5 5 0 0 QString -1 ab");
    row("select i from t", ORATYPE_NUMBER, "22 39 38 0 qlonglong -1 42");
    row("select r from t", ORATYPE_NUMBER, "22 22 126 0 double -1 1.5");
    row("select l from t", ORATYPE_LONG, "2147483647 32760 0 0 QString -1 long text");
    row("select rw from t", ORATYPE_RAW, "16 16 0 0 QByteArray 2 00ff");
    row("select b from t", ORATYPE_LONGRAW, "2147483647 32760 0 0 QByteArray 2 0102", true);
    const char* big = "2147483647 32760 0 0 QByteArray 2000000 256 bytes 4142";
    row("select x.b, id from tb x where id = 5", ORATYPE_LONGRAW, big, true);
    row("select * from tb order by id desc", ORATYPE_NUMBER, "22 39 38 0 qlonglong -1 5", true);
    row("select tb.b from tb, t where id = 1", ORATYPE_LONGRAW,
        "2147483647 32760 0 0 QByteArray 2 0102", true);
    // Through a view, a generated column or DISTINCT the value is read as SQLite gives it.
    row("select b from tv where id = 5", ORATYPE_LONGRAW, big);
    row("select b from tg", ORATYPE_LONGRAW, big);
    row("select distinct b from tb where id = 5", ORATYPE_LONGRAW, big);
    row("select ts from t", ORATYPE_TIMESTAMP, "11 29 0 6 QString -1 2001-04-06 21:05:07.5");
    row("select dt from t", ORATYPE_DATE, "7 19 0 0 QDateTime -1 2001-04-06 21:05:07");
    row("select n from t", ORATYPE_VARCHAR2, "30 30 0 0 - -1 <null>");
    // Numbers in a date column that name no date stay numbers.
    row("select far from t", ORATYPE_DATE, "7 19 0 0 double -1 1e+300");
    row("select huge from t", ORATYPE_DATE, "7 19 0 0 qlonglong -1 9223372036854775807");
    // A large binary value is handed out as a prefix, with its whole length beside it.
    row("select zeroblob(3000000) from dual", ORATYPE_RAW,
        "2000 2000 0 0 QByteArray 3000000 256 bytes 0000");
    // Only a DATE column takes part in date arithmetic.
    row("select created + 1 from t", ORATYPE_NUMBER, "22 22 0 0 qlonglong -1 42");
    row("select dt + 1 from t", ORATYPE_DATE, "7 19 0 0 QDateTime -1 2001-04-07 21:05:07");
    row("select dt - dt from t", ORATYPE_NUMBER, "22 22 0 0 qlonglong -1 0");
  }
  void describedColumns() {
    QFETCH(QString, sql);
    QFETCH(int, type);
    QFETCH(QString, expected);
    QFETCH(bool, fromTable);
    Logon l = sql.contains(" from t")
                  ? LogOn(MakeUserFile(env_->folder()), "u/p")
                  : LogOn("DEMO", sql.contains("v$") ? "SYSTEM/MANAGER" : "SCOTT/TIGER");
    QVERIFY(l.db);
    sqlite3_int64 last = 0, largest = 0;
    sqlite3_status64(SQLITE_STATUS_MALLOC_SIZE, &last, &largest, 1);
    auto dyn = l.db->CreateDynaset(sql, 0);
    QVERIFY2(dyn && !dyn->IsEOF(), qPrintable(l.db->LastServerErrText()));
    QCOMPARE(dyn->Fields().Item(0)->OraIDataType(), type);
    QCOMPARE(dyn->Fields().Count(),
             sql.startsWith("select * ") ? 2 : sql.section(" from ", 0, 0).count(',') + 1);
    const QString got = Describe(dyn->Fields().Item(0));
    QCOMPARE(expected.endsWith('*') ? got.left(expected.size() - 1) + '*' : got, expected);
    for (int i = 1; i < dyn->Fields().Count(); ++i) Describe(dyn->Fields().Item(i));
    sqlite3_status64(SQLITE_STATUS_MALLOC_SIZE, &last, &largest, 0);
    QCOMPARE(largest < 1000000, fromTable || !expected.contains("256 bytes"));
  }

  void columnNames() {
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    QCOMPARE(FieldNames(l.db->CreateDynaset(
                 QString::fromUtf8("select ename, e.job, sal*2, sal as \"Pay\", comm c, 'ｱ' ｶﾅ, "
                                   "count(*) over () n2, nvl(comm, 0) from emp e"),
                 0)),
             QStringList({"ENAME", "JOB", "SAL*2", "Pay", "C", QString::fromUtf8("ｶﾅ"), "N2",
                          "NVL(COMM,0)"}));
    // A query without rows is at its end at once, its columns described all the same.
    auto none = l.db->CreateDynaset("select * from emp where 1 = 0", 0);
    QVERIFY(none && none->IsEOF());
    QCOMPARE(none->Fields().Count(), 8);
    QCOMPARE(l.db->LastServerErr(), 0);
    Logon u = LogOn(MakeUserFile(env_->folder()), "u/p");
    QCOMPARE(FieldNames(u.db->CreateDynaset("select * from t", 0)).last(), QString("FIRSTNAME"));
  }

  void writingStatementsAreNotRun_data() {
    QTest::addColumn<QString>("sql");
    for (const char* sql :
         {"insert into t (i) values (2)", "drop table t", "pragma user_version = 7",
          "PRAGMA journal_mode = DELETE", "attach database 'other.db' as o",
          "with x as (select 1) insert into t (i) select * from x"})
      QTest::newRow(sql) << QString(sql);
  }
  void writingStatementsAreNotRun() {
    QFETCH(QString, sql);
    const QString path = MakeUserFile(env_->folder());
    const QByteArray before = TestEnv::readFile(path);
    Logon l = LogOn(path, "u/p");
    QVERIFY(l.db);
    ErrClear();
    QVERIFY(!l.db->CreateDynaset(sql, 0));
    QCOMPARE(l.db->LastServerErr(), 0);
    QCOMPARE(Err().Number, 0);
    QCOMPARE(First(*l.db, "select count(*) || ':' || max(i) from t"), QString("1:42"));
    l = {};
    QCOMPARE(TestEnv::readFile(path), before);
    QVERIFY(!QFile::exists(env_->folder() + "/other.db"));
  }

  // Text values, plain and not, short and long, each still as read after the rows that follow.
  void textValuesStayAsRead() {
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    const QStringList texts = {"plain", QString::fromUtf8("ｶﾅ漢字"), QString(5000, 'y'), "2nd",
                               "3rd"};
    QStringList selects;
    for (const QString& t : texts)
      selects << QString("select '%1' from dual")
                     .arg(t.size() > 100 ? "' || rpad('y', 5000, 'y') || '" : t);
    auto dyn = l.db->CreateDynaset(selects.join(" union all "), 0);
    QVariantList kept;
    for (; dyn && !dyn->IsEOF(); dyn->MoveNext()) kept << dyn->Fields().Item(0)->Value();
    QCOMPARE(kept, QVariantList(texts.begin(), texts.end()));
  }

  // A date column's view packs exactly the stored texts that read as dates, to the same digits.
  void dateViewMatchesValue() {
    const QString path = env_->folder() + "/dates.db";
    QVERIFY(MakeSqliteFile(
        path,
        "CREATE TABLE d (d DATE); WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x + 1 "
        "FROM c WHERE x < 4000) INSERT INTO d SELECT datetime(1721425.5 + x * 912.98765) "
        "FROM c UNION ALL SELECT datetime(2451603.5 + x / 7 + x % 2 * 0.25) FROM c;"
        "INSERT INTO d VALUES ('2000-02-29 23:59:59'), ('1900-02-29 00:00:00'), "
        "('2100-02-29 12:00:00'), ('2001-02-29 00:00:00'), ('0000-12-31 00:00:00'), "
        "('9999-12-31 23:59:59'), ('2001-13-01 00:00:00'), ('2001-00-10 00:00:00'), "
        "('2001-04-00 00:00:00'), ('2001-04-31 00:00:00'), ('2001-04-06 24:00:00'), "
        "('2001-04-06 23:60:00'), ('2001-04-06 23:59:60'), ('2001-04-06T21:05:07'), "
        "('2001/04/06 21:05:07'), ('2001-04-06 21:05:07Z'), ('2001-04-06 21:05:07.5'), "
        "('2001-04-06'), ('2001-04-06 21:05: 7'), ('+001-04-06 21:05:07'), "
        "('2001-04-06 21-05-07'), (' 2001-04-06 21:05:0'), ('2001-03-25 02:30:00'), "
        "('200:-04-06 21:05:07'), ('2001-04-06 21:05:0/');"));
    Logon l = LogOn(path, "u/p");
    auto dyn = l.db->CreateDynaset("select d, d || '' from d", 0);
    int dates = 0;
    for (; dyn && !dyn->IsEOF(); dyn->MoveNext()) {
      const QVariant v = dyn->Fields().Item(0)->Value();
      const FieldView view = dyn->Fields().Item(0)->View();
      const QString text = dyn->Fields().Item(1)->Value().toString();
      const bool packed = v.typeId() == QMetaType::QDateTime && Show(v) == text;
      QCOMPARE(int(view.kind), int(packed ? FieldView::Date : FieldView::Other));
      if (packed)
        QCOMPARE(view.number, QString(text).remove(QRegularExpression("\\D")).toLongLong());
      dates += packed;
    }
    QCOMPARE(dates, 8005);
  }

  // A statement that never gives its first or next row is stopped from the wait hook.
  void breakStopsARunningStatement_data() {
    QTest::addColumn<bool>("duringFetch");
    QTest::newRow("first row") << false;
    QTest::newRow("next row") << true;
  }
  void breakStopsARunningStatement() {
    QFETCH(bool, duringFetch);
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    const QString endless =
        "with c(x) as (select 1 from dual union all select x+1 from c) " +
        QString(duringFetch ? "select x from c where x = 1 or x < 0" : "select count(*) from c");
    int hooks = 0;
    auto hook = [&] {
      if (++hooks == 5) l.db->Break();
    };
    if (!duringFetch) l.db->SetWaitHook(hook);
    auto dyn = l.db->CreateDynaset(endless, 0);
    if (duringFetch) {
      QVERIFY(dyn);
      QCOMPARE(dyn->Fields().Item(0)->Value().toInt(), 1);
      l.db->SetWaitHook(hook);
      dyn->MoveNext();
      QVERIFY(dyn->IsEOF());
    }
    QVERIFY(duringFetch || !dyn);
    QCOMPARE(l.db->LastServerErr(), kOraUserCancel);
    QCOMPARE(l.db->LastServerErrText(), QString(kOraUserCancelText));
    QCOMPARE(l.db->LastServerErrPos(), 0);
    // The database goes on, and a break with nothing running fails nothing later.
    l.db->SetWaitHook({});
    l.db->Break();
    QCOMPARE(First(*l.db, "select count(*) from emp"), QString("14"));
  }

  // Opening creates nothing beside the file; a file that could only be read stale is refused.
  void openingLeavesNoTraces_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readOnlyFolder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("rollback") << "rollback" << false << "3";
    QTest::newRow("WAL, read-only folder") << "wal" << true << "3";
    QTest::newRow("WAL holding committed rows") << "wal-data" << true << "logon 376";
    QTest::newRow("hot journal") << "hot" << false << "logon 376";
    QTest::newRow("WAL holding rows, writer's index beside it") << "wal-shm" << false << "3";
  }
  void openingLeavesNoTraces() {
    QFETCH(QString, kind);
    QFETCH(bool, readOnlyFolder);
    QFETCH(QString, expected);
    const QString folder = env_->folder() + "/db";
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
      QVERIFY(l.db || l.session->LastServerErrText().contains("cannot be read"));
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(got, expected);
    QCOMPARE(QDir(folder).entryList(QDir::Files), before);
  }

  void parametersCollection() {
    CheckParameterCollection(LogOn("DEMO", "SCOTT/TIGER").db->Parameters());
  }

  // Closed objects raise, and a closed session leaves V$SESSION.
  void closedObjectsRaise() {
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    Logon system = LogOn("DEMO", "SYSTEM/MANAGER");
    auto dyn = l.db->CreateDynaset("select * from dept", 0);
    QVERIFY(dyn);
    dyn->Close();
    QVERIFY(dyn->IsEOF());
    ErrClear();
    dyn->MoveNext();
    QVERIFY(Err().pending());
    const QString scottSessions = "select count(*) from v$session where username = 'SCOTT'";
    QCOMPARE(First(*system.db, scottSessions), QString("1"));
    l.db->Close();
    QCOMPARE(First(*system.db, scottSessions), QString("0"));
    ErrClear();
    QVERIFY(!l.db->CreateDynaset("select * from dept", 0));
    QVERIFY(Err().pending());
    QCOMPARE(l.db->LastServerErr(), 0);
  }
};

QTEST_GUILESS_MAIN(TestLocalEngine)
#include "tst_localengine.moc"
