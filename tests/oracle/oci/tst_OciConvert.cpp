// Conversions of the Oracle client driver that need no library: dates, numbers, error offsets, the
// statement gate, type codes and placeholder names.
#include <QtTest>

#include "oracle/oci/OciConvert.h"

using namespace ora::oci;

class tst_OciConvert : public QObject {
  Q_OBJECT

 private slots:
  void decodeDate_data();
  void decodeDate();
  void encodeDateRejects();
  void numberText_data();
  void numberText();
  void encodeNumber_data();
  void encodeNumber();
  void byteOffset_data();
  void byteOffset();
  void statementGate_data();
  void statementGate();
  void forUpdate_data();
  void forUpdate();
  void typeCode_data();
  void typeCode();
  void placeholders_data();
  void placeholders();
  void widenFloat();
};

void tst_OciConvert::decodeDate_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QDateTime>("expected");
  auto b = [](std::initializer_list<int> v) {
    QByteArray a;
    for (int x : v) a += static_cast<char>(x);
    return a;
  };
  QTest::newRow("documented example")
      << b({119, 192, 11, 30, 16, 18, 1}) << QDateTime(QDate(1992, 11, 30), QTime(15, 17, 0));
  QTest::newRow("evening") << b({120, 101, 4, 6, 22, 6, 8})
                           << QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7));
  QTest::newRow("year 2000 midnight")
      << b({120, 100, 1, 1, 1, 1, 1}) << QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0));
  QTest::newRow("last moment") << b({199, 199, 12, 31, 24, 60, 60})
                               << QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59));
  QTest::newRow("BC") << b({53, 88, 1, 1, 1, 1, 1})
                      << QDateTime(QDate(-4712, 1, 1), QTime(0, 0, 0));
  QTest::newRow("month 13") << b({120, 101, 13, 1, 1, 1, 1}) << QDateTime();
  QTest::newRow("hour byte 0") << b({120, 101, 1, 1, 0, 1, 1}) << QDateTime();
  QTest::newRow("30 February") << b({120, 101, 2, 30, 1, 1, 1}) << QDateTime();
}

void tst_OciConvert::decodeDate() {
  QFETCH(QByteArray, bytes);
  QFETCH(QDateTime, expected);
  const QDateTime got = DecodeOracleDate(reinterpret_cast<const unsigned char*>(bytes.constData()));
  QCOMPARE(got.isValid(), expected.isValid());
  if (!expected.isValid()) return;
  QCOMPARE(got.date(), expected.date());
  QCOMPARE(got.time(), expected.time());
  unsigned char back[7] = {};
  QVERIFY(EncodeOracleDate(got, back));
  QCOMPARE(QByteArray(reinterpret_cast<const char*>(back), 7), bytes);
}

void tst_OciConvert::encodeDateRejects() {
  unsigned char out[7] = {};
  QVERIFY(!EncodeOracleDate(QDateTime(), out));
  QVERIFY(!EncodeOracleDate(QDateTime(QDate(10000, 1, 1), QTime(0, 0)), out));
}

void tst_OciConvert::numberText_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QVariant>("expected");
  QTest::newRow("integer") << QByteArray("42") << QVariant(qlonglong(42));
  QTest::newRow("negative integer") << QByteArray("-7") << QVariant(qlonglong(-7));
  QTest::newRow("zero") << QByteArray("0") << QVariant(qlonglong(0));
  QTest::newRow("decimal") << QByteArray("12345.67") << QVariant(12345.67);
  QTest::newRow("no leading zero") << QByteArray("-.5") << QVariant(-0.5);
  QTest::newRow("decimal comma") << QByteArray("3,25") << QVariant(3.25);
  QTest::newRow("trailing zeros are an integer")
      << QByteArray("100.000") << QVariant(qlonglong(100));
  QTest::newRow("exponent") << QByteArray("1.5E+20") << QVariant(1.5e20);
  QTest::newRow("tiny") << QByteArray("1E-130") << QVariant(1e-130);
  QTest::newRow("int64 max") << QByteArray("9223372036854775807")
                             << QVariant(qlonglong(9223372036854775807LL));
  QTest::newRow("past int64") << QByteArray("9223372036854775808")
                              << QVariant(QStringLiteral("9223372036854775808"));
  QTest::newRow("23 digits") << QByteArray("12345678901234567890123")
                             << QVariant(QStringLiteral("12345678901234567890123"));
  QTest::newRow("long fraction") << QByteArray(".1234567890123456789")
                                 << QVariant(QStringLiteral("0.1234567890123456789"));
  QTest::newRow("long fraction, leading zeros")
      << QByteArray("-0.0001234567890123456789")
      << QVariant(QStringLiteral("-0.0001234567890123456789"));
  QTest::newRow("long mantissa with exponent")
      << QByteArray("-1.2345678901234567890E+25")
      << QVariant(QStringLiteral("-12345678901234567890000000"));
  QTest::newRow("padded") << QByteArray("  8 ") << QVariant(qlonglong(8));
  QTest::newRow("not a number") << QByteArray("~") << QVariant(QStringLiteral("~"));
  QTest::newRow("junk after digits") << QByteArray("12abc") << QVariant(QStringLiteral("12abc"));
}

void tst_OciConvert::numberText() {
  QFETCH(QByteArray, text);
  QFETCH(QVariant, expected);
  const QVariant got = NumberTextToValue(text);
  QCOMPARE(got.typeId(), expected.typeId());
  QCOMPARE(got, expected);
}

void tst_OciConvert::encodeNumber_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QByteArray>("bytes");
  // The bytes of Oracle's DUMP() for each value, after the length byte.
  QTest::newRow("zero") << "0" << QByteArray::fromHex("80");
  QTest::newRow("one") << "1" << QByteArray::fromHex("C102");
  QTest::newRow("minus one") << "-1" << QByteArray::fromHex("3E6466");
  QTest::newRow("hundred") << "100" << QByteArray::fromHex("C202");
  QTest::newRow("half") << "0.5" << QByteArray::fromHex("C033");
  QTest::newRow("decimal") << "123.45" << QByteArray::fromHex("C202182E");
  QTest::newRow("negative decimal") << "-123.45" << QByteArray::fromHex("3D644E3866");
  QTest::newRow("decimal comma") << "10,5" << QByteArray::fromHex("C10B33");
  QTest::newRow("thousandth") << "0.001" << QByteArray::fromHex("BF0B");
  QTest::newRow("exponent") << "1.5E+20" << QByteArray::fromHex("CB0233");
  QTest::newRow("not a number") << "12abc" << QByteArray();
  QTest::newRow("too many digits") << QString(45, QLatin1Char('7')) << QByteArray();
  QTest::newRow("too large") << "1E+200" << QByteArray();
}

void tst_OciConvert::encodeNumber() {
  QFETCH(QString, text);
  QFETCH(QByteArray, bytes);
  unsigned char vnu[22] = {};
  QCOMPARE(EncodeOracleNumber(text, vnu), !bytes.isEmpty());
  if (bytes.isEmpty()) return;
  QCOMPARE(int(vnu[0]), int(bytes.size()));
  QCOMPARE(QByteArray(reinterpret_cast<const char*>(vnu + 1), vnu[0]).toHex(), bytes.toHex());
}

void tst_OciConvert::byteOffset_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<QString>("marker");
  QTest::addColumn<int>("byteShift");
  QTest::addColumn<int>("expected");
  const QString ascii = QStringLiteral("select * fromm dual");
  QTest::newRow("ascii") << ascii << QStringLiteral("fromm") << 0
                         << int(ascii.indexOf(QStringLiteral("fromm")));
  const QString ja = QStringLiteral("select '日本語' as 名前 from missing_table");
  QTest::newRow("japanese before the error") << ja << QStringLiteral("missing_table") << 0
                                             << int(ja.indexOf(QStringLiteral("missing_table")));
  const QString hw = QStringLiteral("select 1 as ｾｯｼｮﾝ fromm dual");
  QTest::newRow("half-width katakana")
      << hw << QStringLiteral("fromm") << 0 << int(hw.indexOf(QStringLiteral("fromm")));
  const QString emoji = QStringLiteral("select '😀' x fromm dual");
  QTest::newRow("character outside the basic plane counts twice")
      << emoji << QStringLiteral("fromm") << 0 << int(emoji.indexOf(QStringLiteral("fromm")));
  // One byte into the three bytes of 本: the character has not been reached.
  QTest::newRow("inside a character")
      << ja << QStringLiteral("本") << 1 << int(ja.indexOf(QStringLiteral("本")));
  QTest::newRow("past the end") << ascii << QString() << 1000 << int(ascii.size());
  QTest::newRow("negative") << ascii << QString() << -5 << 0;
}

void tst_OciConvert::byteOffset() {
  QFETCH(QString, sql);
  QFETCH(QString, marker);
  QFETCH(int, byteShift);
  QFETCH(int, expected);
  const QByteArray utf8 = sql.toUtf8();
  const int bytePos = (marker.isEmpty() ? 0 : int(utf8.indexOf(marker.toUtf8()))) + byteShift;
  QCOMPARE(ByteOffsetToCharOffset(utf8, bytePos), expected);
}

void tst_OciConvert::statementGate_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<QString>("sql");
  QTest::addColumn<int>("kind");
  const int query = int(StatementKind::Query);
  const int other = int(StatementKind::NotQuery);
  const int unknown = int(StatementKind::Unknown);
  QTest::newRow("select") << 1 << QStringLiteral("select * from emp") << query;
  QTest::newRow("with, reported as select")
      << 1 << QStringLiteral("with a as (select 1 x from dual) select * from a") << query;
  QTest::newRow("with, type not reported")
      << 0 << QStringLiteral("WITH a AS (SELECT 1 x FROM dual) SELECT * FROM a") << query;
  QTest::newRow("with after comments and parenthesis")
      << 0
      << QStringLiteral("-- note\n/* block */ ( with a as (select 1 from dual) select * from a)")
      << query;
  QTest::newRow("select after a comment, type not reported")
      << 0 << QStringLiteral("/* x */ select 1 from dual") << query;
  QTest::newRow("update") << 2 << QStringLiteral("update emp set sal = 0") << other;
  QTest::newRow("insert with a subquery factoring clause")
      << 4 << QStringLiteral("insert into t with a as (select 1 from dual) select * from a")
      << other;
  QTest::newRow("anonymous block") << 8 << QStringLiteral("begin delete from emp; end;") << other;
  QTest::newRow("truncate, type not reported")
      << 0 << QStringLiteral("truncate table emp") << other;
  QTest::newRow("grant after a comment")
      << 0 << QStringLiteral("-- x\ngrant dba to scott") << other;
  QTest::newRow("misspelt") << 0 << QStringLiteral("selec * from dual") << unknown;
  QTest::newRow("word starting with with") << 0 << QStringLiteral("withdraw all") << unknown;
  QTest::newRow("empty") << 0 << QString() << unknown;
}

void tst_OciConvert::statementGate() {
  QFETCH(int, type);
  QFETCH(QString, sql);
  QFETCH(int, kind);
  QCOMPARE(int(ClassifyStatement(type, sql)), kind);
}

void tst_OciConvert::forUpdate_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<int>("at");
  QTest::newRow("plain") << QStringLiteral("select * from emp for update") << 18;
  QTest::newRow("with columns, any case")
      << QStringLiteral("select * from emp FOR\n UPDATE of sal nowait") << 18;
  QTest::newRow("in a literal") << QStringLiteral("select 'for update' from dual") << -1;
  QTest::newRow("in a comment") << QStringLiteral("select 1 from dual -- for update") << -1;
  QTest::newRow("column names") << QStringLiteral("select for_update from t") << -1;
}

void tst_OciConvert::forUpdate() {
  QFETCH(QString, sql);
  QFETCH(int, at);
  QCOMPARE(ForUpdatePosition(sql), at);
}

void tst_OciConvert::typeCode_data() {
  QTest::addColumn<int>("described");
  QTest::addColumn<int>("reported");
  QTest::newRow("ROWID") << 104 << 11;
  QTest::newRow("MLSLABEL") << 105 << 106;
  QTest::newRow("ANSI DATE") << 184 << 12;
  QTest::newRow("BINARY_FLOAT") << 100 << 2;
  QTest::newRow("BINARY_DOUBLE") << 101 << 2;
  for (int text : {112, 187, 188, 189, 190, 232}) QTest::addRow("%d as text", text) << text << 1;
  for (int same : {1, 2, 8, 12, 23, 24, 96, 113})
    QTest::addRow("%d unchanged", same) << same << same;
}

void tst_OciConvert::typeCode() {
  QFETCH(int, described);
  QFETCH(int, reported);
  QCOMPARE(ComponentTypeCode(described), reported);
}

void tst_OciConvert::placeholders_data() {
  QTest::addColumn<QString>("sql");
  QTest::addColumn<QStringList>("names");
  QTest::newRow("each once, as written")
      << QStringLiteral("select :a, :B from t where x = :A") << QStringList{"a", "B"};
  QTest::newRow("numbered") << QStringLiteral("select * from t where a = :1 and b = :2")
                            << QStringList{"1", "2"};
  QTest::newRow("in a literal") << QStringLiteral("select ':x' from dual") << QStringList{};
  QTest::newRow("in a q-quote") << QStringLiteral("select q'[it's :x]', :y from dual")
                                << QStringList{"y"};
  QTest::newRow("in comments") << QStringLiteral("-- :x\nselect /* :z */ :y from dual")
                               << QStringList{"y"};
  QTest::newRow("time format") << QStringLiteral("select to_char(d,'HH24:MI') from t where id=:id")
                               << QStringList{"id"};
  QTest::newRow("quoted identifier") << QStringLiteral("select \"A:B\" from t") << QStringList{};
  QTest::newRow("japanese name") << QStringLiteral("select :名前 from dual")
                                 << QStringList{QStringLiteral("名前")};
}

void tst_OciConvert::placeholders() {
  QFETCH(QString, sql);
  QFETCH(QStringList, names);
  QCOMPARE(PlaceholderNames(sql), names);
}

void tst_OciConvert::widenFloat() {
  QCOMPARE(WidenFloat(1.1f), 1.1);
  QCOMPARE(WidenFloat(-3.4028235e38f), -3.4028235e38);
  QCOMPARE(WidenFloat(0.0f), 0.0);
}

QTEST_GUILESS_MAIN(tst_OciConvert)
#include "tst_OciConvert.moc"
