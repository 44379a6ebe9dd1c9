#include "grid/GridCopy.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelection>
#include <QSaveFile>
#include <QStringEncoder>
#include <algorithm>
#include <utility>
#include <vector>

#include "grid/SpreadModel.h"
#include "grid/vaSpread.h"

namespace grid {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Rows are written and encoded in pieces of this many, so a million rows never sit in memory
// as one text and the progress dialog moves.
constexpr int kRowsPerPiece = 4096;

// The inclusive row spans of the selection, sorted and merged.
std::vector<std::pair<int, int>> SelectedRowSpans(const QItemSelection& selection) {
  std::vector<std::pair<int, int>> spans;
  for (const QItemSelectionRange& r : selection) spans.emplace_back(r.top(), r.bottom());
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<int, int>> merged;
  for (const auto& s : spans) {
    if (!merged.empty() && s.first <= merged.back().second + 1) {
      merged.back().second = std::max(merged.back().second, s.second);
    } else {
      merged.push_back(s);
    }
  }
  return merged;
}

std::vector<int> SelectedColumns(const QItemSelection& selection) {
  std::vector<int> cols;
  for (const QItemSelectionRange& r : selection) {
    for (int c = r.left(); c <= r.right(); ++c) cols.push_back(c);
  }
  std::sort(cols.begin(), cols.end());
  cols.erase(std::unique(cols.begin(), cols.end()), cols.end());
  return cols;
}

bool IsSelected(const QItemSelection& selection, int col, int row) {
  return std::any_of(selection.begin(), selection.end(), [&](const QItemSelectionRange& r) {
    return row >= r.top() && row <= r.bottom() && col >= r.left() && col <= r.right();
  });
}

void CopySelection(vaSpread* grid, bool withHeader) {
  const QItemSelection selection = grid->selectionModel()->selection();
  if (selection.isEmpty()) return;
  QGuiApplication::clipboard()->setText(SelectionText(*grid->model(), selection, withHeader));
}

QAction* AddCommand(vaSpread* grid, const QString& caption, const std::function<void()>& run) {
  auto* action = new QAction(caption, grid);
  QObject::connect(action, &QAction::triggered, grid, run);
  grid->addAction(action);
  return action;
}

void AppendCsvRow(QString& out, const SpreadModel& model, int row) {
  for (int c = 0; c < model.Cols(); ++c) {
    if (c > 0) out += QLatin1Char(',');
    AppendCsvField(out, row < 0 ? model.HeaderText(c) : ShownText(model, c, row));
  }
  out += kCrLf;
}

}  // namespace

QString ShownText(const SpreadModel& model, int col, int row) {
  const ColumnStore& column = model.Column(col);
  const QString text = column.Text(row);
  if (column.format.password) return QString(text.size(), QLatin1Char('*'));
  return text;
}

QString SelectionText(const SpreadModel& model, const QItemSelection& selection, bool withHeader) {
  const std::vector<int> cols = SelectedColumns(selection);
  const std::vector<std::pair<int, int>> rows = SelectedRowSpans(selection);
  // One range, as a block or select-all gives, needs no test per cell.
  const bool wholeBlock = selection.size() == 1;
  // Room for short values up front, so a million rows are not copied over as the text grows.
  qsizetype rowCount = 1;
  for (const auto& [top, bottom] : rows) rowCount += bottom - top + 1;
  QString out;
  out.reserve(rowCount * qsizetype(cols.size() + 1) * 8);
  if (withHeader) {
    for (std::size_t i = 0; i < cols.size(); ++i) {
      if (i > 0) out += QLatin1Char('\t');
      out += model.HeaderText(cols[i]);
    }
    out += kCrLf;
  }
  for (const auto& [top, bottom] : rows) {
    for (int r = top; r <= bottom && r < model.Rows(); ++r) {
      for (std::size_t i = 0; i < cols.size(); ++i) {
        if (i > 0) out += QLatin1Char('\t');
        if (wholeBlock || IsSelected(selection, cols[i], r)) out += ShownText(model, cols[i], r);
      }
      out += kCrLf;
    }
  }
  return out;
}

void AddCopyCommands(vaSpread* grid) {
  QAction* copy = AddCommand(grid, QStringLiteral("ｺﾋﾟｰ"), [grid] { CopySelection(grid, false); });
  // Only while the grid itself has the focus: a cell being edited copies its own text.
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  AddCommand(grid, QStringLiteral("ﾍｯﾀﾞｰ付きでｺﾋﾟｰ"), [grid] { CopySelection(grid, true); });
  AddCommand(grid, QStringLiteral("すべて選択"), [grid] { grid->selectAll(); });
  grid->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void AppendCsvField(QString& out, const QString& field) {
  const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                     field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'));
  if (!quote) {
    out += field;
    return;
  }
  out += QLatin1Char('"');
  for (const QChar ch : field) {
    if (ch == QLatin1Char('"')) out += QLatin1Char('"');
    out += ch;
  }
  out += QLatin1Char('"');
}

CsvResult WriteCsv(const SpreadModel& model, const QString& path, CsvEncoding encoding,
                   const std::function<bool(qint64, qint64)>& progress) {
  QStringEncoder encoder(encoding == CsvEncoding::ShiftJis ? "Shift_JIS" : "UTF-8");
  if (!encoder.isValid()) return CsvResult::WriteFailed;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return CsvResult::WriteFailed;
  const qint64 total = model.Rows();
  const auto put = [&](const QString& text) {
    const QByteArray bytes = encoder.encode(text);
    return file.write(bytes) == bytes.size();
  };
  QString piece;
  if (encoding == CsvEncoding::Utf8WithBom) piece += QChar(0xFEFF);
  AppendCsvRow(piece, model, -1);
  for (int row = 0;; ++row) {
    const bool last = row >= total;
    if (!last) AppendCsvRow(piece, model, row);
    if (!last && (row + 1) % kRowsPerPiece != 0) continue;
    if (!put(piece)) return CsvResult::WriteFailed;
    if (encoder.hasError()) return CsvResult::NotEncodable;
    piece.clear();
    if (last) break;
    if (progress && !progress(row + 1, total)) return CsvResult::Cancelled;
  }
  return file.commit() ? CsvResult::Written : CsvResult::WriteFailed;
}

}  // namespace grid
