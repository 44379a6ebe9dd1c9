#pragma once
// Getting rows out of the grid: the selected cells as tab-separated text for the clipboard, and
// the whole grid as CSV in a file. Values come out as the grid shows them (masked columns masked).
#include <QString>
#include <functional>

class QItemSelection;
class SpreadModel;
class vaSpread;

namespace grid {

// The text a cell shows; col and row are 0-based.
QString ShownText(const SpreadModel& model, int col, int row);

// The cells of the rows and columns the selection touches, tab-separated, every row ended by
// CR LF; cells inside that block but outside the selection come out empty. withHeader puts the
// column headers first.
QString SelectionText(const SpreadModel& model, const QItemSelection& selection, bool withHeader);

// Gives the grid its copy keys and right-click menu: Ctrl+C and "ｺﾋﾟｰ" copy the selection,
// "ﾍｯﾀﾞｰ付きでｺﾋﾟｰ" with the header row, "すべて選択" selects every cell.
void AddCopyCommands(vaSpread* grid);

// One CSV field, quoted (quotes doubled) when it holds a comma, a quote or a line break.
void AppendCsvField(QString& out, const QString& field);

enum class CsvEncoding { Utf8WithBom, ShiftJis };

// Writes the whole grid as CSV (header row first, lines ended by CR LF). The file is replaced
// only when everything was written: a cancel or a failure leaves no partial file and an existing
// file unchanged. progress(rowsDone, rowsTotal) is called now and then; false cancels.
enum class CsvResult { Written, Cancelled, NotEncodable, WriteFailed };
CsvResult WriteCsv(const SpreadModel& model, const QString& path, CsvEncoding encoding,
                   const std::function<bool(qint64, qint64)>& progress);

}  // namespace grid
