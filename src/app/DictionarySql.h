#pragma once
// The SQL texts of the dictionary commands, built from what the user typed into their prompts.
// Kept apart from the windows so the exact texts can be checked on their own.
#include <QString>
#include <QStringList>

namespace dictsql {

// Connected users.
QString ConnectedUsersSql();
// Connected users with the last statement each one ran.
QString ConnectedUsersExSql();

// The columns and the indexes of the table typed into the prompt. The answer is upper-cased with
// its blanks kept, and a quote in it is doubled so that it stays inside the literal.
QString TableFieldsSql(const QString& tableName);
QString TableIndexSql(const QString& tableName);

// The range condition on FIRST_LOAD_TIME from the answers of the start and end prompts (blank
// answers leave their bound out); empty when both are blank, else it starts with "where ".
QString LogRangeCondition(const QString& startAnswer, const QString& endAnswer);
// The server's SQL area, and the same with load figures, limited by a range condition.
QString SqlLogSql(const QString& condition);
QString SqlLogLoadSql(const QString& condition);

// The menu items whose query never changes, in menu order, and the query of one of them (empty
// for any other item).
QStringList FixedQueryItems();
QString FixedQuerySql(const QString& itemName);

// A typed text made safe between single quotes: every quote doubled.
QString QuotedLiteralText(const QString& text);

}  // namespace dictsql
