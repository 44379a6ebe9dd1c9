#include "oracle/local/rewrite/SelectList.h"

#include <QStringList>
#include <algorithm>

namespace ora::local::rewrite {

namespace {

bool IsSpaceChar(QChar c) {
  return c.isSpace() || c.unicode() == 0x3000;
}

// Oracle's heading of an expression: the text as typed without blanks outside literals.
QString HeadingOf(const QString& src, int b, int e) {
  QString h;
  bool inStr = false;
  for (int i = b; i < e && i < src.size(); ++i) {
    const QChar c = src[i];
    if (c == u'\'') inStr = !inStr;
    if (!inStr && IsSpaceChar(c)) continue;
    h += c;
  }
  return OracleUpper(h);
}

void SrcRange(const Seq& s, int b, int e, int& lo, int& hi) {
  for (int i = b; i < e; ++i) {
    const Node& nd = s[i];
    if (!nd.tok.synthetic) {
      lo = std::min(lo, nd.tok.start);
      hi = std::max(hi, nd.tok.start + nd.tok.len);
    }
    if (nd.group) {
      SrcRange(nd.kids, 0, int(nd.kids.size()), lo, hi);
      if (nd.closed && !nd.close.synthetic) hi = std::max(hi, nd.close.start + nd.close.len);
    }
  }
}

QString QuotedName(const QString& quoted) {
  return quoted.mid(1, quoted.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
}

// The alias of item [b, e) (AS name or a trailing name); sets exprEnd to where the expression ends.
QString AliasOf(const Seq& s, int b, int e, int& exprEnd) {
  exprEnd = e;
  const Node& last = s[e - 1];
  if (e - b < 2 || last.group) return {};
  const Node& prev = s[e - 2];
  const bool isName = last.tok.kind == TokKind::Quoted ||
                      (last.tok.kind == TokKind::Word && !IsDelimiterWord(last.tok.upper));
  if (!isName) return {};
  if (IsW(prev, "AS"))
    exprEnd = e - 2;
  else if (prev.group || prev.tok.kind == TokKind::Word || prev.tok.kind == TokKind::Quoted ||
           prev.tok.kind == TokKind::Number || prev.tok.kind == TokKind::String ||
           prev.tok.kind == TokKind::Bind)
    exprEnd = e - 1;
  if (exprEnd == e || exprEnd <= b) {
    exprEnd = e;
    return {};
  }
  return last.tok.kind == TokKind::Quoted ? QuotedName(last.tok.text) : OracleUpper(last.tok.text);
}

ExprKind CallKind(const QString& fn) {
  static const QStringList kText = {"TO_CHAR", "SUBSTR", "UPPER",  "LOWER",    "INITCAP",
                                    "LPAD",    "RPAD",   "TRIM",   "LTRIM",    "RTRIM",
                                    "REPLACE", "CHR",    "CONCAT", "TRANSLATE"};
  static const QStringList kNum = {
      "TO_NUMBER", "LENGTH",        "INSTR", "COUNT",          "SUM",  "AVG",   "MOD",
      "ABS",       "CEIL",          "FLOOR", "MONTHS_BETWEEN", "SIGN", "POWER", "SQRT",
      "ASCII",     "ORA_DATE_DIFF", "ROUND", "TRUNC"};
  if (kText.contains(fn)) return ExprKind::Text;
  if (kNum.contains(fn)) return ExprKind::Number;
  return ExprKind::Unknown;
}

ExprKind KindOf(const Seq& s, int b, int e, const ExprScanner& scan) {
  const Seq sub(s.begin() + b, s.begin() + e);
  if (scan.isDateSeq(sub)) return ExprKind::Date;
  for (const Node& n : sub)
    if (IsOp(n, "||")) return ExprKind::Text;
  if (sub.size() == 1 && !sub[0].group) {
    if (sub[0].tok.kind == TokKind::String) return ExprKind::Text;
    if (sub[0].tok.kind == TokKind::Number) return ExprKind::Number;
  }
  if (sub.size() == 2 && !sub[0].group && sub[0].tok.kind == TokKind::Word && sub[1].group) {
    const ExprKind k = CallKind(sub[0].tok.upper);
    if (k != ExprKind::Unknown) return k;
  }
  // Arithmetic that is not a date (those were found above) is a number; date - date included.
  for (const Node& n : sub)
    if (IsOp(n, "+") || IsOp(n, "-") || IsOp(n, "*") || IsOp(n, "/")) return ExprKind::Number;
  return ExprKind::Unknown;
}

// A plain column reference (a, t.a, s.t.a) in [b, e).
bool IsPlainName(const Seq& s, int b, int e) {
  bool plain = IsName(s[b]);
  for (int i = b + 1; plain && i < e; i += 2)
    plain = i + 1 < e && IsOp(s[i], ".") && IsName(s[i + 1]);
  return plain;
}

ExprKind PlainNameKind(const Token& t, bool alone) {
  if (t.upper == QLatin1String("ROWID")) return ExprKind::Rowid;
  if (!alone) return ExprKind::Unknown;
  if (t.upper == QLatin1String("SYSDATE") || t.upper.startsWith(QLatin1String("DATE '")))
    return ExprKind::Date;
  if (t.upper == QLatin1String("ROWNUM")) return ExprKind::Number;
  if (t.upper == QLatin1String("USER")) return ExprKind::Text;
  return ExprKind::Unknown;
}

SelectItem Item(const Seq& s, int b, int e, const QString& src, const ExprScanner& scan) {
  SelectItem it;
  if ((e - b == 1 && IsOp(s[b], "*")) ||
      (e - b >= 3 && IsOp(s[e - 1], "*") && IsOp(s[e - 2], "."))) {
    it.star = true;
    return it;
  }
  int ee = e;
  const QString alias = AliasOf(s, b, e, ee);
  if (IsPlainName(s, b, ee)) {
    const Token& t = s[ee - 1].tok;
    it.kind = PlainNameKind(t, ee - b == 1);
    it.heading = t.kind == TokKind::Quoted ? QuotedName(t.upper) : t.upper;
  } else {
    int lo = int(src.size()), hi = 0;
    SrcRange(s, b, ee, lo, hi);
    it.heading = hi > lo ? HeadingOf(src, lo, hi) : QString();
    it.kind = KindOf(s, b, ee, scan);
  }
  if (!alias.isEmpty()) it.heading = alias;
  return it;
}

}  // namespace

QList<SelectItem> ReadSelectList(const Seq& s, const QString& src, const ExprScanner& scan) {
  QList<SelectItem> items;
  int i = 0;
  const int n = int(s.size());
  // WITH ... AS (...) SELECT: the SELECT at this level after the WITH groups.
  while (i < n && !IsW(s[i], "SELECT")) {
    // (SELECT ...) UNION ...: the first block inside
    if (s[i].group && i == 0) return ReadSelectList(s[i].kids, src, scan);
    ++i;
  }
  if (i >= n) return items;
  ++i;
  if (i < n && (IsW(s[i], "DISTINCT") || IsW(s[i], "UNIQUE") || IsW(s[i], "ALL"))) ++i;
  int start = i;
  for (; i <= n; ++i) {
    const bool end = i == n || IsW(s[i], "FROM") || IsSetOp(s[i]) ||
                     (!s[i].group && s[i].tok.kind == TokKind::Semicolon);
    if (end || IsOp(s[i], ",")) {
      if (i > start) items.push_back(Item(s, start, i, src, scan));
      start = i + 1;
      if (end) break;
    }
  }
  return items;
}

namespace {

bool IsPlainName(const Node& n) {
  return IsName(n) && !n.tok.synthetic && !IsDelimiterWord(n.tok.upper);
}

// The name a table of a FROM list goes by ("t", "t x", "t AS x", "main.t x"); empty when the
// entry [b, e) is anything else (a subquery, a join).
QString TableQualifier(const Seq& s, int b, int e) {
  auto nameAt = [&](int i) { return i < e && IsPlainName(s[i]); };
  int i = b;
  if (i + 1 < e && IsOp(s[i + 1], ".")) i += 2;
  if (!nameAt(b) || !nameAt(i)) return {};
  const QString table = s[i].tok.text;
  if (++i < e && IsW(s[i], "AS")) ++i;
  if (i == e) return table;
  return i + 1 == e && nameAt(i) ? s[i].tok.text : QString();
}

// A call of an aggregate or window function in the query itself (subqueries aside).
bool CallsAggregate(const Seq& s, const std::function<bool(const QString&)>& isAggregate) {
  for (size_t i = 0; i < s.size(); ++i) {
    const Node& n = s[i];
    if (n.group && !(!n.kids.empty() && (IsW(n.kids[0], "SELECT") || IsW(n.kids[0], "WITH"))) &&
        CallsAggregate(n.kids, isAggregate))
      return true;
    if (IsName(n) && i + 1 < s.size() && s[i + 1].group && isAggregate(Unquote(n.tok))) return true;
  }
  return false;
}

// SQLite matches names in any case, quoted or not.
bool MentionsName(const Seq& s, int b, const QString& name) {
  for (int i = b; i < int(s.size()); ++i)
    if ((IsName(s[i]) && Unquote(s[i].tok).compare(name, Qt::CaseInsensitive) == 0) ||
        (s[i].group && MentionsName(s[i].kids, 0, name)))
      return true;
  return false;
}

// One item of the select list: "*", "q.*", "c" or "q.c" with an optional alias; an alias the rest
// of the query refers to keeps the item as typed.
PlainSelect::Column ColumnOf(const Seq& s, int b, int e, int from, const QStringList& tables) {
  PlainSelect::Column c;
  const bool qualified = e - b >= 3 && IsOp(s[b + 1], ".");
  c.qualifier = qualified ? s[b].tok.text : tables.size() == 1 ? tables.front() : QString();
  const int name = qualified ? b + 2 : b;
  if (IsOp(s[name], "*") && name + 1 == e) {
    if (qualified && !IsPlainName(s[b])) return {};
  } else {
    if (!IsPlainName(s[name]) || (qualified && !IsPlainName(s[b]))) return {};
    c.name = s[name].tok.text;
    int alias = name + 1;
    if (alias < e && IsW(s[alias], "AS")) ++alias;
    if (alias < e &&
        (alias + 1 != e || !IsPlainName(s[alias]) || MentionsName(s, from, Unquote(s[alias].tok))))
      return {};
  }
  c.firstToken = s[b].tok.seq;
  c.lastToken = s[e - 1].tok.seq;
  return c;
}

}  // namespace

PlainSelect ReadPlainSelect(const Seq& s, const std::function<bool(const QString&)>& isAggregate) {
  PlainSelect p;
  const int n = int(s.size());
  if (!isAggregate || n < 2 || !IsW(s[0], "SELECT") || IsW(s[1], "DISTINCT") ||
      IsW(s[1], "UNIQUE") || Blocks(s).size() != 1 || CallsAggregate(s, isAggregate))
    return p;
  const int from = FindClause(s, 1, n, "FROM");
  for (const char* clause : {"GROUP", "HAVING", "CONNECT", "START", "WINDOW"})
    if (FindClause(s, 1, n, clause) >= 0) return p;
  if (from < 0 || s[from].tok.synthetic) return p;
  QStringList tables;
  const int fromEnd = ClauseEnd(s, from, n);
  for (int i = from + 1, start = from + 1; i <= fromEnd; ++i) {
    if (i < fromEnd && !IsOp(s[i], ",")) continue;
    tables.push_back(TableQualifier(s, start, i));
    if (tables.back().isEmpty()) return p;
    start = i + 1;
  }
  // ORDER BY 1 would sort by what replaces the first item.
  const int order = FindClause(s, from, n, "ORDER");
  for (int i = order + 2; order >= 0 && i < ClauseEnd(s, order, n); ++i)
    if (!s[i].group && s[i].tok.kind == TokKind::Number && (i == order + 2 || IsOp(s[i - 1], ",")))
      return p;
  int start = IsW(s[1], "ALL") ? 2 : 1;
  for (int i = start; i <= from; ++i) {
    if (i < from && !IsOp(s[i], ",")) continue;
    if (i == start) return p;
    p.columns.push_back(ColumnOf(s, start, i, from, tables));
    start = i + 1;
  }
  p.usable = true;
  p.fromToken = s[from].tok.seq;
  return p;
}

}  // namespace ora::local::rewrite
