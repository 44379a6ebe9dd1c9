#pragma once
// The passes that turn an Oracle query into SQLite SQL, one class per idiom. Token passes run
// first, in order, on the token list; tree passes then run on every level of the tree, innermost
// groups first.
#include <vector>

#include "oracle/local/rewrite/Expressions.h"

namespace ora::local::rewrite {

class TokenPass {
 public:
  virtual ~TokenPass() = default;
  virtual void apply(std::vector<Token>& toks, const RewriteContext& ctx) const = 0;
};

class TreePass {
 public:
  virtual ~TreePass() = default;
  virtual void apply(Seq& level, const ExprScanner& scan) const = 0;
};

// SCOTT.EMP, SYS.DUAL, PUBLIC.X: the owner is dropped (one database holds every schema).
class OwnerPrefixPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// DATE 'YYYY-MM-DD', the ANSI date literal.
class DateLiteralPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// An empty string literal is Null, as everywhere in Oracle.
class EmptyStringPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// Names with # or $ (SERIAL#, V$SESSION) are quoted for SQLite.
class QuotedIdentifierPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// MINUS and SELECT UNIQUE, the Oracle spellings of EXCEPT and SELECT DISTINCT.
class KeywordSpellingPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// SYSDATE, SYSTIMESTAMP and USER, which Oracle writes without parentheses.
class PseudoFunctionPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// FETCH FIRST n ROWS ONLY.
class FetchFirstPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// != and ^= .
class NotEqualPass : public TokenPass {
 public:
  void apply(std::vector<Token>& toks, const RewriteContext& ctx) const override;
};

// date + n, date - n, n + date, date - date.
class DateArithmeticPass : public TreePass {
 public:
  void apply(Seq& level, const ExprScanner& scan) const override;
};

// a || b with Oracle's Null rule.
class ConcatenationPass : public TreePass {
 public:
  void apply(Seq& level, const ExprScanner& scan) const override;
};

// FROM a, b WHERE a.x = b.y(+).
class OuterJoinPass : public TreePass {
 public:
  void apply(Seq& level, const ExprScanner& scan) const override;
};

// WHERE ROWNUM < n, <= n, = 1 (and the conditions Oracle never satisfies).
class RownumConditionPass : public TreePass {
 public:
  void apply(Seq& level, const ExprScanner& scan) const override;
};

// ROWNUM in a select list.
class RownumColumnPass : public TreePass {
 public:
  void apply(Seq& level, const ExprScanner& scan) const override;
};

// ROWID in Oracle's eighteen-character form.
class RowidPass : public TreePass {
 public:
  void apply(Seq& level, const ExprScanner& scan) const override;
};

}  // namespace ora::local::rewrite
