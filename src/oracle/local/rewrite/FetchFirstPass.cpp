#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void FetchFirstPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  std::vector<Token> out;
  out.reserve(t.size());
  const int n = int(t.size());
  for (int i = 0; i < n; ++i) {
    if (IsWordAt(t, i, "FETCH") && (IsWordAt(t, i + 1, "FIRST") || IsWordAt(t, i + 1, "NEXT")) &&
        i + 4 < n && t[i + 2].kind == TokKind::Number &&
        (IsWordAt(t, i + 3, "ROWS") || IsWordAt(t, i + 3, "ROW")) && IsWordAt(t, i + 4, "ONLY")) {
      Token limit = t[i];
      limit.text = QStringLiteral("LIMIT");
      out.push_back(std::move(limit));
      out.push_back(t[i + 2]);
      i += 4;
      continue;
    }
    out.push_back(std::move(t[i]));
  }
  t = std::move(out);
}

}  // namespace ora::local::rewrite
