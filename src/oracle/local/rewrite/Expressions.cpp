#include "oracle/local/rewrite/Expressions.h"

#include <QStringList>

namespace ora::local::rewrite {

namespace {

Seq FirstArg(const Node& g) {
  Seq a;
  for (const Node& k : g.kids) {
    if (IsOp(k, ",")) break;
    a.push_back(k);
  }
  return a;
}

bool IsSign(const Node& n) {
  return IsOp(n, "+") || IsOp(n, "-");
}

}  // namespace

int ExprScanner::parsePrimary(const Seq& s, int i) const {
  const int n = int(s.size());
  if (i >= n) return -1;
  const Node& nd = s[i];
  if (nd.group) return i + 1;
  switch (nd.tok.kind) {
    case TokKind::Number:
    case TokKind::String:
    case TokKind::Bind:
      return i + 1;
    case TokKind::Word:
    case TokKind::Quoted: {
      if (nd.tok.kind == TokKind::Word && IsDelimiterWord(nd.tok.upper)) return -1;
      int j = i + 1;
      while (j + 1 < n && IsOp(s[j], ".") && IsName(s[j + 1])) j += 2;
      if (j < n && s[j].group) ++j;
      return j;
    }
    default:
      return -1;
  }
}

int ExprScanner::parseTerm(const Seq& s, int i) const {
  const int n = int(s.size());
  while (i < n && IsSign(s[i])) ++i;
  int p = parsePrimary(s, i);
  if (p < 0) return -1;
  while (p < n && (IsOp(s[p], "*") || IsOp(s[p], "/"))) {
    int q = p + 1;
    while (q < n && IsSign(s[q])) ++q;
    const int r = parsePrimary(s, q);
    if (r < 0) break;
    p = r;
  }
  return p;
}

int ExprScanner::chain(const Seq& s, int p, bool withConcat, ChainLinks& links) const {
  const int n = int(s.size());
  while (p < n && (IsSign(s[p]) || (withConcat && IsOp(s[p], "||")))) {
    const int q = parseTerm(s, p + 1);
    if (q < 0) break;
    links.push_back({p, q});
    p = q;
  }
  return p;
}

void ExprScanner::rewriteChains(Seq& s, bool withConcat, const ChainFold& fold) const {
  Seq out;
  const int n = int(s.size());
  int i = 0;
  while (i < n) {
    const int t0 = parseTerm(s, i);
    if (t0 < 0) {
      out.push_back(std::move(s[i]));
      ++i;
      continue;
    }
    ChainLinks links;
    const int p = chain(s, t0, withConcat, links);
    for (Node& x : fold(s, i, t0, links)) out.push_back(std::move(x));
    i = p;
  }
  s = std::move(out);
}

bool ExprScanner::isDateSeq(const Seq& s) const {
  if (s.empty()) return false;
  const int n = int(s.size());
  int p = parseTerm(s, 0);
  if (p < 0) return false;
  bool acc = isDateTerm(s, 0, p);
  while (p < n && IsSign(s[p])) {
    const int q = parseTerm(s, p + 1);
    if (q < 0) return false;
    const bool term = isDateTerm(s, p + 1, q);
    // date - date is a number of days
    if (IsOp(s[p], "-") && acc && term)
      acc = false;
    else
      acc = acc || term;
    p = q;
  }
  return p == n && acc;
}

bool ExprScanner::isDateCall(const QString& name, const Node& args) const {
  static const QStringList kDateFns = {"TO_DATE",  "ADD_MONTHS",   "LAST_DAY",
                                       "NEXT_DAY", "ORA_DATE_ADD", "SYSDATE"};
  static const QStringList kFirstArg = {"TRUNC",    "ROUND", "NVL", "NVL2", "COALESCE",
                                        "GREATEST", "LEAST", "MAX", "MIN"};
  if (kDateFns.contains(name)) return true;
  if (kFirstArg.contains(name)) return isDateSeq(FirstArg(args));
  if (name == QLatin1String("CAST")) {
    const Seq& k = args.kids;
    return k.size() >= 2 && IsW(k[k.size() - 1], "DATE") && IsW(k[k.size() - 2], "AS");
  }
  return false;
}

bool ExprScanner::isDateTerm(const Seq& s, int b, int e) const {
  if (e <= b) return false;
  for (int i = b; i < e; ++i)
    if (IsOp(s[i], "*") || IsOp(s[i], "/")) return false;
  while (b < e && IsOp(s[b], "+")) ++b;
  if (b >= e) return false;
  const Node& first = s[b];
  if (first.group) return e - b == 1 && isDateSeq(first.kids);
  if (first.tok.kind == TokKind::Bind)
    return e - b == 1 && ctx_.isDateBind && ctx_.isDateBind(first.tok.upper.mid(1));
  if (!IsName(first)) return false;
  // a.b.c: the last name decides
  int j = b + 1;
  QString last = Unquote(first.tok);
  while (j + 1 < e && IsOp(s[j], ".")) {
    last = Unquote(s[j + 1].tok);
    j += 2;
  }
  if (j == e)
    return last == QLatin1String("SYSDATE") || last.startsWith(QLatin1String("DATE '")) ||
           (ctx_.isDateColumn && ctx_.isDateColumn(last));
  return j + 1 == e && s[j].group && isDateCall(last, s[j]);
}

}  // namespace ora::local::rewrite
