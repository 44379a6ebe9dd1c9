#pragma once
// Pieces of the local engine shared by its source files.
#include <sqlite3.h>

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>

namespace ora::local {

inline constexpr int kDemoSchemaVersion = 3;

// The accounts a database knows (DEMO, or a file that carries a QUERNA_ACCOUNTS table).
struct Account {
  QString user;  // upper case
  QString password;
  bool dba = false;
};

// One logon of this program on a database, as V$SESSION shows it.
struct SessionRow {
  int sid = 0;
  int serial = 0;
  QString user;
  QDateTime logonTime;
  quint32 sqlHash = 0;
  quint32 prevHash = 0;
};

// One statement run on a database, as V$SQL shows it.
struct SqlRow {
  QString text;
  quint32 hash = 0;
  QDateTime firstLoad;
  QDateTime lastLoad;
  qint64 executions = 0;
  qint64 diskReads = 0;
  qint64 bufferGets = 0;
  qint64 rowsProcessed = 0;
  qint64 parseCalls = 0;
  QString parsingUser;
};

// The bookkeeping of one database file shared by the sessions of this program: its sessions and
// its SQL area. Lives in memory only.
class Instance {
 public:
  // Shared by the connections to the file: a connection still open when the program ends (its
  // global session table is destroyed after this map) keeps its instance.
  static std::shared_ptr<Instance> For(const QString& canonicalPath);

  int AddSession(const QString& user);  // returns the SID
  void RemoveSession(int sid);
  // Records a statement run by session sid; returns its hash value.
  quint32 RecordSql(int sid, const QString& text, const QString& user);
  void AddFigures(quint32 hash, qint64 rows, qint64 gets, qint64 reads);
  QList<SessionRow> Sessions() const;
  QList<SqlRow> SqlArea() const;

 private:
  mutable std::mutex mu_;
  QList<SessionRow> sessions_;
  QList<SqlRow> sql_;
  QHash<quint32, int> sqlIndex_;
  int nextSid_ = 7;
  int nextSerial_ = 101;
};

quint32 SqlHash(const QString& text);

// What the dictionary needs to know about the logged-on user.
struct DictUser {
  QString user;  // upper case
  bool dba = false;
  bool hasAccounts = false;  // the database carries accounts (else every object is the user's)
  QList<Account> accounts;
  QHash<QString, QString> owners;  // upper object name -> owner (from QUERNA_OWNERS)
  QString defaultOwner;            // owner of objects not in QUERNA_OWNERS
  int sid = 0;
  QString dbPath;
};

// Builds the dictionary views of the connection in its temp schema, and gives the names of the
// columns declared as dates anywhere in the database (upper case), which the rewriting uses for
// date arithmetic. Returns false with an SQLite message on failure.
bool BuildDictionary(sqlite3* db, const DictUser& u, QSet<QString>* dateColumns, QString* error);
// Refreshes V$SESSION and V$SQL of the connection from the instance.
void RefreshDynamicViews(sqlite3* db, const DictUser& u, Instance& inst);

// Registers the Oracle SQL functions on a connection. user is what USER returns.
void RegisterOracleFunctions(sqlite3* db, const QString* user);

// name as a double-quoted SQLite identifier.
QString QuotedIdentifier(const QString& name);

// Creates the sample database at path (overwriting it). Returns false on failure.
bool CreateDemoDatabase(const QString& path, QString* error);

// The days of month m (1 to 12) of year y in the proleptic Gregorian calendar.
inline int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

// Whether the fields name a time of the years 1 to 9999 (seconds below 60).
inline bool IsValidDateTime(int y, int mo, int d, int h, int mi, int sec) {
  return y >= 1 && mo >= 1 && mo <= 12 && d >= 1 && d <= DaysInMonth(y, mo) && h <= 23 &&
         mi <= 59 && sec <= 59;
}

// Oracle's DATE is a calendar date and a clock time with no time zone. The engine holds one as
// that date and time in UTC, so that no change of the local clocks can skip it, shift it or
// stretch the days between two dates.
inline QDateTime WallClock(const QDate& date, const QTime& time) {
  return QDateTime(date, time, Qt::UTC);
}
// The local date and time of a moment, to the second, held as the engine holds a DATE.
QDateTime WallClockSecond(const QDateTime& moment);

// The fields of a date in the form the engine stores, "YYYY-MM-DD hh:mm:ss".
struct DateFields {
  int y, mo, d, h, mi, sec;
};
// Reads a valid date in exactly that form straight off the text, a date column being read once
// per row; false for any other text.
bool ReadStoredDate(const char* s, int n, DateFields* f);
QDateTime StoredDateTime(const DateFields& f);

// Parses "YYYY-MM-DD[ HH:MM[:SS]]" (also with T or / separators); invalid when not a date.
QDateTime ParseSqlDate(const char* s, int len);
QDateTime ParseSqlDate(const QString& s);
QString SqlDateText(const QDateTime& dt);

// A declared column type as Oracle would name it.
struct DeclType {
  QString name;    // Oracle type name (VARCHAR2, NUMBER, DATE ...)
  int code = 1;    // Oracle type code
  int length = 0;  // declared length (characters or bytes), 0 when none
  int precision = 0;
  int scale = 0;
  bool hasPrecision = false;
};
DeclType ParseDeclType(const QString& declared);

// Internal tables of the engine that the dictionary never shows.
bool IsInternalTable(const QString& name);

}  // namespace ora::local
