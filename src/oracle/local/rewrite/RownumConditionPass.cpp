#include <QHash>
#include <QStringList>
#include <cmath>
#include <optional>

#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

namespace {

// What a ROWNUM condition does to the rows of its block.
struct RownumBound {
  bool always = false;                  // every row passes: the condition is simply dropped
  QString limit = QStringLiteral("0");  // otherwise the rows kept (a number or a bind variable)
  TokKind kind = TokKind::Number;
};

// ROWNUM is given to a row only when it passes, so the first row read always has ROWNUM 1:
// conditions that row 1 fails (rownum > 1, rownum = 2) keep no row at all.
std::optional<RownumBound> BoundOf(QString op, const Node& value, bool reversed) {
  if (value.group || (value.tok.kind != TokKind::Number && value.tok.kind != TokKind::Bind))
    return std::nullopt;
  if (reversed) {
    static const QHash<QString, QString> kMirror = {{"<", ">"},   {"<=", ">="}, {">", "<"},
                                                    {">=", "<="}, {"=", "="},   {"<>", "<>"}};
    op = kMirror.value(op);
  }
  if (value.tok.kind == TokKind::Bind) {
    if (op != QLatin1String("<=")) return std::nullopt;
    // SQLite reads a negative LIMIT as "no limit"; Oracle keeps no row.
    return RownumBound{false, QStringLiteral("MAX(CAST(%1 AS INTEGER), 0)").arg(value.tok.text),
                       TokKind::Bind};
  }
  bool ok = false;
  // Bounds past any table's size read as "all rows" and stay clear of integer overflow.
  const double v = std::min(value.tok.text.toDouble(&ok), 1e15);
  if (!ok) return std::nullopt;
  const RownumBound all{true, {}, TokKind::Number};
  double keep = 0;
  if (op == QLatin1String("<="))
    keep = std::floor(v);
  else if (op == QLatin1String("<"))
    keep = std::ceil(v) - 1;
  else if (op == QLatin1String("="))
    keep = v == 1 ? 1 : 0;
  else if (op == QLatin1String(">"))
    return v < 1 ? all : RownumBound{};
  else if (op == QLatin1String(">="))
    return v <= 1 ? all : RownumBound{};
  else if (op == QLatin1String("<>"))
    return v >= 1 && v == std::floor(v) ? RownumBound{false, QString::number(qint64(v) - 1)} : all;
  else
    return std::nullopt;
  return RownumBound{false, QString::number(qint64(std::max(keep, 0.0)))};
}

bool Mentions(const Seq& s, int b, int e, const char* w) {
  for (int i = b; i < e; ++i)
    if (IsW(s[i], w) || (s[i].group && Mentions(s[i].kids, 0, int(s[i].kids.size()), w)))
      return true;
  return false;
}

// The bound of conjunct [b, e) when it compares ROWNUM with a constant.
std::optional<RownumBound> ConjunctBound(const Seq& s, int b, int e) {
  if (e - b != 3 || s[b + 1].group || s[b + 1].tok.kind != TokKind::Op) return std::nullopt;
  if (IsW(s[b], "ROWNUM")) return BoundOf(s[b + 1].tok.text, s[b + 2], false);
  if (IsW(s[b + 2], "ROWNUM")) return BoundOf(s[b + 1].tok.text, s[b], true);
  return std::nullopt;
}

// FROM x [alias] [WHERE ...] becomes FROM (SELECT * FROM x [alias] [WHERE ...] LIMIT n) alias, so
// the rows are counted as they are read, before the block's GROUP BY, DISTINCT and ORDER BY.
// Only a single FROM item keeps its columns reachable under its own name; ROWID does not survive
// a subquery. Returns false when the block is not of that shape.
bool WrapFrom(Seq& s, Block& blk, Seq limit) {
  const int f = FindClause(s, blk.begin, blk.end, "FROM");
  if (f < 0) return false;
  const int fe = ClauseEnd(s, f, blk.end);
  if (Mentions(s, blk.begin, blk.end, "ROWID") || FindClause(s, blk.begin, blk.end, "CONNECT") >= 0)
    return false;
  for (int i = f + 1; i < fe; ++i)
    if (IsOp(s[i], ",") || IsW(s[i], "JOIN")) return false;
  if (fe == f + 1) return false;
  int end = fe;
  if (fe < blk.end && IsW(s[fe], "WHERE")) end = ClauseEnd(s, fe, blk.end);
  // The name the outer block reads the columns by: the alias, or the table's own name.
  const Node& last = s[fe - 1];
  const QString alias =
      IsName(last) && !IsDelimiterWord(last.tok.upper) ? last.tok.text : QString();
  const int src = SrcOf(s[f]);
  Seq inner;
  inner.push_back(Syn(QStringLiteral("SELECT"), src));
  inner.push_back(Syn(QStringLiteral("*"), src, TokKind::Op));
  for (int k = f; k < end; ++k) inner.push_back(std::move(s[k]));
  for (Node& x : limit) inner.push_back(std::move(x));
  // The OFFSET keeps SQLite from flattening the subquery into the outer block, which would move
  // the LIMIT after the outer ORDER BY.
  inner.push_back(Syn(QStringLiteral("OFFSET"), src));
  inner.push_back(Syn(QStringLiteral("0"), src, TokKind::Number));
  Seq outer;
  outer.push_back(Syn(QStringLiteral("FROM"), src));
  outer.push_back(SynGroup(std::move(inner), src));
  if (!alias.isEmpty()) outer.push_back(Syn(alias, src));
  s.erase(s.begin() + f, s.begin() + end);
  s.insert(s.begin() + f, std::make_move_iterator(outer.begin()),
           std::make_move_iterator(outer.end()));
  blk.end += int(outer.size()) - (end - f);
  return true;
}

// The names the items of a FROM list of plain tables are read by; empty for any other list.
QStringList TableNames(const Seq& s, int f, int fe) {
  QStringList names;
  int start = f + 1;
  for (int i = f + 1; i <= fe; ++i) {
    if (i < fe && (s[i].group || IsW(s[i], "JOIN"))) return {};
    if (i < fe && !IsOp(s[i], ",")) continue;
    if (i == start || !IsName(s[i - 1])) return {};
    names << s[i - 1].tok.text;
    start = i + 1;
  }
  return names;
}

// True when the block sorts, groups or aggregates, where a LIMIT at its end would come too late.
bool SortsOrGroups(const Seq& s, const Block& blk) {
  static const char* kWords[] = {"ORDER", "GROUP", "DISTINCT", "UNIQUE"};
  static const QStringList kAggregates = {"COUNT", "SUM", "AVG", "MIN", "MAX"};
  for (int i = blk.begin; i < blk.end; ++i) {
    for (const char* w : kWords)
      if (IsW(s[i], w)) return true;
    if (i + 1 < blk.end && s[i + 1].group && !s[i].group && kAggregates.contains(s[i].tok.upper))
      return true;
  }
  return false;
}

// A join of plain tables that sorts or groups: the rows are picked by their table rows' keys,
// AND (a._ROWID_, b._ROWID_) IN (SELECT a._ROWID_, b._ROWID_ FROM ... WHERE ... LIMIT n), so
// that they are counted as read while every qualified name of the block still resolves.
bool KeyedJoinLimit(Seq& s, Block& blk, const Seq& limit) {
  const int f = FindClause(s, blk.begin, blk.end, "FROM");
  if (f < 0 || !SortsOrGroups(s, blk)) return false;
  const int fe = ClauseEnd(s, f, blk.end);
  const QStringList names = TableNames(s, f, fe);
  if (names.size() < 2) return false;
  const bool where = fe < blk.end && IsW(s[fe], "WHERE");
  const int end = where ? ClauseEnd(s, fe, blk.end) : fe;
  const int src = SrcOf(s[f]);
  Seq keys;
  for (const QString& name : names) {
    if (!keys.empty()) keys.push_back(Syn(QStringLiteral(","), src, TokKind::Op));
    keys.push_back(Syn(name + QStringLiteral("._ROWID_"), src));
  }
  Seq sub{Syn(QStringLiteral("SELECT"), src)};
  sub.insert(sub.end(), keys.begin(), keys.end());
  sub.insert(sub.end(), s.begin() + f, s.begin() + end);
  sub.insert(sub.end(), limit.begin(), limit.end());
  sub.push_back(Syn(QStringLiteral("OFFSET"), src));
  sub.push_back(Syn(QStringLiteral("0"), src, TokKind::Number));
  Seq cond{Syn(where ? QStringLiteral("AND") : QStringLiteral("WHERE"), src),
           SynGroup(std::move(keys), src), Syn(QStringLiteral("IN"), src),
           SynGroup(std::move(sub), src)};
  s.insert(s.begin() + end, std::make_move_iterator(cond.begin()),
           std::make_move_iterator(cond.end()));
  blk.end += int(cond.size());
  return true;
}

void RownumBlock(Seq& s, Block& blk) {
  const int w = FindClause(s, blk.begin, blk.end, "WHERE");
  if (w < 0) return;
  const int we = ClauseEnd(s, w, blk.end);
  std::vector<std::pair<int, int>> cj;
  if (!Conjuncts(s, w + 1, we, cj)) return;
  for (size_t c = 0; c < cj.size(); ++c) {
    const auto [b, e] = cj[c];
    const std::optional<RownumBound> bound = ConjunctBound(s, b, e);
    if (!bound) continue;
    const int limSrc = SrcOf(s[b]);
    // Remove the conjunct with one neighbouring AND, or the whole WHERE when it was alone.
    const int rb = cj.size() == 1 ? w : c + 1 < cj.size() ? b : b - 1;
    const int re = cj.size() > 1 && c + 1 < cj.size() ? e + 1 : e;
    s.erase(s.begin() + rb, s.begin() + re);
    blk.end -= re - rb;
    if (bound->always) return;
    Seq limit;
    limit.push_back(Syn(QStringLiteral("LIMIT"), limSrc));
    limit.push_back(Syn(bound->limit, limSrc, bound->kind));
    if (WrapFrom(s, blk, limit) || KeyedJoinLimit(s, blk, limit)) return;
    // Otherwise the plain LIMIT: right for the rows it keeps unless the block sorts or groups.
    s.insert(s.begin() + blk.end, std::make_move_iterator(limit.begin()),
             std::make_move_iterator(limit.end()));
    blk.end += int(limit.size());
    return;
  }
}

}  // namespace

void RownumConditionPass::apply(Seq& level, const ExprScanner&) const {
  ForEachBlock(level, RownumBlock);
}

}  // namespace ora::local::rewrite
