#pragma once
// The spreadsheet grid of the console: a QTableView over a model that owns the values compactly.
// It is driven the way a spreadsheet control is: through a current column and row, with -1 for a
// whole column or row and 0 for the header row and the row-number column; operations then act on
// the current column or cell. Failing operations never throw: they record a pending run-time
// error (oracle/RunErr.h) and do nothing.
#include <QTableView>
#include <QVariant>
#include <functional>
#include <memory>
#include <string_view>

class SpreadModel;
namespace grid {
struct CellFormat;
}

class vaSpread : public QTableView {
  Q_OBJECT
 public:
  explicit vaSpread(QWidget* parent = nullptr);
  ~vaSpread() override;

  // Column and row counts (data columns/rows, without the header row and row-number column).
  // Setting a smaller count drops what lies beyond; 0 clears.
  int MaxCols() const;
  void SetMaxCols(int count);
  int MaxRows() const;
  void SetMaxRows(int count);

  // Current column and row: -1 all, 0 the header row / row-number column, 1.. data.
  int Col() const;
  void SetCol(int col);
  int Row() const;
  void SetRow(int row);
  // Block ends and block mode, for selecting a block before sorting.
  void SetCol2(int col);
  void SetRow2(int row);
  void SetBlockMode(bool on);

  // Text of the current cell (the header text when the current row is 0).
  QString Text() const;
  void SetText(const QString& text);
  // Value of the current cell: text, a number, or anything QVariant converts to text.
  QVariant Value() const;
  void SetValue(const QVariant& value);
  // The current data cell set from a whole number, a double, a date packed as YYYYMMDDhhmmss
  // or UTF-8 text: the cell SetValue writes for the same value, with nothing built per call.
  void SetValueInt(qint64 value);
  void SetValueDouble(double value);
  void SetValueDate(qint64 packed);
  void SetValueUtf8(std::string_view text);

  // Cell settings of the current column (current row -1), with the control's own codes.
  enum { CellTypeEdit = 1 };
  enum { HAlignLeft = 0, HAlignRight = 1, HAlignCenter = 2 };
  enum { CharSetAscii = 0, CharSetAlpha = 1, CharSetAlphaNumeric = 2, CharSetNumeric = 3 };
  enum { CaseLower = 0, CaseNoCase = 1, CaseUpper = 2 };
  void SetCellType(int type);
  void SetTypeHAlign(int align);
  void SetTypeEditCharSet(int charset);
  void SetTypeEditCharCase(int charcase);
  void SetTypeEditMultiLine(bool on);
  void SetTypeEditPassword(bool on);
  void SetTypeMaxEditLen(int length);

  // Column widths in the control's own unit (characters of the grid's font).
  double ColWidth(int col) const;
  void SetColWidth(int col, double width);
  // The width that fits the widest text of a column, header included.
  double MaxTextColWidth(int col) const;

  // Repaint off while making bulk changes, on afterwards.
  bool ReDraw() const;
  void SetReDraw(bool on);

  // Actions: 0 makes the current cell the active cell, 25 sorts the block.
  enum { ActionActiveCell = 0, ActionSort = 25 };
  void SetAction(int action);
  // Sort settings: by rows (0) or columns (1); keys 1..3 with column and order (1 asc, 2 desc).
  enum { SortByRow = 0, SortByCol = 1 };
  enum { SortKeyOrderNone = 0, SortKeyOrderAscending = 1, SortKeyOrderDescending = 2 };
  void SetSortBy(int by);
  void SetSortKey(int index, int col);
  void SetSortKeyOrder(int index, int order);

  // Repaints now.
  void Refresh();

  // Rows added below what the viewport shows change only the scroll bar and the row numbers.
  void doItemsLayout() override;

  // The model behind the view (for tests and the benchmark: memory use, values as shown).
  SpreadModel* model() const;
  // The text a cell shows (row/col 1-based; row 0 is the header).
  QString CellText(int col, int row) const;
  // Bytes the model holds for its cell values.
  qint64 MemoryUsed() const;

 signals:
  // A click on a cell: column and row in grid coordinates (row 0 is the header row).
  void Click(int col, int row);

 private:
  // Tells the model how many rows the viewport holds.
  void resizeEvent(QResizeEvent* event) override;
  // Runs store on the current data cell's column and row; raises when there is no such cell.
  template <typename Store>
  void storeInDataCell(Store store);
  void setFormat(const std::function<void(grid::CellFormat&)>& change);
  void sortBlock();
  // Pixels of one unit of column width: the width of a digit in the grid's font.
  double charWidth() const;

  struct Impl;
  std::unique_ptr<Impl> d;
};
