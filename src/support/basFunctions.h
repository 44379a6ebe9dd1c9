#pragma once
// Operations the windows share: opening result sets, filling session selectors, formatting and
// filling the result grid, sorting it.
#include <QString>
#include <memory>
#include <vector>

#include "oracle/OraInterface.h"

class vaSpread;

// True while a grid fill may go on; "SQL中断" clears it.
extern bool gblnFetching;

// Opens a result set for the SQL text: mode 1 read-only and uncached (options 12), any other mode
// the defaults (options 0). Every failure gives nullptr; the server error stays readable on db.
std::shared_ptr<ora::OraDynaset> mFn_CreateDynaset(const std::shared_ptr<ora::OraDatabase>& db,
                                                   const QString& sql, int mode);

// Sets up the grid's current column (setup true) or writes the current cell (setup false) by the
// field's Oracle type.
void mSb_SetCellByOraType(vaSpread* grid, ora::OraField* field, bool setup);
// Writes the current row from the first column on, one field per column, each cell as
// mSb_SetCellByOraType writes it; types[i] is the field's Oracle type as read once for the whole
// fill, or -1 to read it for every cell. Leaves the row's latest failure pending.
void SetRowByOraType(vaSpread* grid, const std::vector<ora::OraField*>& fields,
                     const std::vector<int>& types);

// Fills the grid from the result set, up to limit rows (-1 all, 0 header only), letting window
// messages through so that "SQL中断" can stop it.
void mSb_FillSpread(ora::OraDynaset* dynaset, vaSpread* grid, int limit);
// The same, holding the result set for the length of the fill, so that a logout run while window
// messages are let through cannot release it under the fill.
void mSb_FillSpread(const std::shared_ptr<ora::OraDynaset>& dynaset, vaSpread* grid, int limit);

// Sorts every row of the grid by up to three key columns (0 = no key).
void mSb_SortSpread(vaSpread* grid, int key1, bool asc1, int key2, bool asc2, int key3, bool asc3);
