#include "console/SqlHighlighter.h"

#include <QSet>

namespace {

// What a line ends inside, carried to the next line as the block state.
enum State { Plain = 0, InComment = 1, InString = 2 };

const QSet<QString>& Keywords() {
  static const QSet<QString> words = [] {
    QSet<QString> set;
    for (const char* w :
         {"ADD",       "ALL",       "ALTER",      "AND",      "ANY",     "AS",      "ASC",
          "BEGIN",     "BETWEEN",   "BY",         "CASE",     "CHECK",   "COLUMN",  "COMMENT",
          "COMMIT",    "CONNECT",   "CONSTRAINT", "CREATE",   "CROSS",   "CURSOR",  "DECLARE",
          "DEFAULT",   "DELETE",    "DESC",       "DISTINCT", "DROP",    "ELSE",    "END",
          "EXCEPTION", "EXISTS",    "FETCH",      "FOR",      "FOREIGN", "FROM",    "FULL",
          "FUNCTION",  "GRANT",     "GROUP",      "HAVING",   "IF",      "IN",      "INDEX",
          "INNER",     "INSERT",    "INTERSECT",  "INTO",     "IS",      "JOIN",    "KEY",
          "LEFT",      "LIKE",      "LOOP",       "MERGE",    "MINUS",   "NOT",     "NULL",
          "OF",        "ON",        "OR",         "ORDER",    "OUTER",   "PACKAGE", "PRIMARY",
          "PRIOR",     "PROCEDURE", "REFERENCES", "RETURN",   "REVOKE",  "RIGHT",   "ROLLBACK",
          "ROWNUM",    "SELECT",    "SEQUENCE",   "SET",      "START",   "SYNONYM", "TABLE",
          "THEN",      "TO",        "TRIGGER",    "TRUNCATE", "UNION",   "UNIQUE",  "UPDATE",
          "USING",     "VALUES",    "VIEW",       "WHEN",     "WHERE",   "WITH"})
      set.insert(QString::fromLatin1(w));
    return set;
  }();
  return words;
}

bool IsWordChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
         c == QLatin1Char('#');
}

}  // namespace

SqlHighlighter::SqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  keyword_.setForeground(QColor(0x00, 0x00, 0xC0));
  keyword_.setFontWeight(QFont::Bold);
  string_.setForeground(QColor(0xA0, 0x20, 0x20));
  number_.setForeground(QColor(0x00, 0x80, 0x80));
  comment_.setForeground(QColor(0x00, 0x80, 0x00));
}

void SqlHighlighter::highlightBlock(const QString& text) {
  const qsizetype n = text.size();
  qsizetype i = 0;
  int state = previousBlockState() == InComment || previousBlockState() == InString
                  ? previousBlockState()
                  : Plain;
  // A comment or string runs from its opening up to its closing text, or on to the next line.
  const auto finish = [&](qsizetype from, qsizetype searchFrom, const QString& close,
                          const QTextCharFormat& format, State open) {
    const qsizetype end = text.indexOf(close, searchFrom);
    const qsizetype stop = end < 0 ? n : end + close.size();
    setFormat(int(from), int(stop - from), format);
    state = end < 0 ? open : Plain;
    return stop;
  };
  if (state == InComment) i = finish(0, 0, QStringLiteral("*/"), comment_, InComment);
  if (state == InString) i = finish(0, 0, QStringLiteral("'"), string_, InString);
  while (i < n) {
    const QChar c = text[i];
    const QChar next = i + 1 < n ? text[i + 1] : QChar();
    if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
      setFormat(int(i), int(n - i), comment_);
      break;
    }
    if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
      i = finish(i, i + 2, QStringLiteral("*/"), comment_, InComment);
      continue;
    }
    if (c == QLatin1Char('\'')) {
      // A doubled quote inside a literal reads as a literal ending and the next beginning at
      // once, which colours the same.
      i = finish(i, i + 1, QStringLiteral("'"), string_, InString);
      continue;
    }
    if (IsWordChar(c)) {
      qsizetype end = i;
      while (end < n && IsWordChar(text[end])) ++end;
      const QString word = text.mid(i, end - i);
      if (c.isDigit()) {
        setFormat(int(i), int(end - i), number_);
      } else if (Keywords().contains(word.toUpper())) {
        setFormat(int(i), int(end - i), keyword_);
      }
      i = end;
      continue;
    }
    ++i;
  }
  setCurrentBlockState(state);
}
