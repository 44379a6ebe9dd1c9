#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void NotEqualPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  for (Token& tok : t)
    if (tok.kind == TokKind::Op &&
        (tok.text == QLatin1String("^=") || tok.text == QLatin1String("!=")))
      tok.text = QStringLiteral("<>");
}

}  // namespace ora::local::rewrite
