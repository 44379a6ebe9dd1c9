#include "oracle/local/SqlRewrite.h"
#include "oracle/local/rewrite/NumberOperators.h"

#include <QSet>
#include <algorithm>

namespace ora::local {

namespace {

bool IsWordStart(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x80) return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
  return !c.isSpace() && u != 0x3000;
}

bool IsWordChar(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x80)
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
           u == '$' || u == '#';
  return !c.isSpace() && u != 0x3000;
}

bool IsDigit(QChar c) {
  return c.unicode() >= '0' && c.unicode() <= '9';
}

bool IsSpace(QChar c) {
  return c.isSpace() || c.unicode() == 0x3000;
}

}  // namespace

QString OracleUpper(const QString& s) {
  QString r = s;
  for (QChar& c : r) {
    const char16_t u = c.unicode();
    if (u >= 'a' && u <= 'z') c = QChar(char16_t(u - 32));
  }
  return r;
}

std::vector<Token> Tokenize(const QString& sql) {
  std::vector<Token> out;
  const int n = int(sql.size());
  int i = 0;
  auto push = [&](TokKind k, int s, int e) {
    Token t;
    t.kind = k;
    t.start = s;
    t.len = e - s;
    t.text = sql.mid(s, e - s);
    t.upper = (k == TokKind::Word || k == TokKind::Bind) ? OracleUpper(t.text) : t.text;
    t.seq = int(out.size());
    out.push_back(std::move(t));
  };
  while (i < n) {
    const QChar c = sql[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
      while (i < n && sql[i] != u'\n') ++i;
      continue;
    }
    if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
      const int end = int(sql.indexOf(QStringLiteral("*/"), i + 2));
      i = end < 0 ? n : end + 2;
      continue;
    }
    const int s = i;
    if (c == u'\'' || c == u'"') {
      const QChar q = c;
      ++i;
      bool closed = false;
      while (i < n) {
        if (sql[i] == q) {
          if (i + 1 < n && sql[i + 1] == q) {
            i += 2;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
        ++i;
      }
      push(closed ? (q == u'\'' ? TokKind::String : TokKind::Quoted) : TokKind::Bad, s, i);
      continue;
    }
    if (IsDigit(c) || (c == u'.' && i + 1 < n && IsDigit(sql[i + 1]))) {
      while (i < n && IsDigit(sql[i])) ++i;
      if (i < n && sql[i] == u'.') {
        ++i;
        while (i < n && IsDigit(sql[i])) ++i;
      }
      if (i < n && (sql[i] == u'e' || sql[i] == u'E')) {
        int j = i + 1;
        if (j < n && (sql[j] == u'+' || sql[j] == u'-')) ++j;
        if (j < n && IsDigit(sql[j])) {
          i = j;
          while (i < n && IsDigit(sql[i])) ++i;
        }
      }
      push(TokKind::Number, s, i);
      continue;
    }
    if (IsWordStart(c)) {
      while (i < n && IsWordChar(sql[i])) ++i;
      push(TokKind::Word, s, i);
      continue;
    }
    if (c == u':' && i + 1 < n && (IsWordChar(sql[i + 1]))) {
      ++i;
      while (i < n && IsWordChar(sql[i])) ++i;
      push(TokKind::Bind, s, i);
      continue;
    }
    if (c == u';') {
      push(TokKind::Semicolon, s, i + 1);
      ++i;
      continue;
    }
    if (i + 1 < n) {
      const QString two = sql.mid(i, 2);
      static const QStringList kTwo = {
          QStringLiteral("||"), QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>"),
          QStringLiteral("!="), QStringLiteral("^="), QStringLiteral("=>"), QStringLiteral(":=")};
      if (kTwo.contains(two)) {
        push(TokKind::Op, s, i + 2);
        i += 2;
        continue;
      }
    }
    push(TokKind::Op, s, i + 1);
    ++i;
  }
  return out;
}

int Rewritten::MapToSource(int outPos) const {
  if (anchors.empty()) return 0;
  const Anchor* best = &anchors.front();
  for (const Anchor& a : anchors) {
    if (a.out <= outPos)
      best = &a;
    else
      break;
  }
  const int delta = outPos - best->out;
  if (delta <= 0) return best->src;
  if (best->srcLen == best->outLen) return best->src + std::min(delta, best->srcLen);
  return best->src + (delta >= best->outLen ? best->srcLen : 0);
}

bool Rewritten::mentions(const QString& upperWord) const {
  for (const Token& t : tokens) {
    if ((t.kind == TokKind::Word || t.kind == TokKind::Quoted) &&
        (t.upper == upperWord || t.upper == QLatin1Char('"') + upperWord + QLatin1Char('"')))
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// The rewriting works on a tree: a parenthesised group is one node of its sequence, so clauses,
// list items and terms are found by scanning one level.

namespace {

struct Node {
  Token tok;
  bool group = false;
  bool closed = false;
  std::vector<Node> kids;
  Token close;
};
using Seq = std::vector<Node>;

Seq BuildTree(const std::vector<Token>& toks, size_t& i, bool inGroup, int depth) {
  Seq seq;
  while (i < toks.size()) {
    const Token& t = toks[i];
    if (t.kind == TokKind::Op && t.text == QLatin1String("(") && depth < 200) {
      Node g;
      g.group = true;
      g.tok = t;
      ++i;
      g.kids = BuildTree(toks, i, true, depth + 1);
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
bool IsOuterMark(const Node& n) {
  return n.group && n.kids.size() == 1 && IsOp(n.kids[0], "+");
}

Token SynTok(const QString& text, int src, TokKind kind = TokKind::Word) {
  Token t;
  t.kind = kind;
  t.start = src;
  t.len = 0;
  t.text = text;
  t.upper = OracleUpper(text);
  t.synthetic = true;
  return t;
}
Node Syn(const QString& text, int src, TokKind kind = TokKind::Word) {
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
int SrcOf(const Node& n) {
  return n.tok.start;
}

// Words that end an expression chain.
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

class Rewriter {
 public:
  explicit Rewriter(const RewriteContext& ctx) : ctx_(ctx) {}

  bool isDateName(const QString& upper) const {
    return ctx_.isDateColumn && ctx_.isDateColumn(upper);
  }

  static QString Unquote(const Token& t) {
    if (t.kind != TokKind::Quoted) return t.upper;
    QString s = t.upper.mid(1, t.upper.size() - 2);
    s.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return s;
  }

  // Index after one primary starting at i, or -1.
  int parsePrimary(const Seq& s, int i) const {
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
        while (j + 1 < n && IsOp(s[j], ".") && !s[j + 1].group &&
               (s[j + 1].tok.kind == TokKind::Word || s[j + 1].tok.kind == TokKind::Quoted))
          j += 2;
        if (j < n && s[j].group) ++j;
        return j;
      }
      default:
        return -1;
    }
  }

  int parseTerm(const Seq& s, int i) const {
    const int n = int(s.size());
    while (i < n && (IsOp(s[i], "+") || IsOp(s[i], "-"))) ++i;
    int p = parsePrimary(s, i);
    if (p < 0) return -1;
    while (p < n && (IsOp(s[p], "*") || IsOp(s[p], "/"))) {
      int q = p + 1;
      while (q < n && (IsOp(s[q], "+") || IsOp(s[q], "-"))) ++q;
      const int r = parsePrimary(s, q);
      if (r < 0) break;
      p = r;
    }
    return p;
  }

  // First argument of a call's group.
  static Seq FirstArg(const Node& g) {
    Seq a;
    for (const Node& k : g.kids) {
      if (IsOp(k, ",")) break;
      a.push_back(k);
    }
    return a;
  }

  // True when the whole sequence is one additive chain whose value is a date.
  bool isDateSeq(const Seq& s) const {
    if (s.empty()) return false;
    const int n = int(s.size());
    int p = parseTerm(s, 0);
    if (p < 0) return false;
    bool acc = isDateTerm(s, 0, p);
    while (p < n && (IsOp(s[p], "+") || IsOp(s[p], "-"))) {
      const int q = parseTerm(s, p + 1);
      if (q < 0) return false;
      const bool term = isDateTerm(s, p + 1, q);
      if (IsOp(s[p], "-") && acc && term)
        acc = false;
      else
        acc = acc || term;
      p = q;
    }
    return p == n && acc;
  }

  bool isDateTerm(const Seq& s, int b, int e) const {
    const int len = e - b;
    if (len <= 0) return false;
    for (int i = b; i < e; ++i)
      if (IsOp(s[i], "*") || IsOp(s[i], "/")) return false;
    while (b < e && (IsOp(s[b], "+"))) ++b;
    if (b >= e) return false;
    const Node& first = s[b];
    if (first.group) return e - b == 1 && isDateSeq(first.kids);
    if (first.tok.kind == TokKind::Bind)
      return e - b == 1 && ctx_.isDateBind && ctx_.isDateBind(first.tok.upper.mid(1));
    if (first.tok.kind != TokKind::Word && first.tok.kind != TokKind::Quoted) return false;
    // a.b.c: the last name decides
    int j = b + 1;
    QString last = Unquote(first.tok);
    while (j + 1 < e && IsOp(s[j], ".")) {
      last = Unquote(s[j + 1].tok);
      j += 2;
    }
    if (j == e)
      return last == QLatin1String("SYSDATE") || last.startsWith(QLatin1String("DATE '")) ||
             isDateName(last);
    if (j + 1 == e && s[j].group) {
      static const QStringList kDateFns = {"TO_DATE",  "ADD_MONTHS",   "LAST_DAY",
                                           "NEXT_DAY", "ORA_DATE_ADD", "SYSDATE"};
      static const QStringList kFirstArg = {"TRUNC",    "ROUND", "NVL", "NVL2", "COALESCE",
                                            "GREATEST", "LEAST", "MAX", "MIN"};
      if (kDateFns.contains(last)) return true;
      if (kFirstArg.contains(last)) return isDateSeq(FirstArg(s[j]));
      if (last == QLatin1String("CAST")) {
        const Seq& k = s[j].kids;
        return k.size() >= 2 && IsW(k[k.size() - 1], "DATE") && IsW(k[k.size() - 2], "AS");
      }
    }
    return false;
  }

  // Date arithmetic: date + n, date - n, n + date, date - date.
  void dateArithmetic(Seq& s) {
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
      struct Part {
        int op;  // index of the operator node, -1 for the first term
        int b, e;
      };
      std::vector<Part> parts{{-1, i, t0}};
      int p = t0;
      while (p < n && (IsOp(s[p], "+") || IsOp(s[p], "-"))) {
        const int q = parseTerm(s, p + 1);
        if (q < 0) break;
        parts.push_back({p, p + 1, q});
        p = q;
      }
      bool anyDate = false;
      if (parts.size() > 1)
        for (const Part& pt : parts) anyDate = anyDate || isDateTerm(s, pt.b, pt.e);
      if (!anyDate) {
        for (int k = i; k < p; ++k) out.push_back(std::move(s[k]));
        i = p;
        continue;
      }
      auto take = [&](int b, int e) {
        Seq r;
        for (int k = b; k < e; ++k) r.push_back(std::move(s[k]));
        return r;
      };
      bool accDate = isDateTerm(s, parts[0].b, parts[0].e);
      const int src0 = SrcOf(s[parts[0].b]);
      Seq acc = take(parts[0].b, parts[0].e);
      for (size_t k = 1; k < parts.size(); ++k) {
        const Part& pt = parts[k];
        const bool minus = IsOp(s[pt.op], "-");
        const bool termDate = isDateTerm(s, pt.b, pt.e);
        const int opSrc = SrcOf(s[pt.op]);
        Seq term = take(pt.b, pt.e);
        if (accDate && !termDate) {
          Seq kids = std::move(acc);
          kids.push_back(Syn(QStringLiteral(","), opSrc, TokKind::Op));
          if (minus) kids.push_back(Syn(QStringLiteral("-"), opSrc, TokKind::Op));
          kids.push_back(SynGroup(std::move(term), opSrc));
          acc = Seq{};
          acc.push_back(Syn(QStringLiteral("ORA_DATE_ADD"), src0));
          acc.push_back(SynGroup(std::move(kids), src0));
        } else if (!accDate && termDate && !minus) {
          Seq kids = std::move(term);
          kids.push_back(Syn(QStringLiteral(","), opSrc, TokKind::Op));
          kids.push_back(SynGroup(std::move(acc), src0));
          acc = Seq{};
          acc.push_back(Syn(QStringLiteral("ORA_DATE_ADD"), src0));
          acc.push_back(SynGroup(std::move(kids), src0));
          accDate = true;
        } else if (accDate && termDate && minus) {
          Seq kids = std::move(acc);
          kids.push_back(Syn(QStringLiteral(","), opSrc, TokKind::Op));
          for (Node& t : term) kids.push_back(std::move(t));
          acc = Seq{};
          acc.push_back(Syn(QStringLiteral("ORA_DATE_DIFF"), src0));
          acc.push_back(SynGroup(std::move(kids), src0));
          accDate = false;
        } else {
          acc.push_back(std::move(s[pt.op]));
          for (Node& t : term) acc.push_back(std::move(t));
        }
      }
      for (Node& t : acc) out.push_back(std::move(t));
      i = p;
    }
    s = std::move(out);
  }

  struct Block {
    int begin = 0;  // the SELECT
    int end = 0;    // one past the block
  };

  static bool IsSetOp(const Node& n) {
    return IsW(n, "UNION") || IsW(n, "EXCEPT") || IsW(n, "MINUS") || IsW(n, "INTERSECT");
  }

  static std::vector<Block> Blocks(const Seq& s) {
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

  static int FindClause(const Seq& s, int b, int e, const char* w) {
    for (int i = b; i < e; ++i)
      if (IsW(s[i], w)) return i;
    return -1;
  }

  static bool IsClauseWord(const Node& n) {
    static const char* kWords[] = {"FROM",  "WHERE", "GROUP",  "HAVING", "ORDER", "CONNECT",
                                   "START", "LIMIT", "OFFSET", "FETCH",  "FOR",   "WINDOW"};
    for (const char* w : kWords)
      if (IsW(n, w)) return true;
    return false;
  }

  // End of the clause that starts at i (exclusive).
  static int ClauseEnd(const Seq& s, int i, int e) {
    int j = i + 1;
    while (j < e && !IsClauseWord(s[j])) ++j;
    return j;
  }

  // Conjuncts of a condition range split at top-level AND; false when an OR stands at top level.
  static bool Conjuncts(const Seq& s, int b, int e, std::vector<std::pair<int, int>>& out) {
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

  // WHERE ROWNUM <= n, < n, = 1 (as a top-level conjunct) becomes LIMIT.
  void rownumLimit(Seq& s, Block& blk) {
    const int w = FindClause(s, blk.begin, blk.end, "WHERE");
    if (w < 0) return;
    const int we = ClauseEnd(s, w, blk.end);
    std::vector<std::pair<int, int>> cj;
    if (!Conjuncts(s, w + 1, we, cj)) return;
    for (size_t c = 0; c < cj.size(); ++c) {
      const auto [b, e] = cj[c];
      if (e - b != 3) continue;
      const Node *num = nullptr, *op = nullptr;
      bool reversed = false;
      if (IsW(s[b], "ROWNUM")) {
        op = &s[b + 1];
        num = &s[b + 2];
      } else if (IsW(s[b + 2], "ROWNUM")) {
        op = &s[b + 1];
        num = &s[b];
        reversed = true;
      } else {
        continue;
      }
      if (num->group || (num->tok.kind != TokKind::Number && num->tok.kind != TokKind::Bind))
        continue;
      QString o = op->tok.text;
      if (reversed) {
        if (o == QLatin1String(">"))
          o = QStringLiteral("<");
        else if (o == QLatin1String(">="))
          o = QStringLiteral("<=");
        else if (o == QLatin1String("<") || o == QLatin1String("<="))
          continue;
      }
      QString limit;
      bool ok = false;
      const double v = num->tok.text.toDouble(&ok);
      if (num->tok.kind == TokKind::Bind) {
        if (o != QLatin1String("<=")) continue;
        limit = num->tok.text;
      } else if (!ok) {
        continue;
      } else if (o == QLatin1String("<=")) {
        limit = QString::number(v < 0 ? 0 : qint64(v));
      } else if (o == QLatin1String("<")) {
        const qint64 k = qint64(v) == v ? qint64(v) - 1 : qint64(v);
        limit = QString::number(k < 0 ? 0 : k);
      } else if (o == QLatin1String("=")) {
        limit = QString::number(v == 1 ? 1 : 0);
      } else {
        continue;
      }
      const int limSrc = SrcOf(s[b]);
      // Remove the conjunct with one neighbouring AND, or the whole WHERE when it was alone.
      int rb = b, re = e;
      if (cj.size() == 1) {
        rb = w;
      } else if (c + 1 < cj.size()) {
        re = e + 1;
      } else {
        rb = b - 1;
      }
      Seq tail;
      tail.push_back(Syn(QStringLiteral("LIMIT"), limSrc));
      tail.push_back(Syn(limit, limSrc, num->tok.kind));
      s.erase(s.begin() + rb, s.begin() + re);
      blk.end -= (re - rb);
      s.insert(s.begin() + blk.end, std::make_move_iterator(tail.begin()),
               std::make_move_iterator(tail.end()));
      blk.end += int(tail.size());
      return;
    }
  }

  // The old outer-join marker: FROM a, b WHERE a.x = b.y(+) becomes FROM a LEFT JOIN b ON ...
  void outerJoin(Seq& s, Block& blk) {
    const int f = FindClause(s, blk.begin, blk.end, "FROM");
    const int w = FindClause(s, blk.begin, blk.end, "WHERE");
    if (f < 0 || w < 0 || w < f) return;
    const int fe = ClauseEnd(s, f, blk.end);
    const int we = ClauseEnd(s, w, blk.end);
    if (fe != w) return;
    bool any = false;
    for (int i = w + 1; i < we; ++i) any = any || IsOuterMark(s[i]);
    if (!any) return;
    // FROM items
    struct Item {
      int b, e;
      QString name, alias;
      bool optional = false;
      std::vector<int> conds;
    };
    std::vector<Item> items;
    int start = f + 1;
    for (int i = f + 1; i <= fe; ++i) {
      if (i == fe || IsOp(s[i], ",")) {
        if (i == start) return;
        Item it{start, i, {}, {}, false, {}};
        const Node& lastN = s[i - 1];
        if (lastN.group || (lastN.tok.kind != TokKind::Word && lastN.tok.kind != TokKind::Quoted))
          return;
        if (i - start >= 2 && !IsOp(s[i - 2], ".")) it.alias = Unquote(lastN.tok);
        // table name: the last name before the alias
        int tn = it.alias.isEmpty() ? i - 1 : i - 2;
        if (tn >= start && !s[tn].group) it.name = Unquote(s[tn].tok);
        items.push_back(it);
        start = i + 1;
      }
      if (i < fe && (IsW(s[i], "JOIN") || IsW(s[i], "ON"))) return;
    }
    std::vector<std::pair<int, int>> cj;
    if (!Conjuncts(s, w + 1, we, cj)) return;
    std::vector<int> cjItem(cj.size(), -1);
    for (size_t c = 0; c < cj.size(); ++c) {
      for (int i = cj[c].first; i < cj[c].second; ++i) {
        if (!IsOuterMark(s[i])) continue;
        if (i - 1 < cj[c].first || s[i - 1].group) return;
        QString q;
        if (i - 3 >= cj[c].first && IsOp(s[i - 2], ".")) q = Unquote(s[i - 3].tok);
        int found = -1;
        for (size_t k = 0; k < items.size(); ++k) {
          if (!q.isEmpty() &&
              (items[k].alias == q || (items[k].alias.isEmpty() && items[k].name == q)))
            found = int(k);
        }
        if (q.isEmpty() && items.size() == 2) found = -2;  // decided below
        if (found == -1) return;
        if (found == -2) {
          // Unqualified: the other side of the comparison names the preserved table.
          return;
        }
        if (cjItem[c] != -1 && cjItem[c] != found) return;
        cjItem[c] = found;
      }
      if (cjItem[c] >= 0) {
        items[cjItem[c]].optional = true;
        items[cjItem[c]].conds.push_back(int(c));
      }
    }
    bool anyPreserved = false;
    for (const Item& it : items) anyPreserved = anyPreserved || !it.optional;
    if (!anyPreserved) return;
    // Build the new FROM and WHERE.
    Seq nf;
    nf.push_back(std::move(s[f]));
    bool first = true;
    for (const Item& it : items) {
      if (it.optional) continue;
      if (!first) nf.push_back(Syn(QStringLiteral(","), SrcOf(s[it.b]), TokKind::Op));
      first = false;
      for (int k = it.b; k < it.e; ++k) nf.push_back(s[k]);
    }
    for (const Item& it : items) {
      if (!it.optional) continue;
      nf.push_back(Syn(QStringLiteral("LEFT"), SrcOf(s[it.b])));
      nf.push_back(Syn(QStringLiteral("JOIN"), SrcOf(s[it.b])));
      for (int k = it.b; k < it.e; ++k) nf.push_back(s[k]);
      nf.push_back(Syn(QStringLiteral("ON"), SrcOf(s[cj[it.conds[0]].first])));
      Seq on;
      bool firstC = true;
      for (int c : it.conds) {
        if (!firstC) on.push_back(Syn(QStringLiteral("AND"), SrcOf(s[cj[c].first])));
        firstC = false;
        for (int k = cj[c].first; k < cj[c].second; ++k)
          if (!IsOuterMark(s[k])) on.push_back(s[k]);
      }
      nf.push_back(SynGroup(std::move(on), SrcOf(s[cj[it.conds[0]].first])));
    }
    Seq nw;
    bool firstW = true;
    for (size_t c = 0; c < cj.size(); ++c) {
      if (cjItem[c] >= 0) continue;
      if (firstW)
        nw.push_back(s[w]);
      else
        nw.push_back(Syn(QStringLiteral("AND"), SrcOf(s[cj[c].first])));
      firstW = false;
      for (int k = cj[c].first; k < cj[c].second; ++k) nw.push_back(s[k]);
    }
    Seq ns;
    for (int k = 0; k < f; ++k) ns.push_back(std::move(s[k]));
    for (Node& x : nf) ns.push_back(std::move(x));
    for (Node& x : nw) ns.push_back(std::move(x));
    const int newEnd = int(ns.size());
    for (int k = we; k < int(s.size()); ++k) ns.push_back(std::move(s[k]));
    s = std::move(ns);
    blk.end = newEnd + (blk.end - we);
  }

  // ROWNUM and ROWID in a select list.
  void selectListPseudo(Seq& s, const Block& blk) {
    int f = FindClause(s, blk.begin, blk.end, "FROM");
    if (f < 0) f = blk.end;
    for (int i = blk.begin + 1; i < f; ++i) {
      Node& nd = s[i];
      if (nd.group) continue;
      if (IsW(nd, "ROWNUM") && !(i > 0 && IsOp(s[i - 1], ".")))
        nd.tok.text = QStringLiteral("ROW_NUMBER() OVER ()");
    }
  }

  // ROWID reads as Oracle's eighteen-character form.
  static void Rowids(Seq& s) {
    for (size_t i = 0; i < s.size(); ++i) {
      Node& nd = s[i];
      if (!IsW(nd, "ROWID") || (i + 1 < s.size() && s[i + 1].group)) continue;
      if (i >= 2 && IsOp(s[i - 1], ".") && !s[i - 2].group && !(i >= 3 && IsOp(s[i - 3], "."))) {
        s[i - 2].tok.text = QStringLiteral("ORA_ROWID(") + s[i - 2].tok.text;
        nd.tok.text = nd.tok.text + QStringLiteral(")");
      } else if (!(i > 0 && IsOp(s[i - 1], "."))) {
        nd.tok.text = QStringLiteral("ORA_ROWID(ROWID)");
      }
    }
  }

  // a || b: Oracle reads a Null operand as an empty text, and || stands at the level of binary
  // + and -, left to right.
  void concatenation(Seq& s) {
    bool any = false;
    for (const Node& n : s) any = any || IsOp(n, "||");
    if (!any) return;
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
      std::vector<std::pair<int, int>> ops;  // operator index, term end
      int p = t0;
      bool concat = false;
      while (p < n && (IsOp(s[p], "+") || IsOp(s[p], "-") || IsOp(s[p], "||"))) {
        const int q = parseTerm(s, p + 1);
        if (q < 0) break;
        concat = concat || IsOp(s[p], "||");
        ops.push_back({p, q});
        p = q;
      }
      if (!concat) {
        for (int k = i; k < p; ++k) out.push_back(std::move(s[k]));
        i = p;
        continue;
      }
      const int src0 = SrcOf(s[i]);
      Seq acc;
      for (int k = i; k < t0; ++k) acc.push_back(std::move(s[k]));
      for (const auto& [op, end] : ops) {
        if (IsOp(s[op], "||")) {
          Seq kids = std::move(acc);
          kids.push_back(Syn(QStringLiteral(","), SrcOf(s[op]), TokKind::Op));
          for (int k = op + 1; k < end; ++k) kids.push_back(std::move(s[k]));
          acc = Seq{};
          acc.push_back(Syn(QStringLiteral("ORA_CONCAT"), src0));
          acc.push_back(SynGroup(std::move(kids), src0));
        } else {
          for (int k = op; k < end; ++k) acc.push_back(std::move(s[k]));
        }
      }
      for (Node& x : acc) out.push_back(std::move(x));
      i = p;
    }
    s = std::move(out);
  }

  void process(Seq& s) {
    for (Node& n : s)
      if (n.group) process(n.kids);
    dateArithmetic(s);
    concatenation(s);
    std::vector<Block> blocks = Blocks(s);
    // Work from the last block so earlier indexes stay valid.
    for (int b = int(blocks.size()) - 1; b >= 0; --b) {
      Block blk = blocks[b];
      outerJoin(s, blk);
      rownumLimit(s, blk);
      selectListPseudo(s, blk);
    }
    Rowids(s);
  }

  // Select list of the first block of the outermost level.
  QList<SelectItem> selectItems(const Seq& s, const QString& src) const {
    QList<SelectItem> items;
    int i = 0;
    const int n = int(s.size());
    // WITH ... AS (...) SELECT: the SELECT at this level after the WITH groups.
    while (i < n && !IsW(s[i], "SELECT")) {
      if (s[i].group && i == 0) {
        // (SELECT ...) UNION ...: the first block inside
        return selectItems(s[i].kids, src);
      }
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
        if (i > start) items.push_back(item(s, start, i, src));
        start = i + 1;
        if (end) break;
      }
    }
    return items;
  }

  static QString HeadingOf(const QString& src, int b, int e) {
    QString h;
    bool inStr = false;
    for (int i = b; i < e && i < src.size(); ++i) {
      const QChar c = src[i];
      if (c == u'\'') inStr = !inStr;
      if (!inStr && IsSpace(c)) continue;
      h += c;
    }
    return OracleUpper(h);
  }

  static void SrcRange(const Seq& s, int b, int e, int& lo, int& hi) {
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

  SelectItem item(const Seq& s, int b, int e, const QString& src) const {
    SelectItem it;
    const int len = e - b;
    if ((len == 1 && IsOp(s[b], "*")) || (len >= 3 && IsOp(s[e - 1], "*") && IsOp(s[e - 2], "."))) {
      it.star = true;
      return it;
    }
    // Alias
    int ee = e;
    QString alias;
    const Node& last = s[e - 1];
    if (len >= 2 && !last.group) {
      const Node& prev = s[e - 2];
      const bool isName = last.tok.kind == TokKind::Quoted ||
                          (last.tok.kind == TokKind::Word && !IsDelimiterWord(last.tok.upper));
      if (isName) {
        if (IsW(prev, "AS")) {
          ee = e - 2;
        } else if (prev.group || prev.tok.kind == TokKind::Word ||
                   prev.tok.kind == TokKind::Quoted || prev.tok.kind == TokKind::Number ||
                   prev.tok.kind == TokKind::String || prev.tok.kind == TokKind::Bind) {
          ee = e - 1;
        }
        if (ee != e)
          alias = last.tok.kind == TokKind::Quoted
                      ? last.tok.text.mid(1, last.tok.text.size() - 2)
                            .replace(QStringLiteral("\"\""), QStringLiteral("\""))
                      : OracleUpper(last.tok.text);
      }
    }
    if (ee <= b) ee = e, alias.clear();
    const int elen = ee - b;
    // Plain column reference (a, t.a, s.t.a)
    bool plain =
        !s[b].group && (s[b].tok.kind == TokKind::Word || s[b].tok.kind == TokKind::Quoted);
    for (int i = b + 1; plain && i < ee; i += 2)
      plain = i + 1 < ee && IsOp(s[i], ".") && !s[i + 1].group &&
              (s[i + 1].tok.kind == TokKind::Word || s[i + 1].tok.kind == TokKind::Quoted);
    if (plain) {
      const Token& t = s[ee - 1].tok;
      if (t.upper == QLatin1String("ROWID"))
        it.kind = ExprKind::Rowid;
      else if ((t.upper == QLatin1String("SYSDATE") ||
                t.upper.startsWith(QLatin1String("DATE '"))) &&
               elen == 1)
        it.kind = ExprKind::Date;
      else if (t.upper == QLatin1String("ROWNUM") && elen == 1)
        it.kind = ExprKind::Number;
      else if (t.upper == QLatin1String("USER") && elen == 1)
        it.kind = ExprKind::Text;
      it.heading = t.kind == TokKind::Quoted
                       ? t.upper.mid(1, t.upper.size() - 2)
                             .replace(QStringLiteral("\"\""), QStringLiteral("\""))
                       : t.upper;
    } else {
      int lo = src.size(), hi = 0;
      SrcRange(s, b, ee, lo, hi);
      it.heading = hi > lo ? HeadingOf(src, lo, hi) : QString();
      it.kind = kindOf(s, b, ee);
    }
    if (!alias.isEmpty()) it.heading = alias;
    return it;
  }

  ExprKind kindOf(const Seq& s, int b, int e) const {
    Seq sub(s.begin() + b, s.begin() + e);
    if (isDateSeq(sub)) return ExprKind::Date;
    for (const Node& n : sub)
      if (IsOp(n, "||")) return ExprKind::Text;
    if (sub.size() == 1 && !sub[0].group) {
      if (sub[0].tok.kind == TokKind::String) return ExprKind::Text;
      if (sub[0].tok.kind == TokKind::Number) return ExprKind::Number;
    }
    if (sub.size() == 2 && !sub[0].group && sub[0].tok.kind == TokKind::Word && sub[1].group) {
      static const QStringList kText = {"TO_CHAR", "SUBSTR", "UPPER",  "LOWER",    "INITCAP",
                                        "LPAD",    "RPAD",   "TRIM",   "LTRIM",    "RTRIM",
                                        "REPLACE", "CHR",    "CONCAT", "TRANSLATE"};
      static const QStringList kNum = {
          "TO_NUMBER", "LENGTH",       "INSTR", "COUNT",          "SUM",  "AVG",   "MOD",
          "ABS",       "CEIL",         "FLOOR", "MONTHS_BETWEEN", "SIGN", "POWER", "SQRT",
          "ASCII",     "ORA_DATE_DIFF"};
      if (kText.contains(sub[0].tok.upper)) return ExprKind::Text;
      if (kNum.contains(sub[0].tok.upper)) return ExprKind::Number;
      if (sub[0].tok.upper == QLatin1String("ROUND") || sub[0].tok.upper == QLatin1String("TRUNC"))
        return ExprKind::Number;
    }
    for (const Node& n : sub)
      if (IsOp(n, "+") || IsOp(n, "-") || IsOp(n, "*") || IsOp(n, "/")) {
        // date - date is a number of days; the date cases were handled above
        return ExprKind::Number;
      }
    return ExprKind::Unknown;
  }

 private:
  const RewriteContext& ctx_;
};

// Token-level replacements that need no structure.
void TokenPass(std::vector<Token>& t, const RewriteContext& ctx) {
  std::vector<Token> out;
  out.reserve(t.size());
  const int n = int(t.size());
  auto isOp = [&](int i, const char* s) {
    return i >= 0 && i < n && t[i].kind == TokKind::Op && t[i].text == QLatin1String(s);
  };
  auto isWord = [&](int i, const char* s) {
    return i >= 0 && i < n && t[i].kind == TokKind::Word && t[i].upper == QLatin1String(s);
  };
  for (int i = 0; i < n; ++i) {
    Token tok = t[i];
    if (tok.kind == TokKind::Word) {
      const QString& u = tok.upper;
      // Owner-qualified names: SCOTT.EMP
      if (!isOp(i - 1, ".") && isOp(i + 1, ".") && i + 2 < n &&
          (t[i + 2].kind == TokKind::Word || t[i + 2].kind == TokKind::Quoted) &&
          (u == QLatin1String("SYS") || u == QLatin1String("PUBLIC") ||
           (ctx.isSchema && ctx.isSchema(u)))) {
        ++i;  // drop the owner and the dot
        continue;
      }
      // DATE 'YYYY-MM-DD': the ANSI date literal.
      if (u == QLatin1String("DATE") && i + 1 < n && t[i + 1].kind == TokKind::String &&
          !isOp(i - 1, ".") && !isWord(i - 1, "AS")) {
        const Token& lit = t[i + 1];
        tok.text = QStringLiteral("TO_DATE(") + lit.text + QStringLiteral(", 'YYYY-MM-DD')");
        tok.upper = QStringLiteral("DATE ") + lit.text;
        tok.len = lit.start + lit.len - tok.start;
        out.push_back(std::move(tok));
        ++i;
        continue;
      }
      if (u.contains(u'#') || u.contains(u'$')) {
        tok.text = QLatin1Char('"') + u + QLatin1Char('"');
      } else if (u == QLatin1String("MINUS")) {
        tok.text = QStringLiteral("EXCEPT");
      } else if (u == QLatin1String("UNIQUE") && isWord(i - 1, "SELECT")) {
        tok.text = QStringLiteral("DISTINCT");
      } else if (u == QLatin1String("SYSDATE") && !isOp(i - 1, ".") && !isOp(i + 1, "(")) {
        tok.text = QStringLiteral("ORA_SYSDATE()");
      } else if (u == QLatin1String("SYSTIMESTAMP") && !isOp(i - 1, ".") && !isOp(i + 1, "(")) {
        tok.text = QStringLiteral("ORA_SYSDATE()");
      } else if (u == QLatin1String("USER") && !isOp(i - 1, ".") && !isOp(i + 1, ".") &&
                 !isOp(i + 1, "(")) {
        tok.text = QStringLiteral("ORA_USER()");
      } else if (u == QLatin1String("FETCH") && (isWord(i + 1, "FIRST") || isWord(i + 1, "NEXT")) &&
                 i + 4 < n && t[i + 2].kind == TokKind::Number &&
                 (isWord(i + 3, "ROWS") || isWord(i + 3, "ROW")) && isWord(i + 4, "ONLY")) {
        tok.text = QStringLiteral("LIMIT");
        out.push_back(tok);
        out.push_back(t[i + 2]);
        i += 4;
        continue;
      }
    } else if (tok.kind == TokKind::Op &&
               (tok.text == QLatin1String("^=") || tok.text == QLatin1String("!="))) {
      tok.text = QStringLiteral("<>");
    }
    out.push_back(std::move(tok));
  }
  t = std::move(out);
}

bool IsSpaceChar(QChar c) {
  return c.isSpace() || c.unicode() == 0x3000;
}

}  // namespace

Rewritten RewriteOracleSql(const QString& sql, const RewriteContext& ctx) {
  Rewritten r;
  r.tokens = Tokenize(sql);
  if (r.tokens.empty()) {
    r.kind = StatementKind::Empty;
    return r;
  }
  // Classify by the first word.
  const Token& first = r.tokens.front();
  static const QStringList kWriting = {
      "INSERT",    "UPDATE",      "DELETE",  "MERGE",   "CREATE",    "DROP",    "ALTER",
      "TRUNCATE",  "GRANT",       "REVOKE",  "RENAME",  "COMMENT",   "REPLACE", "UPSERT",
      "VACUUM",    "REINDEX",     "ANALYZE", "ATTACH",  "DETACH",    "BEGIN",   "COMMIT",
      "ROLLBACK",  "SAVEPOINT",   "RELEASE", "LOCK",    "SET",       "CALL",    "EXEC",
      "EXECUTE",   "DECLARE",     "AUDIT",   "NOAUDIT", "FLASHBACK", "PURGE",   "END",
      "ASSOCIATE", "DISASSOCIATE"};
  if (first.kind == TokKind::Word &&
      (first.upper == QLatin1String("SELECT") || first.upper == QLatin1String("WITH") ||
       first.upper == QLatin1String("PRAGMA") || first.upper == QLatin1String("EXPLAIN") ||
       first.upper == QLatin1String("VALUES")))
    r.kind = StatementKind::Query;
  else if (first.kind == TokKind::Op && first.text == QLatin1String("("))
    r.kind = StatementKind::Query;
  else if (first.kind == TokKind::Word && kWriting.contains(first.upper))
    r.kind = StatementKind::Writing;
  else
    r.kind = StatementKind::Unknown;
  if (r.kind != StatementKind::Query) return r;

  std::vector<Token> toks = r.tokens;
  TokenPass(toks, ctx);
  size_t pos = 0;
  Seq tree = BuildTree(toks, pos, false, 0);
  Rewriter rw(ctx);
  r.items = rw.selectItems(tree, sql);
  rw.process(tree);
  std::vector<Token> flat;
  Flatten(tree, flat);
  RewriteNumberOperators(flat);

  // Assemble the output, keeping the blanks and comments typed between source tokens.
  QString out;
  out.reserve(sql.size() + 32);
  const Token* prev = nullptr;
  for (const Token& t : flat) {
    if (prev) {
      if (!prev->synthetic && !t.synthetic && t.seq == prev->seq + 1) {
        QString gap = sql.mid(prev->start + prev->len, t.start - prev->start - prev->len);
        for (QChar& c : gap)
          if (IsSpaceChar(c)) c = QLatin1Char(' ');
        out += gap;
      } else {
        out += QLatin1Char(' ');
      }
    }
    Rewritten::Anchor a;
    a.out = int(out.size());
    a.outLen = int(t.text.size());
    a.src = t.start;
    a.srcLen = t.len;
    r.anchors.push_back(a);
    out += t.text;
    prev = &t;
  }
  r.sql = out;
  return r;
}

}  // namespace ora::local
