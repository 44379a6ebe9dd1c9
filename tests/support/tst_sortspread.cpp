#include <QTest>

#include "core/RunErr.h"
#include "grid/SpreadModel.h"
#include "grid/vaSpread.h"
#include "support/basFunctions.h"

namespace {

// Column 1 holds the original row number, so that the order after the sort can be read back.
void Fill(vaSpread& g, const QList<QVariantList>& columns, bool numeric) {
  const int rows = int(columns[0].size());
  g.SetMaxCols(int(columns.size()) + 1);
  g.SetMaxRows(rows);
  for (int c = 0; c < columns.size(); ++c) {
    g.SetCol(c + 2);
    g.SetRow(-1);
    if (numeric) g.SetTypeEditCharSet(vaSpread::CharSetNumeric);
    for (int r = 0; r < rows; ++r) {
      g.SetRow(r + 1);
      g.SetValue(columns[c][r]);
    }
  }
  g.SetCol(1);
  for (int r = 0; r < rows; ++r) {
    g.SetRow(r + 1);
    g.SetValue(r);
  }
}

QList<int> Order(vaSpread& g) {
  QList<int> out;
  for (int r = 1; r <= g.MaxRows(); ++r) out << g.CellText(1, r).toInt();
  return out;
}

}  // namespace

class TestSortSpread : public QObject {
  Q_OBJECT
 private slots:
  void init() { ora::ErrClear(); }

  void rowsAreOrderedByTheirKeys_data() {
    QTest::addColumn<QList<QVariantList>>("columns");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<QList<int>>("keys");  // grid column, 1 ascending / 2 descending, …
    QTest::addColumn<QList<int>>("order");
    const QVariant null;
    const QList<int> first{2, 1};
    const auto row = [](const char* name, const QList<QVariantList>& columns, bool numeric,
                        const QList<int>& keys, const QList<int>& order) {
      QTest::newRow(name) << columns << numeric << keys << order;
    };
    row("numbers as numbers", {{10, 9, 100, -1, 2.5}}, true, first, {3, 4, 1, 0, 2});
    row("numeric texts as numbers", {{"10", "9.50", "1.5e1", "-3"}}, true, first, {3, 1, 0, 2});
    row("texts by code point", {{"a", "B", "ｱ", "あ", "Z", "ab"}}, false, first,
        {1, 4, 0, 5, 3, 2});
    row("digits in a text column as text", {{"10", "9", "100"}}, false, first, {0, 2, 1});
    row("dates in time order",
        {{"2001/04/06 21:05:07", "1999/12/31 23:59:59",
          QDateTime(QDate(2001, 4, 6), QTime(9, 5, 7)), "2000/01/01 00:00:00"}},
        false, first, {1, 3, 2, 0});
    row("empty cells first ascending", {{"b", null, "a", null}}, false, first, {1, 3, 2, 0});
    row("empty cells last descending", {{"b", null, "a", null}}, false, {2, 2}, {0, 2, 1, 3});
    row("stable ascending", {{1, 2, 1, 2, 1}}, false, first, {0, 2, 4, 1, 3});
    row("stable descending", {{1, 2, 1, 2, 1}}, false, {2, 2}, {1, 3, 0, 2, 4});
    row("column 3 descending", {{"x", "y", "z", "w"}, {5, 50, -5, 7}}, false, {3, 2}, {1, 3, 0, 2});
    row("three keys in order", {{1, 1, 1, 2, 1}, {"b", "a", "a", "a", "a"}, {2, 3, 1, 0, 3}}, false,
        {2, 1, 3, 1, 4, 2}, {1, 4, 2, 0, 3});
    row("empty grid", {{}}, false, first, {});
    row("long texts sharing a prefix", {{"abcdefghijZ", "abcdefghijA", "abcdefgh", "abcdefghij"}},
        false, first, {2, 3, 1, 0});
  }
  void rowsAreOrderedByTheirKeys() {
    QFETCH(QList<QVariantList>, columns);
    QFETCH(bool, numeric);
    QFETCH(QList<int>, keys);
    QFETCH(QList<int>, order);
    vaSpread g;
    Fill(g, columns, numeric);
    QList<QStringList> before;
    for (int r = 1; r <= g.MaxRows(); ++r) {
      before << QStringList();
      for (int c = 2; c <= g.MaxCols(); ++c) before.last() << g.CellText(c, r);
    }
    while (keys.size() < 6) keys << 0 << 1;
    mSb_SortSpread(&g, keys[0], keys[1] == 1, keys[2], keys[3] == 1, keys[4], keys[5] == 1);
    QVERIFY(!ora::Err().pending());
    QCOMPARE(Order(g), order);
    for (int r = 1; r <= g.MaxRows(); ++r) {
      for (int c = 2; c <= g.MaxCols(); ++c)
        QCOMPARE(g.CellText(c, r), before[order[r - 1]][c - 2]);
    }
    QVERIFY(g.selectionModel()->selectedIndexes().isEmpty());
  }
};

QTEST_MAIN(TestSortSpread)
#include "tst_sortspread.moc"
