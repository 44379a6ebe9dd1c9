#pragma once
// Reading back the SQL history files the program writes ("SQL" + yyyymmdd + ".log").
#include <QDateTime>
#include <QList>
#include <QString>

struct SqlHistoryEntry {
  QDateTime start;  // the time stamp of the block's START line
  QString sql;      // the statement, lines separated by LF
};

// The statements of every history file in the folder, newest first (a later block of the same
// second before an earlier one). A block without its END line is left out. Reads only.
QList<SqlHistoryEntry> ReadSqlHistory(const QString& folder);
