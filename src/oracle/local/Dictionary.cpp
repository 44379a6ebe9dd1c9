// The data dictionary of the local engine: USER_/ALL_/DBA_ views and V$ views, kept as tables in
// the temp schema of each connection, filled from sqlite_master, the table pragmas and the
// engine's own bookkeeping of sessions and statements.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>
#include <QVariant>
#include <map>
#include <vector>

#include "oracle/local/LocalInternal.h"

namespace ora::local {

// ---------------------------------------------------------------------------------------------
// Instance bookkeeping

std::shared_ptr<Instance> Instance::For(const QString& canonicalPath) {
  static std::mutex mu;
  static std::map<QString, std::shared_ptr<Instance>> map;
  std::lock_guard<std::mutex> lock(mu);
  std::shared_ptr<Instance>& inst = map[canonicalPath];
  if (!inst) inst = std::make_shared<Instance>();
  return inst;
}

int Instance::AddSession(const QString& user) {
  std::lock_guard<std::mutex> lock(mu_);
  SessionRow r;
  r.sid = nextSid_++;
  r.serial = nextSerial_;
  nextSerial_ += 37;
  r.user = user;
  r.logonTime = WallClockSecond(QDateTime::currentDateTime());
  sessions_.push_back(r);
  return r.sid;
}

void Instance::RemoveSession(int sid) {
  std::lock_guard<std::mutex> lock(mu_);
  for (int i = 0; i < sessions_.size(); ++i)
    if (sessions_[i].sid == sid) {
      sessions_.removeAt(i);
      return;
    }
}

quint32 SqlHash(const QString& text) {
  const QByteArray b = text.toUtf8();
  quint32 h = 2166136261u;
  for (char c : b) {
    h ^= quint8(c);
    h *= 16777619u;
  }
  return h;
}

quint32 Instance::RecordSql(int sid, const QString& text, const QString& user) {
  const quint32 hash = SqlHash(text);
  const QDateTime now = QDateTime::currentDateTime();
  std::lock_guard<std::mutex> lock(mu_);
  auto it = sqlIndex_.find(hash);
  if (it != sqlIndex_.end() && sql_[*it].text == text) {
    SqlRow& r = sql_[*it];
    ++r.executions;
    ++r.parseCalls;
    r.lastLoad = now;
  } else {
    if (sql_.size() >= 5000) {
      sql_.removeFirst();
      sqlIndex_.clear();
      for (int i = 0; i < sql_.size(); ++i) sqlIndex_.insert(sql_[i].hash, i);
    }
    SqlRow r;
    r.text = text;
    r.hash = hash;
    r.firstLoad = now;
    r.lastLoad = now;
    r.executions = 1;
    r.parseCalls = 1;
    r.parsingUser = user;
    sqlIndex_.insert(hash, int(sql_.size()));
    sql_.push_back(r);
  }
  for (SessionRow& s : sessions_)
    if (s.sid == sid) {
      s.prevHash = s.sqlHash;
      s.sqlHash = hash;
    }
  return hash;
}

void Instance::AddFigures(quint32 hash, qint64 rows, qint64 gets, qint64 reads) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = sqlIndex_.find(hash);
  if (it == sqlIndex_.end()) return;
  SqlRow& r = sql_[*it];
  r.rowsProcessed += rows;
  r.bufferGets += gets;
  r.diskReads += reads;
}

QList<SessionRow> Instance::Sessions() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sessions_;
}

QList<SqlRow> Instance::SqlArea() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sql_;
}

// ---------------------------------------------------------------------------------------------
// Declared types

// One branch per family of declared type names, in the order SQLite's own affinity rules read
// them; kept as one flat list because splitting it would only scatter that order.
DeclType ParseDeclType(const QString& declared) {
  DeclType t;
  const QString d = declared.trimmed().toUpper();
  const int paren = int(d.indexOf(QLatin1Char('(')));
  QString base = (paren < 0 ? d : d.left(paren)).simplified();
  QStringList args;
  if (paren >= 0) {
    const int close = int(d.indexOf(QLatin1Char(')'), paren));
    args = d.mid(paren + 1, (close < 0 ? d.size() : close) - paren - 1).split(QLatin1Char(','));
  }
  auto arg = [&](int i) {
    if (i >= args.size()) return 0;
    QString a = args[i].trimmed();
    a = a.section(QLatin1Char(' '), 0, 0);  // "10 CHAR"
    return a == QLatin1String("*") ? 38 : a.toInt();
  };
  auto set = [&](const char* name, int code) {
    t.name = QString::fromLatin1(name);
    t.code = code;
  };
  if (base == QLatin1String("VARCHAR2") || base == QLatin1String("NVARCHAR2") ||
      base == QLatin1String("VARCHAR") || base == QLatin1String("NVARCHAR") ||
      base == QLatin1String("CHARACTER VARYING") || base == QLatin1String("VARYING CHARACTER") ||
      base == QLatin1String("NATIONAL VARCHAR") || base == QLatin1String("TEXT") ||
      base == QLatin1String("STRING")) {
    set(base.startsWith(QLatin1Char('N')) && base != QLatin1String("NATIONAL VARCHAR") ? "NVARCHAR2"
                                                                                       : "VARCHAR2",
        1);
    t.length = arg(0);
  } else if (base == QLatin1String("CHAR") || base == QLatin1String("NCHAR") ||
             base == QLatin1String("CHARACTER") || base == QLatin1String("NATIVE CHARACTER")) {
    set(base == QLatin1String("NCHAR") ? "NCHAR" : "CHAR", 96);
    t.length = args.isEmpty() ? 1 : arg(0);
  } else if (base == QLatin1String("NUMBER") || base == QLatin1String("NUMERIC") ||
             base == QLatin1String("DECIMAL") || base == QLatin1String("DEC")) {
    set("NUMBER", 2);
    t.precision = arg(0);
    t.scale = arg(1);
    t.hasPrecision = !args.isEmpty();
  } else if (base == QLatin1String("INTEGER") || base == QLatin1String("INT") ||
             base == QLatin1String("BIGINT") || base == QLatin1String("SMALLINT") ||
             base == QLatin1String("TINYINT") || base == QLatin1String("MEDIUMINT") ||
             base == QLatin1String("INT2") || base == QLatin1String("INT8") ||
             base == QLatin1String("UNSIGNED BIG INT")) {
    set("NUMBER", 2);
    t.precision = 38;
    t.scale = 0;
    t.hasPrecision = true;
  } else if (base == QLatin1String("REAL") || base == QLatin1String("DOUBLE") ||
             base == QLatin1String("DOUBLE PRECISION") || base == QLatin1String("FLOAT") ||
             base == QLatin1String("BINARY_DOUBLE") || base == QLatin1String("BINARY_FLOAT")) {
    set("FLOAT", 2);
    t.precision = 126;
    t.scale = 0;
  } else if (base == QLatin1String("BOOLEAN") || base == QLatin1String("BOOL")) {
    set("NUMBER", 2);
    t.precision = 1;
    t.hasPrecision = true;
  } else if (base == QLatin1String("LONG")) {
    set("LONG", 8);
  } else if (base == QLatin1String("LONG RAW")) {
    set("LONG RAW", 24);
  } else if (base == QLatin1String("RAW")) {
    set("RAW", 23);
    t.length = arg(0);
  } else if (base == QLatin1String("BLOB")) {
    set("BLOB", 24);
  } else if (base == QLatin1String("CLOB") || base == QLatin1String("NCLOB")) {
    set("CLOB", 112);
  } else if (base == QLatin1String("DATE") || base == QLatin1String("DATETIME")) {
    set("DATE", 12);
  } else if (base.startsWith(QLatin1String("TIMESTAMP"))) {
    set("TIMESTAMP", 187);
    t.scale = args.isEmpty() ? 6 : arg(0);
  } else if (base == QLatin1String("ROWID") || base == QLatin1String("UROWID")) {
    set("ROWID", 11);
  } else if (base.isEmpty()) {
    set("VARCHAR2", 1);
  } else if (base.contains(QLatin1String("INT"))) {
    set("NUMBER", 2);
    t.precision = 38;
    t.hasPrecision = true;
  } else if (base.contains(QLatin1String("CHAR")) || base.contains(QLatin1String("CLOB")) ||
             base.contains(QLatin1String("TEXT"))) {
    set("VARCHAR2", 1);
    t.length = arg(0);
  } else if (base.contains(QLatin1String("BLOB"))) {
    set("BLOB", 24);
  } else {
    set("NUMBER", 2);
  }
  return t;
}

bool IsInternalTable(const QString& name) {
  const QString u = name.toUpper();
  return u.startsWith(QLatin1String("SQLITE_")) || u.startsWith(QLatin1String("QUERNA_"));
}

// ---------------------------------------------------------------------------------------------
// Reading the schema

namespace {

struct ColumnDef {
  QString name;
  QString declared;
  DeclType type;
  bool notNull = false;
  QString dflt;
};

struct IndexDef {
  QString name;
  bool unique = false;
  QStringList cols;
};

struct ObjectDef {
  QString name;
  QString owner;
  bool view = false;
  QString sql;
  QList<ColumnDef> cols;
  QList<IndexDef> indexes;
};

QString ColText(sqlite3_stmt* st, int i) {
  const unsigned char* p = sqlite3_column_text(st, i);
  return p ? QString::fromUtf8(reinterpret_cast<const char*>(p), sqlite3_column_bytes(st, i))
           : QString();
}

QList<ObjectDef> ReadSchema(sqlite3* db, const DictUser& u) {
  QList<ObjectDef> out;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT type, name, sql FROM main.sqlite_master WHERE type IN "
                         "('table','view') ORDER BY name",
                         -1, &st, nullptr) != SQLITE_OK)
    return out;
  while (sqlite3_step(st) == SQLITE_ROW) {
    ObjectDef o;
    o.view = ColText(st, 0) == QLatin1String("view");
    o.name = ColText(st, 1);
    o.sql = ColText(st, 2);
    if (IsInternalTable(o.name)) continue;
    const QString upper = o.name.toUpper();
    o.owner = u.hasAccounts ? u.owners.value(upper, u.defaultOwner) : u.user;
    out.push_back(o);
  }
  sqlite3_finalize(st);
  for (ObjectDef& o : out) {
    const QByteArray q = ("PRAGMA main.table_info(" + QuotedIdentifier(o.name) + ")").toUtf8();
    if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        ColumnDef c;
        c.name = ColText(st, 1);
        c.declared = ColText(st, 2);
        c.type = ParseDeclType(c.declared);
        c.notNull = sqlite3_column_int(st, 3) != 0 || sqlite3_column_int(st, 5) != 0;
        c.dflt = ColText(st, 4);
        o.cols.push_back(c);
      }
    }
    sqlite3_finalize(st);
    if (o.view) continue;
    const QByteArray qi = ("PRAGMA main.index_list(" + QuotedIdentifier(o.name) + ")").toUtf8();
    if (sqlite3_prepare_v2(db, qi.constData(), -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        IndexDef ix;
        ix.name = ColText(st, 1);
        ix.unique = sqlite3_column_int(st, 2) != 0;
        o.indexes.push_back(ix);
      }
    }
    sqlite3_finalize(st);
    for (IndexDef& ix : o.indexes) {
      const QByteArray qc = ("PRAGMA main.index_info(" + QuotedIdentifier(ix.name) + ")").toUtf8();
      if (sqlite3_prepare_v2(db, qc.constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) ix.cols.push_back(ColText(st, 2));
      }
      sqlite3_finalize(st);
    }
  }
  return out;
}

// ---------------------------------------------------------------------------------------------
// Writing the dictionary tables

bool Exec(sqlite3* db, const QString& sql, QString* error) {
  char* msg = nullptr;
  if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
    if (error) *error = QString::fromUtf8(msg ? msg : "?") + QStringLiteral(" in ") + sql.left(200);
    sqlite3_free(msg);
    return false;
  }
  return true;
}

class Inserter {
 public:
  Inserter(sqlite3* db, const QString& table, int ncols) {
    QString sql =
        QStringLiteral("INSERT INTO temp.") + QuotedIdentifier(table) + QStringLiteral(" VALUES(");
    for (int i = 0; i < ncols; ++i) sql += i ? QStringLiteral(",?") : QStringLiteral("?");
    sql += QLatin1Char(')');
    sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st_, nullptr);
  }
  ~Inserter() { sqlite3_finalize(st_); }
  void row(const QVariantList& values) {
    if (!st_) return;
    sqlite3_reset(st_);
    for (int i = 0; i < values.size(); ++i) {
      const QVariant& v = values[i];
      if (!v.isValid() || v.isNull()) {
        sqlite3_bind_null(st_, i + 1);
      } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
                 v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::ULongLong) {
        sqlite3_bind_int64(st_, i + 1, v.toLongLong());
      } else if (v.typeId() == QMetaType::Double) {
        sqlite3_bind_double(st_, i + 1, v.toDouble());
      } else if (v.typeId() == QMetaType::QDateTime) {
        const QByteArray b = SqlDateText(v.toDateTime()).toUtf8();
        sqlite3_bind_text(st_, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
      } else {
        const QByteArray b = v.toString().toUtf8();
        sqlite3_bind_text(st_, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
      }
    }
    sqlite3_step(st_);
  }

 private:
  sqlite3_stmt* st_ = nullptr;
};

struct ViewDef {
  const char* name;
  const char* columns;
  const char* comment;
};

const char* const kTablesCols =
    "TABLE_NAME VARCHAR2(128), TABLESPACE_NAME VARCHAR2(30), CLUSTER_NAME VARCHAR2(128), "
    "IOT_NAME VARCHAR2(128), STATUS VARCHAR2(8), PCT_FREE NUMBER, PCT_USED NUMBER, "
    "INI_TRANS NUMBER, MAX_TRANS NUMBER, INITIAL_EXTENT NUMBER, NEXT_EXTENT NUMBER, "
    "MIN_EXTENTS NUMBER, MAX_EXTENTS NUMBER, LOGGING VARCHAR2(3), BACKED_UP VARCHAR2(1), "
    "NUM_ROWS NUMBER, BLOCKS NUMBER, EMPTY_BLOCKS NUMBER, AVG_ROW_LEN NUMBER, "
    "LAST_ANALYZED DATE, PARTITIONED VARCHAR2(3), TEMPORARY VARCHAR2(1), NESTED VARCHAR2(3)";
const char* const kTabColumnsCols =
    "TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(128), DATA_TYPE VARCHAR2(128), "
    "DATA_TYPE_MOD VARCHAR2(3), DATA_TYPE_OWNER VARCHAR2(128), DATA_LENGTH NUMBER, "
    "DATA_PRECISION NUMBER, DATA_SCALE NUMBER, NULLABLE VARCHAR2(1), COLUMN_ID NUMBER, "
    "DEFAULT_LENGTH NUMBER, DATA_DEFAULT LONG, NUM_DISTINCT NUMBER, CHAR_LENGTH NUMBER, "
    "CHAR_USED VARCHAR2(1)";
const char* const kIndColumnsCols =
    "INDEX_NAME VARCHAR2(128), TABLE_OWNER VARCHAR2(128), TABLE_NAME VARCHAR2(128), "
    "COLUMN_NAME VARCHAR2(4000), COLUMN_POSITION NUMBER, COLUMN_LENGTH NUMBER, "
    "CHAR_LENGTH NUMBER, DESCEND VARCHAR2(4)";
const char* const kIndexesCols =
    "INDEX_NAME VARCHAR2(128), INDEX_TYPE VARCHAR2(27), TABLE_OWNER VARCHAR2(128), "
    "TABLE_NAME VARCHAR2(128), TABLE_TYPE VARCHAR2(11), UNIQUENESS VARCHAR2(9), "
    "TABLESPACE_NAME VARCHAR2(30), STATUS VARCHAR2(8)";
const char* const kViewsCols =
    "VIEW_NAME VARCHAR2(128), TEXT_LENGTH NUMBER, TEXT LONG, TYPE_TEXT_LENGTH NUMBER, "
    "TYPE_TEXT VARCHAR2(4000), OID_TEXT_LENGTH NUMBER, OID_TEXT VARCHAR2(4000), "
    "VIEW_TYPE_OWNER VARCHAR2(128), VIEW_TYPE VARCHAR2(128), SUPERVIEW_NAME VARCHAR2(128)";
const char* const kObjectsCols =
    "OBJECT_NAME VARCHAR2(128), SUBOBJECT_NAME VARCHAR2(128), OBJECT_ID NUMBER, "
    "DATA_OBJECT_ID NUMBER, OBJECT_TYPE VARCHAR2(23), CREATED DATE, LAST_DDL_TIME DATE, "
    "TIMESTAMP VARCHAR2(19), STATUS VARCHAR2(7), TEMPORARY VARCHAR2(1), GENERATED VARCHAR2(1), "
    "SECONDARY VARCHAR2(1)";
const char* const kSqlCols =
    "SQL_TEXT VARCHAR2(1000), SQL_ID VARCHAR2(13), SHARABLE_MEM NUMBER, PERSISTENT_MEM NUMBER, "
    "RUNTIME_MEM NUMBER, SORTS NUMBER, LOADED_VERSIONS NUMBER, OPEN_VERSIONS NUMBER, "
    "USERS_OPENING NUMBER, EXECUTIONS NUMBER, USERS_EXECUTING NUMBER, LOADS NUMBER, "
    "FIRST_LOAD_TIME VARCHAR2(19), INVALIDATIONS NUMBER, PARSE_CALLS NUMBER, DISK_READS NUMBER, "
    "BUFFER_GETS NUMBER, ROWS_PROCESSED NUMBER, COMMAND_TYPE NUMBER, OPTIMIZER_MODE "
    "VARCHAR2(10), PARSING_USER_ID NUMBER, PARSING_SCHEMA_ID NUMBER, PARSING_SCHEMA_NAME "
    "VARCHAR2(128), ADDRESS VARCHAR2(16), HASH_VALUE NUMBER, MODULE VARCHAR2(64), ACTION "
    "VARCHAR2(64), LAST_LOAD_TIME VARCHAR2(19), ELAPSED_TIME NUMBER, CPU_TIME NUMBER";

struct DictTable {
  QString name;
  QString columns;
  QString comment;
};

// Every dictionary view with its columns; a long function only because it is one table of data.
QList<DictTable> DictionaryTables() {
  auto s = [](const char* a) { return QString::fromLatin1(a); };
  auto owner = [](const char* cols) {
    return QStringLiteral("OWNER VARCHAR2(128), ") + QString::fromLatin1(cols);
  };
  return {
      {s("DUAL"), s("DUMMY VARCHAR2(1)"), s("One row, one column")},
      {s("USER_TABLES"), s(kTablesCols), s("Description of the user's own relational tables")},
      {s("ALL_TABLES"), owner(kTablesCols),
       s("Description of relational tables accessible to the user")},
      {s("DBA_TABLES"), owner(kTablesCols),
       s("Description of all relational tables in the database")},
      {s("USER_TAB_COLUMNS"), s(kTabColumnsCols),
       s("Columns of user's tables, views and clusters")},
      {s("ALL_TAB_COLUMNS"), owner(kTabColumnsCols),
       s("Columns of user's tables, views and clusters")},
      {s("DBA_TAB_COLUMNS"), owner(kTabColumnsCols),
       s("Columns of user's tables, views and clusters")},
      {s("USER_IND_COLUMNS"),
       s("INDEX_NAME VARCHAR2(128), TABLE_NAME VARCHAR2(128), COLUMN_NAME VARCHAR2(4000), "
         "COLUMN_POSITION NUMBER, COLUMN_LENGTH NUMBER, CHAR_LENGTH NUMBER, DESCEND VARCHAR2(4)"),
       s("COLUMNs comprising user's INDEXes and INDEXes on user's TABLES")},
      {s("ALL_IND_COLUMNS"), QStringLiteral("INDEX_OWNER VARCHAR2(128), ") + s(kIndColumnsCols),
       s("COLUMNs comprising INDEXes on accessible TABLES")},
      {s("DBA_IND_COLUMNS"), QStringLiteral("INDEX_OWNER VARCHAR2(128), ") + s(kIndColumnsCols),
       s("COLUMNs comprising INDEXes on all TABLEs and CLUSTERs")},
      {s("USER_INDEXES"), s(kIndexesCols), s("Description of the user's own indexes")},
      {s("ALL_INDEXES"), owner(kIndexesCols),
       s("Descriptions of indexes on tables accessible to the user")},
      {s("DBA_INDEXES"), owner(kIndexesCols), s("Description for all indexes in the database")},
      {s("ALL_USERS"), s("USERNAME VARCHAR2(128), USER_ID NUMBER, CREATED DATE"),
       s("Information about all users of the database")},
      {s("USER_USERS"),
       s("USERNAME VARCHAR2(128), USER_ID NUMBER, ACCOUNT_STATUS VARCHAR2(32), "
         "DEFAULT_TABLESPACE VARCHAR2(30), TEMPORARY_TABLESPACE VARCHAR2(30), CREATED DATE"),
       s("Information about the current user")},
      {s("DBA_USERS"),
       s("USERNAME VARCHAR2(128), USER_ID NUMBER, ACCOUNT_STATUS VARCHAR2(32), LOCK_DATE DATE, "
         "EXPIRY_DATE DATE, DEFAULT_TABLESPACE VARCHAR2(30), TEMPORARY_TABLESPACE VARCHAR2(30), "
         "CREATED DATE, PROFILE VARCHAR2(128)"),
       s("Information about all users of the database")},
      {s("SESSION_PRIVS"), s("PRIVILEGE VARCHAR2(40)"),
       s("Privileges which the user currently has set")},
      {s("SESSION_ROLES"), s("ROLE VARCHAR2(128)"),
       s("Roles which the user currently has enabled")},
      {s("USER_SYS_PRIVS"),
       s("USERNAME VARCHAR2(128), PRIVILEGE VARCHAR2(40), ADMIN_OPTION VARCHAR2(3)"),
       s("System privileges granted to current user")},
      {s("USER_ROLE_PRIVS"),
       s("USERNAME VARCHAR2(128), GRANTED_ROLE VARCHAR2(128), ADMIN_OPTION VARCHAR2(3), "
         "DEFAULT_ROLE VARCHAR2(3), OS_GRANTED VARCHAR2(3)"),
       s("Roles granted to current user")},
      {s("DBA_SYS_PRIVS"),
       s("GRANTEE VARCHAR2(128), PRIVILEGE VARCHAR2(40), ADMIN_OPTION VARCHAR2(3)"),
       s("System privileges granted to users and roles")},
      {s("DBA_ROLE_PRIVS"),
       s("GRANTEE VARCHAR2(128), GRANTED_ROLE VARCHAR2(128), ADMIN_OPTION VARCHAR2(3), "
         "DEFAULT_ROLE VARCHAR2(3)"),
       s("Roles granted to users and roles")},
      {s("DBA_ROLES"), s("ROLE VARCHAR2(128), PASSWORD_REQUIRED VARCHAR2(8)"),
       s("All Roles which exist in the database")},
      {s("USER_VIEWS"), s(kViewsCols), s("Description of the user's own views")},
      {s("ALL_VIEWS"), owner(kViewsCols), s("Description of views accessible to the user")},
      {s("DBA_VIEWS"), owner(kViewsCols), s("Description of all views in the database")},
      {s("USER_OBJECTS"), s(kObjectsCols), s("Objects owned by the user")},
      {s("ALL_OBJECTS"), owner(kObjectsCols), s("Objects accessible to the user")},
      {s("DBA_OBJECTS"), owner(kObjectsCols), s("All objects in the database")},
      {s("TAB"), s("TNAME VARCHAR2(128), TABTYPE VARCHAR2(13), CLUSTERID NUMBER"),
       s("Tables, views and synonyms of the user")},
      {s("DICTIONARY"), s("TABLE_NAME VARCHAR2(128), COMMENTS VARCHAR2(4000)"),
       s("Description of data dictionary tables and views")},
      {s("DICT"), s("TABLE_NAME VARCHAR2(128), COMMENTS VARCHAR2(4000)"),
       s("Synonym for DICTIONARY")},
      {s("V$VERSION"), s("BANNER VARCHAR2(80)"), s("Version of the database components")},
      {s("V$INSTANCE"),
       s("INSTANCE_NUMBER NUMBER, INSTANCE_NAME VARCHAR2(16), HOST_NAME VARCHAR2(64), VERSION "
         "VARCHAR2(17), STARTUP_TIME DATE, STATUS VARCHAR2(12), DATABASE_STATUS VARCHAR2(17)"),
       s("State of the current instance")},
      {s("V$DATABASE"),
       s("DBID NUMBER, NAME VARCHAR2(9), CREATED DATE, LOG_MODE VARCHAR2(12), OPEN_MODE "
         "VARCHAR2(20)"),
       s("Database information from the control file")},
      {s("V$SESSION"),
       s("SADDR VARCHAR2(16), SID NUMBER, SERIAL# NUMBER, AUDSID NUMBER, USER# NUMBER, USERNAME "
         "VARCHAR2(128), COMMAND NUMBER, STATUS VARCHAR2(8), SCHEMANAME VARCHAR2(128), OSUSER "
         "VARCHAR2(128), PROCESS VARCHAR2(24), MACHINE VARCHAR2(64), TERMINAL VARCHAR2(30), "
         "PROGRAM VARCHAR2(48), TYPE VARCHAR2(10), SQL_ADDRESS VARCHAR2(16), SQL_HASH_VALUE "
         "NUMBER, PREV_HASH_VALUE NUMBER, MODULE VARCHAR2(64), ACTION VARCHAR2(64), LOGON_TIME "
         "DATE"),
       s("Sessions of the instance")},
      {s("V$SQL"), s(kSqlCols), s("Statements in the shared SQL area")},
      {s("V$SQLAREA"), s(kSqlCols), s("Statements in the shared SQL area")},
  };
}

bool DbaOnly(const QString& name) {
  return name.startsWith(QLatin1String("DBA_")) || name.startsWith(QLatin1String("V$"));
}

const char* const kDbaPrivs[] = {"ALTER ANY TABLE",
                                 "ALTER DATABASE",
                                 "ALTER SESSION",
                                 "ALTER SYSTEM",
                                 "ALTER USER",
                                 "ANALYZE ANY",
                                 "AUDIT ANY",
                                 "CREATE ANY INDEX",
                                 "CREATE ANY TABLE",
                                 "CREATE ANY VIEW",
                                 "CREATE PROCEDURE",
                                 "CREATE PUBLIC SYNONYM",
                                 "CREATE ROLE",
                                 "CREATE SEQUENCE",
                                 "CREATE SESSION",
                                 "CREATE SYNONYM",
                                 "CREATE TABLE",
                                 "CREATE TRIGGER",
                                 "CREATE USER",
                                 "CREATE VIEW",
                                 "DELETE ANY TABLE",
                                 "DROP ANY TABLE",
                                 "DROP ANY VIEW",
                                 "DROP USER",
                                 "EXECUTE ANY PROCEDURE",
                                 "GRANT ANY OBJECT PRIVILEGE",
                                 "GRANT ANY PRIVILEGE",
                                 "GRANT ANY ROLE",
                                 "INSERT ANY TABLE",
                                 "SELECT ANY DICTIONARY",
                                 "SELECT ANY SEQUENCE",
                                 "SELECT ANY TABLE",
                                 "UNLIMITED TABLESPACE",
                                 "UPDATE ANY TABLE"};
const char* const kResourcePrivs[] = {"CREATE CLUSTER",   "CREATE INDEXTYPE", "CREATE OPERATOR",
                                      "CREATE PROCEDURE", "CREATE SEQUENCE",  "CREATE TABLE",
                                      "CREATE TRIGGER",   "CREATE TYPE"};

QVariant Text(const char* s) {
  return QVariant(QString::fromLatin1(s));
}

QVariant YesNo(bool yes) {
  return yes ? Text("YES") : Text("NO");
}

// The time stamp the dictionary gives the database and its objects: the file's, to the second.
QDateTime CreatedTime(const QString& dbPath) {
  const QDateTime m = QFileInfo(dbPath).lastModified();
  return WallClockSecond(m.isValid() ? m : QDateTime::currentDateTime());
}

// Writes one row to the USER_ view when the owner is the logged-on user, and with the owner in
// front to the ALL_ view and (when present) the DBA_ view.
struct ViewFamily {
  ViewFamily(sqlite3* db, const DictUser& u, const char* suffix, int ncols)
      : user(u.user),
        mine(db, QStringLiteral("USER_") + QLatin1String(suffix), ncols),
        all(db, QStringLiteral("ALL_") + QLatin1String(suffix), ncols + 1) {
    if (u.dba)
      dba =
          std::make_unique<Inserter>(db, QStringLiteral("DBA_") + QLatin1String(suffix), ncols + 1);
  }
  void row(const QString& owner, QVariantList values) {
    if (owner == user) mine.row(values);
    values.prepend(owner);
    all.row(values);
    if (dba) dba->row(values);
  }
  QString user;
  Inserter mine, all;
  std::unique_ptr<Inserter> dba;
};

struct UserRow {
  QString name;
  int id;
  bool dba;
};

// The users the dictionary knows: SYS and SYSTEM, the file's accounts and the logged-on user.
QList<UserRow> KnownUsers(const DictUser& u) {
  QList<UserRow> users = {{QStringLiteral("SYS"), 0, true}, {QStringLiteral("SYSTEM"), 5, true}};
  int nextId = 84;
  auto add = [&](const QString& name, bool dba) {
    for (const UserRow& r : users)
      if (r.name == name) return;
    users.push_back({name, nextId++, dba});
  };
  if (u.hasAccounts)
    for (const Account& a : u.accounts) add(a.user, a.dba);
  add(u.user, u.dba);
  return users;
}

// Who holds which role and system privilege: the built-in roles, then each user's.
struct GrantText {
  QString grantee, what;
  bool admin;
};
struct Grants {
  QList<GrantText> roles;       // grantee -> role
  QList<GrantText> privileges;  // grantee -> privilege
};

Grants AllGrants(const QList<UserRow>& users) {
  Grants g;
  auto s = [](const char* t) { return QString::fromLatin1(t); };
  for (const char* p : kDbaPrivs) g.privileges.push_back({s("DBA"), s(p), true});
  g.privileges.push_back({s("CONNECT"), s("CREATE SESSION"), false});
  for (const char* p : kResourcePrivs) g.privileges.push_back({s("RESOURCE"), s(p), false});
  for (const char* r : {"DBA", "CONNECT", "RESOURCE"}) g.roles.push_back({s("SYS"), s(r), true});
  for (const UserRow& r : users) {
    if (r.name == QLatin1String("SYS")) continue;
    if (r.dba) {
      g.roles.push_back({r.name, s("DBA"), true});
    } else {
      g.roles.push_back({r.name, s("CONNECT"), false});
      g.roles.push_back({r.name, s("RESOURCE"), false});
    }
    g.privileges.push_back({r.name, s("UNLIMITED TABLESPACE"), false});
  }
  return g;
}

// One builder per family of views; each fills its views of the temp schema.
class DictionaryBuilder {
 public:
  DictionaryBuilder(sqlite3* db, const DictUser& u)
      : db_(db), u_(u), created_(CreatedTime(u.dbPath)), users_(KnownUsers(u)) {}

  void userViews();
  void privilegeViews();
  void schemaViews(const QList<ObjectDef>& objects, const QList<DictTable>& dict);
  void instanceViews();

 private:
  void sessionPrivileges(const Grants& g);
  void dbaPrivileges(const Grants& g);
  int userId(const QString& name) const;

  sqlite3* db_;
  const DictUser& u_;
  const QDateTime created_;
  const QList<UserRow> users_;
};

int DictionaryBuilder::userId(const QString& name) const {
  for (const UserRow& r : users_)
    if (r.name == name) return r.id;
  return 0;
}

void DictionaryBuilder::userViews() {
  Inserter all(db_, QStringLiteral("ALL_USERS"), 3);
  for (const UserRow& r : users_) all.row({r.name, r.id, created_});
  Inserter me(db_, QStringLiteral("USER_USERS"), 6);
  me.row({u_.user, userId(u_.user), Text("OPEN"), Text("USERS"), Text("TEMP"), created_});
  if (!u_.dba) return;
  Inserter dba(db_, QStringLiteral("DBA_USERS"), 9);
  for (const UserRow& r : users_)
    dba.row({r.name, r.id, Text("OPEN"), QVariant(), QVariant(),
             r.id < 84 ? Text("SYSTEM") : Text("USERS"), Text("TEMP"), created_, Text("DEFAULT")});
}

void DictionaryBuilder::privilegeViews() {
  const Grants g = AllGrants(users_);
  sessionPrivileges(g);
  if (u_.dba) dbaPrivileges(g);
}

void DictionaryBuilder::sessionPrivileges(const Grants& g) {
  QStringList myRoles, myPrivs;
  for (const GrantText& r : g.roles)
    if (r.grantee == u_.user) myRoles << r.what;
  if (u_.dba)
    myRoles << QStringLiteral("SELECT_CATALOG_ROLE") << QStringLiteral("EXECUTE_CATALOG_ROLE");
  for (const GrantText& p : g.privileges)
    if ((p.grantee == u_.user || myRoles.contains(p.grantee)) && !myPrivs.contains(p.what))
      myPrivs << p.what;
  myPrivs.sort();
  Inserter sp(db_, QStringLiteral("SESSION_PRIVS"), 1);
  for (const QString& p : myPrivs) sp.row({p});
  Inserter sr(db_, QStringLiteral("SESSION_ROLES"), 1);
  for (const QString& r : myRoles) sr.row({r});
  Inserter usp(db_, QStringLiteral("USER_SYS_PRIVS"), 3);
  for (const GrantText& p : g.privileges)
    if (p.grantee == u_.user) usp.row({u_.user, p.what, YesNo(p.admin)});
  Inserter urp(db_, QStringLiteral("USER_ROLE_PRIVS"), 5);
  for (const GrantText& r : g.roles)
    if (r.grantee == u_.user) urp.row({u_.user, r.what, YesNo(r.admin), Text("YES"), Text("NO")});
}

void DictionaryBuilder::dbaPrivileges(const Grants& g) {
  Inserter dsp(db_, QStringLiteral("DBA_SYS_PRIVS"), 3);
  for (const GrantText& p : g.privileges) dsp.row({p.grantee, p.what, YesNo(p.admin)});
  Inserter drp(db_, QStringLiteral("DBA_ROLE_PRIVS"), 4);
  for (const GrantText& r : g.roles) drp.row({r.grantee, r.what, YesNo(r.admin), Text("YES")});
  Inserter dr(db_, QStringLiteral("DBA_ROLES"), 2);
  for (const char* r :
       {"CONNECT", "RESOURCE", "DBA", "SELECT_CATALOG_ROLE", "EXECUTE_CATALOG_ROLE"})
    dr.row({Text(r), Text("NO")});
}

// The length the dictionary gives a column of the declared type.
int DataLength(const DeclType& t) {
  switch (t.code) {
    case 2:
      return 22;
    case 12:
      return 7;
    case 8:
      return 0;
    case 24:
    case 112:
      return 4000;
    default:
      return t.length > 0 ? t.length : 4000;
  }
}

// Tables, columns, indexes, views and objects, of the file's schema and of the dictionary itself.
class SchemaViews {
 public:
  SchemaViews(sqlite3* db, const DictUser& u, const QDateTime& created)
      : u_(u),
        created_(created),
        stamp_(created.toString(QStringLiteral("yyyy-MM-dd:HH:mm:ss"))),
        tables_(db, u, "TABLES", 23),
        columns_(db, u, "TAB_COLUMNS", 15),
        indexes_(db, u, "INDEXES", 8),
        views_(db, u, "VIEWS", 10),
        objects_(db, u, "OBJECTS", 12),
        userIndColumns_(db, QStringLiteral("USER_IND_COLUMNS"), 7),
        allIndColumns_(db, QStringLiteral("ALL_IND_COLUMNS"), 9),
        tab_(db, QStringLiteral("TAB"), 3) {
    if (u.dba)
      dbaIndColumns_ = std::make_unique<Inserter>(db, QStringLiteral("DBA_IND_COLUMNS"), 9);
  }

  void add(const ObjectDef& o);
  void addDual();
  void addDictionaryView(const QString& name);

 private:
  void object(const QString& owner, const QString& name, const char* type);
  void table(const QString& owner, const QString& name);
  void view(const ObjectDef& o, const QString& name);
  void columns(const QString& owner, const QString& table, const QList<ColumnDef>& cols);
  void index(const ObjectDef& o, const QString& table, const IndexDef& ix);

  const DictUser& u_;
  const QDateTime created_;
  const QString stamp_;
  ViewFamily tables_, columns_, indexes_, views_, objects_;
  Inserter userIndColumns_, allIndColumns_, tab_;
  std::unique_ptr<Inserter> dbaIndColumns_;
  int objectId_ = 1000;
  int sysIndex_ = 5000;
};

void SchemaViews::object(const QString& owner, const QString& name, const char* type) {
  const int id = objectId_++;
  const QVariant N;
  const QVariant dataId = QLatin1String(type) == QLatin1String("VIEW") ? N : QVariant(id);
  objects_.row(owner, {name, N, id, dataId, Text(type), created_, created_, stamp_, Text("VALID"),
                       Text("N"), Text("N"), Text("N")});
}

void SchemaViews::table(const QString& owner, const QString& name) {
  const QVariant N;
  tables_.row(owner, {name,
                      Text("USERS"),
                      N,
                      N,
                      Text("VALID"),
                      10,
                      N,
                      1,
                      255,
                      65536,
                      N,
                      1,
                      2147483645,
                      Text("YES"),
                      Text("N"),
                      N,
                      N,
                      N,
                      N,
                      N,
                      Text("NO"),
                      Text("N"),
                      Text("NO")});
  object(owner, name, "TABLE");
}

void SchemaViews::view(const ObjectDef& o, const QString& name) {
  const QString text = o.sql
                           .section(QRegularExpression(QStringLiteral("\\bAS\\b"),
                                                       QRegularExpression::CaseInsensitiveOption),
                                    1)
                           .trimmed();
  const QVariant N;
  views_.row(o.owner, {name, text.size(), text, N, N, N, N, N, N, N});
  object(o.owner, name, "VIEW");
}

void SchemaViews::columns(const QString& owner, const QString& table,
                          const QList<ColumnDef>& cols) {
  const QVariant N;
  int id = 1;
  for (const ColumnDef& c : cols) {
    const int length = DataLength(c.type);
    const bool charType = c.type.code == 1 || c.type.code == 96;
    const bool number = c.type.code == 2;
    columns_.row(
        owner,
        {table, c.name.toUpper(), c.type.name, N, N, length,
         number && c.type.precision > 0 ? QVariant(c.type.precision) : N,
         number && (c.type.hasPrecision || c.type.precision > 0) ? QVariant(c.type.scale) : N,
         c.notNull ? Text("N") : Text("Y"), id++, c.dflt.isEmpty() ? N : QVariant(c.dflt.size()),
         c.dflt.isEmpty() ? N : QVariant(c.dflt), N, charType ? QVariant(length) : QVariant(0),
         charType ? Text("B") : N});
  }
}

void SchemaViews::index(const ObjectDef& o, const QString& table, const IndexDef& ix) {
  QString name = ix.name.toUpper();
  // SQLite's own names of constraint indexes read as Oracle's system-generated ones.
  if (name.startsWith(QLatin1String("SQLITE_AUTOINDEX_")))
    name = QStringLiteral("SYS_C%1").arg(sysIndex_++, 7, 10, QLatin1Char('0'));
  indexes_.row(o.owner,
               {name, Text("NORMAL"), o.owner, table, Text("TABLE"),
                ix.unique ? Text("UNIQUE") : Text("NONUNIQUE"), Text("USERS"), Text("VALID")});
  object(o.owner, name, "INDEX");
  int pos = 1;
  for (const QString& col : ix.cols) {
    int len = 22;
    for (const ColumnDef& c : o.cols)
      if (c.name.compare(col, Qt::CaseInsensitive) == 0)
        len = c.type.code == 1 || c.type.code == 96 ? (c.type.length > 0 ? c.type.length : 4000)
              : c.type.code == 12                   ? 7
                                                    : 22;
    if (o.owner == u_.user)
      userIndColumns_.row({name, table, col.toUpper(), pos, len, len, Text("ASC")});
    const QVariantList row{o.owner, name, o.owner, table,      col.toUpper(),
                           pos,     len,  len,     Text("ASC")};
    allIndColumns_.row(row);
    if (dbaIndColumns_) dbaIndColumns_->row(row);
    ++pos;
  }
}

void SchemaViews::add(const ObjectDef& o) {
  const QString name = o.name.toUpper();
  if (o.view)
    view(o, name);
  else
    table(o.owner, name);
  if (o.owner == u_.user) tab_.row({name, o.view ? Text("VIEW") : Text("TABLE"), QVariant()});
  columns(o.owner, name, o.cols);
  for (const IndexDef& ix : o.indexes) index(o, name, ix);
}

// DUAL is a table of SYS.
void SchemaViews::addDual() {
  const QString sys = QStringLiteral("SYS");
  table(sys, QStringLiteral("DUAL"));
  const QString type = QStringLiteral("VARCHAR2(1)");
  columns(sys, QStringLiteral("DUAL"),
          {ColumnDef{QStringLiteral("DUMMY"), type, ParseDeclType(type), false, {}}});
}

// The other dictionary views are views of SYS.
void SchemaViews::addDictionaryView(const QString& name) {
  const QString text =
      QStringLiteral("select * from querna$dictionary where view_name = '%1'").arg(name);
  const QVariant N;
  QVariantList row{name, text.size(), text, N, N, N, N, N, N, N};
  row.prepend(QStringLiteral("SYS"));
  views_.all.row(row);
  if (views_.dba) views_.dba->row(row);
  object(QStringLiteral("SYS"), name, "VIEW");
}

void DictionaryBuilder::schemaViews(const QList<ObjectDef>& objects, const QList<DictTable>& dict) {
  SchemaViews schema(db_, u_, created_);
  for (const ObjectDef& o : objects) schema.add(o);
  schema.addDual();
  Inserter dictRows(db_, QStringLiteral("DICTIONARY"), 2);
  Inserter dictSyn(db_, QStringLiteral("DICT"), 2);
  for (const DictTable& t : dict) {
    if (t.name == QLatin1String("DUAL") || (DbaOnly(t.name) && !u_.dba)) continue;
    schema.addDictionaryView(t.name);
    dictRows.row({t.name, t.comment});
    dictSyn.row({t.name, t.comment});
  }
}

void DictionaryBuilder::instanceViews() {
  if (!u_.dba) return;
  const QString sqliteVersion = QString::fromLatin1(sqlite3_libversion());
  Inserter v(db_, QStringLiteral("V$VERSION"), 1);
  v.row({QStringLiteral("Querna Local Engine 1.0 - SQLite %1 dressed as an Oracle instance")
             .arg(sqliteVersion)});
  v.row({QStringLiteral("SQLite %1 %2")
             .arg(sqliteVersion, QString::fromLatin1(sqlite3_sourceid()).left(19))});
  v.row({QStringLiteral("Oracle SQL dialect: rewritten to SQLite by the Querna engine")});
  const QString base = QFileInfo(u_.dbPath).completeBaseName().toUpper();
  Inserter inst(db_, QStringLiteral("V$INSTANCE"), 7);
  inst.row({1, base.left(16), QSysInfo::machineHostName(), sqliteVersion, created_, Text("OPEN"),
            Text("ACTIVE")});
  Inserter dbr(db_, QStringLiteral("V$DATABASE"), 5);
  dbr.row({qint64(SqlHash(u_.dbPath)), base.left(9), created_, Text("NOARCHIVELOG"),
           Text("READ ONLY")});
}

bool CreateDictionaryTables(sqlite3* db, const DictUser& u, const QList<DictTable>& dict,
                            QString* error) {
  QString ddl;
  for (const DictTable& t : dict) {
    if (DbaOnly(t.name) && !u.dba) continue;
    QString cols = t.columns;
    cols.replace(QStringLiteral("SERIAL#"), QStringLiteral("\"SERIAL#\""));
    cols.replace(QStringLiteral("USER#"), QStringLiteral("\"USER#\""));
    ddl += QStringLiteral("CREATE TEMP TABLE ") + QuotedIdentifier(t.name) + QStringLiteral(" (") +
           cols + QStringLiteral(");\n");
  }
  if (Exec(db, QStringLiteral("BEGIN;\n") + ddl, error)) return true;
  Exec(db, QStringLiteral("ROLLBACK"), nullptr);
  return false;
}

// The user's name of the running program's operating-system account.
QString OsUser() {
  for (const char* var : {"USER", "USERNAME", "LOGNAME"}) {
    const QString v = qEnvironmentVariable(var);
    if (!v.isEmpty()) return v;
  }
  return QDir::home().dirName();
}

QString Hex16(qint64 v) {
  return QStringLiteral("%1").arg(v, 16, 16, QLatin1Char('0')).toUpper();
}

void SessionRows(sqlite3* db, const DictUser& u, Instance& inst) {
  const QVariant N;
  const QString machine = QSysInfo::machineHostName();
  const QString osUser = OsUser();
  const QString pid = QString::number(qint64(QCoreApplication::applicationPid()));
  static const QDateTime start = WallClockSecond(QDateTime::currentDateTime());
  Inserter s(db, QStringLiteral("V$SESSION"), 21);
  // The two background processes every instance shows.
  for (const char* bg : {"PMON", "SMON"}) {
    const int sid = bg[0] == 'P' ? 1 : 2;
    s.row({QStringLiteral("00000000DEAD000%1").arg(sid),
           sid,
           1,
           0,
           0,
           N,
           0,
           Text("ACTIVE"),
           Text("SYS"),
           osUser,
           pid,
           machine,
           Text("UNKNOWN"),
           QStringLiteral("querna (%1)").arg(QLatin1String(bg)),
           Text("BACKGROUND"),
           Text("00"),
           0,
           0,
           N,
           N,
           start});
  }
  for (const SessionRow& r : inst.Sessions()) {
    const bool me = r.sid == u.sid;
    s.row({Hex16(r.sid * 4096 + 0x7F000000),
           r.sid,
           r.serial,
           r.sid * 10 + 1000,
           0,
           r.user,
           me ? 3 : 0,
           me ? Text("ACTIVE") : Text("INACTIVE"),
           r.user,
           osUser,
           pid,
           machine,
           Text("pts/0"),
           Text("querna"),
           Text("USER"),
           Hex16(r.sqlHash),
           qint64(r.sqlHash),
           qint64(r.prevHash),
           Text("Querna"),
           N,
           r.logonTime});
  }
}

void SqlAreaRows(sqlite3* db, Instance& inst) {
  Inserter a(db, QStringLiteral("V$SQL"), 30);
  Inserter b(db, QStringLiteral("V$SQLAREA"), 30);
  const QString fmt = QStringLiteral("yyyy-MM-dd/HH:mm:ss");
  for (const SqlRow& r : inst.SqlArea()) {
    const QString sqlId = QStringLiteral("%1").arg(r.hash, 13, 36, QLatin1Char('0'));
    const QString first = r.text.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    const int command = first == QLatin1String("SELECT") || first == QLatin1String("WITH") ? 3 : 0;
    const QVariantList row{r.text.left(1000),
                           sqlId,
                           4096 + r.text.size() * 4,
                           1024,
                           2048,
                           0,
                           1,
                           1,
                           0,
                           r.executions,
                           0,
                           1,
                           r.firstLoad.toString(fmt),
                           0,
                           r.parseCalls,
                           r.diskReads,
                           r.bufferGets,
                           r.rowsProcessed,
                           command,
                           Text("ALL_ROWS"),
                           qint64(0),
                           qint64(0),
                           r.parsingUser,
                           Hex16(r.hash),
                           qint64(r.hash),
                           Text("Querna"),
                           QVariant(),
                           r.lastLoad.toString(fmt),
                           r.executions * 1000,
                           r.executions * 800};
    a.row(row);
    b.row(row);
  }
}

}  // namespace

bool BuildDictionary(sqlite3* db, const DictUser& u, QSet<QString>* dateColumns, QString* error) {
  const QList<ObjectDef> objects = ReadSchema(db, u);
  *dateColumns = {QStringLiteral("LOGON_TIME"),    QStringLiteral("CREATED"),
                  QStringLiteral("LAST_DDL_TIME"), QStringLiteral("LAST_ANALYZED"),
                  QStringLiteral("STARTUP_TIME"),  QStringLiteral("LOCK_DATE"),
                  QStringLiteral("EXPIRY_DATE")};
  for (const ObjectDef& o : objects)
    for (const ColumnDef& c : o.cols)
      if (c.type.code == 12) dateColumns->insert(c.name.toUpper());
  const QList<DictTable> dict = DictionaryTables();
  if (!CreateDictionaryTables(db, u, dict, error)) return false;
  Inserter(db, QStringLiteral("DUAL"), 1).row({Text("X")});
  DictionaryBuilder builder(db, u);
  builder.userViews();
  builder.privilegeViews();
  builder.schemaViews(objects, dict);
  builder.instanceViews();
  return Exec(db, QStringLiteral("COMMIT"), error);
}

void RefreshDynamicViews(sqlite3* db, const DictUser& u, Instance& inst) {
  if (!u.dba) return;
  Exec(db,
       QStringLiteral("DELETE FROM temp.\"V$SESSION\"; DELETE FROM temp.\"V$SQL\"; "
                      "DELETE FROM temp.\"V$SQLAREA\";"),
       nullptr);
  SessionRows(db, u, inst);
  SqlAreaRows(db, inst);
}

QString QuotedIdentifier(const QString& name) {
  return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
         QLatin1Char('"');
}

}  // namespace ora::local
