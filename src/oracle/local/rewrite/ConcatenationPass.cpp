#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

// Oracle reads a Null operand of || as an empty text, and || stands at the level of binary + and
// -, left to right: each || folds what stands before it into ORA_CONCAT(left, right).
void ConcatenationPass::apply(Seq& s, const ExprScanner& scan) const {
  bool any = false;
  for (const Node& n : s) any = any || IsOp(n, "||");
  if (!any) return;
  scan.rewriteChains(s, true, [](Seq& s, int i, int t0, const ChainLinks& ops) {
    const int src0 = SrcOf(s[i]);
    Seq acc;
    for (int k = i; k < t0; ++k) acc.push_back(std::move(s[k]));
    for (const auto& [op, end] : ops) {
      if (IsOp(s[op], "||")) {
        Seq kids = std::move(acc);
        kids.push_back(Syn(QStringLiteral(","), SrcOf(s[op]), TokKind::Op));
        for (int k = op + 1; k < end; ++k) kids.push_back(std::move(s[k]));
        acc = Seq{};
        acc.push_back(Syn(QStringLiteral("ORA_CONCAT"), src0));
        acc.push_back(SynGroup(std::move(kids), src0));
      } else {
        for (int k = op; k < end; ++k) acc.push_back(std::move(s[k]));
      }
    }
    return acc;
  });
}

}  // namespace ora::local::rewrite
