#pragma once
// The statement as a tree for the rewriting passes: a parenthesised group is one node of its
// sequence, so clauses, list items and terms are found by scanning one level.
#include <functional>
#include <utility>
#include <vector>

#include "oracle/local/SqlRewrite.h"

namespace ora::local::rewrite {

struct Node {
  Token tok;
  bool group = false;
  bool closed = false;
  std::vector<Node> kids;
  Token close;
};
using Seq = std::vector<Node>;

// Token i of a flat token list is the operator op / the word w (false when i is out of range).
bool IsOpAt(const std::vector<Token>& t, int i, const char* op);
bool IsWordAt(const std::vector<Token>& t, int i, const char* w);

Seq BuildTree(const std::vector<Token>& toks);
void Flatten(const Seq& seq, std::vector<Token>& out);

bool IsW(const Node& n, const char* w);
bool IsOp(const Node& n, const char* op);
// A word or a quoted name (not a group).
bool IsName(const Node& n);
// The "(+)" of the old outer-join syntax.
bool IsOuterMark(const Node& n);
// Words that end an expression chain.
bool IsDelimiterWord(const QString& upper);
// The name a word or quoted name stands for, in upper case without the quotes.
QString Unquote(const Token& t);

// Tokens and nodes the rewriting inserts; src is the source offset errors in them map to.
Token SynTok(const QString& text, int src, TokKind kind = TokKind::Word);
Node Syn(const QString& text, int src, TokKind kind = TokKind::Word);
Node SynGroup(Seq kids, int src);
inline int SrcOf(const Node& n) {
  return n.tok.start;
}

// One SELECT of a sequence up to the next SELECT, set operator or semicolon of the same level.
struct Block {
  int begin = 0;  // the SELECT
  int end = 0;    // one past the block
};
bool IsSetOp(const Node& n);
std::vector<Block> Blocks(const Seq& s);
// Calls fn for every block of the level, the last first, so that a pass that changes the length
// of one block leaves the indexes of the earlier blocks valid.
void ForEachBlock(Seq& s, const std::function<void(Seq&, Block&)>& fn);

// Index of the first top-level word w in [b, e), or -1.
int FindClause(const Seq& s, int b, int e, const char* w);
// End (exclusive) of the clause whose keyword stands at i.
int ClauseEnd(const Seq& s, int i, int e);
// Conjuncts of a condition range split at top-level AND; false when an OR stands at top level.
bool Conjuncts(const Seq& s, int b, int e, std::vector<std::pair<int, int>>& out);

}  // namespace ora::local::rewrite
