#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

// SQLite numbers the rows of an empty window in the order they leave the WHERE clause, before
// GROUP BY, DISTINCT and ORDER BY, which is when Oracle gives ROWNUM.
void RownumColumnPass::apply(Seq& level, const ExprScanner&) const {
  ForEachBlock(level, [](Seq& s, Block& blk) {
    int f = FindClause(s, blk.begin, blk.end, "FROM");
    if (f < 0) f = blk.end;
    for (int i = blk.begin + 1; i < f; ++i)
      if (IsW(s[i], "ROWNUM") && !IsOp(s[i - 1], "."))
        s[i].tok.text = QStringLiteral("ROW_NUMBER() OVER ()");
  });
}

}  // namespace ora::local::rewrite
