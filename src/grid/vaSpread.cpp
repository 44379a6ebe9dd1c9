#include "grid/vaSpread.h"

#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyle>
#include <algorithm>

#include "core/RunErr.h"
#include "grid/CellEditor.h"
#include "grid/GridCopy.h"
#include "grid/SpreadModel.h"

namespace {

void RaiseBadCall() {
  ora::Raise(ora::kErrInvalidProcedureCall,
             QStringLiteral("プロシージャの呼び出し、または引数が不正です。"));
}
void RaiseOutOfRange() {
  ora::Raise(ora::kErrOutOfRange, QStringLiteral("インデックスが有効範囲にありません。"));
}

// Widths beyond this many pixels only make the scroll bar useless.
constexpr int kMaxColumnPixels = 100000;

// Qt sizes a header by laying out the texts of up to two hundred of its sections again whenever
// sections are added, which a fill does column by column and then batch by batch of rows. The
// sizes are kept instead: a column heading's by its text, a row number's by its digit count (a
// number is as wide as any other with as many digits).
class GridHeader final : public QHeaderView {
 public:
  GridHeader(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent) {
    setSectionsClickable(true);
    setHighlightSections(true);
  }

 protected:
  QSize sectionSizeFromContents(int section) const override {
    QString key;
    if (orientation() == Qt::Vertical) {
      int digits = 1;
      for (int n = section + 1; n >= 10; n /= 10) ++digits;
      key = QString(digits, QLatin1Char('9'));
    } else {
      key = model()->headerData(section, Qt::Horizontal).toString();
    }
    auto it = sizeByText_.constFind(key);
    if (it == sizeByText_.constEnd())
      it = sizeByText_.insert(key, QHeaderView::sectionSizeFromContents(section));
    return *it;
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
      sizeByText_.clear();
    QHeaderView::changeEvent(event);
  }

 private:
  mutable QHash<QString, QSize> sizeByText_;
};

}  // namespace

struct vaSpread::Impl {
  SpreadModel* model = nullptr;
  int col = 1;
  int row = 1;
  int col2 = 1;
  int row2 = 1;
  bool blockMode = false;
  // The first of the rows appended since the last layout, when nothing else changed: only they
  // need painting. kNoAppend when none were, kOtherChange when the whole layout is due.
  static constexpr int kNoAppend = -1;
  static constexpr int kOtherChange = -2;
  int appendedFrom = kNoAppend;
  bool redraw = true;
  int sortBy = SortByRow;
  int sortKey[3] = {0, 0, 0};
  int sortOrder[3] = {SortKeyOrderNone, SortKeyOrderNone, SortKeyOrderNone};

  bool isDataCell(int c, int r) const {
    return c >= 1 && c <= model->Cols() && r >= 1 && r <= model->Rows();
  }
};

vaSpread::vaSpread(QWidget* parent) : QTableView(parent), d(std::make_unique<Impl>()) {
  d->model = new SpreadModel(this);
  setModel(d->model);
  setItemDelegate(new grid::SpreadDelegate(this));
  setSortingEnabled(false);
  setWordWrap(false);
  setHorizontalHeader(new GridHeader(Qt::Horizontal, this));
  setVerticalHeader(new GridHeader(Qt::Vertical, this));
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setDefaultSectionSize(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 9);
  horizontalHeader()->setHighlightSections(false);
  connect(d->model, &QAbstractItemModel::rowsAboutToBeInserted, this,
          [this](const QModelIndex&, int first) {
            if (first != d->model->rowCount() || !isVisible())
              d->appendedFrom = Impl::kOtherChange;
            else if (d->appendedFrom == Impl::kNoAppend)
              d->appendedFrom = first;
          });
  for (const auto changed :
       {&QAbstractItemModel::rowsAboutToBeRemoved, &QAbstractItemModel::columnsAboutToBeInserted,
        &QAbstractItemModel::columnsAboutToBeRemoved})
    connect(d->model, changed, this, [this] { d->appendedFrom = Impl::kOtherChange; });
  connect(d->model, &QAbstractItemModel::modelAboutToBeReset, this,
          [this] { d->appendedFrom = Impl::kOtherChange; });
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& i) { emit Click(i.column() + 1, i.row() + 1); });
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int section) { emit Click(section + 1, 0); });
  connect(verticalHeader(), &QHeaderView::sectionClicked, this,
          [this](int section) { emit Click(0, section + 1); });
  grid::AddCopyCommands(this);
}

vaSpread::~vaSpread() = default;

int vaSpread::MaxCols() const {
  return d->model->Cols();
}

void vaSpread::SetMaxCols(int count) {
  if (count < 0) return RaiseBadCall();
  d->model->SetCols(count);
}

int vaSpread::MaxRows() const {
  return d->model->Rows();
}

void vaSpread::SetMaxRows(int count) {
  if (count < 0) return RaiseBadCall();
  d->model->SetRows(count);
}

int vaSpread::Col() const {
  return d->col;
}
void vaSpread::SetCol(int col) {
  if (col < -1) return RaiseBadCall();
  d->col = col;
}
int vaSpread::Row() const {
  return d->row;
}
void vaSpread::SetRow(int row) {
  if (row < -1) return RaiseBadCall();
  d->row = row;
}
void vaSpread::SetCol2(int col) {
  if (col < -1) return RaiseBadCall();
  d->col2 = col;
}
void vaSpread::SetRow2(int row) {
  if (row < -1) return RaiseBadCall();
  d->row2 = row;
}

void vaSpread::SetBlockMode(bool on) {
  d->blockMode = on;
  if (!on) {
    clearSelection();
    return;
  }
  // The block shows as the selection while block mode is on.
  d->model->Publish();
  const int cols = d->model->Cols();
  const int rows = d->model->rowCount();
  if (cols == 0 || rows == 0) return;
  auto span = [](int a, int b, int count, int* first, int* last) {
    *first = a == -1 ? 1 : a;
    *last = b == -1 ? count : b;
    if (*first > *last) std::swap(*first, *last);
    *first = std::max(*first, 1);
    *last = std::min(*last, count);
    return *first <= *last;
  };
  int c1, c2, r1, r2;
  if (!span(d->col, d->col2, cols, &c1, &c2) || !span(d->row, d->row2, rows, &r1, &r2)) return;
  selectionModel()->select(
      QItemSelection(d->model->index(r1 - 1, c1 - 1), d->model->index(r2 - 1, c2 - 1)),
      QItemSelectionModel::ClearAndSelect);
}

QString vaSpread::Text() const {
  return CellText(d->col, d->row);
}

void vaSpread::SetText(const QString& text) {
  if (d->row == 0 && d->col >= 1 && d->col <= d->model->Cols()) {
    d->model->SetHeader(d->col - 1, text);
    return;
  }
  if (!d->isDataCell(d->col, d->row)) return RaiseOutOfRange();
  d->model->SetCellText(d->col - 1, d->row - 1, text);
}

QVariant vaSpread::Value() const {
  if (!d->isDataCell(d->col, d->row)) return QVariant(CellText(d->col, d->row));
  return d->model->Column(d->col - 1).Value(d->row - 1);
}

void vaSpread::SetValue(const QVariant& value) {
  if (d->row == 0) return SetText(value.toString());
  if (!d->isDataCell(d->col, d->row)) return RaiseOutOfRange();
  if (!d->model->SetCell(d->col - 1, d->row - 1, value))
    ora::Raise(ora::kErrTypeMismatch, QStringLiteral("型が一致しません。"));
}

template <typename Store>
void vaSpread::storeInDataCell(Store store) {
  if (!d->isDataCell(d->col, d->row)) return RaiseOutOfRange();
  d->model->SetCellWith(d->col - 1, d->row - 1, store);
}

void vaSpread::SetValueInt(qint64 value) {
  if (d->row == 0) return SetText(QString::number(value));
  storeInDataCell([value](grid::ColumnStore& c, int row) { c.SetInt(row, value); });
}

void vaSpread::SetValueDouble(double value) {
  if (d->row == 0) return SetValue(QVariant(value));
  storeInDataCell([value](grid::ColumnStore& c, int row) { c.SetDouble(row, value); });
}

void vaSpread::SetValueDate(qint64 packed) {
  if (d->row == 0) return SetText(grid::DateText(packed));
  storeInDataCell([packed](grid::ColumnStore& c, int row) { c.SetDate(row, packed); });
}

void vaSpread::SetValueUtf8(std::string_view text) {
  if (d->row == 0) return SetText(QString::fromUtf8(text.data(), qsizetype(text.size())));
  storeInDataCell([text](grid::ColumnStore& c, int row) { c.SetUtf8(row, text); });
}

void vaSpread::setFormat(const std::function<void(grid::CellFormat&)>& change) {
  const int cols = d->model->Cols();
  if (d->col == -1) {
    for (int c = 0; c < cols; ++c) {
      change(d->model->Column(c).format);
      d->model->FormatChanged(c);
    }
    return;
  }
  if (d->col < 1 || d->col > cols) return RaiseOutOfRange();
  change(d->model->Column(d->col - 1).format);
  d->model->FormatChanged(d->col - 1);
}

void vaSpread::SetCellType(int type) {
  setFormat([type](grid::CellFormat& f) { f.cellType = type; });
}
void vaSpread::SetTypeHAlign(int align) {
  setFormat([align](grid::CellFormat& f) { f.hAlign = align; });
}
void vaSpread::SetTypeEditCharSet(int charset) {
  setFormat([charset](grid::CellFormat& f) { f.charSet = charset; });
}
void vaSpread::SetTypeEditCharCase(int charcase) {
  setFormat([charcase](grid::CellFormat& f) { f.charCase = charcase; });
}
void vaSpread::SetTypeEditMultiLine(bool on) {
  setFormat([on](grid::CellFormat& f) { f.multiLine = on; });
}
void vaSpread::SetTypeEditPassword(bool on) {
  setFormat([on](grid::CellFormat& f) { f.password = on; });
}
void vaSpread::SetTypeMaxEditLen(int length) {
  setFormat([length](grid::CellFormat& f) { f.maxEditLen = std::max(length, 0); });
}

double vaSpread::charWidth() const {
  return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
}

double vaSpread::ColWidth(int col) const {
  if (col == 0) return verticalHeader()->width() / charWidth();
  if (col < 1 || col > d->model->Cols()) {
    RaiseOutOfRange();
    return 0;
  }
  return horizontalHeader()->sectionSize(col - 1) / charWidth();
}

void vaSpread::SetColWidth(int col, double width) {
  const int px = int(std::clamp(width * charWidth(), 0.0, double(kMaxColumnPixels)) + 0.5);
  if (col == 0) {
    verticalHeader()->setFixedWidth(px);
    return;
  }
  if (col == -1) {
    for (int c = 0; c < d->model->Cols(); ++c) horizontalHeader()->resizeSection(c, px);
    return;
  }
  if (col < 1 || col > d->model->Cols()) return RaiseOutOfRange();
  horizontalHeader()->resizeSection(col - 1, px);
}

double vaSpread::MaxTextColWidth(int col) const {
  if (col < 1 || col > d->model->Cols()) {
    RaiseOutOfRange();
    return 0;
  }
  const double cw = charWidth();
  // Cell texts are tracked in half-width character cells as they arrive, so this never scans.
  const int cellMargin =
      2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
  const double cells = d->model->Column(col - 1).WidestText() * cw + cellMargin;
  const QFontMetrics hfm = horizontalHeader()->fontMetrics();
  const int headerMargin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, this);
  const double header = hfm.horizontalAdvance(d->model->HeaderText(col - 1)) + headerMargin;
  return (std::max(cells, header) + 1) / cw;
}

bool vaSpread::ReDraw() const {
  return d->redraw;
}

void vaSpread::SetReDraw(bool on) {
  d->redraw = on;
  setUpdatesEnabled(on);
  if (on) Refresh();
}

void vaSpread::SetAction(int action) {
  switch (action) {
    case ActionActiveCell: {
      d->model->Publish();
      // On a grid without that cell there is nothing to activate; that is not a failure.
      if (!d->isDataCell(d->col, d->row)) return;
      const QModelIndex i = d->model->index(d->row - 1, d->col - 1);
      selectionModel()->setCurrentIndex(i, QItemSelectionModel::NoUpdate);
      scrollTo(i);
      return;
    }
    case ActionSort:
      return sortBlock();
    default:
      return RaiseBadCall();
  }
}

void vaSpread::sortBlock() {
  if (d->sortBy != SortByRow) return RaiseBadCall();
  const int cols = d->model->Cols();
  const int rows = d->model->Rows();
  int c1 = d->col == -1 ? 1 : d->col;
  int c2 = d->col2 == -1 ? cols : d->col2;
  int r1 = d->row == -1 ? 1 : d->row;
  int r2 = d->row2 == -1 ? rows : d->row2;
  if (c1 > c2) std::swap(c1, c2);
  if (r1 > r2) std::swap(r1, r2);
  c1 = std::max(c1, 1);
  r1 = std::max(r1, 1);
  c2 = std::min(c2, cols);
  r2 = std::min(r2, rows);
  if (c1 > c2 || r1 >= r2) return;
  std::vector<grid::SortKey> keys;
  for (int k = 0; k < 3; ++k) {
    if (d->sortKey[k] < 1 || d->sortKey[k] > cols) continue;
    if (d->sortOrder[k] != SortKeyOrderAscending && d->sortOrder[k] != SortKeyOrderDescending)
      continue;
    keys.push_back({d->sortKey[k] - 1, d->sortOrder[k] == SortKeyOrderDescending});
  }
  d->model->Sort(r1 - 1, r2 - 1, c1 - 1, c2 - 1, keys);
}

void vaSpread::SetSortBy(int by) {
  if (by != SortByRow && by != SortByCol) return RaiseBadCall();
  d->sortBy = by;
}

void vaSpread::SetSortKey(int index, int col) {
  if (index < 1 || index > 3) return RaiseOutOfRange();
  d->sortKey[index - 1] = col;
}

void vaSpread::SetSortKeyOrder(int index, int order) {
  if (index < 1 || index > 3) return RaiseOutOfRange();
  d->sortOrder[index - 1] = order;
}

void vaSpread::Refresh() {
  d->model->Publish();
  viewport()->update();
  horizontalHeader()->viewport()->update();
  verticalHeader()->viewport()->update();
}

void vaSpread::doItemsLayout() {
  const int from = std::exchange(d->appendedFrom, Impl::kNoAppend);
  if (from < 0) return QTableView::doItemsLayout();
  // The rows above the appended ones look as they did: a fill repaints only its new rows, and
  // none while they arrive out of sight.
  updateGeometries();
  const int top = std::max(0, rowViewportPosition(from));
  const QWidget* cells = viewport();
  if (top < cells->height()) viewport()->update(0, top, cells->width(), cells->height() - top);
}

void vaSpread::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  d->model->SetScreenRows(
      viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) + 1);
}

SpreadModel* vaSpread::model() const {
  return d->model;
}

QString vaSpread::CellText(int col, int row) const {
  const int cols = d->model->Cols();
  if (row == 0 && col >= 1 && col <= cols) return d->model->HeaderText(col - 1);
  if (col == 0 && row >= 1 && row <= d->model->Rows()) return QString::number(row);
  if (!d->isDataCell(col, row)) return QString();
  return d->model->Column(col - 1).Text(row - 1);
}

qint64 vaSpread::MemoryUsed() const {
  return d->model->MemoryUsed();
}
