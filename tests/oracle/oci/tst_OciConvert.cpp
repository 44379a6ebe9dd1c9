// Conversions of the Oracle client driver that need no library: dates, numbers, error offsets, the
// statement gate, type codes and placeholder names.
#include <QtTest>

#include "oracle/oci/OciConvert.h"

using namespace ora::oci;

class tst_OciConvert : public QObject {
  Q_OBJECT

 private slots:
  void decodeDate_data() {
    QTest::addColumn<QByteArray>("hex");
    QTest::addColumn<QDateTime>("expected");
    auto row = [](const char* name, const char* hex, QDate d, QTime t) {
      QTest::newRow(name) << QByteArray(hex) << QDateTime(d, t);
    };
    row("documented example", "77C00B1E101201", {1992, 11, 30}, {15, 17, 0});
    row("last moment", "C7C70C1F183C3C", {9999, 12, 31}, {23, 59, 59});
    row("BC", "35580101010101", {-4712, 1, 1}, {0, 0, 0});
    row("month 13", "78650D01010101", {}, {});
    row("hour byte 0", "78650101000101", {}, {});
    row("30 February", "7865021E010101", {}, {});
  }
  void decodeDate() {
    QFETCH(QByteArray, hex);
    QFETCH(QDateTime, expected);
    const QByteArray bytes = QByteArray::fromHex(hex);
    const QDateTime got = DecodeOracleDate(reinterpret_cast<const unsigned char*>(bytes.data()));
    QCOMPARE(got.isValid(), expected.isValid());
    if (!expected.isValid()) return;
    QCOMPARE(got.date(), expected.date());
    QCOMPARE(got.time(), expected.time());
    unsigned char back[7] = {};
    QVERIFY(EncodeOracleDate(got, back));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(back), 7), bytes);
  }

  void encodeDateRejectsWhatOracleCannotHold() {
    unsigned char out[7] = {};
    QVERIFY(!EncodeOracleDate(QDateTime(QDate(10000, 1, 1), QTime(0, 0)), out));
  }

  void numberText_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVariant>("expected");
    auto row = [](const char* text, const QVariant& v) {
      QTest::newRow(text) << QByteArray(text) << v;
    };
    row("-7", qlonglong(-7));
    row("12345.67", 12345.67);
    row("-.5", -0.5);
    row("3,25", 3.25);
    row("100.000", qlonglong(100));
    row("1.5E+20", 1.5e20);
    row("1E-130", 1e-130);
    row("9223372036854775807", qlonglong(9223372036854775807LL));
    row("9223372036854775808", QStringLiteral("9223372036854775808"));
    row("12345678901234567890123", QStringLiteral("12345678901234567890123"));
    row("-0.0001234567890123456789", QStringLiteral("-0.0001234567890123456789"));
    row("-1.2345678901234567890E+25", QStringLiteral("-12345678901234567890000000"));
    row("  8 ", qlonglong(8));
    row("~", QStringLiteral("~"));
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
             {"1", "C102"},
             {"0.5", "C033"},
             {"123.45", "C202182E"},
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
    QTest::addColumn<QString>("marker");
    QTest::addColumn<int>("byteShift");
    QTest::addColumn<int>("expected");
    const QString ascii = QStringLiteral("select * fromm dual");
    const QString ja = QStringLiteral("select '日本語' as 名前 from missing_table");
    const QString emoji = QStringLiteral("select '😀' x fromm dual");
    QTest::newRow("outside the basic plane counts twice")
        << emoji << "fromm" << 0 << int(emoji.indexOf("fromm"));
    // One byte into the three bytes of 本: the character has not been reached.
    QTest::newRow("inside a character") << ja << "本" << 1 << int(ja.indexOf("本"));
    QTest::newRow("past the end") << ascii << QString() << 1000 << int(ascii.size());
    QTest::newRow("negative") << ascii << QString() << -5 << 0;
  }
  void byteOffset() {
    QFETCH(QString, sql);
    QFETCH(QString, marker);
    QFETCH(int, byteShift);
    QFETCH(int, expected);
    const QByteArray utf8 = sql.toUtf8();
    const int bytePos = (marker.isEmpty() ? 0 : int(utf8.indexOf(marker.toUtf8()))) + byteShift;
    QCOMPARE(ByteOffsetToCharOffset(utf8, bytePos), expected);
  }

  void statementGate_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("kind");
    const int query = int(StatementKind::Query), other = int(StatementKind::NotQuery),
              unknown = int(StatementKind::Unknown);
    QTest::newRow("with, type not reported")
        << 0 << "WITH a AS (SELECT 1 x FROM dual) SELECT * FROM a" << query;
    QTest::newRow("with after comments and parenthesis")
        << 0 << "-- note\n/* block */ ( with a as (select 1 from dual) select * from a)" << query;
    QTest::newRow("insert with a subquery factoring clause")
        << 4 << "insert into t with a as (select 1 from dual) select * from a" << other;
    QTest::newRow("truncate, type not reported") << 0 << "truncate table emp" << other;
    QTest::newRow("grant after a comment") << 0 << "-- x\ngrant dba to scott" << other;
    QTest::newRow("misspelt") << 0 << "selec * from dual" << unknown;
    QTest::newRow("word starting with with") << 0 << "withdraw all" << unknown;
    QTest::newRow("empty") << 0 << QString() << unknown;
  }
  void statementGate() {
    QFETCH(int, type);
    QFETCH(QString, sql);
    QFETCH(int, kind);
    QCOMPARE(int(ClassifyStatement(type, sql)), kind);
  }

  void forUpdate_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("at");
    QTest::newRow("plain") << "select * from emp for update" << 18;
    QTest::newRow("with columns, any case") << "select * from emp FOR\n UPDATE of sal nowait" << 18;
    QTest::newRow("in a literal") << "select 'for update' from dual" << -1;
    QTest::newRow("in a comment") << "select 1 from dual -- for update" << -1;
    QTest::newRow("column names") << "select for_update from t" << -1;
  }
  void forUpdate() {
    QFETCH(QString, sql);
    QFETCH(int, at);
    QCOMPARE(ForUpdatePosition(sql), at);
  }

  void typeCode() {
    // Described codes the component does not know are reported as the ones it does.
    const QList<std::pair<int, int>> codes{{104, 11}, {105, 106}, {184, 12}, {100, 2}, {101, 2},
                                           {112, 1},  {187, 1},   {190, 1},  {96, 96}, {113, 113}};
    for (auto [described, reported] : codes) QCOMPARE(ComponentTypeCode(described), reported);
  }

  void placeholders_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("each once, as written")
        << "select :a, :B from t where x = :A" << QStringList{"a", "B"};
    QTest::newRow("numbered") << "select * from t where a = :1 and b = :2" << QStringList{"1", "2"};
    QTest::newRow("in a literal") << "select ':x' from dual" << QStringList{};
    QTest::newRow("in a q-quote") << "select q'[it's :x]', :y from dual" << QStringList{"y"};
    QTest::newRow("in comments") << "-- :x\nselect /* :z */ :y from dual" << QStringList{"y"};
    QTest::newRow("time format") << "select to_char(d,'HH24:MI') from t where id=:id"
                                 << QStringList{"id"};
    QTest::newRow("quoted identifier") << "select \"A:B\" from t" << QStringList{};
    QTest::newRow("japanese name") << "select :名前 from dual" << QStringList{"名前"};
  }
  void placeholders() {
    QFETCH(QString, sql);
    QFETCH(QStringList, names);
    QCOMPARE(PlaceholderNames(sql), names);
  }
};

QTEST_GUILESS_MAIN(tst_OciConvert)
#include "tst_OciConvert.moc"
