#pragma once
// The pieces of the command-line runner that do not need a database: splitting a script into
// statements, the logon string, and writing one result row as text.
#include <QString>
#include <QStringList>

namespace cli {

// Statements of a script: a statement ends at ";" at the end of a line or at a line holding only
// "/". Text after the last end is a statement too; blank statements are dropped.
QStringList SplitStatements(const QString& script);

struct Logon {
  QString user;
  QString password;
  QString host;
};
// "user/password@host"; the host may be a file path holding "/" and "@". False when a part is
// missing.
bool ParseLogon(const QString& text, Logon* out);

enum class OutputFormat { Tabs, Csv };
// One line of values ended by "\n": tab-separated, or RFC 4180 CSV (fields holding a comma, a
// quote, CR or LF are quoted, quotes doubled). A tab-separated value that holds a tab, CR, LF or
// starts with a quote is quoted the same way, so that every row stays one record.
QString FormatRow(const QStringList& values, OutputFormat format);

}  // namespace cli
