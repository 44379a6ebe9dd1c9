#include "grid/SpreadModel.h"

#include <QTimer>

namespace {

constexpr qint64 kPublishMs = 100;
constexpr int kFirstScreenStep = 8;

}  // namespace

SpreadModel::SpreadModel(QObject* parent) : QAbstractTableModel(parent) {}

SpreadModel::~SpreadModel() = default;

int SpreadModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : published_;
}

int SpreadModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : Cols();
}

QVariant SpreadModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || index.column() >= Cols()) return {};
  const grid::ColumnStore& col = Column(index.column());
  switch (role) {
    case Qt::DisplayRole: {
      const QString text = col.Text(index.row());
      if (col.format.password) return QString(text.size(), QLatin1Char('*'));
      return text;
    }
    case Qt::EditRole:
      return col.Text(index.row());
    case Qt::TextAlignmentRole: {
      const Qt::Alignment h = col.format.hAlign == 1   ? Qt::AlignRight
                              : col.format.hAlign == 2 ? Qt::AlignHCenter
                                                       : Qt::AlignLeft;
      return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    default:
      return {};
  }
}

bool SpreadModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !index.isValid() || index.row() >= rows_ || index.column() >= Cols())
    return false;
  SetCellText(index.column(), index.row(), value.toString());
  return true;
}

Qt::ItemFlags SpreadModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (Column(index.column()).format.cellType == 1) f |= Qt::ItemIsEditable;
  return f;
}

QVariant SpreadModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return QString::number(section + 1);
  if (section < 0 || section >= Cols()) return {};
  return HeaderText(section);
}

void SpreadModel::SetRows(int rows) {
  rows = std::max(rows, 0);
  if (rows < published_) {
    beginRemoveRows(QModelIndex(), rows, published_ - 1);
    for (auto& c : cols_) c->Resize(rows);
    rows_ = published_ = rows;
    endRemoveRows();
    return;
  }
  for (auto& c : cols_) c->Resize(rows);
  rows_ = rows;
  if (rows_ > published_ && !publishQueued_) {
    publishQueued_ = true;
    // The first rows show at once; later ones wait for the next batch.
    const qint64 wait =
        sincePublish_.isValid() ? std::max<qint64>(0, kPublishMs - sincePublish_.elapsed()) : 0;
    QTimer::singleShot(int(wait), this, &SpreadModel::publishBatch);
  }
}

void SpreadModel::Publish() {
  publishTo(rows_);
}

void SpreadModel::publishBatch() {
  if (published_ >= screenRows_ || rows_ <= published_ + kFirstScreenStep) return Publish();
  publishTo(published_ + kFirstScreenStep);
  publishQueued_ = true;
  QTimer::singleShot(0, this, &SpreadModel::publishBatch);
}

void SpreadModel::publishTo(int rows) {
  publishQueued_ = false;
  sincePublish_.restart();
  if (rows <= published_) return;
  beginInsertRows(QModelIndex(), published_, rows - 1);
  published_ = rows;
  endInsertRows();
}

void SpreadModel::SetCols(int cols) {
  cols = std::max(cols, 0);
  const int now = Cols();
  if (cols > now) {
    beginInsertColumns(QModelIndex(), now, cols - 1);
    for (int c = now; c < cols; ++c) {
      cols_.push_back(std::make_unique<grid::ColumnStore>(c));
      cols_.back()->Resize(rows_);
    }
    endInsertColumns();
  } else if (cols < now) {
    beginRemoveColumns(QModelIndex(), cols, now - 1);
    cols_.resize(std::size_t(cols));
    endRemoveColumns();
  }
}

void SpreadModel::cellChanged(int col, int row) {
  if (row >= published_) return;
  const QModelIndex i = index(row, col);
  emit dataChanged(i, i);
}

bool SpreadModel::SetCell(int col, int row, const QVariant& value) {
  if (!Column(col).Set(row, value)) return false;
  cellChanged(col, row);
  return true;
}

void SpreadModel::SetCellText(int col, int row, const QString& text) {
  Column(col).SetText(row, text);
  cellChanged(col, row);
}

void SpreadModel::SetHeader(int col, const QString& text) {
  Column(col).header = text;
  emit headerDataChanged(Qt::Horizontal, col, col);
}

QString SpreadModel::HeaderText(int col) const {
  const QString& h = Column(col).header;
  return h.isEmpty() ? ColumnLetters(col) : h;
}

void SpreadModel::FormatChanged(int col) {
  if (published_ > 0) emit dataChanged(index(0, col), index(published_ - 1, col));
}

void SpreadModel::Sort(int firstRow, int lastRow, int firstCol, int lastCol,
                       const std::vector<grid::SortKey>& keys) {
  grid::SortRows(cols_, firstRow, lastRow, firstCol, lastCol, keys);
  Publish();
  if (published_ > 0) emit dataChanged(index(firstRow, firstCol), index(lastRow, lastCol));
}

qint64 SpreadModel::MemoryUsed() const {
  qint64 bytes = qint64(cols_.capacity() * sizeof(void*));
  for (const auto& c : cols_) bytes += c->MemoryUsed();
  return bytes;
}

QString SpreadModel::ColumnLetters(int col) {
  QString out;
  for (int n = col + 1; n > 0; n = (n - 1) / 26) out.prepend(QLatin1Char(char('A' + (n - 1) % 26)));
  return out;
}
