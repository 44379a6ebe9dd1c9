#include "oracle/local/rewrite/SqlTree.h"

#include <QSet>
#include <QStringList>

namespace ora::local::rewrite {

namespace {

Seq BuildLevel(const std::vector<Token>& toks, size_t& i, bool inGroup, int depth) {
  Seq seq;
  while (i < toks.size()) {
    const Token& t = toks[i];
    // Deeper nesting stays flat so that a hostile statement cannot exhaust the stack.
    if (t.kind == TokKind::Op && t.text == QLatin1String("(") && depth < 200) {
      Node g;
      g.group = true;
      g.tok = t;
      ++i;
      g.kids = BuildLevel(toks, i, true, depth + 1);
      if (i < toks.size()) {
        g.closed = true;
        g.close = toks[i];
        ++i;
      }
      seq.push_back(std::move(g));
      continue;
    }
    if (t.kind == TokKind::Op && t.text == QLatin1String(")") && inGroup) return seq;
    Node nd;
    nd.tok = t;
    seq.push_back(std::move(nd));
    ++i;
  }
  return seq;
}

bool IsClauseWord(const Node& n) {
  static const char* kWords[] = {"FROM",  "WHERE", "GROUP",  "HAVING", "ORDER", "CONNECT",
                                 "START", "LIMIT", "OFFSET", "FETCH",  "FOR",   "WINDOW"};
  for (const char* w : kWords)
    if (IsW(n, w)) return true;
  return false;
}

}  // namespace

bool IsOpAt(const std::vector<Token>& t, int i, const char* op) {
  return i >= 0 && i < int(t.size()) && t[i].kind == TokKind::Op && t[i].text == QLatin1String(op);
}

bool IsWordAt(const std::vector<Token>& t, int i, const char* w) {
  return i >= 0 && i < int(t.size()) && t[i].kind == TokKind::Word &&
         t[i].upper == QLatin1String(w);
}

Seq BuildTree(const std::vector<Token>& toks) {
  size_t pos = 0;
  return BuildLevel(toks, pos, false, 0);
}

void Flatten(const Seq& seq, std::vector<Token>& out) {
  for (const Node& n : seq) {
    out.push_back(n.tok);
    if (n.group) {
      Flatten(n.kids, out);
      if (n.closed) out.push_back(n.close);
    }
  }
}

bool IsW(const Node& n, const char* w) {
  return !n.group && n.tok.kind == TokKind::Word && n.tok.upper == QLatin1String(w);
}

bool IsOp(const Node& n, const char* op) {
  return !n.group && n.tok.kind == TokKind::Op && n.tok.text == QLatin1String(op);
}

bool IsName(const Node& n) {
  return !n.group && (n.tok.kind == TokKind::Word || n.tok.kind == TokKind::Quoted);
}

bool IsOuterMark(const Node& n) {
  return n.group && n.kids.size() == 1 && IsOp(n.kids[0], "+");
}

bool IsDelimiterWord(const QString& u) {
  static const QStringList kWords = {
      "SELECT",    "FROM",   "WHERE",  "AND",     "OR",       "NOT",    "ON",      "WHEN",
      "THEN",      "ELSE",   "END",    "CASE",    "BY",       "AS",     "BETWEEN", "IS",
      "IN",        "LIKE",   "HAVING", "GROUP",   "ORDER",    "UNION",  "MINUS",   "EXCEPT",
      "INTERSECT", "ASC",    "DESC",   "NULLS",   "DISTINCT", "ALL",    "ESCAPE",  "JOIN",
      "LEFT",      "RIGHT",  "INNER",  "OUTER",   "FULL",     "CROSS",  "USING",   "UNIQUE",
      "LIMIT",     "OFFSET", "FETCH",  "CONNECT", "START",    "PRIOR",  "WITH",    "FOR",
      "EXISTS",    "ANY",    "SOME",   "COLLATE", "GLOB",     "REGEXP", "MATCH",   "OVER",
      "PARTITION", "ROWS",   "RANGE",  "FIRST",   "NEXT",     "ONLY",   "SET",     "INTO",
      "VALUES",    "WINDOW", "FILTER", "NATURAL", "ESCAPE",   "ISNULL", "NOTNULL"};
  static const QSet<QString> kSet(kWords.begin(), kWords.end());
  return kSet.contains(u);
}

QString Unquote(const Token& t) {
  if (t.kind != TokKind::Quoted) return t.upper;
  QString s = t.upper.mid(1, t.upper.size() - 2);
  s.replace(QStringLiteral("\"\""), QStringLiteral("\""));
  return s;
}

Token SynTok(const QString& text, int src, TokKind kind) {
  Token t;
  t.kind = kind;
  t.start = src;
  t.len = 0;
  t.text = text;
  t.upper = OracleUpper(text);
  t.synthetic = true;
  return t;
}

Node Syn(const QString& text, int src, TokKind kind) {
  Node n;
  n.tok = SynTok(text, src, kind);
  return n;
}

Node SynGroup(Seq kids, int src) {
  Node g;
  g.group = true;
  g.closed = true;
  g.tok = SynTok(QStringLiteral("("), src, TokKind::Op);
  g.close = SynTok(QStringLiteral(")"), src, TokKind::Op);
  g.kids = std::move(kids);
  return g;
}

bool IsSetOp(const Node& n) {
  return IsW(n, "UNION") || IsW(n, "EXCEPT") || IsW(n, "MINUS") || IsW(n, "INTERSECT");
}

std::vector<Block> Blocks(const Seq& s) {
  std::vector<Block> r;
  const int n = int(s.size());
  for (int i = 0; i < n; ++i) {
    if (!IsW(s[i], "SELECT")) continue;
    int e = i + 1;
    while (e < n && !IsSetOp(s[e]) && !IsW(s[e], "SELECT") &&
           !(!s[e].group && s[e].tok.kind == TokKind::Semicolon))
      ++e;
    r.push_back({i, e});
    i = e - 1;
  }
  return r;
}

void ForEachBlock(Seq& s, const std::function<void(Seq&, Block&)>& fn) {
  std::vector<Block> blocks = Blocks(s);
  for (int b = int(blocks.size()) - 1; b >= 0; --b) fn(s, blocks[b]);
}

int FindClause(const Seq& s, int b, int e, const char* w) {
  for (int i = b; i < e; ++i)
    if (IsW(s[i], w)) return i;
  return -1;
}

int ClauseEnd(const Seq& s, int i, int e) {
  int j = i + 1;
  while (j < e && !IsClauseWord(s[j])) ++j;
  return j;
}

bool Conjuncts(const Seq& s, int b, int e, std::vector<std::pair<int, int>>& out) {
  int start = b;
  bool between = false;
  for (int i = b; i < e; ++i) {
    if (IsW(s[i], "OR")) return false;
    if (IsW(s[i], "BETWEEN")) between = true;
    if (IsW(s[i], "AND")) {
      if (between) {
        between = false;
        continue;
      }
      out.push_back({start, i});
      start = i + 1;
    }
  }
  out.push_back({start, e});
  return true;
}

}  // namespace ora::local::rewrite
