// The Oracle client driver over a stand-in client library (fixtures/fake_oci.cpp), then the
// conversions that need no library.
#include <QLibrary>
#include <QtTest>

#include "core/RunErr.h"
#include "oracle/OraFactory.h"
#include "oracle/ParameterChecks.h"
#include "oracle/oci/OciApi.h"
#include "oracle/oci/OciConvert.h"
#include "oracle/oci/OciDriver.h"

using namespace ora;
using namespace ora::oci;

class tst_OciDriver : public QObject {
  Q_OBJECT
  QLibrary fake_{QStringLiteral(QUERNA_FAKE_OCI)};
  const char* (*logFn_)() = nullptr;
  void (*resetFn_)() = nullptr;
  int (*liveFn_)() = nullptr;
  std::shared_ptr<OraSession> session_;

  std::shared_ptr<OraDatabase> open() { return session_->OpenDatabase("orcl", "scott/tiger", 0); }
  QString log() const { return QString::fromUtf8(logFn_()); }

 private slots:
  void initTestCase() {
    QVERIFY2(fake_.load(), qPrintable(fake_.errorString()));
    logFn_ = reinterpret_cast<const char* (*)()>(fake_.resolve("fake_oci_log"));
    resetFn_ = reinterpret_cast<void (*)()>(fake_.resolve("fake_oci_reset"));
    liveFn_ = reinterpret_cast<int (*)()>(fake_.resolve("fake_oci_live_handles"));
    QVERIFY(logFn_ && resetFn_ && liveFn_);
  }
  void init() {
    oci::SetLibraryNamesForTest({QStringLiteral(QUERNA_FAKE_OCI)});
    session_ = oci::CreateOciSession();
    QVERIFY(session_);
    resetFn_();
    ErrClear();
  }
  void cleanupTestCase() {
    session_.reset();
    oci::SetLibraryNamesForTest({});
  }

  void loadFailure_data() {
    QTest::addColumn<QStringList>("names");
    const QString none = "/nonexistent/libclntsh.so", broken = QUERNA_NOSYMS_OCI;
    QTest::newRow("no library") << QStringList{none};
    QTest::newRow("library without the calls") << QStringList{broken};
    QTest::newRow("the first usable name wins, a broken one stops the search")
        << QStringList{none, broken, QUERNA_FAKE_OCI};
  }
  void loadFailure() {
    QFETCH(QStringList, names);
    oci::SetLibraryNamesForTest(names);
    QVERIFY(!oci::CreateOciSession());
    // The logon asks the factory, which must pass the failure on as "no session object".
    QVERIFY(!CreateOraSession("orcl"));
    oci::SetLibraryNamesForTest({QStringLiteral(QUERNA_FAKE_OCI)});
    QVERIFY(oci::CreateOciSession());
    // Threaded, AL32UTF8 for both character sets.
    QVERIFY2(log().contains("env:1:873:873"), qPrintable(log()));
  }

  void logon_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const QString denied = "ORA-01017: invalid username/password; logon denied";
    auto row = [](const char* name, const char* host, const char* connect, int error,
                  const QString& text) { QTest::newRow(name) << host << connect << error << text; };
    row("success", "orcl", "scott/tiger", 0, {});
    row("wrong password", "orcl", "scott/lion", 1017, denied);
    row("no listener", "down", "scott/tiger", 12224, "ORA-12224: TNS:no listener");
  }
  void logon() {
    QFETCH(QString, host);
    QFETCH(QString, connect);
    QFETCH(int, error);
    QFETCH(QString, text);
    const int before = liveFn_();
    auto db = session_->OpenDatabase(host, connect, 0);
    QCOMPARE(session_->LastServerErr(), error);
    QCOMPARE(session_->LastServerErrText(), text);
    QVERIFY(log().contains("attach:" + host));
    QCOMPARE(bool(db), error == 0);
    QCOMPARE(Err().pending(), error != 0);
    if (error == 0) return;
    QCOMPARE(Err().Description, text);
    QCOMPARE(liveFn_(), before);
  }

  void describeAndValues_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("first");
    QTest::addColumn<QVariant>("second");
    auto row = [](const char* what, const char* name, int type, const QVariant& first,
                  const QVariant& second = {}) {
      QTest::newRow(what) << QString(name) << type << first << second;
    };
    row("VARCHAR2", "VC", ORATYPE_VARCHAR2, "日本語テキスト");
    row("NUMBER", "NM", ORATYPE_NUMBER, 12345.67, -0.5);
    row("DATE", "DT", ORATYPE_DATE, QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)));
    row("ROWID reported as 11", "RID", ORATYPE_ROWID, "AAAR3sAAEAAAACXAAA", "AAAR3sAAEAAAACXAAB");
    row("CHAR is exactly the column's value", "CH", ORATYPE_CHAR, "ab   ");
    row("RAW as bytes", "RW", ORATYPE_RAW, QByteArray("\x01\xab", 2));
    row("TIMESTAMP as text", "TS", ORATYPE_VARCHAR2, "2001/04/06 21:05:07.000000");
    row("BINARY_FLOAT as the number it prints as", "BF", ORATYPE_NUMBER, 1.1);
    row("BINARY_DOUBLE", "BD", ORATYPE_NUMBER, 0.1);
    row("NCLOB", "NCL", ORATYPE_VARCHAR2, "全角ＮＣＬＯＢ");
    row("BLOB as bytes", "BL", ORATYPE_BLOB, QByteArray("\x00\xff", 2));
    const QString big = "a" + QString(70000, QChar(0x65E5)), cut = "…(以下省略)";
    row("CLOB cut by characters", "HUGE", ORATYPE_VARCHAR2, big.left(65536) + cut);
    row("LONG cut on a whole character", "LLN", ORATYPE_LONG, big.left(21844) + cut);
    row("LONG cut on a character's end", "LLB", ORATYPE_LONG, big.mid(1, 21844) + cut);
    row("NUMBER beyond double", "BIG", ORATYPE_NUMBER, "12345678901234567890123", qlonglong(0));
  }
  void describeAndValues() {
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(QVariant, first);
    QFETCH(QVariant, second);
    auto db = open();
    auto rs = db->CreateDynaset("select * from types", ORADYN_DEFAULT);
    QVERIFY(rs && !rs->IsEOF());
    OraField* f = nullptr;
    for (int i = 0; i < rs->Fields().Count(); ++i)
      if (rs->Fields().Item(i)->Name() == name) f = rs->Fields().Item(i);
    QVERIFY(f);
    QCOMPARE(f->OraIDataType(), type);
    QCOMPARE(f->Value().typeId(), first.typeId());
    QCOMPARE(f->Value(), first);
    rs->MoveNext();
    QVERIFY(!rs->IsEOF());
    QCOMPARE(IsNull(f->Value()), IsNull(second));
    if (!IsNull(second)) QCOMPARE(f->Value(), second);
    rs->MoveNext();
    QVERIFY(rs->IsEOF());
    QVERIFY(!Err().pending());
    QCOMPARE(db->LastServerErr(), 0);
  }

  void arrayFetch_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("error");
    QTest::newRow("all rows") << "many" << 2500 << 0;
    // The fill's caller finds the failure on the database after the rows it did get.
    QTest::newRow("second fetch fails") << "badrow" << 1000 << 1722;
  }
  void arrayFetch() {
    QFETCH(QString, table);
    QFETCH(int, rows);
    QFETCH(int, error);
    auto db = open();
    auto rs = db->CreateDynaset("select n from " + table, ORADYN_READONLY | ORADYN_NOCACHE);
    QVERIFY(rs);
    OraField* f = rs->Fields().Item(0);
    QCOMPARE(f->OraPrecision(), 0);
    QCOMPARE(f->OraScale(), -127);
    // A stop that comes late, between a result set's fetches, sends nothing and stops nothing.
    db->Break();
    qlonglong expected = 1;
    for (; !rs->IsEOF(); rs->MoveNext()) QCOMPARE(f->Value(), QVariant(expected++));
    QCOMPARE(expected - 1, qlonglong(rows));
    QCOMPARE(db->LastServerErr(), error);
    // Rows come in arrays, not one round trip each.
    QVERIFY2(log().count("\nfetch:") <= 4 && !log().contains("break"), qPrintable(log()));
    QVERIFY(log().contains("define:N:1\n"));
    // A LONG column takes a 64 KiB buffer per row; a thousand of them would be 64 MiB.
    resetFn_();
    QVERIFY(db->CreateDynaset("select * from types", 0));
    const auto m = QRegularExpression("\nfetch:(\\d+)").match(log());
    QVERIFY2(m.hasMatch() && m.captured(1).toInt() <= 100, qPrintable(log()));
  }

  void statementGate_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("errorAt");
    auto row = [](const char* name, const char* sql, bool runs, int error, const char* at) {
      QTest::newRow(name) << QString::fromUtf8(sql) << runs << error << QString::fromUtf8(at);
    };
    row("query after a comment, type not reported", "-- note\nselect 1 from dual", true, 0, "");
    row("prepared with a warning", "select * from warned", true, 0, "");
    row("update", "update emp set sal = 0", false, 0, "");
    row("misspelt keyword", "  selec * from dual", false, 900, "selec");
    row("FOR UPDATE refused", "select * from emp for update", false, 440, "for update");
    // The server reports byte offsets; the message points at characters.
    row("after japanese text", "select '日本語' 名前,\r\n 'ｾｯｼｮﾝ' from missing_table", true, 942,
        "missing_table");
  }
  void statementGate() {
    QFETCH(QString, sql);
    QFETCH(bool, runs);
    QFETCH(int, error);
    QFETCH(QString, errorAt);
    auto db = open();
    resetFn_();
    auto rs = db->CreateDynaset(sql, 0);
    QCOMPARE(bool(rs), runs && error == 0);
    QCOMPARE(log().contains("execute:"), runs);
    QCOMPARE(db->LastServerErr(), error);
    QVERIFY(!Err().pending());
    // Whatever was prepared is released again.
    if (!runs) QVERIFY(log().contains("release"));
    if (!error) return;
    QCOMPARE(db->LastServerErrPos(), int(sql.indexOf(errorAt)));
  }

  void binds_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("serverType");
    QTest::addColumn<int>("boundAs");
    QTest::addColumn<QVariant>("echoed");
    auto row = [](const char* name, const QVariant& value, int serverType, int boundAs,
                  const QVariant& echoed) {
      QTest::newRow(name) << value << serverType << boundAs << echoed;
    };
    const QDateTime when(QDate(2001, 4, 6), QTime(21, 5, 7));
    row("VARCHAR2", "日本", ORATYPE_VARCHAR2, 1, "日本");
    row("NUMBER as Oracle's number bytes", "10.5", ORATYPE_NUMBER, 6, "C10B33");
    row("NUMBER from a double", -1.0, ORATYPE_NUMBER, 6, "3E6466");
    row("NUMBER that is no number goes as text", "abc", ORATYPE_NUMBER, 1, "abc");
    row("CHAR as fixed text", "ab", ORATYPE_CHAR, 96, "ab");
    row("DATE", when, ORATYPE_DATE, 12, when);
    row("DATE from text", "2001/04/06 21:05:07", ORATYPE_DATE, 12, when);
    row("DATE the driver cannot read goes as text", "06-APR-01", ORATYPE_DATE, 1, "06-APR-01");
    row("Null", QVariant(), ORATYPE_VARCHAR2, 1, QVariant());
  }
  void binds() {
    QFETCH(QVariant, value);
    QFETCH(int, serverType);
    QFETCH(int, boundAs);
    QFETCH(QVariant, echoed);
    auto db = open();
    db->Parameters().Add("X", value, ORAPARM_INPUT);
    db->Parameters().Item("X")->SetServerType(serverType);
    db->Parameters().Add("UNUSED", "1", ORAPARM_INPUT);
    // Names match regardless of case; a parameter the statement does not name is not bound.
    auto rs = db->CreateDynaset("select :x from binds", 0);
    QVERIFY2(rs, qPrintable(db->LastServerErrText()));
    QVERIFY2(log().contains(QStringLiteral("bind:x:%1:").arg(boundAs)), qPrintable(log()));
    QVERIFY(!log().contains("bind:UNUSED"));
    const QVariant got = rs->Fields().Item(0)->Value();
    QCOMPARE(IsNull(got), IsNull(echoed));
    if (!IsNull(echoed)) QCOMPARE(got, echoed);
    // A session's variables never stop a statement that has no placeholders.
    QVERIFY(db->CreateDynaset("select * from dual", 0));
  }

  void parameterCollection() { CheckParameterCollection(open()->Parameters()); }

  // Closing, by Close() or by the last reference, rolls back, ends, detaches and frees, once.
  void closeRollsBackBeforeDetach_data() {
    QTest::addColumn<bool>("explicitClose");
    QTest::newRow("Close()") << true;
    QTest::newRow("last references dropped") << false;
  }
  void closeRollsBackBeforeDetach() {
    QFETCH(bool, explicitClose);
    const int before = liveFn_();
    auto db = open();
    session_->BeginTrans();
    auto rs = db->CreateDynaset("select * from types", 0);
    QVERIFY(rs);
    // The session's rollback keeps a query's rows.
    session_->RollBack();
    QCOMPARE(log().count("rollback"), 1);
    QVERIFY(!rs->IsEOF());
    resetFn_();
    if (explicitClose) {
      db->Close();
    } else {
      db.reset();
      // The result set still reads after the database reference is gone.
      QVERIFY(!IsNull(rs->Fields().Item(0)->Value()));
      rs.reset();
    }
    QCOMPARE(log().split('\n').filter(QRegularExpression("^(release|rollback|sessionend|detach)$")),
             QStringList({"release", "rollback", "sessionend", "detach"}));
    QCOMPARE(liveFn_(), before);
    if (!explicitClose) return;
    QVERIFY(rs->IsEOF());
    rs->MoveNext();
    QVERIFY(Err().pending());
    ErrClear();
    QVERIFY(!db->CreateDynaset("select 1 from dual", 0));
    QVERIFY(Err().pending());
    ErrClear();
    db->Close();
    QCOMPARE(log().count("detach"), 1);
  }

  // A stop from the wait hook ends a waiting fetch with its rows, an execution with ORA-01013; a
  // result set closed meanwhile has its statement released only once the fetch is over.
  void breakSlowCall_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("closes");
    const QString slow = "select s from slow";
    QTest::newRow("fetch") << slow << QString();
    QTest::newRow("execution") << "select * from slowexec" << QString();
    QTest::newRow("fetch, its result set closed") << slow << "own";
    QTest::newRow("fetch, an older result set closed") << slow << "older";
  }
  void breakSlowCall() {
    QFETCH(QString, sql);
    QFETCH(QString, closes);
    const bool duringFetch = sql.endsWith("slow");
    const int before = liveFn_();
    {
      auto db = open();
      auto older = db->CreateDynaset("select n from many", 0);
      auto rs = duringFetch ? db->CreateDynaset(sql, 0) : nullptr;
      QVERIFY(older && bool(rs) == duringFetch);
      OraDynaset* fetching = rs.get();
      if (duringFetch) {
        rs->MoveNext();
        rs->MoveNext();
        QCOMPARE(rs->Fields().Item(0)->Value(), QVariant("c"));
      }
      int waits = 0;
      db->SetWaitHook([&] {
        if (++waits == 1 && closes == "own") {
          rs->Close();
          rs.reset();
        }
        if (waits == 1 && closes == "older") older->Close();
        if (waits == 5) db->Break();
      });
      if (duringFetch)
        fetching->MoveNext();
      else
        QVERIFY(!db->CreateDynaset(sql, 0));
      QVERIFY2(log().contains("\nbreak\n") && !log().contains("refused"), qPrintable(log()));
      QCOMPARE(db->LastServerErr(), duringFetch ? 0 : kOraUserCancel);
      if (!duringFetch) QCOMPARE(db->LastServerErrText(), QString(kOraUserCancelText));
      QCOMPARE(bool(rs), duringFetch && closes != "own");
      if (rs) QVERIFY(rs->IsEOF());
      QVERIFY(!Err().pending());
      // The connection serves the next statement; a stop with nothing running breaks nothing.
      db->SetWaitHook({});
      db->LastServerErrReset();
      db->Break();
      auto next = db->CreateDynaset("select 1 from dual", 0);
      QVERIFY2(next && !next->IsEOF(), qPrintable(db->LastServerErrText()));
    }
    QCOMPARE(liveFn_(), before);
  }

  void breakWithNothingRunning() {
    auto db = open();
    // A stop while the driver works between calls keeps the next call from starting, no more.
    db->SetWaitHook([&] {
      if (log().contains("pause")) db->Break();
    });
    QVERIFY(db->CreateDynaset("select * from pause", 0));
    db->SetWaitHook({});
    QVERIFY2(!log().contains("break"), qPrintable(log()));
    QVERIFY(db->CreateDynaset("select 1 from dual", 0));
    QCOMPARE(db->LastServerErr(), 0);
  }

  void decodeDate_data() {
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QDateTime>("expected");
    auto row = [](const char* name, const char* hex, QDate d, QTime t) {
      QTest::newRow(name) << QByteArray(hex) << QDateTime(d, t);
    };
    row("documented example", "77C00B1E101201", {1992, 11, 30}, {15, 17, 0});
    row("BC", "35580101010101", {-4712, 1, 1}, {0, 0, 0});
    row("hour byte 0", "78650101000101", {}, {});
    row("30 February", "7865021E010101", {}, {});
  }
  void decodeDate() {
    QFETCH(QByteArray, hex);
    QFETCH(QDateTime, expected);
    const QByteArray bytes = QByteArray::fromHex(hex);
    const QDateTime got = DecodeOracleDate(reinterpret_cast<const unsigned char*>(bytes.data()));
    QCOMPARE(got, expected);
    if (!expected.isValid()) return;
    unsigned char back[7] = {};
    QVERIFY(EncodeOracleDate(got, back));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(back), 7), bytes);
  }

  void numberText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVariant>("expected");
    auto row = [](const char* text, const QVariant& v) {
      QTest::newRow(text) << QByteArray(text) << v;
    };
    row("3,25", 3.25);
    row("100.000", qlonglong(100));
    row("1.5E+20", 1.5e20);
    row("9223372036854775807", qlonglong(9223372036854775807LL));
    row("9223372036854775808", QStringLiteral("9223372036854775808"));
    row("12345678901234567890123", QStringLiteral("12345678901234567890123"));
    row("-1.2345678901234567890E+25", QStringLiteral("-12345678901234567890000000"));
    row("  8 ", qlonglong(8));
    row("12abc", QStringLiteral("12abc"));
  }
  void numberText() {
    QFETCH(QByteArray, text);
    QFETCH(QVariant, expected);
    const QVariant got = NumberTextToValue(text);
    QCOMPARE(got.typeId(), expected.typeId());
    QCOMPARE(got, expected);
  }

  void encodeNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // The bytes of Oracle's DUMP() for each value, after the length byte; none when refused.
    for (auto [text, hex] : std::initializer_list<std::pair<const char*, const char*>>{
             {"0", "80"},
             {"-123.45", "3D644E3866"},
             {"0.001", "BF0B"},
             {"1.5E+20", "CB0233"},
             {"12abc", ""},
             {"777777777777777777777777777777777777777777777", ""},
             {"1E+200", ""}})
      QTest::newRow(text) << QString(text) << QByteArray::fromHex(hex);
  }
  void encodeNumber() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    unsigned char vnu[22] = {};
    QCOMPARE(EncodeOracleNumber(text, vnu), !bytes.isEmpty());
    if (bytes.isEmpty()) return;
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(vnu + 1), vnu[0]).toHex(), bytes.toHex());
  }

  void byteOffset_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("bytePos");
    QTest::addColumn<int>("expected");
    QTest::newRow("outside the basic plane counts twice") << "select '😀' x fromm dual" << 16 << 14;
    // One byte into the three bytes of 本: the character has not been reached.
    QTest::newRow("inside a character") << "select '日本' from t" << 12 << 9;
    QTest::newRow("past the end") << "select" << 1000 << 6;
  }
  void byteOffset() {
    QFETCH(QString, sql);
    QFETCH(int, bytePos);
    QFETCH(int, expected);
    QCOMPARE(ByteOffsetToCharOffset(sql.toUtf8(), bytePos), expected);
  }

  // The kind of a statement by the client's type, else by its text; where FOR UPDATE starts.
  void statementKind_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("forUpdateAt");
    const int query = int(StatementKind::Query), other = int(StatementKind::NotQuery),
              unknown = int(StatementKind::Unknown);
    auto row = [](const char* name, int type, const char* sql, int kind, int at = -1) {
      QTest::newRow(name) << type << QString(sql) << kind << at;
    };
    row("with, type not reported", 0, "WITH a AS (SELECT 1 x FROM dual) SELECT * FROM a", query);
    row("with after comments", 0, "--\n/**/ ( with a as (select 1 x) select * from a)", query);
    row("insert with a with", 4, "insert into t with a as (select 1 from t) select 1", other);
    row("grant after a comment", 0, "-- x\ngrant dba to scott", other);
    row("misspelt", 0, "selec * from dual", unknown);
    row("word starting with with", 0, "withdraw all", unknown);
    row("empty", 0, "", unknown);
    row("for update", 1, "select * from emp for update", query, 18);
    row("for update with columns, any case", 1, "select * from emp FOR\n UPDATE of sal", query, 18);
    row("for update in a literal", 1, "select 'for update' from dual", query);
    row("column named for_update", 1, "select for_update from t", query);
  }
  void statementKind() {
    QFETCH(int, type);
    QFETCH(QString, sql);
    QFETCH(int, kind);
    QFETCH(int, forUpdateAt);
    QCOMPARE(int(ClassifyStatement(type, sql)), kind);
    QCOMPARE(ForUpdatePosition(sql), forUpdateAt);
  }

  void placeholders_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("each once") << "select :a, :B from t where x = :A" << QStringList{"a", "B"};
    QTest::newRow("numbered") << "select * from t where a = :1 and b = :2" << QStringList{"1", "2"};
    QTest::newRow("in a literal") << "select ':x' from dual" << QStringList{};
    QTest::newRow("in a q-quote") << "select q'[it's :x]', :y from dual" << QStringList{"y"};
    QTest::newRow("in comments") << "-- :x\nselect /* :z */ :y from dual" << QStringList{"y"};
    QTest::newRow("quoted identifier") << "select \"A:B\" from t" << QStringList{};
    QTest::newRow("japanese name") << "select :名前 from dual" << QStringList{"名前"};
  }
  void placeholders() {
    QFETCH(QString, sql);
    QFETCH(QStringList, names);
    QCOMPARE(PlaceholderNames(sql), names);
  }
};

QTEST_GUILESS_MAIN(tst_OciDriver)
#include "tst_OciDriver.moc"
