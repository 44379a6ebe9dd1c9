#include <QTest>
#include <charconv>
#include <cmath>
#include <random>

#include "common/FakeOra.h"
#include "common/TestEnv.h"
#include "core/NumberText.h"
#include "core/RunErr.h"
#include "grid/SpreadModel.h"
#include "grid/vaSpread.h"
#include "platform/Platform.h"
#include "support/basFunctions.h"
#include "support/basLog.h"

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(9, 8, 7));

double ByText(double value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  double back = 0;
  std::from_chars(buf, r.ptr, back, std::chars_format::scientific);
  return back;
}

QStringList LogLines() {
  const QString text = QString::fromUtf8(TestEnv::readFile(LogFilePath()));
  QStringList lines = text.split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

QString Stamped(const char* kind, const QString& text) {
  return QStringLiteral("2024/05/01 9:08:07-->") + QLatin1String(kind) + ":" + text;
}

QList<int> Settings(const grid::CellFormat& f) {
  return {f.cellType, f.hAlign, f.charSet, f.charCase, f.multiLine, f.password, f.maxEditLen};
}

// Settings far from any the formatting writes, to tell settings left alone from written ones.
struct OneColumnGrid {
  vaSpread g;
  OneColumnGrid() {
    g.SetMaxCols(1);
    g.SetMaxRows(1);
    g.SetCol(1);
    g.SetRow(-1);
    g.SetCellType(5);
    g.SetTypeHAlign(vaSpread::HAlignCenter);
    g.SetTypeEditCharSet(vaSpread::CharSetAlpha);
    g.SetTypeEditCharCase(vaSpread::CaseUpper);
    g.SetTypeEditMultiLine(true);
    g.SetTypeEditPassword(true);
    g.SetTypeMaxEditLen(77);
  }
  const grid::CellFormat& format() { return g.model()->Column(0).format; }
  void setUp(FakeDynaset& d) {
    g.SetCol(1);
    g.SetRow(-1);
    mSb_SetCellByOraType(&g, d.Item(0), true);
  }
  QString show(FakeDynaset& d) {
    g.SetCol(1);
    g.SetRow(1);
    mSb_SetCellByOraType(&g, d.Item(0), false);
    return g.CellText(1, 1);
  }
};

}  // namespace

class TestSetCellByOraType : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
 private slots:
  void init() {
    env.reset();
    env = std::make_unique<TestEnv>();
    platform::SetNow(kNow);
    ora::ErrClear();
  }

  void eachTypeGroupIsSetUpAndShown_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<int>("maxDSize");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QList<int>>("set");  // alignment, character set, maximum length
    QTest::addColumn<QString>("shown");
    QTest::newRow("VARCHAR2") << 1 << 30 << 0 << QVariant("SMITH") << QList<int>{0, 0, 30}
                              << "SMITH";
    QTest::newRow("CHAR") << 96 << 10 << 0 << QVariant("Y") << QList<int>{0, 0, 10} << "Y";
    QTest::newRow("NUMBER") << 2 << 22 << 40 << QVariant(qlonglong(7369)) << QList<int>{1, 3, 40}
                            << "7369";
    QTest::newRow("NUMBER with decimals")
        << 2 << 22 << 12 << QVariant(1250.5) << QList<int>{1, 3, 12} << "1250.5";
    // Doubles are rounded to 15 digits, texts keep every digit.
    auto number = [](const char* name, const QVariant& v, const char* shown) {
      QTest::newRow(name) << 2 << 22 << 40 << v << QList<int>{1, 3, 40} << shown;
    };
    number("NUMBER small", QVariant(0.00001), "0.00001");
    number("NUMBER large", QVariant(1e23), "100000000000000000000000");
    number("NUMBER binary error", QVariant(0.1 + 0.2), "0.3");
    number("NUMBER third", QVariant(1.0 / 3), "0.333333333333333");
    number("NUMBER beyond the range", QVariant(-1.25e40), "-1.25E+40");
    number("NUMBER below the range", QVariant(1e-39), "1E-39");
    number("NUMBER text of 38 digits", QVariant("12345678901234567890123456789012345678"),
           "12345678901234567890123456789012345678");
    number("NUMBER text with exponent", QVariant("-1.5E-7"), "-0.00000015");
    number("NUMBER text of 40 digits", QVariant("1234567890123456789012345678901234567890"),
           "1.2345678901234567890123456789012345679E+39");
    number("NUMBER text rounding up", QVariant("0.99999999999999999999999999999999999999999"), "1");
    QTest::newRow("LONG takes the NUMBER settings")
        << 8 << 0 << 80 << QVariant("long text") << QList<int>{1, 3, 80} << "long text";
    auto date = [](const char* name, const QVariant& v, const char* shown) {
      QTest::newRow(name) << 12 << 7 << 75 << v << QList<int>{0, 0, 19} << shown;
    };
    date("DATE", QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7)), "2001/04/06 21:05:07");
    date("DATE padded", QDateTime(QDate(987, 1, 2), QTime(3, 4, 5)), "0987/01/02 03:04:05");
    date("DATE read as text", QString("2001-04-06T21:05:07"), "2001/04/06 21:05:07");
    QTest::newRow("ROWID") << 11 << 18 << 18 << QVariant("AAAR3sAAEAAAACXAAA")
                           << QList<int>{0, 0, 36} << "AAAR3sAAEAAAACXAAA";
  }
  void eachTypeGroupIsSetUpAndShown() {
    QFETCH(int, type);
    QFETCH(int, maxSize);
    QFETCH(int, maxDSize);
    QFETCH(QVariant, value);
    QFETCH(QList<int>, set);
    QFETCH(QString, shown);
    FakeDynaset d({FakeColumn{"COL", type, maxSize, maxDSize, 0, 0, 0, {}}}, {{value}});
    OneColumnGrid grid;
    grid.setUp(d);
    QCOMPARE(Settings(grid.format()), (QList<int>{vaSpread::CellTypeEdit, set[0], set[1],
                                                  vaSpread::CaseNoCase, 0, 0, set[2]}));
    QCOMPARE(grid.show(d), shown);
    QVERIFY(!ora::Err().pending());
    QCoreApplication::processEvents();
    const QVariant shownAlign = grid.g.model()->index(0, 0).data(Qt::TextAlignmentRole);
    QCOMPARE(shownAlign.value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
             set[0] == vaSpread::HAlignRight ? Qt::AlignRight : Qt::AlignLeft);
    QCOMPARE(LogLines(), QStringList());
  }

  void unsupportedTypesShowTheMarkerAndLogTheirColumn_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QStringList>("lines");
    // MLSLABEL has no FieldSize; the value is logged as its byte length and first 256 bytes.
    auto row = [](const char* name, int type, const QString& label, const QVariant& value,
                  const QString& size, const QString& logged) {
      QStringList lines;
      for (const char* key :
           {"OraMaxSize=16", "OraMaxDSize=32", "OraPrecision=3", "OraScale=4", "FieldSize=5"})
        if (type != 106 || QLatin1String(key) != "FieldSize=5") lines << "ID," + label + "," + key;
      QTest::newRow(name) << type << value
                          << lines + QStringList{"ID," + label + ",LenB(objOraField.Value)=" + size,
                                                 "ID," + label + ",objOraField.Value=" + logged};
    };
    const QVariant raw(QByteArray::fromHex("0AFF10"));
    row("RAW", 23, "ORATYPE_RAW", raw, "3", "0AFF10");
    row("LONG RAW", 24, "ORATYPE_LONGRAW", raw, "3", "0AFF10");
    row("MLSLABEL", 106, "ORATYPE_MLSLABEL", QString("LBL"), "6", "LBL");
    row("unknown type", 112, "FldType=112", QString("clob text"), "18", "clob text");
    row("long RAW", 23, "ORATYPE_RAW", QByteArray(1000, '\x01'), "1000",
        QString(512, QLatin1Char('0')).replace("00", "01"));
    row("long text", 112, "FldType=112", QString(300, QLatin1Char('y')), "600",
        QString(128, QLatin1Char('y')));
  }
  void unsupportedTypesShowTheMarkerAndLogTheirColumn() {
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(QStringList, lines);
    FakeDynaset d({FakeColumn{"ID", type, 16, 32, 3, 4, 5, {}}}, {{value}});
    OneColumnGrid grid;
    const QList<int> before = Settings(grid.format());
    grid.setUp(d);
    QCOMPARE(Settings(grid.format()), before);
    QStringList expected;
    for (const QString& l : lines) expected << Stamped("LOG", l);
    QCOMPARE(LogLines(), expected);
    QCOMPARE(grid.show(d), QString("<未対応ﾃﾞｰﾀ型>"));
    QCOMPARE(LogLines().size(), lines.size());
  }

  void failingPropertyIsSkippedAndLoggedOnce_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("property");
    QTest::addColumn<int>("logLines");
    QTest::newRow("VARCHAR2 size") << 1 << "OraMaxSize" << 0;
    QTest::newRow("NUMBER display size") << 2 << "OraMaxDSize" << 0;
    QTest::newRow("RAW precision line") << 23 << "OraPrecision" << 6;
  }
  void failingPropertyIsSkippedAndLoggedOnce() {
    QFETCH(int, type);
    QFETCH(QString, property);
    QFETCH(int, logLines);
    FakeDynaset d({FakeColumn{"SAL", type, 30, 30, 7, 2, 22, {property}}}, {{QVariant("x")}});
    OneColumnGrid grid;
    grid.setUp(d);
    const QStringList lines = LogLines();
    QCOMPARE(lines.size(), logLines + 1);
    QCOMPARE(lines.last(), Stamped("Err", "SAL," + property + " を取得できません"));
    QCOMPARE(lines.filter(property).size(), 1);
    QCOMPARE(ora::Err().Number, int(ora::kErrOraComponent));
    if (logLines == 0) {
      QCOMPARE(grid.format().charCase, int(vaSpread::CaseNoCase));
      QCOMPARE(grid.format().maxEditLen, 77);
    }
  }

  void valueThatCannotBeShownLeavesTheCellEmpty_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("error");
    for (int t : {1, 2, 8, 11, 12, 23, 24, 96, 106, 112})
      QTest::addRow("null of type %d", t) << "N" << t << QVariant() << 0;
    const int mismatch = ora::kErrTypeMismatch;
    QTest::newRow("no text form") << "POS" << 1 << QVariant(QPoint(1, 2)) << mismatch;
    QTest::newRow("DATE that is not a date") << "HIRED" << 12 << QVariant("not a date") << mismatch;
    QTest::newRow("invalid DATE") << "HIRED" << 12 << QVariant(QDateTime(QDate(2001, 2, 30), {}))
                                  << mismatch;
  }
  void valueThatCannotBeShownLeavesTheCellEmpty() {
    QFETCH(QString, name);
    QFETCH(int, type);
    QFETCH(QVariant, value);
    QFETCH(int, error);
    FakeDynaset d({FakeColumn{name, type, 10, 10, 0, 0, 0, {}}}, {{value}});
    OneColumnGrid grid;
    QCOMPARE(grid.show(d), QString());
    QCOMPARE(ora::Err().Number, error);
    QCOMPARE(LogLines(),
             error ? QStringList{Stamped("Err", name + ",型が一致しません。")} : QStringList());
  }

  void rowidOfAnEmptyResultLeavesNoLimit() {
    FakeDynaset d({FakeColumn{"ROWID", 11, 18, 18, 0, 0, 0, {}}});
    OneColumnGrid grid;
    grid.setUp(d);
    QCOMPARE(grid.format().maxEditLen, 0);
    QVERIFY(!ora::Err().pending());
    QCOMPARE(LogLines(), QStringList());
  }
  // The fast rounding of a NUMBER to the digits it shows gives the very double that writing its
  // 15 digits and reading them back gives, also for values a hair from a rounding tie.
  void roundedNumberMatchesTheText() {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> exponent(-3, 16);
    for (int i = 0; i < 300000; ++i) {
      double v = std::pow(10.0, exponent(rng));
      // Every third value lies next to a tie of its 15th digit, one or two steps either side.
      if (i % 3 == 0) {
        const int whole = std::max(1, int(std::floor(std::log10(v))) + 1);
        const double scale = std::pow(10.0, 15 - std::min(whole, 15));
        v = (std::floor(v * scale) + 0.5) / scale;
        for (int step = int(rng() % 5) - 2; step != 0; step += step < 0 ? 1 : -1)
          v = std::nextafter(v, step < 0 ? 0.0 : HUGE_VAL);
      }
      if (i % 2) v = -v;
      QVERIFY2(ora::RoundedNumber(v) == ByText(v), qPrintable(QString::number(v, 'g', 17)));
    }
  }
};

QTEST_MAIN(TestSetCellByOraType)
#include "tst_setcellbyoratype.moc"
