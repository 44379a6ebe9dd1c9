#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void EmptyStringPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  // The token stays a string literal, so the select list still reads it as text.
  for (Token& tok : t)
    if (tok.kind == TokKind::String && tok.text == QLatin1String("''"))
      tok.text = QStringLiteral("NULL");
}

}  // namespace ora::local::rewrite
