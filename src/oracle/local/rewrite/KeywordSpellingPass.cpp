#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void KeywordSpellingPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  for (int i = 0; i < int(t.size()); ++i) {
    if (IsWordAt(t, i, "MINUS"))
      t[i].text = QStringLiteral("EXCEPT");
    else if (IsWordAt(t, i, "UNIQUE") && IsWordAt(t, i - 1, "SELECT"))
      t[i].text = QStringLiteral("DISTINCT");
  }
}

}  // namespace ora::local::rewrite
