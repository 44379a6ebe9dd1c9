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
};

struct Rewritten {
  StatementKind kind = StatementKind::Empty;
  QString sql;                // the SQLite text
  std::vector<Token> tokens;  // tokens of the source (as typed)
  QList<SelectItem> items;    // the select list of the outermost query
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
