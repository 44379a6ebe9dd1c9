#include "oracle/local/rewrite/NumberOperators.h"

#include <QStringList>

namespace ora::local {

namespace {

bool IsOp(const Token& t, const char* op) {
  return t.kind == TokKind::Op && t.text == QLatin1String(op);
}

bool IsArithmetic(const Token& t) {
  return IsOp(t, "+") || IsOp(t, "-") || IsOp(t, "*") || IsOp(t, "/") || IsOp(t, "%");
}

// Words that end an expression: a division before them has no divisor to wrap.
bool IsClauseWord(const Token& t) {
  static const QStringList kWords = {"FROM", "WHERE", "GROUP",  "ORDER",     "HAVING", "AND",
                                     "OR",   "IS",    "IN",     "LIKE",      "THEN",   "ELSE",
                                     "END",  "WHEN",  "UNION",  "INTERSECT", "EXCEPT", "AS",
                                     "ON",   "JOIN",  "SELECT", "BETWEEN"};
  return t.kind == TokKind::Word && kWords.contains(t.upper);
}

// One past the closing parenthesis of the group opened at i, or -1 when it is never closed.
int AfterGroup(const std::vector<Token>& t, int i) {
  int depth = 0;
  for (int n = int(t.size()); i < n; ++i) {
    if (IsOp(t[i], "(")) ++depth;
    if (IsOp(t[i], ")") && --depth == 0) return i + 1;
  }
  return -1;
}

// One past the END of the CASE at i.
int AfterCase(const std::vector<Token>& t, int i) {
  int depth = 0;
  for (int n = int(t.size()); i < n; ++i) {
    if (t[i].kind != TokKind::Word) continue;
    if (t[i].upper == QLatin1String("CASE")) ++depth;
    if (t[i].upper == QLatin1String("END") && --depth == 0) return i + 1;
  }
  return -1;
}

// One past the operand that starts at i (signs, a literal, a bind, a name, a call, a group or a
// CASE), or -1 when no operand starts there.
int OperandEnd(const std::vector<Token>& t, int i) {
  const int n = int(t.size());
  while (i < n && (IsOp(t[i], "+") || IsOp(t[i], "-") || IsOp(t[i], "~"))) ++i;
  if (i >= n || IsClauseWord(t[i])) return -1;
  const Token& k = t[i];
  if (IsOp(k, "(")) return AfterGroup(t, i);
  if (k.kind == TokKind::Word && k.upper == QLatin1String("CASE")) return AfterCase(t, i);
  if (k.kind == TokKind::Number || k.kind == TokKind::String || k.kind == TokKind::Bind)
    return i + 1;
  if (k.kind != TokKind::Word && k.kind != TokKind::Quoted) return -1;
  int j = i + 1;
  while (j + 1 < n && IsOp(t[j], ".") &&
         (t[j + 1].kind == TokKind::Word || t[j + 1].kind == TokKind::Quoted))
    j += 2;
  return j < n && IsOp(t[j], "(") ? AfterGroup(t, j) : j;
}

Token Synthetic(const QString& text, TokKind kind, int src) {
  Token t;
  t.kind = kind;
  t.start = src;
  t.text = text;
  t.upper = text;
  t.synthetic = true;
  return t;
}

}  // namespace

void RewriteNumberOperators(std::vector<Token>& tokens) {
  const int n = int(tokens.size());
  // Calls opened before and parentheses closed before each position; outer calls first.
  std::vector<QStringList> opens(size_t(n) + 1);
  std::vector<int> closes(size_t(n) + 1, 0);
  bool any = false;
  for (int i = 0; i < n; ++i) {
    const Token& t = tokens[size_t(i)];
    if (t.kind == TokKind::String && ((i > 0 && IsArithmetic(tokens[size_t(i - 1)])) ||
                                      (i + 1 < n && IsArithmetic(tokens[size_t(i + 1)])))) {
      opens[size_t(i)].append(QStringLiteral("TO_NUMBER"));
      ++closes[size_t(i + 1)];
      any = true;
    }
    if (!IsOp(t, "/")) continue;
    const int end = OperandEnd(tokens, i + 1);
    if (end < 0) continue;
    opens[size_t(i + 1)].append(QStringLiteral("ORA_DIVISOR"));
    ++closes[size_t(end)];
    any = true;
  }
  if (!any) return;
  std::vector<Token> out;
  out.reserve(tokens.size() * 2);
  for (int i = 0; i <= n; ++i) {
    const int src = i < n ? tokens[size_t(i)].start : tokens.back().start + tokens.back().len;
    for (int k = 0; k < closes[size_t(i)]; ++k)
      out.push_back(Synthetic(QStringLiteral(")"), TokKind::Op, src));
    for (const QString& call : opens[size_t(i)]) {
      out.push_back(Synthetic(call, TokKind::Word, src));
      out.push_back(Synthetic(QStringLiteral("("), TokKind::Op, src));
    }
    if (i < n) out.push_back(std::move(tokens[size_t(i)]));
  }
  tokens = std::move(out);
}

}  // namespace ora::local
