#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void PseudoFunctionPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  for (int i = 0; i < int(t.size()); ++i) {
    // A qualified name (x.sysdate) or a call is the user's own, not the pseudo function.
    if (IsOpAt(t, i - 1, ".") || IsOpAt(t, i + 1, "(")) continue;
    if (IsWordAt(t, i, "SYSDATE") || IsWordAt(t, i, "SYSTIMESTAMP"))
      t[i].text = QStringLiteral("ORA_SYSDATE()");
    else if (IsWordAt(t, i, "USER") && !IsOpAt(t, i + 1, "."))
      t[i].text = QStringLiteral("ORA_USER()");
  }
}

}  // namespace ora::local::rewrite
