#pragma once
// Reading expressions of one tree level: where a term ends and whether a chain gives a date.
#include <functional>

#include "oracle/local/rewrite/SqlTree.h"

namespace ora::local::rewrite {

// Links of a chain: (operator index, end of the term after it).
using ChainLinks = std::vector<std::pair<int, int>>;
// Gives the nodes that replace the chain whose first term is [first, firstEnd).
using ChainFold = std::function<Seq(Seq& s, int first, int firstEnd, const ChainLinks& links)>;

class ExprScanner {
 public:
  explicit ExprScanner(const RewriteContext& ctx) : ctx_(ctx) {}

  // Index after one primary (name, literal, bind, call, group) starting at i, or -1.
  int parsePrimary(const Seq& s, int i) const;
  // Index after one multiplicative term starting at i (with its signs), or -1.
  int parseTerm(const Seq& s, int i) const;
  // Follows the chain of terms joined by + and - (and || when withConcat) from the end of its
  // first term at p; adds (operator index, term end) for each further term; returns its end.
  int chain(const Seq& s, int p, bool withConcat, ChainLinks& links) const;
  // Replaces every chain of the level by what fold makes of it; other nodes stay.
  void rewriteChains(Seq& s, bool withConcat, const ChainFold& fold) const;
  // True when the whole sequence is one additive chain whose value is a date.
  bool isDateSeq(const Seq& s) const;
  // True when the term [b, e) is a date.
  bool isDateTerm(const Seq& s, int b, int e) const;

 private:
  bool isDateCall(const QString& name, const Node& args) const;
  const RewriteContext& ctx_;
};

}  // namespace ora::local::rewrite
