#include "cli/SqlScript.h"

namespace cli {

QStringList SplitStatements(const QString& script) {
  QStringList statements;
  QString current;
  auto finish = [&] {
    if (!current.trimmed().isEmpty()) statements << current.trimmed();
    current.clear();
  };
  QString text = script;
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    const QString trimmed = line.trimmed();
    if (trimmed == QLatin1String("/")) {
      finish();
      continue;
    }
    if (trimmed.endsWith(QLatin1Char(';'))) {
      current += trimmed.left(trimmed.size() - 1);
      finish();
      continue;
    }
    current += line + QLatin1Char('\n');
  }
  finish();
  return statements;
}

bool ParseLogon(const QString& text, Logon* out) {
  const qsizetype slash = text.indexOf(QLatin1Char('/'));
  if (slash <= 0) return false;
  const qsizetype at = text.indexOf(QLatin1Char('@'), slash + 1);
  if (at < 0 || at == slash + 1 || at + 1 >= text.size()) return false;
  out->user = text.left(slash);
  out->password = text.mid(slash + 1, at - slash - 1);
  out->host = text.mid(at + 1);
  return true;
}

namespace {

QString Quoted(const QString& value) {
  QString q = value;
  q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + q + QLatin1Char('"');
}

bool NeedsQuotes(const QString& value, OutputFormat format) {
  for (const QChar c : value) {
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) return true;
    if (format == OutputFormat::Csv && (c == QLatin1Char(',') || c == QLatin1Char('"')))
      return true;
    if (format == OutputFormat::Tabs && c == QLatin1Char('\t')) return true;
  }
  return format == OutputFormat::Tabs && value.startsWith(QLatin1Char('"'));
}

}  // namespace

QString FormatRow(const QStringList& values, OutputFormat format) {
  const QChar separator = format == OutputFormat::Csv ? QLatin1Char(',') : QLatin1Char('\t');
  QString line;
  for (qsizetype i = 0; i < values.size(); ++i) {
    if (i) line += separator;
    line += NeedsQuotes(values[i], format) ? Quoted(values[i]) : values[i];
  }
  return line + QLatin1Char('\n');
}

}  // namespace cli
