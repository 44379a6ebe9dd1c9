#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

void QuotedIdentifierPass::apply(std::vector<Token>& t, const RewriteContext&) const {
  for (Token& tok : t)
    if (tok.kind == TokKind::Word && (tok.upper.contains(u'#') || tok.upper.contains(u'$')))
      tok.text = QLatin1Char('"') + tok.upper + QLatin1Char('"');
}

}  // namespace ora::local::rewrite
