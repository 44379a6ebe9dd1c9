#pragma once
// The table behind the grid: one ColumnStore per column. Rows added one at a time are told to the
// views in batches, at most every tenth of a second while the event loop turns, so that filling a
// million rows costs the views a few hundred notifications and repaints rather than a million.
#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <memory>
#include <vector>

#include "grid/ColumnStore.h"
#include "grid/SortRows.h"

class SpreadModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit SpreadModel(QObject* parent = nullptr);
  ~SpreadModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // Counts and cells, 0-based. Rows() counts every row, also those the views do not know yet.
  int Rows() const { return rows_; }
  int Cols() const { return int(cols_.size()); }
  void SetRows(int rows);
  void SetCols(int cols);
  grid::ColumnStore& Column(int col) { return *cols_[std::size_t(col)]; }
  const grid::ColumnStore& Column(int col) const { return *cols_[std::size_t(col)]; }
  // False when the value has no text form.
  bool SetCell(int col, int row, const QVariant& value);
  void SetCellText(int col, int row, const QString& text);
  // Stores through one of the column's typed setters: store(column, row).
  template <typename Store>
  void SetCellWith(int col, int row, Store store) {
    store(Column(col), row);
    cellChanged(col, row);
  }
  void SetHeader(int col, const QString& text);
  // The header as shown: the text set for it, or the column's letters.
  QString HeaderText(int col) const;
  // Tells the views that a column's settings changed.
  void FormatChanged(int col);

  void Sort(int firstRow, int lastRow, int firstCol, int lastCol,
            const std::vector<grid::SortKey>& keys);

  // Tells the views about the rows added since the last call.
  void Publish();
  // How many rows the views show at once. Until that many are published, batches are of a few
  // rows each, one per turn of the event loop: no turn lays out and paints a whole screen of new
  // cells.
  void SetScreenRows(int rows) { screenRows_ = rows; }

  qint64 MemoryUsed() const;

  // "A", "B" … "Z", "AA" … for a 0-based column.
  static QString ColumnLetters(int col);

 private:
  void cellChanged(int col, int row);
  void publishBatch();
  void publishTo(int rows);

  std::vector<std::unique_ptr<grid::ColumnStore>> cols_;
  int rows_ = 0;
  int published_ = 0;
  int screenRows_ = 0;
  bool publishQueued_ = false;
  QElapsedTimer sincePublish_;
};
