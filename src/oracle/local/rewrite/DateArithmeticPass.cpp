#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

namespace {

// One term of an additive chain: [b, e), with the operator before it at op (-1 for the first).
struct Part {
  int op;
  int b, e;
};

Seq Take(Seq& s, int b, int e) {
  Seq r;
  for (int k = b; k < e; ++k) r.push_back(std::move(s[k]));
  return r;
}

Seq Call(const char* fn, Seq args, int src) {
  Seq r;
  r.push_back(Syn(QString::fromLatin1(fn), src));
  r.push_back(SynGroup(std::move(args), src));
  return r;
}

// Folds the chain left to right; acc holds the value so far and accDate whether it is a date.
Seq FoldChain(Seq& s, const std::vector<Part>& parts, const ExprScanner& scan) {
  bool accDate = scan.isDateTerm(s, parts[0].b, parts[0].e);
  const int src0 = SrcOf(s[parts[0].b]);
  Seq acc = Take(s, parts[0].b, parts[0].e);
  for (size_t k = 1; k < parts.size(); ++k) {
    const Part& pt = parts[k];
    const bool minus = IsOp(s[pt.op], "-");
    const bool termDate = scan.isDateTerm(s, pt.b, pt.e);
    const int opSrc = SrcOf(s[pt.op]);
    Seq term = Take(s, pt.b, pt.e);
    if (accDate && !termDate) {
      Seq kids = std::move(acc);
      kids.push_back(Syn(QStringLiteral(","), opSrc, TokKind::Op));
      if (minus) kids.push_back(Syn(QStringLiteral("-"), opSrc, TokKind::Op));
      kids.push_back(SynGroup(std::move(term), opSrc));
      acc = Call("ORA_DATE_ADD", std::move(kids), src0);
    } else if (!accDate && termDate && !minus) {
      Seq kids = std::move(term);
      kids.push_back(Syn(QStringLiteral(","), opSrc, TokKind::Op));
      kids.push_back(SynGroup(std::move(acc), src0));
      acc = Call("ORA_DATE_ADD", std::move(kids), src0);
      accDate = true;
    } else if (accDate && termDate && minus) {
      Seq kids = std::move(acc);
      kids.push_back(Syn(QStringLiteral(","), opSrc, TokKind::Op));
      for (Node& t : term) kids.push_back(std::move(t));
      acc = Call("ORA_DATE_DIFF", std::move(kids), src0);
      accDate = false;
    } else {
      acc.push_back(std::move(s[pt.op]));
      for (Node& t : term) acc.push_back(std::move(t));
    }
  }
  return acc;
}

}  // namespace

void DateArithmeticPass::apply(Seq& s, const ExprScanner& scan) const {
  scan.rewriteChains(s, false, [&scan](Seq& s, int i, int t0, const ChainLinks& links) {
    std::vector<Part> parts{{-1, i, t0}};
    for (const auto& [op, end] : links) parts.push_back({op, op + 1, end});
    bool anyDate = false;
    if (parts.size() > 1)
      for (const Part& pt : parts) anyDate = anyDate || scan.isDateTerm(s, pt.b, pt.e);
    return anyDate ? FoldChain(s, parts, scan) : Take(s, i, parts.back().e);
  });
}

}  // namespace ora::local::rewrite
