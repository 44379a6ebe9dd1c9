#include "app/DictionarySql.h"

#include <array>
#include <utility>

namespace dictsql {

namespace {

const QString kUsersColumns = QStringLiteral(
    "SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME as ﾕｰｻﾞｰ名, STATUS as 処理状況,MACHINE as ﾏｼﾝ名,"
    "TERMINAL as 端末名,OSUSER as OSﾕｰｻﾞｰ,PROGRAM as Oracle接続ｿﾌﾄ,LOGON_TIME as ﾛｸﾞｵﾝ時間");

const std::array<std::pair<const char16_t*, const char16_t*>, 12> kFixedQueries{{
    {u"mnuSqlUserGrant", u"select * from session_privs"},
    {u"mnuSqlUserRole", u"select * from session_roles"},
    {u"mnuSqlUserTables", u"select * from user_tables"},
    {u"mnuSqlAllUsers", u"select * from all_users"},
    {u"mnuSqlDBAGrant", u"SELECT * FROM DBA_SYS_PRIVS"},
    {u"mnuSqlDBARole", u"SELECT * FROM DBA_ROLE_PRIVS"},
    {u"mnuSqlAllTables", u"select * from all_tables"},
    {u"mnuSqlAllFields", u"select * from user_tab_columns"},
    {u"mnuSqlAllView", u"select * from all_views"},
    {u"mnuSqlAllObject", u"select * from all_objects"},
    {u"mnuSqlSysDate", u"select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL"},
    {u"mnuSqlVer", u"select * from v$version"},
}};

QString TableLiteral(const QString& tableName) {
  return QuotedLiteralText(tableName.toUpper());
}

}  // namespace

QString QuotedLiteralText(const QString& text) {
  QString out = text;
  return out.replace(QLatin1Char('\''), QStringLiteral("''"));
}

QString ConnectedUsersSql() {
  return kUsersColumns + QStringLiteral(" FROM V$SESSION WHERE USERNAME IS NOT NULL");
}

QString ConnectedUsersExSql() {
  return kUsersColumns + QStringLiteral(",") +
         QStringLiteral("        V$SQL.SQL_TEXT as 最後に使用したSQL") +
         QStringLiteral(" FROM V$SESSION, V$SQL ") +
         QStringLiteral(
             " WHERE USERNAME IS NOT NULL AND V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)");
}

QString TableFieldsSql(const QString& tableName) {
  return QStringLiteral(
             "select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE "
             "from user_tab_columns where upper(TABLE_NAME) = '") +
         TableLiteral(tableName) + QStringLiteral("' order by COLUMN_ID");
}

QString TableIndexSql(const QString& tableName) {
  return QStringLiteral(
             "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where upper(TABLE_NAME) = '") +
         TableLiteral(tableName) + QStringLiteral("' order by INDEX_NAME,COLUMN_POSITION");
}

QString LogRangeCondition(const QString& startAnswer, const QString& endAnswer) {
  const QString start = startAnswer.trimmed();
  const QString end = endAnswer.trimmed();
  const QString lower = start.isEmpty() ? QString()
                                        : QStringLiteral("FIRST_LOAD_TIME >= '") +
                                              QuotedLiteralText(start) + QLatin1Char('\'');
  const QString upper = end.isEmpty() ? QString()
                                      : QStringLiteral("FIRST_LOAD_TIME <= '") +
                                            QuotedLiteralText(end) + QLatin1Char('\'');
  if (lower.isEmpty() && upper.isEmpty()) return QString();
  if (lower.isEmpty()) return QStringLiteral("where ") + upper;
  if (upper.isEmpty()) return QStringLiteral("where ") + lower;
  return QStringLiteral("where ") + lower + QStringLiteral(" and ") + upper;
}

QString SqlLogSql(const QString& condition) {
  return QStringLiteral("select * from V$SQL ") + condition +
         QStringLiteral(" order by FIRST_LOAD_TIME desc");
}

QString SqlLogLoadSql(const QString& condition) {
  return QStringLiteral(
             "select SQL_TEXT as SQL_LOG,DISK_READS as Disk_Read_Count,BUFFER_GETS as "
             "Used_Memory, FIRST_LOAD_TIME as TIME from V$SQL ") +
         condition + QStringLiteral(" order by FIRST_LOAD_TIME desc");
}

QStringList FixedQueryItems() {
  QStringList items;
  for (const auto& [item, sql] : kFixedQueries) items << QString::fromUtf16(item);
  return items;
}

QString FixedQuerySql(const QString& itemName) {
  for (const auto& [item, sql] : kFixedQueries) {
    if (itemName == QString::fromUtf16(item)) return QString::fromUtf16(sql);
  }
  return QString();
}

}  // namespace dictsql
