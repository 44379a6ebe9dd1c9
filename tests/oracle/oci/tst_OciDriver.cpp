// The Oracle client driver over a stand-in client library (fixtures/fake_oci.cpp): loading,
// logon, describe and fetch, binds, errors with their offsets, the statement gate, closing, and
// stopping a statement that waits on a slow server.
#include <QElapsedTimer>
#include <QLibrary>
#include <QtTest>

#include "core/RunErr.h"
#include "oracle/OraFactory.h"
#include "oracle/oci/OciApi.h"
#include "oracle/oci/OciDriver.h"

using namespace ora;

class tst_OciDriver : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void init();
  void cleanupTestCase();
  void loadFailure_data();
  void loadFailure();
  void environment();
  void logon_data();
  void logon();
  void describeAndValues_data();
  void describeAndValues();
  void arrayFetch();
  void wideRowsFetchFewerAtOnce();
  void fetchErrorMidway();
  void errorOffset_data();
  void errorOffset();
  void statementGate_data();
  void statementGate();
  void binds_data();
  void binds();
  void unusedParameterIsNotBound();
  void parameterCollection();
  void closeRollsBackBeforeDetach();
  void releaseWithoutCloseFreesEverything();
  void sessionRollBack();
  void breakSlowFetch();
  void breakSlowExecution();
  void breakWithNothingRunning();
  void closeDuringSlowFetch();
  void closeOtherResultSetDuringFetch();

 private:
  std::shared_ptr<OraDatabase> open();
  QString log() const { return QString::fromUtf8(logFn_()); }
  int liveHandles() const { return liveFn_(); }

  QLibrary fake_{QStringLiteral(QUERNA_FAKE_OCI)};
  const char* (*logFn_)() = nullptr;
  void (*resetFn_)() = nullptr;
  int (*liveFn_)() = nullptr;
  std::shared_ptr<OraSession> session_;
};

void tst_OciDriver::initTestCase() {
  QVERIFY2(fake_.load(), qPrintable(fake_.errorString()));
  logFn_ = reinterpret_cast<const char* (*)()>(fake_.resolve("fake_oci_log"));
  resetFn_ = reinterpret_cast<void (*)()>(fake_.resolve("fake_oci_reset"));
  liveFn_ = reinterpret_cast<int (*)()>(fake_.resolve("fake_oci_live_handles"));
  QVERIFY(logFn_ && resetFn_ && liveFn_);
  oci::SetLibraryNamesForTest({QStringLiteral(QUERNA_FAKE_OCI)});
}

void tst_OciDriver::init() {
  oci::SetLibraryNamesForTest({QStringLiteral(QUERNA_FAKE_OCI)});
  session_ = oci::CreateOciSession();
  QVERIFY(session_);
  resetFn_();
  ErrClear();
}

void tst_OciDriver::cleanupTestCase() {
  session_.reset();
  oci::SetLibraryNamesForTest({});
}

std::shared_ptr<OraDatabase> tst_OciDriver::open() {
  return session_->OpenDatabase(QStringLiteral("orcl"), QStringLiteral("scott/tiger"), 0);
}

void tst_OciDriver::loadFailure_data() {
  QTest::addColumn<QStringList>("names");
  QTest::newRow("no library") << QStringList{QStringLiteral("/nonexistent/libclntsh.so")};
  QTest::newRow("library without the calls") << QStringList{QStringLiteral(QUERNA_NOSYMS_OCI)};
  QTest::newRow("the first usable name wins, a broken one stops the search")
      << QStringList{QStringLiteral("/nonexistent/libclntsh.so"), QStringLiteral(QUERNA_NOSYMS_OCI),
                     QStringLiteral(QUERNA_FAKE_OCI)};
}

void tst_OciDriver::loadFailure() {
  QFETCH(QStringList, names);
  oci::SetLibraryNamesForTest(names);
  QVERIFY(!oci::CreateOciSession());
  // The logon asks the factory, which must pass the failure on as "no session object".
  QVERIFY(!CreateOraSession(QStringLiteral("orcl")));
  oci::SetLibraryNamesForTest({QStringLiteral(QUERNA_FAKE_OCI)});
  QVERIFY(oci::CreateOciSession());
}

void tst_OciDriver::environment() {
  auto s = oci::CreateOciSession();
  QVERIFY(s);
  // Threaded, AL32UTF8 for both character sets.
  QVERIFY2(log().contains(QStringLiteral("env:1:873:873")), qPrintable(log()));
}

void tst_OciDriver::logon_data() {
  QTest::addColumn<QString>("host");
  QTest::addColumn<QString>("connect");
  QTest::addColumn<int>("error");
  QTest::addColumn<QString>("text");
  QTest::newRow("success") << "orcl"
                           << "scott/tiger" << 0 << QString();
  QTest::newRow("upper-case user") << "orcl"
                                   << "SCOTT/tiger" << 0 << QString();
  QTest::newRow("wrong password") << "orcl"
                                  << "scott/lion" << 1017
                                  << "ORA-01017: invalid username/password; logon denied";
  QTest::newRow("no password") << "orcl"
                               << "scott" << 1017
                               << "ORA-01017: invalid username/password; logon denied";
  QTest::newRow("no listener") << "down"
                               << "scott/tiger" << 12224 << "ORA-12224: TNS:no listener";
}

void tst_OciDriver::logon() {
  QFETCH(QString, host);
  QFETCH(QString, connect);
  QFETCH(int, error);
  QFETCH(QString, text);
  const int before = liveHandles();
  auto db = session_->OpenDatabase(host, connect, 0);
  QCOMPARE(session_->LastServerErr(), error);
  QCOMPARE(session_->LastServerErrText(), text);
  QVERIFY(log().contains(QStringLiteral("attach:") + host));
  if (error == 0) {
    QVERIFY(db);
    QVERIFY(!Err().pending());
    return;
  }
  QVERIFY(!db);
  // The logon tests the pending error to know the attempt failed.
  QVERIFY(Err().pending());
  QCOMPARE(Err().Description, text);
  QCOMPARE(liveHandles(), before);
}

void tst_OciDriver::describeAndValues_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("type");
  QTest::addColumn<QVariant>("first");
  QTest::addColumn<QVariant>("second");
  QTest::newRow("VARCHAR2") << "VC" << int(ORATYPE_VARCHAR2)
                            << QVariant(QStringLiteral("日本語テキスト")) << QVariant();
  QTest::newRow("NUMBER") << "NM" << int(ORATYPE_NUMBER) << QVariant(12345.67) << QVariant(-0.5);
  QTest::newRow("DATE") << "DT" << int(ORATYPE_DATE)
                        << QVariant(QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7))) << QVariant();
  QTest::newRow("ROWID reported as 11")
      << "RID" << int(ORATYPE_ROWID) << QVariant(QStringLiteral("AAAR3sAAEAAAACXAAA"))
      << QVariant(QStringLiteral("AAAR3sAAEAAAACXAAB"));
  QTest::newRow("CHAR is exactly the column's value")
      << "CH" << int(ORATYPE_CHAR) << QVariant(QStringLiteral("ab   ")) << QVariant();
  QTest::newRow("NCHAR") << "NCH" << int(ORATYPE_CHAR) << QVariant(QStringLiteral("ｱｲ "))
                         << QVariant();
  QTest::newRow("RAW as bytes") << "RW" << int(ORATYPE_RAW) << QVariant(QByteArray("\x01\xab", 2))
                                << QVariant();
  QTest::newRow("TIMESTAMP as text in the grid's date form")
      << "TS" << int(ORATYPE_VARCHAR2) << QVariant(QStringLiteral("2001/04/06 21:05:07.000000"))
      << QVariant();
  QTest::newRow("TIMESTAMP WITH TIME ZONE")
      << "TSTZ" << int(ORATYPE_VARCHAR2)
      << QVariant(QStringLiteral("2001/04/06 21:05:07.250000 +09:00")) << QVariant();
  QTest::newRow("INTERVAL DAY TO SECOND")
      << "IDS" << int(ORATYPE_VARCHAR2) << QVariant(QStringLiteral("+01 02:03:04.500000"))
      << QVariant();
  QTest::newRow("BINARY_FLOAT as the number it prints as")
      << "BF" << int(ORATYPE_NUMBER) << QVariant(1.1) << QVariant();
  QTest::newRow("BINARY_DOUBLE") << "BD" << int(ORATYPE_NUMBER) << QVariant(0.1) << QVariant();
  QTest::newRow("LONG as text") << "LN" << int(ORATYPE_LONG)
                                << QVariant(QStringLiteral("long text")) << QVariant();
  QTest::newRow("CLOB past the define buffer")
      << "CL" << int(ORATYPE_VARCHAR2)
      << QVariant(QString(5000, QLatin1Char('x')) + QStringLiteral("終")) << QVariant();
  QTest::newRow("NCLOB") << "NCL" << int(ORATYPE_VARCHAR2)
                         << QVariant(QStringLiteral("全角ＮＣＬＯＢ")) << QVariant();
  QTest::newRow("BLOB as bytes") << "BL" << int(ORATYPE_BLOB) << QVariant(QByteArray("\x00\xff", 2))
                                 << QVariant();
  QString alphabet;
  for (int i = 0; i < 70000; ++i) alphabet += QLatin1Char('a' + i % 26);
  const QString cut = QStringLiteral("…(以下省略)");
  QTest::newRow("CLOB past the cap is cut and marked")
      << "HUGE" << int(ORATYPE_VARCHAR2) << QVariant(alphabet.left(65536) + cut) << QVariant();
  QTest::newRow("LONG past the buffer is cut and marked")
      << "LLN" << int(ORATYPE_LONG) << QVariant(alphabet.left(65532) + cut) << QVariant();
  QTest::newRow("NUMBER beyond double keeps its digits")
      << "BIG" << int(ORATYPE_NUMBER) << QVariant(QStringLiteral("12345678901234567890123"))
      << QVariant(qlonglong(0));
}

void tst_OciDriver::describeAndValues() {
  QFETCH(QString, name);
  QFETCH(int, type);
  QFETCH(QVariant, first);
  QFETCH(QVariant, second);
  auto db = open();
  QVERIFY(db);
  auto rs = db->CreateDynaset(QStringLiteral("select * from types"), ORADYN_DEFAULT);
  QVERIFY(rs);
  QCOMPARE(db->LastServerErr(), 0);
  OraField* f = nullptr;
  for (int i = 0; i < rs->Fields().Count(); ++i) {
    if (rs->Fields().Item(i)->Name() == name) f = rs->Fields().Item(i);
  }
  QVERIFY(f);
  QCOMPARE(f->OraIDataType(), type);
  QVERIFY(!rs->IsEOF());
  QCOMPARE(f->Value().typeId(), first.typeId());
  QCOMPARE(f->Value(), first);
  if (first.typeId() == QMetaType::QDateTime) {
    QCOMPARE(f->Value().toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
             QStringLiteral("2001/04/06 21:05:07"));
  }
  rs->MoveNext();
  QVERIFY(!rs->IsEOF());
  QCOMPARE(IsNull(f->Value()), IsNull(second));
  if (!IsNull(second)) QCOMPARE(f->Value(), second);
  rs->MoveNext();
  QVERIFY(rs->IsEOF());
  QVERIFY(!Err().pending());
}

void tst_OciDriver::arrayFetch() {
  auto db = open();
  auto rs =
      db->CreateDynaset(QStringLiteral("select n from many"), ORADYN_READONLY | ORADYN_NOCACHE);
  QVERIFY(rs);
  OraField* f = rs->Fields().Item(0);
  QCOMPARE(f->OraPrecision(), 0);
  QCOMPARE(f->OraScale(), -127);
  qlonglong expected = 1;
  while (!rs->IsEOF()) {
    QCOMPARE(f->Value(), QVariant(expected));
    ++expected;
    rs->MoveNext();
  }
  QCOMPARE(expected - 1, qlonglong(2500));
  QCOMPARE(db->LastServerErr(), 0);
  // Rows come in arrays, not one round trip each.
  QVERIFY2(log().count(QStringLiteral("\nfetch:")) <= 4, qPrintable(log()));
  QVERIFY(log().contains(QStringLiteral("define:N:1\n")));
}

void tst_OciDriver::wideRowsFetchFewerAtOnce() {
  auto db = open();
  // A LONG column takes a 64 KiB buffer per row; a thousand of them would be 64 MiB.
  QVERIFY(db->CreateDynaset(QStringLiteral("select * from types"), 0));
  const QRegularExpression fetch(QStringLiteral("\nfetch:(\\d+)"));
  const auto m = fetch.match(log());
  QVERIFY2(m.hasMatch(), qPrintable(log()));
  QVERIFY(m.captured(1).toInt() >= 1);
  QVERIFY(m.captured(1).toInt() <= 100);
}

void tst_OciDriver::fetchErrorMidway() {
  auto db = open();
  auto rs = db->CreateDynaset(QStringLiteral("select n from badrow"), 0);
  QVERIFY(rs);
  int rows = 0;
  while (!rs->IsEOF()) {
    ++rows;
    rs->MoveNext();
  }
  QCOMPARE(rows, 1000);
  // The fill's caller finds the failure on the database after the rows it did get.
  QCOMPARE(db->LastServerErr(), 1722);
  QCOMPARE(db->LastServerErrText(), QStringLiteral("ORA-01722: invalid number"));
}

void tst_OciDriver::errorOffset_data() {
  QTest::addColumn<QString>("sql");
  QTest::newRow("ascii") << QStringLiteral("select * from missing_table");
  QTest::newRow("japanese before the error")
      << QStringLiteral("select '日本語' as 名前, 'ｾｯｼｮﾝ' from missing_table");
  QTest::newRow("line breaks") << QStringLiteral("select\r\n  '表'\r\nfrom missing_table");
}

void tst_OciDriver::errorOffset() {
  QFETCH(QString, sql);
  auto db = open();
  QVERIFY(!db->CreateDynaset(sql, 0));
  QCOMPARE(db->LastServerErr(), 942);
  QCOMPARE(db->LastServerErrText(), QStringLiteral("ORA-00942: table or view does not exist"));
  QCOMPARE(db->LastServerErrPos(), int(sql.indexOf(QStringLiteral("missing_table"))));
  QVERIFY(!Err().pending());
  db->LastServerErrReset();
  QCOMPARE(db->LastServerErr(), 0);
  QCOMPARE(db->LastServerErrPos(), 0);
}

void tst_OciDriver::statementGate_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<bool>("runs");
  QTest::addColumn<int>("error");
  QTest::addColumn<QString>("errorAt");
  QTest::newRow("select") << QStringLiteral("select 1 from dual") << true << 0 << QString();
  QTest::newRow("with") << QStringLiteral("with a as (select 1 from dual) select * from a") << true
                        << 0 << QString();
  QTest::newRow("query after a comment, type not reported")
      << QStringLiteral("-- note\nselect 1 from dual") << true << 0 << QString();
  QTest::newRow("query in parentheses, type not reported")
      << QStringLiteral("(select 1 from dual)") << true << 0 << QString();
  QTest::newRow("prepared with a warning")
      << QStringLiteral("select * from warned") << true << 0 << QString();
  QTest::newRow("update") << QStringLiteral("update emp set sal = 0") << false << 0 << QString();
  QTest::newRow("delete after a comment")
      << QStringLiteral("/* x */ DELETE FROM emp") << false << 0 << QString();
  QTest::newRow("create") << QStringLiteral("create table t (x number)") << false << 0 << QString();
  QTest::newRow("block") << QStringLiteral("begin delete from emp; end;") << false << 0
                         << QString();
  QTest::newRow("commit") << QStringLiteral("commit") << false << 0 << QString();
  QTest::newRow("misspelt keyword: the server's error and position")
      << QStringLiteral("  selec * from dual") << false << 900 << QStringLiteral("selec");
  QTest::newRow("FOR UPDATE is refused with a message")
      << QStringLiteral("select * from emp for update") << false << 440
      << QStringLiteral("for update");
}

void tst_OciDriver::statementGate() {
  QFETCH(QString, sql);
  QFETCH(bool, runs);
  QFETCH(int, error);
  QFETCH(QString, errorAt);
  auto db = open();
  resetFn_();
  auto rs = db->CreateDynaset(sql, 0);
  QCOMPARE(bool(rs), runs);
  QCOMPARE(log().contains(QStringLiteral("execute:")), runs);
  QCOMPARE(db->LastServerErr(), error);
  if (error) QCOMPARE(db->LastServerErrPos(), int(sql.indexOf(errorAt)));
  QVERIFY(!Err().pending());
  // Whatever was prepared is released again.
  if (!runs) QVERIFY(log().contains(QStringLiteral("release")));
}

void tst_OciDriver::binds_data() {
  QTest::addColumn<QVariant>("value");
  QTest::addColumn<int>("serverType");
  QTest::addColumn<int>("boundAs");
  QTest::addColumn<QVariant>("echoed");
  const QDateTime when(QDate(2001, 4, 6), QTime(21, 5, 7));
  QTest::newRow("VARCHAR2") << QVariant(QStringLiteral("日本")) << int(ORATYPE_VARCHAR2) << 1
                            << QVariant(QStringLiteral("日本"));
  QTest::newRow("NUMBER as Oracle's number bytes")
      << QVariant(QStringLiteral("10.5")) << int(ORATYPE_NUMBER) << 6
      << QVariant(QStringLiteral("C10B33"));
  QTest::newRow("NUMBER from a double")
      << QVariant(-1.0) << int(ORATYPE_NUMBER) << 6 << QVariant(QStringLiteral("3E6466"));
  QTest::newRow("NUMBER that is no number goes as text for the server to refuse")
      << QVariant(QStringLiteral("abc")) << int(ORATYPE_NUMBER) << 1
      << QVariant(QStringLiteral("abc"));
  QTest::newRow("LONG as text") << QVariant(QStringLiteral("long")) << int(ORATYPE_LONG) << 1
                                << QVariant(QStringLiteral("long"));
  QTest::newRow("CHAR as fixed text") << QVariant(QStringLiteral("ab")) << int(ORATYPE_CHAR) << 96
                                      << QVariant(QStringLiteral("ab"));
  QTest::newRow("DATE") << QVariant(when) << int(ORATYPE_DATE) << 12 << QVariant(when);
  QTest::newRow("DATE from a date") << QVariant(QDate(2001, 4, 6)) << int(ORATYPE_DATE) << 12
                                    << QVariant(QDateTime(QDate(2001, 4, 6), QTime(0, 0)));
  QTest::newRow("DATE from text") << QVariant(QStringLiteral("2001/04/06 21:05:07"))
                                  << int(ORATYPE_DATE) << 12 << QVariant(when);
  QTest::newRow("DATE the driver cannot read goes to the server as text")
      << QVariant(QStringLiteral("06-APR-01")) << int(ORATYPE_DATE) << 1
      << QVariant(QStringLiteral("06-APR-01"));
  QTest::newRow("Null") << QVariant() << int(ORATYPE_VARCHAR2) << 1 << QVariant();
}

void tst_OciDriver::binds() {
  QFETCH(QVariant, value);
  QFETCH(int, serverType);
  QFETCH(int, boundAs);
  QFETCH(QVariant, echoed);
  auto db = open();
  db->Parameters().Add(QStringLiteral("X"), value, ORAPARM_INPUT);
  db->Parameters().Item(QStringLiteral("X"))->SetServerType(serverType);
  // The placeholder is written in lower case; names match regardless of case.
  auto rs = db->CreateDynaset(QStringLiteral("select :x from binds"), 0);
  QVERIFY2(rs, qPrintable(db->LastServerErrText()));
  QVERIFY2(log().contains(QStringLiteral("bind:X:%1:").arg(boundAs)), qPrintable(log()));
  const QVariant got = rs->Fields().Item(0)->Value();
  QCOMPARE(IsNull(got), IsNull(echoed));
  if (!IsNull(echoed)) QCOMPARE(got, echoed);
}

void tst_OciDriver::unusedParameterIsNotBound() {
  auto db = open();
  db->Parameters().Add(QStringLiteral("UNUSED"), QStringLiteral("1"), ORAPARM_INPUT);
  db->Parameters().Add(QStringLiteral("Y"), QStringLiteral("2"), ORAPARM_INPUT);
  auto rs = db->CreateDynaset(QStringLiteral("select :y from binds"), 0);
  QVERIFY2(rs, qPrintable(db->LastServerErrText()));
  QVERIFY(!log().contains(QStringLiteral("bind:UNUSED")));
  QCOMPARE(rs->Fields().Count(), 1);
  QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(QStringLiteral("2")));
  // A session's variables never stop a statement that has no placeholders.
  QVERIFY(db->CreateDynaset(QStringLiteral("select * from dual"), 0));
}

void tst_OciDriver::parameterCollection() {
  auto db = open();
  OraParameters& p = db->Parameters();
  p.Add(QStringLiteral("A"), QStringLiteral("1"), ORAPARM_INPUT);
  p.Add(QStringLiteral("B"), QStringLiteral("2"), ORAPARM_OUTPUT);
  p.Add(QStringLiteral("C"), QStringLiteral("3"), ORAPARM_BOTH);
  QVERIFY(!Err().pending());
  QCOMPARE(p.Item(0)->Status(), ORAPSTAT_INPUT);
  QCOMPARE(p.Item(QStringLiteral("b"))->Status(), ORAPSTAT_OUTPUT);
  QCOMPARE(p.Item(2)->Status(), ORAPSTAT_BOTH);
  p.Add(QStringLiteral("a"), QStringLiteral("x"), ORAPARM_INPUT);
  QVERIFY(Err().pending());
  ErrClear();
  QCOMPARE(p.Count(), 3);
  p.Remove(QStringLiteral("B"));
  QCOMPARE(p.Count(), 2);
  QCOMPARE(p.Item(1)->Name(), QStringLiteral("C"));
  p.Remove(QStringLiteral("B"));
  QVERIFY(Err().pending());
  ErrClear();
  QVERIFY(!p.Item(QStringLiteral("B")));
  QVERIFY(Err().pending());
  ErrClear();
  QVERIFY(!p.Item(5));
  QVERIFY(Err().pending());
  ErrClear();
}

void tst_OciDriver::closeRollsBackBeforeDetach() {
  auto db = open();
  auto rs = db->CreateDynaset(QStringLiteral("select n from many"), 0);
  QVERIFY(rs);
  resetFn_();
  db->Close();
  const QString l = log();
  const auto rollback = l.indexOf(QStringLiteral("rollback"));
  QVERIFY2(rollback >= 0, qPrintable(l));
  QVERIFY(rollback < l.indexOf(QStringLiteral("sessionend")));
  QVERIFY(l.indexOf(QStringLiteral("sessionend")) < l.indexOf(QStringLiteral("detach")));
  // The open result set was closed with the database.
  QVERIFY(l.indexOf(QStringLiteral("release")) < rollback);
  QVERIFY(rs->IsEOF());
  rs->MoveNext();
  QVERIFY(Err().pending());
  ErrClear();
  QVERIFY(!db->CreateDynaset(QStringLiteral("select 1 from dual"), 0));
  QVERIFY(Err().pending());
  ErrClear();
  db->Close();
  QCOMPARE(log().count(QStringLiteral("detach")), 1);
}

void tst_OciDriver::releaseWithoutCloseFreesEverything() {
  const int before = liveHandles();
  {
    auto db = open();
    auto rs = db->CreateDynaset(QStringLiteral("select * from types"), 0);
    QVERIFY(rs);
    db.reset();
    // The result set still reads after the database reference is gone.
    QVERIFY(!IsNull(rs->Fields().Item(0)->Value()));
    QVERIFY(!log().contains(QStringLiteral("detach")));
  }
  QVERIFY(log().contains(QStringLiteral("rollback")));
  QVERIFY(log().contains(QStringLiteral("detach")));
  QCOMPARE(liveHandles(), before);
}

void tst_OciDriver::sessionRollBack() {
  auto db = open();
  session_->BeginTrans();
  auto rs = db->CreateDynaset(QStringLiteral("select * from types"), 0);
  session_->RollBack();
  QCOMPARE(log().count(QStringLiteral("rollback")), 1);
  QCOMPARE(session_->LastServerErr(), 0);
  // A query's rows survive the rollback.
  QVERIFY(rs && !rs->IsEOF());
}

void tst_OciDriver::breakSlowFetch() {
  auto db = open();
  auto rs = db->CreateDynaset(QStringLiteral("select s from slow"), 0);
  QVERIFY(rs);
  rs->MoveNext();
  rs->MoveNext();
  QCOMPARE(rs->Fields().Item(0)->Value(), QVariant(QStringLiteral("c")));
  // The window's stop command, reached through the wait hook while the fetch waits.
  int waits = 0;
  db->SetWaitHook([&] {
    if (++waits == 5) db->Break();
  });
  rs->MoveNext();
  QVERIFY(waits >= 5);
  QVERIFY2(log().contains(QStringLiteral("\nbreak\n")), qPrintable(log()));
  // The fill ends with the rows it has.
  QVERIFY(rs->IsEOF());
  QCOMPARE(db->LastServerErr(), 0);
  QVERIFY(!Err().pending());
  db->SetWaitHook({});
  auto next = db->CreateDynaset(QStringLiteral("select 1 from dual"), 0);
  QVERIFY(next && !next->IsEOF());
}

void tst_OciDriver::breakSlowExecution() {
  auto db = open();
  int waits = 0;
  db->SetWaitHook([&] {
    if (++waits == 5) db->Break();
  });
  QVERIFY(!db->CreateDynaset(QStringLiteral("select * from slowexec"), 0));
  QCOMPARE(db->LastServerErr(), kOraUserCancel);
  QCOMPARE(db->LastServerErrText(), QString::fromLatin1(kOraUserCancelText));
  QVERIFY(log().contains(QStringLiteral("\nbreak\n")));
  // The connection serves the next statement.
  db->LastServerErrReset();
  auto next = db->CreateDynaset(QStringLiteral("select 1 from dual"), 0);
  QVERIFY2(next && !next->IsEOF(), qPrintable(db->LastServerErrText()));
}

void tst_OciDriver::breakWithNothingRunning() {
  auto db = open();
  auto rs = db->CreateDynaset(QStringLiteral("select n from many"), 0);
  QVERIFY(rs);
  // A stop that comes late, between statements or between a result set's fetches, sends nothing.
  db->Break();
  QVERIFY(!log().contains(QStringLiteral("break")));
  int rows = 0;
  for (; !rs->IsEOF(); rs->MoveNext()) ++rows;
  QCOMPARE(rows, 2500);
  db->Break();
  // A stop while the driver works between calls keeps the next call from starting, no more.
  db->SetWaitHook([&] {
    if (log().contains(QStringLiteral("pause"))) db->Break();
  });
  QVERIFY(db->CreateDynaset(QStringLiteral("select * from pause"), 0));
  db->SetWaitHook({});
  QVERIFY2(!log().contains(QStringLiteral("break")), qPrintable(log()));
  QVERIFY(db->CreateDynaset(QStringLiteral("select 1 from dual"), 0));
  QCOMPARE(db->LastServerErr(), 0);
}

void tst_OciDriver::closeDuringSlowFetch() {
  auto db = open();
  auto holder = db->CreateDynaset(QStringLiteral("select s from slow"), 0);
  QVERIFY(holder);
  OraDynaset* rs = holder.get();
  rs->MoveNext();
  rs->MoveNext();
  // A handler run while rows are awaited closes the result set and drops the last reference.
  db->SetWaitHook([&] {
    if (!holder) return;
    holder->Close();
    holder.reset();
  });
  rs->MoveNext();
  QVERIFY(!holder);
  QCOMPARE(db->LastServerErr(), 0);
  db->SetWaitHook({});
  // Nothing is left running, so a stop now must not break the next statement.
  db->Break();
  QVERIFY(db->CreateDynaset(QStringLiteral("select 1 from dual"), 0));
  QCOMPARE(db->LastServerErr(), 0);
}

void tst_OciDriver::closeOtherResultSetDuringFetch() {
  const int before = liveHandles();
  {
    auto db = open();
    auto first = db->CreateDynaset(QStringLiteral("select n from many"), 0);
    auto slow = db->CreateDynaset(QStringLiteral("select s from slow"), 0);
    QVERIFY(first && slow);
    slow->MoveNext();
    slow->MoveNext();
    // The older result set is closed while the newer one's fetch holds the connection.
    int waits = 0;
    db->SetWaitHook([&] {
      if (++waits == 1) first->Close();
      if (waits == 5) db->Break();
    });
    slow->MoveNext();
    QVERIFY(slow->IsEOF());
    QVERIFY2(!log().contains(QStringLiteral("refused")), qPrintable(log()));
  }
  QCOMPARE(liveHandles(), before);
}

QTEST_GUILESS_MAIN(tst_OciDriver)
#include "tst_OciDriver.moc"
