#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTest>
#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "core/RunErr.h"
#include "grid/CellEditor.h"
#include "grid/ColumnStore.h"
#include "grid/SpreadModel.h"
#include "grid/vaSpread.h"

namespace {

void SetCell(vaSpread& g, int col, int row, const QVariant& v) {
  g.SetCol(col);
  g.SetRow(row);
  g.SetValue(v);
}

void SizeGrid(vaSpread& g, int cols, int rows) {
  g.SetMaxCols(cols);
  g.SetMaxRows(rows);
}

void ShowGrid(vaSpread& g, int cols, int rows) {
  g.resize(400, 300);
  SizeGrid(g, cols, rows);
  g.show();
  QVERIFY(QTest::qWaitForWindowExposed(&g));
}

void TriggerMenuItem(vaSpread& g, const QString& caption) {
  for (QAction* a : g.actions()) {
    if (a->text() == caption) return a->trigger();
  }
  QFAIL(qPrintable("no menu item " + caption));
}

struct PaintCounter : QObject {
  int paints = 0;
  int top = INT_MAX;  // of all that was painted
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != QEvent::Paint) return false;
    ++paints;
    top = std::min(top, static_cast<QPaintEvent*>(e)->rect().top());
    return false;
  }
};

}  // namespace

class TestVaSpread : public QObject {
  Q_OBJECT
 private slots:
  void init() { ora::ErrClear(); }

  void headersAndTheSheetsBounds() {
    vaSpread g;
    SizeGrid(g, 28, 2);
    QCoreApplication::processEvents();
    QCOMPARE(g.model()->headerData(0, Qt::Horizontal).toString(), QString("A"));
    QCOMPARE(g.model()->headerData(25, Qt::Horizontal).toString(), QString("Z"));
    QCOMPARE(g.model()->headerData(27, Qt::Horizontal).toString(), QString("AB"));
    g.SetCol(2);
    g.SetRow(0);
    g.SetText("ENAME");
    QCOMPARE(g.model()->headerData(1, Qt::Horizontal).toString(), QString("ENAME"));
    QCOMPARE(g.CellText(0, 2), QString("2"));
    for (const QPoint& beyond : {QPoint(29, 1), QPoint(1, 3)}) {
      ora::ErrClear();
      SetCell(g, beyond.x(), beyond.y(), "x");
      QCOMPARE(ora::Err().Number, int(ora::kErrOutOfRange));
      QCOMPARE(QPoint(g.MaxCols(), g.MaxRows()), QPoint(28, 2));
    }
    // The headers, whose section sizes are kept, come out as Qt's own would.
    QHeaderView plainRows(Qt::Vertical), plainCols(Qt::Horizontal);
    plainRows.setModel(g.model());
    plainCols.setModel(g.model());
    for (int rows : {9, 10, 12345}) {
      g.SetMaxRows(rows);
      g.Refresh();
      QCOMPARE(g.verticalHeader()->sizeHint(), plainRows.sizeHint());
    }
    QCOMPARE(g.horizontalHeader()->sizeHint(), plainCols.sizeHint());
  }

  void valuesAreShownAndReadBack_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("numericColumn");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("valueType");
    const int str = QMetaType::QString, ll = QMetaType::LongLong, dbl = QMetaType::Double;
    QTest::newRow("integer") << QVariant(qlonglong(-42)) << true << "-42" << ll;
    QTest::newRow("double") << QVariant(0.1) << true << "0.1" << dbl;
    QTest::newRow("negative zero") << QVariant(-0.0) << true << "0" << dbl;
    QTest::newRow("digits in a text column stay text")
        << QVariant("0042") << false << "0042" << str;
    QTest::newRow("decimal text keeps its form") << QVariant("1.50") << true << "1.50" << str;
    QTest::newRow("whole number text") << QVariant("7369") << true << "7369" << ll;
    QTest::newRow("number too long for 64 bits") << QVariant("123456789012345678901234567890")
                                                 << true << "123456789012345678901234567890" << str;
    QTest::newRow("date value") << QVariant(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)))
                                << false << "1999/12/31 23:59:59" << str;
    QTest::newRow("date without a time")
        << QVariant(QDate(2001, 4, 6)) << false << "2001/04/06 00:00:00" << str;
    QTest::newRow("date beyond year 9999 stays text")
        << QVariant(QDateTime(QDate(12345, 6, 7), QTime(8, 9, 10))) << false
        << "12345/06/07 08:09:10" << str;
    QTest::newRow("invalid date leaves the cell empty")
        << QVariant(QDateTime(QDate(2001, 2, 30), QTime())) << false << "" << str;
    QTest::newRow("japanese and beyond the basic plane")
        << QVariant("営業部ｴｲｷﾞｮｳ\U0001F600") << false << "営業部ｴｲｷﾞｮｳ\U0001F600" << str;
    // An encoded surrogate, a lead byte before a byte that cannot follow it, one cut short.
    for (const char* bad : {"a\xED\xA0\x80z", "\xE3\xC1\x81", "x\xE3\x41\x42"})
      QTest::addRow("malformed UTF-8 %s", QByteArray(bad).toHex().constData())
          << QVariant(QByteArray(bad)) << false << QString::fromUtf8(bad) << str;
    QTest::newRow("malformed after plain text")
        << QVariant(QByteArray("abcdefghijklmnop\xFF")) << false
        << QString::fromUtf8("abcdefghijklmnop\xFF") << str;
    QTest::newRow("date text in a text column")
        << QVariant(QByteArray("2001/04/06 21:05:07")) << false << "2001/04/06 21:05:07" << str;
    QTest::newRow("lines of plain text")
        << QVariant("abcdefghij\nklmnopqrstuvwxyz\r0123456789") << false
        << "abcdefghij\nklmnopqrstuvwxyz\r0123456789" << str;
  }
  void valuesAreShownAndReadBack() {
    QFETCH(QVariant, value);
    QFETCH(bool, numericColumn);
    QFETCH(QString, shown);
    QFETCH(int, valueType);
    vaSpread g;
    SizeGrid(g, 2, 3);
    g.SetCol(-1);
    g.SetRow(-1);
    g.SetTypeEditCharSet(numericColumn ? vaSpread::CharSetNumeric : vaSpread::CharSetAscii);
    SetCell(g, 1, 2, value);
    QVERIFY(!ora::Err().pending());
    QCOMPARE(g.CellText(1, 2), shown);
    QCOMPARE(g.Value().typeId(), valueType);
    QCOMPARE(g.Value().toString(), shown);
    QCOMPARE(g.CellText(1, 1) + g.CellText(1, 3), QString());
    // The typed setters the fill uses make the same cell, width included.
    g.SetCol(2);
    if (value.typeId() == QMetaType::LongLong)
      g.SetValueInt(value.toLongLong());
    else if (value.typeId() == QMetaType::QByteArray || value.typeId() == QMetaType::QString)
      g.SetValueUtf8(value.toByteArray().toStdString());
    else if (value.typeId() == QMetaType::Double)
      g.SetValueDouble(value.toDouble());
    else if (const qint64 packed = grid::PackDateTime(value.toDateTime()); packed >= 0)
      g.SetValueDate(packed);
    else
      return;
    QCOMPARE(g.CellText(2, 2), shown);
    QCOMPARE(int(g.model()->Column(1).Kind(1)), int(g.model()->Column(0).Kind(1)));
    QCOMPARE(g.MaxTextColWidth(2), g.MaxTextColWidth(1));
  }

  // Rows reach the view in batches, those of the first screen a few at a time, and all of them.
  // Only rows added in sight are painted: below a full screen they move the scroll bar alone.
  void addedRowsAllReachTheView() {
    vaSpread g;
    ShowGrid(g, 1, 3);
    QTest::qWait(20);
    PaintCounter newRows;
    g.viewport()->installEventFilter(&newRows);
    g.SetMaxRows(5);
    QTRY_VERIFY(newRows.paints > 0);
    QCOMPARE(newRows.top, g.rowViewportPosition(3));
    g.SetMaxRows(500);
    QTRY_COMPARE(g.model()->rowCount(), 500);
    QTest::qWait(20);
    const int range = g.verticalScrollBar()->maximum();
    PaintCounter cells;
    g.viewport()->installEventFilter(&cells);
    g.SetMaxRows(900);  // row numbers as wide as before
    QTRY_COMPARE(g.model()->rowCount(), 900);
    QTRY_VERIFY(g.verticalScrollBar()->maximum() > range);
    QTest::qWait(20);
    QCOMPARE(cells.paints, 0);
  }

  // Columns hold their cells in chunks cut from large blocks, the second column's after 63 chunks
  // of their own: a shrink across each boundary.
  void rowsRemovedAndAddedAgainComeBackEmpty_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("kept");
    QTest::newRow("into the large blocks") << 600000 << 2;
    QTest::newRow("kept across a large block") << 600000 << 300000;
    QTest::newRow("kept to where large blocks begin") << 600000 << 63 * 4096;
  }
  void rowsRemovedAndAddedAgainComeBackEmpty() {
    QFETCH(int, rows);
    QFETCH(int, kept);
    const int step = 16384;
    vaSpread g;
    SizeGrid(g, 2, rows);
    const double emptyWidth = g.MaxTextColWidth(2);
    for (int r = 1; r <= rows; r += step) {
      SetCell(g, 2, r, qlonglong(r));
      SetCell(g, 2, r + step - 1 <= rows ? r + step - 1 : rows, qlonglong(-r));
    }
    SetCell(g, 2, rows, "a rather wide value at the end");
    g.SetMaxRows(kept);
    QVERIFY(g.MaxTextColWidth(2) < emptyWidth + 12);
    g.SetMaxRows(rows);
    for (int r = 1; r <= rows; r += step) {
      QCOMPARE(g.CellText(2, r), r <= kept ? QString::number(r) : QString());
      const int end = std::min(r + step - 1, rows);
      QCOMPARE(g.CellText(2, end), end <= kept && end < rows ? QString::number(-r) : QString());
    }
    QCOMPARE(g.CellText(2, rows), QString());
    g.SetMaxRows(0);
    QCOMPARE(g.MaxRows(), 0);
  }

  void widestTextFitsTheLongestValueOrTheHeader_data() {
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("sameWidthAs");
    QTest::newRow("longest value") << QStringList{"ab", "abcdefghijkl", "abc"} << "X"
                                   << "abcdefghijkl";
    QTest::newRow("full-width") << QStringList{"ab", "あいうえお"} << "X"
                                << "abcdefghij";
    QTest::newRow("half-width katakana") << QStringList{"ｱｲｳｴｵ"} << "X"
                                         << "abcde";
    QTest::newRow("header longer than the values")
        << QStringList{"abcdefghij"} << "A_RATHER_LONG_COLUMN_NAME"
        << "abcdefghijk";
    QTest::newRow("longest line of a multi-line text") << QStringList{"abc\r\nabcdefg\r\nab"} << "X"
                                                       << "abcdefg";
  }
  void widestTextFitsTheLongestValueOrTheHeader() {
    QFETCH(QStringList, values);
    QFETCH(QString, header);
    QFETCH(QString, sameWidthAs);
    vaSpread g;
    SizeGrid(g, 2, int(values.size()));
    for (int i = 0; i < values.size(); ++i) SetCell(g, 1, i + 1, values[i]);
    SetCell(g, 2, 1, sameWidthAs);
    SetCell(g, 1, 0, header);
    SetCell(g, 2, 0, header);
    QCOMPARE(g.MaxTextColWidth(1), g.MaxTextColWidth(2));
    const QFontMetrics fm(g.font());
    QVERIFY(g.MaxTextColWidth(1) * fm.horizontalAdvance('0') >= fm.horizontalAdvance(sameWidthAs));
  }

  // Numbers and dates are measured without making their text.
  void valueWidthIsTheWidthOfItsText() {
    for (const QVariant& value : {QVariant(qlonglong(0)), QVariant(qlonglong(-7)),
                                  QVariant(std::numeric_limits<qlonglong>::min()),
                                  QVariant(std::numeric_limits<qlonglong>::max()),
                                  QVariant(std::numeric_limits<qulonglong>::max()),
                                  QVariant(QDateTime(QDate(2001, 4, 6), QTime(21, 5, 7))),
                                  QVariant(-100000.0), QVariant(-1428.5714285714287)}) {
      vaSpread g;
      SizeGrid(g, 2, 1);
      SetCell(g, 1, 1, value);
      // Column 2 holds the shown text as text, measured character by character.
      SetCell(g, 2, 1, QString(g.CellText(1, 1)).replace(QLatin1Char('/'), QLatin1Char('-')));
      QCOMPARE(g.MaxTextColWidth(1), g.MaxTextColWidth(2));
    }
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> real(-1e6, 1e6);
    std::uniform_int_distribution<qint64> whole(-2000000000000000, 2000000000000000);
    vaSpread g;
    SizeGrid(g, 2, 1);
    int widest = 0;
    for (int i = 0; i < 200000; ++i) {
      const double r = real(rng);
      // Doubles with 1 to 15 digits, as NUMBER values are.
      const double digits = QString::number(r * 1e5, 'g', 1 + i % 15).toDouble();
      const double samples[] = {
          r,        std::round(r * 100) / 100,    std::round(r) * 1000, digits,
          r * 1e-9, std::bit_cast<double>(rng()), double(whole(rng))};
      const double d = samples[i % 7];
      const int width = int(grid::NumberText(d).size());
      QCOMPARE(grid::NumberWidth(d), width);
      if (i % 1000 == 0 && !std::isnan(d)) {
        SetCell(g, 1, 1, d);
        widest = std::max(widest, width);
        SetCell(g, 2, 1, QString(widest, QLatin1Char('9')));
        QCOMPARE(g.MaxTextColWidth(1), g.MaxTextColWidth(2));
      }
    }
  }

  void longTextsArePaintedFromTheirStart() {
    const QFontMetrics fm(QApplication::font());
    const QString longText = QString(5000, QLatin1Char('x')) + QStringLiteral("end");
    const QString part = grid::VisibleText(longText, fm, 300);
    QVERIFY(part.size() < longText.size());
    QVERIFY(longText.startsWith(part));
    QVERIFY(fm.horizontalAdvance(part) > 300);
    const QString lines = QString(2000, QLatin1Char('x')) + QStringLiteral("\n") + longText;
    QCOMPARE(grid::VisibleText(lines, fm, 300), lines);
    const QString pairs = "a" + QString::fromUtf8("\xF0\x9F\x98\x80").repeated(2000);
    QVERIFY(!grid::VisibleText(pairs, fm, 300).back().isHighSurrogate());
  }

  // Cells keep their laid-out text between paints and draw it as the style does: a repaint after
  // a change looks like the style's own paint of the changed grid.
  void repaintShowsTheCellAsChanged_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("width");
    QTest::addColumn<int>("align");
    QTest::newRow("new text") << "xyz" << 9.0 << 0;
    QTest::newRow("narrower column") << "abcdefghij" << 3.0 << 0;
    QTest::newRow("right-aligned and cut") << "営業部ｴｲｷﾞｮｳ and more" << 6.0 << 1;
    QTest::newRow("centred") << "12345.678" << 12.0 << 2;
  }
  void repaintShowsTheCellAsChanged() {
    QFETCH(QString, text);
    QFETCH(double, width);
    QFETCH(int, align);
    auto paint = [](vaSpread& g, const QString& t, double w) {
      SetCell(g, 1, 1, t);
      g.SetColWidth(1, w);
      return g.viewport()->grab().toImage();
    };
    vaSpread changed, byStyle;
    byStyle.setItemDelegate(new QStyledItemDelegate(&byStyle));
    for (vaSpread* g : {&changed, &byStyle}) {
      ShowGrid(*g, 1, 1);
      g->SetCol(1);
      g->SetRow(-1);
      g->SetTypeHAlign(align);
    }
    paint(changed, QStringLiteral("abcdefghij"), 9);
    QCOMPARE(paint(changed, text, width), paint(byStyle, text, width));
  }

  void editingKeepsTheColumnLimits_data() {
    QTest::addColumn<QList<int>>("limits");  // character set, case, length, multi-line
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("numeric set") << QList<int>{3, 1, 0, 0} << "12ab-3.5x" << QString("12-3.5");
    QTest::newRow("numeric and length") << QList<int>{3, 1, 4, 0} << "1a2b3c4d5" << QString("1234");
    QTest::newRow("upper case") << QList<int>{0, 2, 0, 0} << "abC" << QString("ABC");
    QTest::newRow("multi-line length") << QList<int>{0, 1, 4, 1} << "abcdef" << QString("abcd");
    QTest::newRow("multi-line numeric") << QList<int>{3, 1, 0, 1} << "1x2" << QString("12");
  }
  void editingKeepsTheColumnLimits() {
    QFETCH(QList<int>, limits);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    const bool multiLine = limits[3];
    vaSpread g;
    ShowGrid(g, 2, 2);
    g.SetCol(1);
    g.SetRow(-1);
    g.SetTypeEditCharSet(limits[0]);
    g.SetTypeEditCharCase(limits[1]);
    g.SetTypeMaxEditLen(limits[2]);
    g.SetTypeEditMultiLine(multiLine);
    const QModelIndex cell = g.model()->index(0, 0);
    g.setCurrentIndex(cell);
    g.edit(cell);
    QWidget* editor = multiLine ? static_cast<QWidget*>(g.findChild<QPlainTextEdit*>())
                                : static_cast<QWidget*>(g.findChild<QLineEdit*>());
    QVERIFY(editor);
    QTest::keyClicks(editor, typed);
    g.setCurrentIndex(g.model()->index(1, 1));
    QCOMPARE(g.CellText(1, 1), stored);
    QCOMPARE(g.CellText(2, 1), QString());
  }

  void clicksReportColumnAndRow() {
    vaSpread g;
    ShowGrid(g, 3, 3);
    QCoreApplication::processEvents();
    QSignalSpy clicks(&g, &vaSpread::Click);
    QHeaderView* h = g.horizontalHeader();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(1) + 5, h->height() / 2));
    const QRect cell = g.visualRect(g.model()->index(2, 2));
    QTest::mouseClick(g.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(clicks.count(), 2);
    QCOMPARE(clicks[0], (QList<QVariant>{2, 0}));
    QCOMPARE(clicks[1], (QList<QVariant>{3, 3}));
  }

  void copySelection_data() {
    QTest::addColumn<QList<QRect>>("blocks");   // 0-based columns (x) and rows (y)
    QTest::addColumn<QStringList>("commands");  // menu items; none for Ctrl+C
    QTest::addColumn<QString>("text");
    QTest::newRow("Ctrl+C") << QList<QRect>{QRect(0, 0, 2, 2)} << QStringList()
                            << QString("a\t1\r\nb\t2\r\n");
    QTest::newRow("with header") << QList<QRect>{QRect(1, 0, 2, 1)}
                                 << QStringList{"ﾍｯﾀﾞｰ付きでｺﾋﾟｰ"} << QString("NO\tPW\r\n1\t*\r\n");
    QTest::newRow("apart") << QList<QRect>{QRect(0, 0, 1, 1), QRect(2, 1, 1, 1)}
                           << QStringList{"ｺﾋﾟｰ"} << QString("a\t\r\n\t**\r\n");
    QTest::newRow("select all") << QList<QRect>() << QStringList{"すべて選択", "ｺﾋﾟｰ"}
                                << QString("a\t1\t*\r\nb\t2\t**\r\n");
  }
  void copySelection() {
    QFETCH(QList<QRect>, blocks);
    QFETCH(QStringList, commands);
    QFETCH(QString, text);
    vaSpread g;
    SizeGrid(g, 3, 2);
    const char* cells[3][3] = {{"NAME", "NO", "PW"}, {"a", "1", "x"}, {"b", "2", "yz"}};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) SetCell(g, c + 1, r, QString::fromUtf8(cells[r][c]));
    g.SetRow(-1);
    g.SetTypeEditPassword(true);
    g.Refresh();
    QApplication::clipboard()->setText("before");
    for (const QRect& b : blocks) {
      g.selectionModel()->select(QItemSelection(g.model()->index(b.top(), b.left()),
                                                g.model()->index(b.bottom(), b.right())),
                                 QItemSelectionModel::Select);
    }
    if (commands.isEmpty()) {
      g.show();
      QVERIFY(QTest::qWaitForWindowActive(&g));
      g.setFocus();
      QTest::keyClick(&g, Qt::Key_C, Qt::ControlModifier);
    }
    for (const QString& command : commands) TriggerMenuItem(g, command);
    QCOMPARE(QApplication::clipboard()->text(), text);
    QCOMPARE(g.contextMenuPolicy(), Qt::ActionsContextMenu);
  }
};

QTEST_MAIN(TestVaSpread)
#include "tst_vaspread.moc"
