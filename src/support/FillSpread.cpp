#include <QElapsedTimer>
#include <QPointer>
#include <algorithm>
#include <vector>

#include "core/RunErr.h"
#include "grid/vaSpread.h"
#include "platform/Platform.h"
#include "support/basFunctions.h"

namespace {

// Window messages are let through once per slice rather than after every row: the stop command
// still answers within a tenth of a second, and a million rows do not pay for a million turns of
// the event loop. A turn with nothing to do costs next to nothing, but one that repaints the whole
// grid costs tens of milliseconds, and which turn does is not known beforehand: each slice is as
// long as the budget leaves after the costliest turn seen so far in this fill. The clock is read
// every few rows.
constexpr qint64 kSliceMs = 5;
constexpr qint64 kMinSliceMs = 3;
constexpr qint64 kGapBudgetMs = 35;
constexpr int kRowsPerClockRead = 8;

// Keeps the latest failure of the fill's steps, each of which may fail on its own.
class LastError {
 public:
  void Take() {
    if (!ora::Err().pending()) return;
    last_ = ora::Err();
    ora::ErrClear();
  }
  const ora::RunError& Last() const { return last_; }

 private:
  ora::RunError last_;
};

}  // namespace

void mSb_FillSpread(const std::shared_ptr<ora::OraDynaset>& dynaset, vaSpread* grid, int limit) {
  mSb_FillSpread(dynaset.get(), grid, limit);
}

void mSb_FillSpread(ora::OraDynaset* r, vaSpread* grid, int n) {
  // Messages run inside the fill: the window that owns the grid may close meanwhile.
  const QPointer<vaSpread> g(grid);
  LastError err;
  ora::ErrClear();
  gblnFetching = true;
  if (!g || !r) {
    ora::Raise(ora::kErrObjectRequired, QStringLiteral("オブジェクトが必要です。"));
    err.Take();
  } else {
    g->SetReDraw(false);
    g->SetMaxCols(0);
    g->SetMaxRows(0);
    err.Take();

    // The same field objects serve every record, and a field's type is the same for each.
    std::vector<ora::OraField*> fields;
    std::vector<int> types;
    ora::OraFields& all = r->Fields();
    const int count = all.Count();
    err.Take();
    for (int i = 0; i < count; ++i) {
      ora::OraField* f = all.Item(i);
      err.Take();
      if (!f) continue;
      fields.push_back(f);
      g->SetMaxCols(g->MaxCols() + 1);
      g->SetCol(g->MaxCols());
      g->SetRow(-1);
      err.Take();
      // A type that cannot be read is read again, and fails again, for every cell.
      types.push_back(f->OraIDataType());
      if (ora::Err().pending()) {
        types.back() = -1;
        ora::ErrClear();
      }
      mSb_SetCellByOraType(g, f, true);
      err.Take();
      g->SetRow(0);
      g->SetText(f->Name());
      err.Take();
    }
    g->SetReDraw(true);

    QElapsedTimer slice;
    slice.start();
    qint64 sliceMs = kSliceMs;
    qint64 costliestTurnMs = 0;
    int rowsToClockRead = kRowsPerClockRead;
    for (;;) {
      const bool atEnd = r->IsEOF();
      // A result set that cannot even say where it stands ends the fill.
      if (ora::Err().pending()) {
        err.Take();
        break;
      }
      if (atEnd) break;
      if (n == g->MaxRows()) break;
      g->SetMaxRows(g->MaxRows() + 1);
      g->SetCol(0);
      g->SetRow(g->MaxRows());
      err.Take();
      SetRowByOraType(g, fields, types);
      err.Take();
      if (--rowsToClockRead == 0) {
        rowsToClockRead = kRowsPerClockRead;
        if (slice.elapsed() >= sliceMs) {
          slice.restart();
          platform::DoEvents();
          costliestTurnMs = std::max(costliestTurnMs, slice.restart());
          sliceMs = std::clamp(kGapBudgetMs - costliestTurnMs, kMinSliceMs, kSliceMs);
          if (!g) break;
        }
      }
      if (!gblnFetching) break;
      r->MoveNext();
      // A failing move would show the same record again and again.
      if (ora::Err().pending()) {
        err.Take();
        break;
      }
    }

    if (g) {
      g->SetReDraw(false);
      g->SetBlockMode(false);
      g->SetRow(0);
      g->SetRow2(0);
      g->SetCol(1);
      g->SetCol2(1);
      err.Take();
      for (g->SetCol(1); g->Col() <= g->MaxCols(); g->SetCol(g->Col() + 1)) {
        g->SetColWidth(g->Col(), 1000);
        g->SetColWidth(g->Col(), g->MaxTextColWidth(g->Col()));
        err.Take();
      }
      g->SetRow(1);
      g->SetCol(1);
      g->SetAction(vaSpread::ActionActiveCell);
      g->SetReDraw(true);
      err.Take();
    }
  }

  if (err.Last().pending()) {
    platform::MsgBox(QStringLiteral("エラー番号：") + QString::number(err.Last().Number) +
                         QStringLiteral("\r\n") + err.Last().Description,
                     platform::vbCritical | platform::vbOKOnly);
  }
}
