#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void RowidPass::apply(Seq& s, const ExprScanner&) const {
  for (size_t i = 0; i < s.size(); ++i) {
    Node& nd = s[i];
    if (!IsW(nd, "ROWID") || (i + 1 < s.size() && s[i + 1].group)) continue;
    if (i >= 2 && IsOp(s[i - 1], ".") && !s[i - 2].group && !(i >= 3 && IsOp(s[i - 3], "."))) {
      s[i - 2].tok.text = QStringLiteral("ORA_ROWID(") + s[i - 2].tok.text;
      nd.tok.text = nd.tok.text + QStringLiteral(")");
    } else if (!(i > 0 && IsOp(s[i - 1], "."))) {
      nd.tok.text = QStringLiteral("ORA_ROWID(ROWID)");
    }
  }
}

}  // namespace ora::local::rewrite
