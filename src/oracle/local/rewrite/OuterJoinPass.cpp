#include "oracle/local/rewrite/Passes.h"

namespace ora::local::rewrite {

namespace {

// One item of the FROM list: nodes [b, e), its table name and alias, and the conjuncts that
// join it optionally.
struct FromItem {
  int b = 0, e = 0;
  QString name, alias;
  bool optional = false;
  std::vector<int> conds;
};

// The comma-separated FROM items of [f + 1, fe); false when the list is not a plain one.
bool ReadFromItems(const Seq& s, int f, int fe, std::vector<FromItem>& items) {
  int start = f + 1;
  for (int i = f + 1; i <= fe; ++i) {
    if (i < fe && (IsW(s[i], "JOIN") || IsW(s[i], "ON"))) return false;
    if (i < fe && !IsOp(s[i], ",")) continue;
    if (i == start || !IsName(s[i - 1])) return false;
    FromItem it;
    it.b = start;
    it.e = i;
    if (i - start >= 2 && !IsOp(s[i - 2], ".")) it.alias = Unquote(s[i - 1].tok);
    const int tn = it.alias.isEmpty() ? i - 1 : i - 2;
    if (tn >= start && !s[tn].group) it.name = Unquote(s[tn].tok);
    items.push_back(it);
    start = i + 1;
  }
  return true;
}

// Marks the item each (+) conjunct names as optional; false when a mark cannot be placed.
bool PlaceMarks(const Seq& s, const std::vector<std::pair<int, int>>& cj,
                std::vector<FromItem>& items, std::vector<int>& cjItem) {
  for (size_t c = 0; c < cj.size(); ++c) {
    for (int i = cj[c].first; i < cj[c].second; ++i) {
      if (!IsOuterMark(s[i])) continue;
      if (i - 1 < cj[c].first || s[i - 1].group) return false;
      // Only a qualified column names its table; an unqualified one is left to SQLite's error.
      if (!(i - 3 >= cj[c].first && IsOp(s[i - 2], "."))) return false;
      const QString q = Unquote(s[i - 3].tok);
      int found = -1;
      for (size_t k = 0; k < items.size(); ++k)
        if (items[k].alias == q || (items[k].alias.isEmpty() && items[k].name == q)) found = int(k);
      if (found == -1 || (cjItem[c] != -1 && cjItem[c] != found)) return false;
      cjItem[c] = found;
    }
    if (cjItem[c] >= 0) {
      items[cjItem[c]].optional = true;
      items[cjItem[c]].conds.push_back(int(c));
    }
  }
  for (const FromItem& it : items)
    if (!it.optional) return true;
  return false;
}

// FROM preserved, ... LEFT JOIN optional ON (its conditions without the marks) ...
Seq JoinedFrom(const Seq& s, int f, const std::vector<std::pair<int, int>>& cj,
               const std::vector<FromItem>& items) {
  Seq nf;
  nf.push_back(s[f]);
  bool first = true;
  for (const FromItem& it : items) {
    if (it.optional) continue;
    if (!first) nf.push_back(Syn(QStringLiteral(","), SrcOf(s[it.b]), TokKind::Op));
    first = false;
    for (int k = it.b; k < it.e; ++k) nf.push_back(s[k]);
  }
  for (const FromItem& it : items) {
    if (!it.optional) continue;
    const int onSrc = SrcOf(s[cj[it.conds[0]].first]);
    nf.push_back(Syn(QStringLiteral("LEFT"), SrcOf(s[it.b])));
    nf.push_back(Syn(QStringLiteral("JOIN"), SrcOf(s[it.b])));
    for (int k = it.b; k < it.e; ++k) nf.push_back(s[k]);
    nf.push_back(Syn(QStringLiteral("ON"), onSrc));
    Seq on;
    for (int c : it.conds) {
      if (!on.empty()) on.push_back(Syn(QStringLiteral("AND"), SrcOf(s[cj[c].first])));
      for (int k = cj[c].first; k < cj[c].second; ++k)
        if (!IsOuterMark(s[k])) on.push_back(s[k]);
    }
    nf.push_back(SynGroup(std::move(on), onSrc));
  }
  return nf;
}

// WHERE with the conjuncts that did not move into a join.
Seq RemainingWhere(const Seq& s, int w, const std::vector<std::pair<int, int>>& cj,
                   const std::vector<int>& cjItem) {
  Seq nw;
  for (size_t c = 0; c < cj.size(); ++c) {
    if (cjItem[c] >= 0) continue;
    nw.push_back(nw.empty() ? s[w] : Syn(QStringLiteral("AND"), SrcOf(s[cj[c].first])));
    for (int k = cj[c].first; k < cj[c].second; ++k) nw.push_back(s[k]);
  }
  return nw;
}

void OuterJoinBlock(Seq& s, Block& blk) {
  const int f = FindClause(s, blk.begin, blk.end, "FROM");
  const int w = FindClause(s, blk.begin, blk.end, "WHERE");
  if (f < 0 || w < 0 || w < f) return;
  const int fe = ClauseEnd(s, f, blk.end);
  const int we = ClauseEnd(s, w, blk.end);
  if (fe != w) return;
  bool any = false;
  for (int i = w + 1; i < we; ++i) any = any || IsOuterMark(s[i]);
  std::vector<FromItem> items;
  std::vector<std::pair<int, int>> cj;
  if (!any || !ReadFromItems(s, f, fe, items) || !Conjuncts(s, w + 1, we, cj)) return;
  std::vector<int> cjItem(cj.size(), -1);
  if (!PlaceMarks(s, cj, items, cjItem)) return;
  Seq ns(std::make_move_iterator(s.begin()), std::make_move_iterator(s.begin() + f));
  for (Node& x : JoinedFrom(s, f, cj, items)) ns.push_back(std::move(x));
  for (Node& x : RemainingWhere(s, w, cj, cjItem)) ns.push_back(std::move(x));
  const int newEnd = int(ns.size());
  for (int k = we; k < int(s.size()); ++k) ns.push_back(std::move(s[k]));
  s = std::move(ns);
  blk.end = newEnd + (blk.end - we);
}

}  // namespace

void OuterJoinPass::apply(Seq& level, const ExprScanner&) const {
  ForEachBlock(level, OuterJoinBlock);
}

}  // namespace ora::local::rewrite
