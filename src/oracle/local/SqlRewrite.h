#pragma once
// Rewriting of Oracle SQL into SQLite SQL for the local engine.
//
// The statement is cut into tokens; a few Oracle idioms are recognised and replaced, every other
// token is passed on as typed. Each piece of the output remembers where it came from, so an
// error offset that SQLite reports in the rewritten text maps back to the statement as typed.
#include <QList>
#include <QString>
#include <functional>
#include <vector>

namespace ora::local {

enum class TokKind { Word, Quoted, String, Number, Bind, Op, Semicolon, Bad };

struct Token {
  TokKind kind = TokKind::Op;
  int start = 0;           // offset in the source text (UTF-16 units)
  int len = 0;             // length in the source text
  QString text;            // text emitted for this token
  QString upper;           // upper-cased source text (words), or the text (others)
  bool synthetic = false;  // inserted by the rewriting
  int seq = -1;            // index among the source tokens
};

// Cuts a statement into tokens; comments and blanks are skipped.
std::vector<Token> Tokenize(const QString& sql);

// What a statement is, judged by its first word.
enum class StatementKind { Empty, Query, Writing, Unknown };

// The kind of value an expression of the select list gives, when the rewriting can tell.
enum class ExprKind { Unknown, Date, Number, Text, Rowid };

struct SelectItem {
  bool star = false;  // "*" or "t.*": expands to columns whose names SQLite knows
  QString heading;    // the column name as Oracle shows it
  ExprKind kind = ExprKind::Unknown;
};

struct RewriteContext {
  // True when NAME (upper case) is a column declared as a date anywhere in the database.
  std::function<bool(const QString& upperName)> isDateColumn;
  // True when NAME (upper case) is a user (schema) name of the database.
  std::function<bool(const QString& upperName)> isSchema;
  // True when the bind variable NAME (upper case, without the colon) holds a date.
  std::function<bool(const QString& upperName)> isDateBind;
  // True when NAME (upper case) is an aggregate or window function.
  std::function<bool(const QString& upperName)> isAggregate;
};

// The outermost query when it is one SELECT over tables only (no DISTINCT, grouping, aggregate,
// set operator, WITH or ORDER BY by position): each result row then stands for one row of each
// table, so a column of the select list may be read through its table's rowid in place of being
// selected.
struct PlainSelect {
  struct Column {
    int out = -1;  // where the item stands in the SQLite text; -1 when it cannot be replaced
    int outLen = 0;
    QString qualifier;    // the name its table goes by in the SQLite text; empty when unknown
    QString name;         // the column as the SQLite text names it; empty for a star
    int firstToken = -1;  // source token indexes of the item
    int lastToken = -1;
  };
  bool usable = false;
  std::vector<Column> columns;  // one per item of the select list
  int listEnd = -1;             // where the select list ends in the SQLite text
  int fromToken = -1;           // source token index of its FROM
};

struct Rewritten {
  StatementKind kind = StatementKind::Empty;
  QString sql;                // the SQLite text
  std::vector<Token> tokens;  // tokens of the source (as typed)
  QList<SelectItem> items;    // the select list of the outermost query
  PlainSelect plain;
  // Output ranges and where they came from.
  struct Anchor {
    int out = 0;
    int outLen = 0;
    int src = 0;
    int srcLen = 0;
  };
  std::vector<Anchor> anchors;
  // Offset in the source for an offset (UTF-16 units) in the rewritten text.
  int MapToSource(int outPos) const;
  // Upper-case names of the words of the statement (for the dictionary refresh).
  bool mentions(const QString& upperWord) const;
};

Rewritten RewriteOracleSql(const QString& sql, const RewriteContext& ctx = {});

// The heading Oracle shows for an unquoted identifier: ASCII letters in upper case.
QString OracleUpper(const QString& s);

}  // namespace ora::local
