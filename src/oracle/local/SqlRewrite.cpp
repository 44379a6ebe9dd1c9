#include "oracle/local/SqlRewrite.h"

#include <QStringList>
#include <algorithm>

#include "oracle/local/rewrite/NumberOperators.h"
#include "oracle/local/rewrite/Passes.h"
#include "oracle/local/rewrite/SelectList.h"

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

namespace {

// End of the blank or comment at i, or i when none starts there.
int SkipBlank(const QString& sql, int i) {
  const int n = int(sql.size());
  if (IsSpace(sql[i])) return i + 1;
  if (sql[i] == u'-' && i + 1 < n && sql[i + 1] == u'-') {
    while (i < n && sql[i] != u'\n') ++i;
    return i;
  }
  if (sql[i] == u'/' && i + 1 < n && sql[i + 1] == u'*') {
    const int end = int(sql.indexOf(QStringLiteral("*/"), i + 2));
    return end < 0 ? n : end + 2;
  }
  return i;
}

// End of the literal or quoted name at i; closed tells whether its closing quote was found.
int ScanQuoted(const QString& sql, int i, bool& closed) {
  const int n = int(sql.size());
  const QChar q = sql[i++];
  closed = false;
  while (i < n) {
    if (sql[i] == q) {
      if (i + 1 < n && sql[i + 1] == q) {
        i += 2;
        continue;
      }
      closed = true;
      return i + 1;
    }
    ++i;
  }
  return i;
}

// End of the number at i: digits, a fraction and an exponent.
int ScanNumber(const QString& sql, int i) {
  const int n = int(sql.size());
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
  return i;
}

int ScanWord(const QString& sql, int i) {
  while (i < sql.size() && IsWordChar(sql[i])) ++i;
  return i;
}

// The kind and end of the token at i (not a blank).
TokKind ScanToken(const QString& sql, int i, int& end) {
  const int n = int(sql.size());
  const QChar c = sql[i];
  if (c == u'\'' || c == u'"') {
    bool closed = false;
    end = ScanQuoted(sql, i, closed);
    return closed ? (c == u'\'' ? TokKind::String : TokKind::Quoted) : TokKind::Bad;
  }
  if (IsDigit(c) || (c == u'.' && i + 1 < n && IsDigit(sql[i + 1]))) {
    end = ScanNumber(sql, i);
    return TokKind::Number;
  }
  if (IsWordStart(c)) {
    end = ScanWord(sql, i);
    return TokKind::Word;
  }
  if (c == u':' && i + 1 < n && IsWordChar(sql[i + 1])) {
    end = ScanWord(sql, i + 1);
    return TokKind::Bind;
  }
  end = i + 1;
  if (c == u';') return TokKind::Semicolon;
  static const QStringList kTwo = {QStringLiteral("||"), QStringLiteral("<="), QStringLiteral(">="),
                                   QStringLiteral("<>"), QStringLiteral("!="), QStringLiteral("^="),
                                   QStringLiteral("=>"), QStringLiteral(":=")};
  if (i + 1 < n && kTwo.contains(sql.mid(i, 2))) end = i + 2;
  return TokKind::Op;
}

}  // namespace

std::vector<Token> Tokenize(const QString& sql) {
  std::vector<Token> out;
  const int n = int(sql.size());
  int i = 0;
  while (i < n) {
    const int skipped = SkipBlank(sql, i);
    if (skipped != i) {
      i = skipped;
      continue;
    }
    Token t;
    int end = i;
    t.kind = ScanToken(sql, i, end);
    t.start = i;
    t.len = end - i;
    t.text = sql.mid(i, end - i);
    t.upper = (t.kind == TokKind::Word || t.kind == TokKind::Bind) ? OracleUpper(t.text) : t.text;
    t.seq = int(out.size());
    out.push_back(std::move(t));
    i = end;
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

namespace {

using namespace rewrite;

// The order matters where idioms meet: owners go before DATE literals are read, the empty
// literal is Null only after DATE '' took its literal, and ROWNUM conditions are read before the
// select list's ROWNUM becomes a window.
void RunTokenPasses(std::vector<Token>& toks, const RewriteContext& ctx) {
  static const OwnerPrefixPass kOwner;
  static const DateLiteralPass kDateLiteral;
  static const EmptyStringPass kEmptyString;
  static const QuotedIdentifierPass kQuotedIdentifier;
  static const KeywordSpellingPass kKeywords;
  static const PseudoFunctionPass kPseudo;
  static const FetchFirstPass kFetchFirst;
  static const NotEqualPass kNotEqual;
  static const TokenPass* const kPasses[] = {
      &kOwner,    &kDateLiteral, &kEmptyString, &kQuotedIdentifier,
      &kKeywords, &kPseudo,      &kFetchFirst,  &kNotEqual};
  for (const TokenPass* p : kPasses) p->apply(toks, ctx);
}

void RunTreePasses(Seq& s, const ExprScanner& scan) {
  static const DateArithmeticPass kDates;
  static const ConcatenationPass kConcat;
  static const OuterJoinPass kOuterJoin;
  static const RownumConditionPass kRownumCondition;
  static const RownumColumnPass kRownumColumn;
  static const RowidPass kRowid;
  static const TreePass* const kPasses[] = {&kDates,           &kConcat,       &kOuterJoin,
                                            &kRownumCondition, &kRownumColumn, &kRowid};
  for (Node& n : s)
    if (n.group) RunTreePasses(n.kids, scan);
  for (const TreePass* p : kPasses) p->apply(s, scan);
}

StatementKind KindOfStatement(const Token& first) {
  static const QStringList kWriting = {
      "INSERT",    "UPDATE",      "DELETE",  "MERGE",   "CREATE",    "DROP",    "ALTER",
      "TRUNCATE",  "GRANT",       "REVOKE",  "RENAME",  "COMMENT",   "REPLACE", "UPSERT",
      "VACUUM",    "REINDEX",     "ANALYZE", "ATTACH",  "DETACH",    "BEGIN",   "COMMIT",
      "ROLLBACK",  "SAVEPOINT",   "RELEASE", "LOCK",    "SET",       "CALL",    "EXEC",
      "EXECUTE",   "DECLARE",     "AUDIT",   "NOAUDIT", "FLASHBACK", "PURGE",   "END",
      "ASSOCIATE", "DISASSOCIATE"};
  static const QStringList kQuery = {"SELECT", "WITH", "PRAGMA", "EXPLAIN", "VALUES"};
  if (first.kind == TokKind::Word && kQuery.contains(first.upper)) return StatementKind::Query;
  if (first.kind == TokKind::Op && first.text == QLatin1String("(")) return StatementKind::Query;
  if (first.kind == TokKind::Word && kWriting.contains(first.upper)) return StatementKind::Writing;
  return StatementKind::Unknown;
}

// The output text, keeping the blanks and comments typed between source tokens, and the anchors
// that map it back.
void Assemble(const QString& sql, const std::vector<Token>& flat, Rewritten& r) {
  QString out;
  out.reserve(sql.size() + 32);
  const Token* prev = nullptr;
  for (const Token& t : flat) {
    if (prev) {
      if (!prev->synthetic && !t.synthetic && t.seq == prev->seq + 1) {
        QString gap = sql.mid(prev->start + prev->len, t.start - prev->start - prev->len);
        // Line ends stay: a "--" comment in the gap ends at its line, not at the statement's end.
        for (QChar& c : gap)
          if (IsSpace(c) && c != QLatin1Char('\n') && c != QLatin1Char('\r')) c = QLatin1Char(' ');
        out += gap;
      } else {
        out += QLatin1Char(' ');
      }
    }
    r.anchors.push_back({int(out.size()), int(t.text.size()), t.start, t.len});
    out += t.text;
    prev = &t;
  }
  r.sql = out;
}

// Turns the source token indexes of the plain select into places in the SQLite text.
void PlacePlainSelect(const std::vector<Token>& flat, Rewritten& r) {
  PlainSelect& p = r.plain;
  if (!p.usable) return;
  std::vector<int> begin(r.tokens.size(), -1), end(r.tokens.size(), -1);
  for (size_t i = 0; i < flat.size(); ++i)
    if (!flat[i].synthetic && flat[i].seq >= 0 && size_t(flat[i].seq) < r.tokens.size()) {
      begin[size_t(flat[i].seq)] = r.anchors[i].out;
      end[size_t(flat[i].seq)] = r.anchors[i].out + r.anchors[i].outLen;
    }
  auto at = [](const std::vector<int>& places, int token) {
    return token >= 0 && size_t(token) < places.size() ? places[size_t(token)] : -1;
  };
  p.listEnd = at(begin, p.fromToken);
  p.usable = p.listEnd >= 0;
  for (PlainSelect::Column& c : p.columns) {
    const int b = at(begin, c.firstToken), e = at(end, c.lastToken);
    if (b >= 0 && e >= b) {
      c.out = b;
      c.outLen = e - b;
    }
  }
}

}  // namespace

Rewritten RewriteOracleSql(const QString& sql, const RewriteContext& ctx) {
  Rewritten r;
  r.tokens = Tokenize(sql);
  r.kind = r.tokens.empty() ? StatementKind::Empty : KindOfStatement(r.tokens.front());
  if (r.kind != StatementKind::Query) return r;
  std::vector<Token> toks = r.tokens;
  RunTokenPasses(toks, ctx);
  Seq tree = BuildTree(toks);
  const ExprScanner scan(ctx);
  r.items = ReadSelectList(tree, sql, scan);
  RunTreePasses(tree, scan);
  r.plain = ReadPlainSelect(tree, ctx.isAggregate);
  std::vector<Token> flat;
  Flatten(tree, flat);
  RewriteNumberOperators(flat);
  Assemble(sql, flat, r);
  PlacePlainSelect(flat, r);
  return r;
}

}  // namespace ora::local
