#pragma once
// The application log "Querna.log" and the daily SQL history "SQLyyyymmdd.log", both in the
// program folder. Each call opens, appends and closes; every failure is silent.
#include <QDate>
#include <QString>

// Appends one entry to the application log; isError chooses the marker "-->Err:" over "-->LOG:".
// A text that is empty or blanks only writes nothing.
void mSb_WriteLog(const QString& text, bool isError);
// Appends one statement block to today's SQL history. A blank statement writes nothing.
void mSb_WriteSQLLog(const QString& sql);

// The path of the application log and of the history file for a day.
QString LogFilePath();
QString SqlLogFilePath(const QDate& day);
