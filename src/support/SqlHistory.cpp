#include "support/SqlHistory.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace {

// The marker lines mSb_WriteSQLLog puts around each statement.
const QRegularExpression kStart(QStringLiteral(R"(^/\* <-+ START SQL\((.*)\) -+> \*/$)"));
const QRegularExpression kEnd(QStringLiteral(R"(^/\* <-+ END SQL \(.*\) -+> \*/$)"));

void ReadFile(const QString& path, QList<SqlHistoryEntry>& entries) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return;
  // Lines end with CR LF, or with a bare LF inside statements written by older versions.
  const QStringList lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
  bool inBlock = false;
  SqlHistoryEntry entry;
  QStringList body;
  for (QString line : lines) {
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const QRegularExpressionMatch start = kStart.match(line);
    if (start.hasMatch()) {
      inBlock = true;
      entry.start = QDateTime::fromString(start.captured(1), QStringLiteral("yyyy/MM/dd H:mm:ss"));
      body.clear();
    } else if (inBlock && kEnd.match(line).hasMatch()) {
      inBlock = false;
      entry.sql = body.join(QLatin1Char('\n'));
      entries.append(entry);
    } else if (inBlock) {
      body.append(line);
    }
  }
}

}  // namespace

QList<SqlHistoryEntry> ReadSqlHistory(const QString& folder) {
  QList<SqlHistoryEntry> entries;
  const QDir dir(folder);
  for (const QString& name :
       dir.entryList({QStringLiteral("SQL????????.log")}, QDir::Files, QDir::Name))
    ReadFile(dir.filePath(name), entries);
  // Files by day and blocks by position are oldest first; reversing keeps that order within
  // a second once sorted newest first.
  std::reverse(entries.begin(), entries.end());
  std::stable_sort(
      entries.begin(), entries.end(),
      [](const SqlHistoryEntry& a, const SqlHistoryEntry& b) { return a.start > b.start; });
  return entries;
}
