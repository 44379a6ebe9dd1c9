#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void OwnerPrefixPass::apply(std::vector<Token>& t, const RewriteContext& ctx) const {
  std::vector<Token> out;
  out.reserve(t.size());
  const int n = int(t.size());
  for (int i = 0; i < n; ++i) {
    const QString& u = t[i].upper;
    const bool owner = t[i].kind == TokKind::Word && !IsOpAt(t, i - 1, ".") &&
                       IsOpAt(t, i + 1, ".") && i + 2 < n &&
                       (t[i + 2].kind == TokKind::Word || t[i + 2].kind == TokKind::Quoted) &&
                       (u == QLatin1String("SYS") || u == QLatin1String("PUBLIC") ||
                        (ctx.isSchema && ctx.isSchema(u)));
    if (owner) {
      ++i;  // the owner and its dot
      continue;
    }
    out.push_back(std::move(t[i]));
  }
  t = std::move(out);
}

}  // namespace ora::local::rewrite
