#include "support/CsvExport.h"

#include <QFileInfo>

#include "grid/GridCopy.h"
#include "grid/vaSpread.h"
#include "platform/Platform.h"

void ExportGridAsCsv(QWidget* owner, vaSpread* grid) {
  if (!grid || grid->MaxCols() == 0) {
    platform::MsgBox(QStringLiteral("ｴｸｽﾎﾟｰﾄするﾃﾞｰﾀがありません"), platform::vbInformation);
    return;
  }
  // The file types are the encodings: UTF-8 with a byte order mark, which spreadsheet programs
  // recognise, or the Japanese Windows code page.
  int chosen = 0;
  platform::FileDialogRequest request;
  request.save = true;
  request.title = QStringLiteral("ｴｸｽﾎﾟｰﾄ");
  request.filters = {QStringLiteral("CSV UTF-8 BOM付き(*.csv)"), QStringLiteral("*.csv"),
                     QStringLiteral("CSV Shift_JIS(*.csv)"), QStringLiteral("*.csv")};
  request.fileMustExist = false;
  request.owner = owner;
  request.chosenFilter = &chosen;
  QString path = platform::ShowFileDialog(request);
  if (path.isEmpty()) return;
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
  const grid::CsvEncoding encoding =
      chosen == 1 ? grid::CsvEncoding::ShiftJis : grid::CsvEncoding::Utf8WithBom;

  grid::CsvResult result;
  {
    platform::Progress progress(owner, QStringLiteral("ｴｸｽﾎﾟｰﾄ"),
                                QStringLiteral("CSVﾌｧｲﾙに書き出しています..."));
    result = grid::WriteCsv(*grid->model(), path, encoding,
                            [&](qint64 done, qint64 total) { return progress.Step(done, total); });
  }
  switch (result) {
    case grid::CsvResult::NotEncodable:
      platform::MsgBox(QStringLiteral("Shift_JISで表せない文字があるため、ｴｸｽﾎﾟｰﾄできません。"
                                      "UTF-8を選んでください"),
                       platform::vbExclamation);
      break;
    case grid::CsvResult::WriteFailed:
      platform::MsgBox(QStringLiteral("ﾌｧｲﾙに書き込めませんでした: ") + path, platform::vbCritical);
      break;
    case grid::CsvResult::Written:
    case grid::CsvResult::Cancelled:
      break;
  }
}
