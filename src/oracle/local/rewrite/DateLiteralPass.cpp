#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void DateLiteralPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  std::vector<Token> out;
  out.reserve(t.size());
  const int n = int(t.size());
  for (int i = 0; i < n; ++i) {
    Token tok = std::move(t[i]);
    // CAST(x AS DATE) and t.date are names, not literals.
    if (tok.kind == TokKind::Word && tok.upper == QLatin1String("DATE") && i + 1 < n &&
        t[i + 1].kind == TokKind::String && !IsOpAt(t, i - 1, ".") && !IsWordAt(t, i - 1, "AS")) {
      const Token& lit = t[i + 1];
      tok.text = QStringLiteral("TO_DATE(") + lit.text + QStringLiteral(", 'YYYY-MM-DD')");
      // The upper text keeps the literal, so the date detection recognises it.
      tok.upper = QStringLiteral("DATE ") + lit.text;
      tok.len = lit.start + lit.len - tok.start;
      ++i;
    }
    out.push_back(std::move(tok));
  }
  t = std::move(out);
}

}  // namespace ora::local::rewrite
