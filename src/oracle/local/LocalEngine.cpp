// The local engine: the component's objects over a SQLite connection.
//
// - OpenDatabase opens DEMO (made in the data folder on first use, see DemoDb.cpp) or a SQLite
//   file, always read-only; checks the accounts the file carries (table QUERNA_ACCOUNTS) or
//   accepts anyone; registers the Oracle functions (OraFunctions.cpp) and builds the data
//   dictionary in the connection's temp schema (Dictionary.cpp).
// - CreateDynaset rewrites the statement (SqlRewrite.cpp), refuses writing statements (by their
//   first word, by sqlite3_stmt_readonly and by an authorizer), binds the parameters by name,
//   records the statement for V$SQL and steps to the first row. Later rows are stepped one by
//   one by MoveNext; nothing is materialised.
// - SQLite's errors become ORA- numbers and texts; the offset SQLite reports in the rewritten
//   text is mapped back to the statement as typed, in UTF-16 characters.
#include "oracle/local/LocalEngine.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "core/RunErr.h"
#include "oracle/DataFolder.h"
#include "oracle/local/LocalInternal.h"
#include "oracle/local/SqlRewrite.h"

namespace ora::local {

namespace {

const char* const kClosedText = "OIP-04100: the object has been closed";
// The bytes of a binary value a field hands out; enough for the diagnostic log.
constexpr int kBlobPrefixBytes = 256;

// ---------------------------------------------------------------------------------------------
// Server error state shared by the session and the database objects.

struct ServerError {
  int number = 0;
  QString text;
  int pos = 0;
  void set(int n, const QString& t, int p = 0) {
    number = n;
    text = t;
    pos = p < 0 ? 0 : p;
  }
  void reset() { *this = ServerError{}; }
};

QString OraText(int number, const QString& message) {
  return QStringLiteral("ORA-%1: %2").arg(number, 5, 10, QLatin1Char('0')).arg(message);
}

// ---------------------------------------------------------------------------------------------
// Connection: the SQLite handle with what the dictionary knows of the logged-on user.

struct Conn {
  sqlite3* db = nullptr;
  DictUser user;
  std::shared_ptr<Instance> instance;
  bool internal = false;    // bookkeeping statements may write the temp schema
  QString hiddenTable;      // an engine table a user statement tried to read
  QString refusedFunction;  // a function a user statement tried to call
  QSet<QString> dateColumns;
  QSet<QString> schemas;
  QSet<QByteArray> allowedFunctions;  // lower case
  QSet<QByteArray> aggregates;        // lower case, window functions included
  // Called from SQLite's progress handler while a statement runs, at most every kWaitInterval.
  std::function<void()> waitHook;
  std::chrono::steady_clock::time_point lastWait;
  // A call began since the progress handler last ran: its clock starts there, so that a row
  // step reads no clock of its own.
  bool callStarted = false;
  bool inWaitHook = false;
  ~Conn() {
    if (db) sqlite3_close_v2(db);
  }
};

constexpr auto kWaitInterval = std::chrono::milliseconds(10);
// SQLite calls the progress handler after this many virtual machine steps; the clock decides
// whether the wait hook is due, so slow and fast steps both give a steady rhythm.
constexpr int kProgressSteps = 1000;

// Code built for AVX (string functions of the C library among it) can leave the upper halves of
// the vector registers in use. On processors with AVX-512, every SSE instruction of the code
// built for the baseline instruction set, Qt's and SQLite's, then merges them. Clearing them
// once per row, one instruction, made reading rows a fifth faster on such a machine.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void ClearUpperHalvesAvx() {
  _mm256_zeroupper();
}
void ClearUpperHalves() {
  if (__builtin_cpu_supports("avx")) ClearUpperHalvesAvx();
}
#else
void ClearUpperHalves() {}
#endif

int OnProgress(void* arg) {
  Conn* c = static_cast<Conn*>(arg);
  if (!c->waitHook || c->inWaitHook) return 0;
  const auto now = std::chrono::steady_clock::now();
  if (c->callStarted) {
    c->callStarted = false;
    c->lastWait = now;
    return 0;
  }
  if (now - c->lastWait < kWaitInterval) return 0;
  c->lastWait = now;
  c->inWaitHook = true;
  c->waitHook();
  c->inWaitHook = false;
  return 0;
}

// SQLite's own functions a query may call. The engine's Oracle functions are added to these
// when a connection is opened; anything else (fts3_tokenizer, load_extension, the compile
// options) is refused.
const char* const kCoreFunctions[] = {
    // scalar
    "abs", "char", "coalesce", "format", "glob", "hex", "ifnull", "iif", "instr", "length", "like",
    "likelihood", "likely", "lower", "ltrim", "max", "min", "nullif", "printf", "quote", "random",
    "randomblob", "replace", "round", "rtrim", "sign", "soundex", "substr", "substring", "trim",
    "typeof", "unicode", "unlikely", "upper", "zeroblob",
    // aggregate and window
    "avg", "count", "group_concat", "sum", "total", "row_number", "rank", "dense_rank",
    "percent_rank", "cume_dist", "ntile", "lag", "lead", "first_value", "last_value", "nth_value",
    // date and time
    "date", "time", "datetime", "julianday", "unixepoch", "strftime", "current_date",
    "current_time", "current_timestamp",
    // mathematics
    "acos", "acosh", "asin", "asinh", "atan", "atan2", "atanh", "ceil", "ceiling", "cos", "cosh",
    "degrees", "exp", "floor", "ln", "log", "log10", "log2", "mod", "pi", "pow", "power", "radians",
    "sin", "sinh", "sqrt", "tan", "tanh", "trunc",
    // JSON
    "json", "json_array", "json_array_length", "json_extract", "json_insert", "json_object",
    "json_patch", "json_remove", "json_replace", "json_set", "json_type", "json_valid",
    "json_quote", "json_group_array", "json_group_object",
    // full-text search reads
    "match", "snippet", "offsets", "matchinfo", "highlight", "bm25"};

// Lower-case names of the functions the connection knows that meet the condition.
QSet<QByteArray> FunctionNames(sqlite3* db, const QByteArray& condition) {
  QSet<QByteArray> names;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT name FROM pragma_function_list WHERE " + condition, -1, &st,
                         nullptr) == SQLITE_OK)
    while (sqlite3_step(st) == SQLITE_ROW)
      names.insert(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))).toLower());
  sqlite3_finalize(st);
  return names;
}

// Registers the Oracle functions and allows exactly them and SQLite's core functions, so a
// function the engine adds is allowed without a list kept by hand.
void RegisterAllowedFunctions(Conn& c) {
  const QByteArray added = QByteArrayLiteral("builtin = 0");
  const QSet<QByteArray> before = FunctionNames(c.db, added);
  RegisterOracleFunctions(c.db, &c.user.user);
  c.allowedFunctions = FunctionNames(c.db, added) - before;
  c.aggregates = FunctionNames(c.db, QByteArrayLiteral("type IN ('a', 'w')"));
  for (const char* name : kCoreFunctions) c.allowedFunctions.insert(QByteArray(name));
}

// SQLite's guidance for SQL from untrusted hands: no writes to the schema through the back
// door, functions in a file's schema only when harmless, no tokenizer pointers from SQL.
void Harden(sqlite3* db) {
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
}

// Refuses every statement that would change anything but the engine's own temp schema, and
// every function outside the allowed ones.
int Authorizer(void* arg, int action, const char* a1, const char* a2, const char*, const char*) {
  Conn* c = static_cast<Conn*>(arg);
  if (c->internal) return SQLITE_OK;
  switch (action) {
    case SQLITE_READ:
      // The engine's own tables (accounts and owners) are not for users to read.
      if (a1 && qstrnicmp(a1, "QUERNA_", 7) == 0) {
        c->hiddenTable = QString::fromUtf8(a1).toUpper();
        return SQLITE_DENY;
      }
      return SQLITE_OK;
    case SQLITE_FUNCTION:
      if (a2 && c->allowedFunctions.contains(QByteArray(a2).toLower())) return SQLITE_OK;
      c->refusedFunction = QString::fromUtf8(a2);
      return SQLITE_DENY;
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    case SQLITE_PRAGMA: {
      // A pragma with an argument may write; a few reading pragmas are allowed.
      if (a2) {
        static const char* kReadWithArg[] = {"table_info", "table_xinfo", "index_list",
                                             "index_info", "index_xinfo", "foreign_key_list"};
        for (const char* p : kReadWithArg)
          if (qstricmp(a1, p) == 0) return SQLITE_OK;
        return SQLITE_DENY;
      }
      return SQLITE_OK;
    }
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
      return SQLITE_OK;
    default:
      return SQLITE_DENY;
  }
}

// ---------------------------------------------------------------------------------------------
// Declared types → Oracle type codes and sizes.

// Where a value is stored: the names of its database, table and column.
struct StoredPlace {
  QByteArray db, table, column;
};

// A result column read from where it is stored (see PlanLean).
struct StoredColumn {
  int col = 0;
  StoredPlace place;
};

struct ColInfo {
  QString name;
  int type = ORATYPE_VARCHAR2;
  int maxSize = 4000;
  int maxDSize = 4000;
  int precision = 0;
  int scale = 0;
  bool date = false;
  // A long binary column read from its table (see PlanLean): the hidden result column telling
  // whether its value is binary, followed by the one giving its row's rowid, and where it is
  // stored.
  int binaryCol = -1;
  StoredPlace place;
};

void ApplyDecl(ColInfo& c, const DeclType& d) {
  c.type = d.code;
  c.precision = d.precision;
  c.scale = d.scale;
  c.date = d.code == ORATYPE_DATE;
  switch (d.code) {
    case ORATYPE_NUMBER:
      c.maxSize = 22;
      c.maxDSize = d.precision > 0 && d.name != QLatin1String("FLOAT")
                       ? d.precision + (d.scale > 0 ? 1 : 0) + 1
                       : 22;
      break;
    case ORATYPE_DATE:
      c.maxSize = 7;
      c.maxDSize = 19;
      break;
    case ORATYPE_LONG:
    case ORATYPE_LONGRAW:
    case ORATYPE_CLOB:
    case ORATYPE_BLOB:
      c.maxSize = 2147483647;
      c.maxDSize = 32760;
      break;
    case ORATYPE_ROWID:
      c.maxSize = c.maxDSize = 18;
      break;
    case ORATYPE_TIMESTAMP:
      c.maxSize = 11;
      c.maxDSize = 29;
      break;
    default:
      c.maxSize = c.maxDSize = d.length > 0 ? d.length : 4000;
      break;
  }
}

void ApplyKind(ColInfo& c, ExprKind k) {
  DeclType d;
  switch (k) {
    case ExprKind::Date:
      d.code = ORATYPE_DATE;
      break;
    case ExprKind::Number:
      d.code = ORATYPE_NUMBER;
      break;
    case ExprKind::Rowid:
      d.code = ORATYPE_ROWID;
      break;
    default:
      d.code = ORATYPE_VARCHAR2;
      break;
  }
  ApplyDecl(c, d);
}

// The statement running on a database, so that Break() from any thread reaches it. Between
// calls nothing is interrupted: a late Break() must not fail the next statement. A call is marked
// without a lock (a fetch marks every row step); a Break() claims the running call for the time
// it interrupts it, and the call waits for that before it ends.
class BreakPoint {
 public:
  // Breaks from several threads at once are safe: only one of them claims the call.
  void Break() {
    int expected = kInCall;
    if (!state_.compare_exchange_strong(expected, kInterrupting)) return;
    broken_ = true;
    sqlite3_interrupt(db_.load(std::memory_order_relaxed));
    state_.store(kInCall);
  }
  bool broken() const { return broken_; }

 private:
  friend class RunningCall;
  enum { kIdle, kInCall, kInterrupting };
  std::atomic<int> state_{kIdle};
  std::atomic<sqlite3*> db_{nullptr};
  std::atomic<bool> broken_{false};
};

// Marks a call that runs SQLite for its duration and starts the wait hook's clock. Calls on a
// database come from one thread; one made from the wait hook runs inside the outer one.
class RunningCall {
 public:
  RunningCall(BreakPoint& bp, Conn& c)
      : bp_(bp), nested_(bp.state_.load(std::memory_order_relaxed) != BreakPoint::kIdle) {
    c.callStarted = true;
    if (nested_) return;
    bp_.broken_.store(false, std::memory_order_relaxed);
    bp_.db_.store(c.db, std::memory_order_relaxed);
    bp_.state_.store(BreakPoint::kInCall, std::memory_order_release);
  }
  ~RunningCall() {
    if (nested_) return;
    int expected = BreakPoint::kInCall;
    while (!bp_.state_.compare_exchange_weak(expected, BreakPoint::kIdle)) {
      expected = BreakPoint::kInCall;
      std::this_thread::yield();
    }
  }
  RunningCall(const RunningCall&) = delete;
  RunningCall& operator=(const RunningCall&) = delete;

 private:
  BreakPoint& bp_;
  const bool nested_;
};

// SQLite looks each named or numbered placeholder up among those before it, so preparing a
// statement with many placeholders, and asking their names back, takes time that grows with their
// square. SQLite gets a bare ? (the next number) for each name's first use and ?n for a later use
// of the n-th name, and the names stay here. This also passes the # that SQLite takes in no name.
struct SqliteText {
  QByteArray utf8;
  QStringList bindNames;  // the name behind ?n, at n - 1
  // Where each placeholder ends in the numbered text, and how much longer that text has grown
  // than the rewritten one up to there.
  std::vector<std::pair<int, int>> growth;

  explicit SqliteText(const QString& sql);
  // The position in the rewritten text for a byte offset in utf8.
  int rewrittenPos(int byteOffset) const;
};

SqliteText::SqliteText(const QString& sql) {
  if (!sql.contains(QLatin1Char(':'))) {
    utf8 = sql.toUtf8();
    return;
  }
  QString out;
  out.reserve(sql.size());
  QHash<QString, int> numbers;
  int copied = 0;
  for (const Token& t : Tokenize(sql)) {
    if (t.kind != TokKind::Bind) continue;
    out += QStringView(sql).mid(copied, t.start - copied);
    const auto it = numbers.constFind(t.upper);
    if (it == numbers.constEnd()) {
      bindNames.push_back(t.text.mid(1));
      numbers.insert(t.upper, int(bindNames.size()));
      out += QLatin1Char('?');
    } else {
      out += QLatin1Char('?') + QString::number(*it);
    }
    copied = t.start + t.len;
    growth.emplace_back(int(out.size()), int(out.size()) - copied);
  }
  out += QStringView(sql).mid(copied);
  utf8 = out.toUtf8();
}

int SqliteText::rewrittenPos(int byteOffset) const {
  const int pos = int(QString::fromUtf8(utf8.constData(), byteOffset).size());
  auto after = std::upper_bound(growth.begin(), growth.end(), pos,
                                [](int p, const std::pair<int, int>& g) { return p < g.first; });
  return after == growth.begin() ? pos : std::max(0, pos - std::prev(after)->second);
}

class LocalDatabase;
class LocalDynaset;

// The first bytes of a binary value and its whole length.
struct StoredValue {
  QByteArray prefix;
  qint64 bytes = -1;
};

StoredValue ValueByQuery(sqlite3* db, const StoredPlace& place, sqlite3_int64 rowid) {
  const QByteArray sql = ("SELECT " + QuotedIdentifier(QString::fromUtf8(place.column)) + " FROM " +
                          QuotedIdentifier(QString::fromUtf8(place.db)) + '.' +
                          QuotedIdentifier(QString::fromUtf8(place.table)) + " WHERE _rowid_ = ?")
                             .toUtf8();
  StoredValue v;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_bind_int64(st, 1, rowid) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
    const char* p = static_cast<const char*>(sqlite3_column_blob(st, 0));
    v.bytes = sqlite3_column_bytes(st, 0);
    v.prefix = QByteArray(p, std::min(int(v.bytes), kBlobPrefixBytes));
  }
  sqlite3_finalize(st);
  return v;
}

// ---------------------------------------------------------------------------------------------

class LocalField final : public OraField {
 public:
  LocalField(LocalDynaset* owner, int col, ColInfo info)
      : owner_(owner), col_(col), info_(std::move(info)) {}
  QString Name() const override { return info_.name; }
  QVariant Value() const override;
  qint64 ValueBytes() const override;
  FieldView View() const override;
  int OraIDataType() const override { return info_.type; }
  int OraMaxSize() const override { return info_.maxSize; }
  int OraMaxDSize() const override { return info_.maxDSize; }
  int OraPrecision() const override { return info_.precision; }
  int OraScale() const override { return info_.scale; }
  int FieldSize() const override { return info_.maxSize; }

 private:
  LocalDynaset* owner_;
  int col_;
  ColInfo info_;
};

class LocalFields final : public OraFields {
 public:
  std::vector<std::unique_ptr<LocalField>> list;
  int Count() const override { return int(list.size()); }
  OraField* Item(int index) override {
    if (index < 0 || index >= int(list.size())) {
      Raise(kErrOutOfRange, QStringLiteral("Subscript out of range"));
      return nullptr;
    }
    return list[size_t(index)].get();
  }
};

class LocalDynaset final : public OraDynaset {
 public:
  LocalDynaset(std::shared_ptr<Conn> conn, std::shared_ptr<LocalDatabase> db, sqlite3_stmt* st,
               quint32 hash)
      : conn_(std::move(conn)), db_(std::move(db)), st_(st), hash_(hash) {}
  ~LocalDynaset() override { Close(); }

  bool IsEOF() const override { return eof_; }
  void MoveNext() override;
  OraFields& Fields() override { return fields_; }
  void Close() override {
    if (!st_) return;
    flushFigures();
    for (sqlite3_blob*& b : blobs_) {
      sqlite3_blob_close(b);
      b = nullptr;
    }
    sqlite3_finalize(st_);
    st_ = nullptr;
    eof_ = true;
    closed_ = true;
  }

  // Called once the first step was made.
  void start(bool hasRow) {
    eof_ = !hasRow;
    rows_ = hasRow ? 1 : 0;
    if (!hasRow) flushFigures();
  }
  LocalFields& fieldList() { return fields_; }

  QVariant read(int col, const ColInfo& info) const {
    if (storedBinary(info)) return storedValue(col, info).prefix;
    // One look-up of the column serves its type and its value; the value is used at once, on the
    // one thread that runs the connection.
    sqlite3_value* value = sqlite3_column_value(st_, col);
    switch (sqlite3_value_type(value)) {
      case SQLITE_INTEGER:
        if (info.date) return DateFromSeconds(sqlite3_value_int64(value));
        return QVariant(qlonglong(sqlite3_value_int64(value)));
      case SQLITE_FLOAT:
        if (info.date) return DateFromJulianDay(sqlite3_value_double(value));
        return QVariant(sqlite3_value_double(value));
      case SQLITE_TEXT: {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const int n = sqlite3_value_bytes(value);
        if (info.date) {
          if (DateFields f; ReadStoredDate(p, n, &f)) return QVariant(StoredDateTime(f));
          if (const QDateTime dt = ParseSqlDate(p, n); dt.isValid()) return QVariant(dt);
        }
        return textOf(col, p, n);
      }
      case SQLITE_BLOB: {
        // The grid shows no binary value, so only a prefix is copied; the whole length comes
        // from blobBytes().
        const char* p = static_cast<const char*>(sqlite3_value_blob(value));
        const int n = std::min(sqlite3_value_bytes(value), kBlobPrefixBytes);
        return QVariant(QByteArray(p, n));
      }
      default:
        return QVariant();
    }
  }

  // A text value, a QString. Plain ASCII of a usual size, most text, is widened into a buffer
  // kept per column, which the next row writes again once the caller has let go of this value:
  // no allocation per value. A caller that keeps its values gets copies (the buffer detaches).
  QVariant textOf(int col, const char* p, int n) const {
    if (n == 0 || n > kReusedTextBytes) return QVariant(QString::fromUtf8(p, n));
    QString& s = texts_[size_t(col)];
    s.resize(n);
    char16_t* out = reinterpret_cast<char16_t*>(s.data());
    unsigned char high = 0;
    for (int i = 0; i < n; ++i) {
      high |= static_cast<unsigned char>(p[i]);
      out[i] = static_cast<unsigned char>(p[i]);
    }
    if (high & 0x80) return QVariant(QString::fromUtf8(p, n));
    return QVariant(s);
  }

  // The value as SQLite holds it; a date is typed only in the form "YYYY-MM-DD hh:mm:ss", which
  // read() turns into the same wall-clock date and time.
  FieldView view(int col, const ColInfo& info) const {
    FieldView v;
    if (storedBinary(info)) return v;
    sqlite3_value* value = sqlite3_column_value(st_, col);  // as in read()
    switch (sqlite3_value_type(value)) {
      case SQLITE_NULL:
        v.kind = FieldView::Null;
        break;
      case SQLITE_INTEGER:
        if (info.date) break;
        v.kind = FieldView::Int;
        v.number = sqlite3_value_int64(value);
        break;
      case SQLITE_FLOAT:
        if (info.date) break;
        v.kind = FieldView::Double;
        v.real = sqlite3_value_double(value);
        break;
      case SQLITE_TEXT: {
        const char* p = reinterpret_cast<const char*>(sqlite3_value_text(value));
        const int n = sqlite3_value_bytes(value);
        if (!info.date) {
          v.kind = FieldView::Utf8;
          v.utf8 = p;
          v.bytes = n;
        } else if ((v.number = PackedDate(p, n)) >= 0) {
          v.kind = FieldView::Date;
        }
        break;
      }
      default:
        break;
    }
    return v;
  }

  // The digits YYYYMMDDhhmmss of a stored date, or -1.
  static qint64 PackedDate(const char* s, int n) {
    DateFields f;
    if (!ReadStoredDate(s, n, &f)) return -1;
    return ((((qint64(f.y) * 100 + f.mo) * 100 + f.d) * 100 + f.h) * 100 + f.mi) * 100 + f.sec;
  }

  // Numbers in a date column: integers are Unix times, reals Julian day numbers. One that names
  // no time of the years 1 to 9999 is handed on as the number it is, as text that is no date is.
  static constexpr double kFirstJulianDay = 1721425.5;  // 0001-01-01 00:00:00
  static constexpr double kEndJulianDay = 5373485.5;    // 10000-01-01 00:00:00
  static constexpr double kUnixEpochJulianDay = 2440587.5;
  static QVariant DateFromSeconds(qint64 secs) {
    constexpr qint64 kFirst = qint64((kFirstJulianDay - kUnixEpochJulianDay) * 86400);
    constexpr qint64 kEnd = qint64((kEndJulianDay - kUnixEpochJulianDay) * 86400);
    if (secs < kFirst || secs >= kEnd) return QVariant(qlonglong(secs));
    return QVariant(QDateTime::fromSecsSinceEpoch(secs));
  }
  static QVariant DateFromJulianDay(double day) {
    if (!(day >= kFirstJulianDay && day < kEndJulianDay)) return QVariant(day);
    const qint64 ms = qint64((day - kUnixEpochJulianDay) * 86400000.0 + 0.5);
    return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
  }

  qint64 blobBytes(int col, const ColInfo& info) const {
    if (storedBinary(info)) return storedValue(col, info).bytes;
    return sqlite3_column_type(st_, col) == SQLITE_BLOB ? sqlite3_column_bytes(st_, col) : -1;
  }

  bool storedBinary(const ColInfo& info) const {
    return info.binaryCol >= 0 && sqlite3_column_int(st_, info.binaryCol) != 0;
  }

  // The binary value of the current row read from its table through a blob handle, so that it is
  // never loaded whole; a table SQLite opens no handle on (a virtual table) is queried.
  StoredValue storedValue(int col, const ColInfo& info) const {
    const sqlite3_int64 rowid = sqlite3_column_int64(st_, info.binaryCol + 1);
    sqlite3_blob*& h = blobs_[size_t(col)];
    int rc =
        h ? sqlite3_blob_reopen(h, rowid)
          : sqlite3_blob_open(conn_->db, info.place.db.constData(), info.place.table.constData(),
                              info.place.column.constData(), rowid, 0, &h);
    StoredValue v;
    if (rc == SQLITE_OK) {
      v.bytes = sqlite3_blob_bytes(h);
      v.prefix.resize(std::min(sqlite3_blob_bytes(h), kBlobPrefixBytes));
      rc = sqlite3_blob_read(h, v.prefix.data(), int(v.prefix.size()), 0);
    }
    if (rc == SQLITE_OK) return v;
    sqlite3_blob_close(h);
    h = nullptr;
    return ValueByQuery(conn_->db, info.place, rowid);
  }

  bool valid() const { return st_ && !eof_; }
  void prepareColumns(int columns) {
    texts_.resize(size_t(columns));
    blobs_.resize(size_t(columns));
  }

 private:
  void flushFigures();

  std::shared_ptr<Conn> conn_;
  std::shared_ptr<LocalDatabase> db_;
  sqlite3_stmt* st_;
  quint32 hash_;
  bool eof_ = true;
  bool closed_ = false;
  bool flushed_ = false;
  qint64 rows_ = 0;
  LocalFields fields_;
  static constexpr int kReusedTextBytes = 4096;
  mutable std::vector<QString> texts_;
  mutable std::vector<sqlite3_blob*> blobs_;  // per column read from its table
};

QVariant LocalField::Value() const {
  if (!owner_->valid()) {
    Raise(kErrOraComponent, QStringLiteral("OIP-04108: No current record"));
    return QVariant();
  }
  return owner_->read(col_, info_);
}

FieldView LocalField::View() const {
  if (!owner_->valid()) {
    Raise(kErrOraComponent, QStringLiteral("OIP-04108: No current record"));
    return {FieldView::Null};
  }
  return owner_->view(col_, info_);
}

qint64 LocalField::ValueBytes() const {
  if (!owner_->valid()) {
    Raise(kErrOraComponent, QStringLiteral("OIP-04108: No current record"));
    return -1;
  }
  return owner_->blobBytes(col_, info_);
}

void LocalDynaset::flushFigures() {
  if (flushed_ || !st_ || !conn_->instance) return;
  flushed_ = true;
  const qint64 steps = sqlite3_stmt_status(st_, SQLITE_STMTSTATUS_VM_STEP, 0);
  const qint64 scans = sqlite3_stmt_status(st_, SQLITE_STMTSTATUS_FULLSCAN_STEP, 0);
  conn_->instance->AddFigures(hash_, rows_, steps / 8 + rows_, scans / 64);
}

// ---------------------------------------------------------------------------------------------

class LocalParameter final : public OraParameter {
 public:
  LocalParameter(QString name, QVariant value, int kind)
      : name_(std::move(name)), value_(std::move(value)) {
    status_ = kind == ORAPARM_OUTPUT ? ORAPSTAT_OUTPUT
              : kind == ORAPARM_BOTH ? ORAPSTAT_BOTH
                                     : ORAPSTAT_INPUT;
  }
  QString Name() const override { return name_; }
  QVariant Value() const override { return value_; }
  void SetValue(const QVariant& value) override { value_ = value; }
  int ServerType() const override { return serverType_; }
  void SetServerType(int type) override { serverType_ = type; }
  int Status() const override { return status_; }

 private:
  QString name_;
  QVariant value_;
  int serverType_ = ORATYPE_VARCHAR2;
  int status_ = ORAPSTAT_INPUT;
};

class LocalParameters final : public OraParameters {
 public:
  int Count() const override { return int(list_.size()); }
  void Add(const QString& name, const QVariant& value, int kind) override {
    if (find(name) >= 0) {
      Raise(kErrOraComponent, QStringLiteral("OIP-04119: Parameter %1 already exists").arg(name));
      return;
    }
    if (name.trimmed().isEmpty()) {
      Raise(kErrInvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
      return;
    }
    list_.push_back(std::make_unique<LocalParameter>(name, value, kind));
  }
  void Remove(const QString& name) override {
    const int i = find(name);
    if (i < 0) {
      Raise(kErrOraComponent, QStringLiteral("OIP-04118: Parameter %1 not found").arg(name));
      return;
    }
    list_.erase(list_.begin() + i);
  }
  OraParameter* Item(int index) override {
    if (index < 0 || index >= int(list_.size())) {
      Raise(kErrOutOfRange, QStringLiteral("Subscript out of range"));
      return nullptr;
    }
    return list_[size_t(index)].get();
  }
  OraParameter* Item(const QString& name) override {
    const int i = find(name);
    if (i < 0) {
      Raise(kErrOraComponent, QStringLiteral("OIP-04118: Parameter %1 not found").arg(name));
      return nullptr;
    }
    return list_[size_t(i)].get();
  }
  int find(const QString& name) const {
    for (size_t i = 0; i < list_.size(); ++i)
      if (list_[i]->Name().compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
  }
  LocalParameter* byName(const QString& name) const {
    const int i = find(name);
    return i < 0 ? nullptr : list_[size_t(i)].get();
  }

 private:
  std::vector<std::unique_ptr<LocalParameter>> list_;
};

// ---------------------------------------------------------------------------------------------

class LocalDatabase final : public OraDatabase, public std::enable_shared_from_this<LocalDatabase> {
 public:
  explicit LocalDatabase(std::shared_ptr<Conn> conn) : conn_(std::move(conn)) {}
  ~LocalDatabase() override { Close(); }

  std::shared_ptr<OraDynaset> CreateDynaset(const QString& sql, int options) override;
  OraParameters& Parameters() override { return params_; }
  int LastServerErr() const override { return err_.number; }
  QString LastServerErrText() const override { return err_.text; }
  int LastServerErrPos() const override { return err_.pos; }
  void LastServerErrReset() override { err_.reset(); }
  void Close() override {
    if (!conn_) return;
    if (conn_->instance) conn_->instance->RemoveSession(conn_->user.sid);
    conn_.reset();
  }
  void Break() override { breakPoint_.Break(); }
  void SetWaitHook(std::function<void()> hook) override {
    if (conn_) conn_->waitHook = std::move(hook);
  }

  void setError(int n, const QString& message, int pos = 0) {
    err_.set(n, OraText(n, message), pos);
  }
  void setErrorText(int n, const QString& text, int pos = 0) { err_.set(n, text, pos); }
  // An error reported by SQLite while rows are fetched.
  void setRunError(const QString& message);
  BreakPoint& breakPoint() { return breakPoint_; }

 private:
  Rewritten rewrite(const QString& sql);
  bool acceptStatement(const Rewritten& rw);
  sqlite3_stmt* prepare(Conn& c, const Rewritten& rw, const SqliteText& text, const QString& sql);
  quint32 record(Conn& c, const Rewritten& rw, const QString& sql);
  sqlite3_stmt* prepareLean(Conn& c, const Rewritten& rw, sqlite3_stmt* st,
                            std::vector<StoredColumn>& stored);
  void mapSqliteError(const char* msg, int byteOffset, const Rewritten& rw, const SqliteText& text,
                      const QString& sql, bool atRun);
  void classifySyntax(const Rewritten& rw, int src, const QString& sql);
  void refuseFunction(const Rewritten& rw, const QString& name);
  bool bind(sqlite3_stmt* st, const SqliteText& text);
  bool bindOne(sqlite3_stmt* st, int i, const LocalParameter& p);

  std::shared_ptr<Conn> conn_;
  LocalParameters params_;
  ServerError err_;
  BreakPoint breakPoint_;
};

int TokenAt(const Rewritten& rw, int src) {
  for (size_t i = 0; i < rw.tokens.size(); ++i) {
    const Token& t = rw.tokens[i];
    if (src < t.start + t.len || src <= t.start) return int(i);
  }
  return int(rw.tokens.size());
}

bool NameIs(const Token& t, const QString& upperName) {
  if (t.kind == TokKind::Word) return t.upper == upperName;
  if (t.kind == TokKind::Quoted) return t.text.mid(1, t.text.size() - 2).toUpper() == upperName;
  return false;
}

// Offset of the name (a dotted name such as E.ENAMEX matches "e . enamex") as typed, -1 when
// it is not found.
int FindNameToken(const Rewritten& rw, const QString& upperName) {
  const QStringList parts = upperName.split(QLatin1Char('.'));
  const auto& t = rw.tokens;
  for (size_t i = 0; i < t.size(); ++i) {
    bool match = true;
    for (int k = 0; k < parts.size() && match; ++k) {
      const size_t at = i + size_t(2 * k);
      match = at < t.size() && NameIs(t[at], parts[k]) &&
              (k == 0 || (t[at - 1].kind == TokKind::Op && t[at - 1].text == QLatin1String(".")));
    }
    if (match) return t[i].start;
  }
  if (parts.size() > 1) return FindNameToken(rw, parts.last());
  return -1;
}

bool IsOperandEnd(const Token& t) {
  switch (t.kind) {
    case TokKind::Word:
      return !QStringList{"SELECT", "FROM",    "WHERE",     "AND",    "OR",   "NOT",  "BY",
                          "ON",     "HAVING",  "DISTINCT",  "UNIQUE", "ALL",  "IN",   "IS",
                          "LIKE",   "BETWEEN", "WHEN",      "THEN",   "ELSE", "CASE", "AS",
                          "UNION",  "MINUS",   "INTERSECT", "ORDER",  "GROUP"}
                  .contains(t.upper);
    case TokKind::Quoted:
    case TokKind::String:
    case TokKind::Number:
    case TokKind::Bind:
      return true;
    case TokKind::Op:
      return t.text == QLatin1String(")") || t.text == QLatin1String("*");
    default:
      return false;
  }
}

void LocalDatabase::classifySyntax(const Rewritten& rw, int src, const QString& sql) {
  const auto& t = rw.tokens;
  const int k = TokenAt(rw, src);
  // Depth-0 FROM of the first query block.
  int from = -1, depth = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind == TokKind::Op && t[i].text == QLatin1String("(")) ++depth;
    if (t[i].kind == TokKind::Op && t[i].text == QLatin1String(")")) --depth;
    if (depth == 0 && t[i].kind == TokKind::Word && t[i].upper == QLatin1String("FROM")) {
      from = int(i);
      break;
    }
  }
  if (k >= int(t.size())) {
    // The statement ended too early.
    int end = int(sql.size());
    while (end > 0 && sql[end - 1].isSpace()) --end;
    const Token& last = t.back();
    if (last.kind == TokKind::Word && last.upper == QLatin1String("FROM"))
      setError(903, QStringLiteral("invalid table name"), end);
    else if (!IsOperandEnd(last))
      setError(936, QStringLiteral("missing expression"), end);
    else
      setError(921, QStringLiteral("unexpected end of SQL command"), end);
    return;
  }
  const Token& at = t[size_t(k)];
  const Token* prev = k > 0 ? &t[size_t(k - 1)] : nullptr;
  const bool inSelectList = t.front().kind == TokKind::Word &&
                            t.front().upper == QLatin1String("SELECT") && (from < 0 || k < from);
  if (prev && !IsOperandEnd(*prev) &&
      !(prev->kind == TokKind::Word && prev->upper == QLatin1String("FROM"))) {
    setError(936, QStringLiteral("missing expression"), at.start);
    return;
  }
  if (prev && prev->kind == TokKind::Word && prev->upper == QLatin1String("FROM")) {
    setError(903, QStringLiteral("invalid table name"), at.start);
    return;
  }
  if (inSelectList && k > 0) {
    setError(923, QStringLiteral("FROM keyword not found where expected"), at.start);
    return;
  }
  if (k == 0) {
    setError(900, QStringLiteral("invalid SQL statement"), 0);
    return;
  }
  setError(933, QStringLiteral("SQL command not properly ended"), at.start);
}

void LocalDatabase::mapSqliteError(const char* cmsg, int byteOffset, const Rewritten& rw,
                                   const SqliteText& text, const QString& sql, bool atRun) {
  const QString msg = QString::fromUtf8(cmsg);
  int src = 0;
  if (byteOffset >= 0 && byteOffset <= text.utf8.size())
    src = rw.MapToSource(text.rewrittenPos(byteOffset));
  static const QRegularExpression kOra(QStringLiteral("^ORA-(\\d{5}): "));
  const auto m = kOra.match(msg);
  if (m.hasMatch()) {
    err_.set(m.captured(1).toInt(), msg, 0);
    return;
  }
  auto after = [&](const char* prefix) { return msg.mid(int(qstrlen(prefix))).trimmed(); };
  if (msg.startsWith(QLatin1String("no such table: ")) ||
      msg.startsWith(QLatin1String("unknown database "))) {
    QString name = msg.startsWith(QLatin1String("no such table: ")) ? after("no such table: ")
                                                                    : after("unknown database ");
    name = OracleUpper(name);
    if (name.startsWith(QLatin1String("MAIN.")) || name.startsWith(QLatin1String("TEMP.")))
      name = name.mid(5);
    int p = FindNameToken(rw, name);
    if (p < 0) p = src;
    setError(942, QStringLiteral("table or view does not exist"), p);
    return;
  }
  if (msg.startsWith(QLatin1String("no such column: ")) ||
      msg.startsWith(QLatin1String("no such function: "))) {
    const bool fn = msg.startsWith(QLatin1String("no such function: "));
    const QString name = fn ? after("no such function: ") : after("no such column: ");
    QStringList parts = name.split(QLatin1Char('.'));
    for (QString& part : parts) part = QLatin1Char('"') + OracleUpper(part) + QLatin1Char('"');
    int p = FindNameToken(rw, OracleUpper(name));
    if (p < 0) p = src;
    setError(904, parts.join(QLatin1Char('.')) + QStringLiteral(": invalid identifier"), p);
    return;
  }
  if (msg.startsWith(QLatin1String("unsafe use of "))) {
    // A function the file's own schema calls that is not harmless.
    refuseFunction(rw, after("unsafe use of ").chopped(2));
    return;
  }
  if (msg.startsWith(QLatin1String("near ")) && msg.endsWith(QLatin1String("syntax error"))) {
    classifySyntax(rw, byteOffset >= 0 ? src : int(sql.size()), sql);
    return;
  }
  if (msg == QLatin1String("incomplete input")) {
    classifySyntax(rw, int(sql.size()) + 1, sql);
    return;
  }
  if (msg.startsWith(QLatin1String("ambiguous column name"))) {
    const QString name = after("ambiguous column name: ");
    int p = FindNameToken(rw, OracleUpper(name.section(QLatin1Char('.'), -1)));
    setError(918, QStringLiteral("column ambiguously defined"), p < 0 ? src : p);
    return;
  }
  if (msg == QLatin1String("interrupted")) {
    setErrorText(kOraUserCancel, QString::fromLatin1(kOraUserCancelText));
    return;
  }
  // Messages whose Oracle error stands where SQLite saw the fault.
  struct AtOffset {
    const char* fragment;
    int number;
    const char* text;
  };
  static const AtOffset kAtOffset[] = {
      {"unrecognized token", 911, "invalid character"},
      {"wrong number of arguments", 909, "invalid number of arguments"},
      {"misuse of aggregate", 934, "group function is not allowed here"},
      {"do not have the same number of result columns", 1789,
       "query block has incorrect number of result columns"},
      {"ORDER BY term out of range", 1785,
       "ORDER BY item must be the number of a SELECT-list expression"},
      {"sub-select returns", 913, "too many values"}};
  for (const AtOffset& a : kAtOffset)
    if (msg.contains(QLatin1String(a.fragment))) {
      setError(a.number, QString::fromLatin1(a.text), src);
      return;
    }
  setError(atRun ? 600 : 900, msg, src);
}

// Oracle's rule for a bind name: a letter, then letters, digits, _, $ and #; or digits only.
bool IsOracleBindName(QStringView name) {
  if (name.isEmpty()) return false;
  bool digitsOnly = true;
  for (QChar ch : name) digitsOnly = digitsOnly && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
  if (digitsOnly) return true;
  if (!name.front().isLetter()) return false;
  for (QChar ch : name)
    if (!ch.isLetterOrNumber() && ch != QLatin1Char('_') && ch != QLatin1Char('$') &&
        ch != QLatin1Char('#'))
      return false;
  return true;
}

// An empty text or byte string binds as Null, as Oracle treats it.
bool IsEmptyValue(const QVariant& v) {
  if (v.typeId() == QMetaType::QString) return v.toString().isEmpty();
  if (v.typeId() == QMetaType::QByteArray) return v.toByteArray().isEmpty();
  return false;
}

// Placeholders of other databases (?, ?1, @a, $a) were refused before the text was numbered.
bool LocalDatabase::bind(sqlite3_stmt* st, const SqliteText& text) {
  for (int i = 1; i <= int(text.bindNames.size()); ++i) {
    const LocalParameter* p = params_.byName(text.bindNames[i - 1]);
    if (!p) {
      setError(1008, QStringLiteral("not all variables bound"), 0);
      return false;
    }
    if (!bindOne(st, i, *p)) return false;
  }
  return true;
}

bool LocalDatabase::bindOne(sqlite3_stmt* st, int i, const LocalParameter& p) {
  const QVariant v = p.Value();
  if (IsNull(v) || IsEmptyValue(v)) {
    sqlite3_bind_null(st, i);
    return true;
  }
  switch (p.ServerType()) {
    case ORATYPE_NUMBER: {
      bool ok = false;
      const QString s = v.toString().trimmed();
      const qlonglong ll = s.toLongLong(&ok);
      if (ok) {
        sqlite3_bind_int64(st, i, ll);
        break;
      }
      const double d = s.toDouble(&ok);
      if (ok) {
        sqlite3_bind_double(st, i, d);
        break;
      }
      setError(1722, QStringLiteral("invalid number"), 0);
      return false;
    }
    case ORATYPE_DATE: {
      QDateTime dt = v.toDateTime();
      if (!dt.isValid()) dt = ParseSqlDate(v.toString());
      if (!dt.isValid()) {
        setError(1858,
                 QStringLiteral("a non-numeric character was found where a numeric was expected"),
                 0);
        return false;
      }
      const QByteArray b = SqlDateText(dt).toUtf8();
      sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
      break;
    }
    default: {
      if (v.typeId() == QMetaType::QByteArray) {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
      } else if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong) {
        sqlite3_bind_text(st, i, v.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
      } else if (v.typeId() == QMetaType::QDateTime) {
        const QByteArray b = SqlDateText(v.toDateTime()).toUtf8();
        sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
      } else {
        const QByteArray b = v.toString().toUtf8();
        sqlite3_bind_text(st, i, b.constData(), int(b.size()), SQLITE_TRANSIENT);
      }
      break;
    }
  }
  return true;
}

// Oracle type and sizes of one result column: from its declared type, else from what the
// rewriting saw in the select list, else from the first row's value.
// storage is the first row's type of the value, SQLITE_NULL when there is none.
ColInfo DescribeColumn(sqlite3_stmt* st, int col, const SelectItem* item, int storage) {
  ColInfo info;
  if (const char* decl = sqlite3_column_decltype(st, col)) {
    ApplyDecl(info, ParseDeclType(QString::fromUtf8(decl)));
  } else if (item && item->kind != ExprKind::Unknown) {
    // An expression judged to be a date that yields a number after all stays a number.
    const bool numeric = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    ApplyKind(info, item->kind == ExprKind::Date && numeric ? ExprKind::Number : item->kind);
  } else if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
    ApplyKind(info, ExprKind::Number);
  } else if (storage == SQLITE_BLOB) {
    DeclType d;
    d.code = ORATYPE_RAW;
    d.length = 2000;
    ApplyDecl(info, d);
  } else {
    ApplyKind(info, ExprKind::Text);
  }
  if (item && !item->heading.isEmpty())
    info.name = item->heading;
  else
    info.name = OracleUpper(QString::fromUtf8(sqlite3_column_name(st, col)));
  return info;
}

// The select item that gave result column col, when the select list tells ("*" expands to
// columns the rewriting cannot name).
const SelectItem* ItemOfColumn(const Rewritten& rw, int col, int ncol) {
  const int nItems = int(rw.items.size());
  int firstStar = -1, lastStar = -1;
  for (int i = 0; i < nItems; ++i)
    if (rw.items[i].star) {
      if (firstStar < 0) firstStar = i;
      lastStar = i;
    }
  if (firstStar < 0) return nItems == ncol ? &rw.items[col] : nullptr;
  if (col < firstStar) return &rw.items[col];
  if (ncol - col <= nItems - 1 - lastStar) return &rw.items[nItems - (ncol - col)];
  return nullptr;
}

bool IsBinaryDecl(const char* declared) {
  if (!declared) return false;
  const int code = ParseDeclType(QString::fromUtf8(declared)).code;
  return code == ORATYPE_RAW || code == ORATYPE_LONGRAW || code == ORATYPE_BLOB;
}

// SQLite reads a value whole when a statement steps onto its row, a long one included. A column of
// a binary type that a plain select takes from a table is therefore selected as Null when its value
// is binary, with two hidden columns after the select list: whether the value is binary (which
// SQLite tells from the record without reading the value) and the row's rowid, by which a blob
// handle reads the value's length and first bytes.
struct LeanStatement {
  QString sql;
  std::vector<StoredColumn> stored;
};

// The lean form of the prepared statement st, none (no stored column) when it has no such
// column or the select list cannot be matched to its result columns.
LeanStatement PlanLean(const Rewritten& rw, sqlite3_stmt* st) {
  LeanStatement lean;
  const PlainSelect& p = rw.plain;
  const int nItems = int(rw.items.size());
  const int stars = int(
      std::count_if(rw.items.begin(), rw.items.end(), [](const SelectItem& i) { return i.star; }));
  const int starWidth = sqlite3_column_count(st) - (nItems - stars);
  if (!p.usable || int(p.columns.size()) != nItems || stars > 1 || starWidth < 0) return lean;
  struct Edit {
    int out;
    int len;
    QString text;
  };
  std::vector<Edit> edits;
  QString hidden;
  for (int k = 0, col = 0; k < nItems; col += rw.items[k].star ? starWidth : 1, ++k) {
    const PlainSelect::Column& c = p.columns[size_t(k)];
    const int end = col + (rw.items[k].star ? starWidth : 1);
    bool known = c.out >= 0 && !c.qualifier.isEmpty();
    for (int j = col; j < end; ++j) known = known && sqlite3_column_origin_name(st, j);
    if (!known) continue;
    QStringList exprs;
    const size_t storedBefore = lean.stored.size();
    for (int j = col; j < end; ++j) {
      const char* origin = sqlite3_column_origin_name(st, j);
      const QString x = c.qualifier + QLatin1Char('.') +
                        (c.name.isEmpty() ? QuotedIdentifier(QString::fromUtf8(origin)) : c.name);
      if (!IsBinaryDecl(sqlite3_column_decltype(st, j))) {
        exprs << x;
        continue;
      }
      const QString isBlob = QStringLiteral("typeof(%1) = 'blob'").arg(x);
      exprs << QStringLiteral("CASE WHEN %1 THEN NULL ELSE %2 END").arg(isBlob, x);
      hidden += QStringLiteral(", %1, %2._rowid_").arg(isBlob, c.qualifier);
      lean.stored.push_back(
          {j, {sqlite3_column_database_name(st, j), sqlite3_column_table_name(st, j), origin}});
    }
    if (lean.stored.size() > storedBefore)
      edits.push_back({c.out, c.outLen, exprs.join(QStringLiteral(", "))});
  }
  if (lean.stored.empty()) return lean;
  lean.sql = rw.sql;
  lean.sql.insert(p.listEnd, hidden + QLatin1Char(' '));
  // The last item first, so that the places of the earlier ones stay valid.
  for (auto e = edits.rbegin(); e != edits.rend(); ++e) lean.sql.replace(e->out, e->len, e->text);
  return lean;
}

// True when each hidden rowid of the lean statement is the rowid of the table its column is
// stored in (not a view's, nor a column that happens to be called so).
bool ReadsStoredRowids(sqlite3_stmt* lean, int ncol, const std::vector<StoredColumn>& stored) {
  if (sqlite3_column_count(lean) != ncol + 2 * int(stored.size())) return false;
  for (size_t i = 0; i < stored.size(); ++i) {
    const int col = ncol + 2 * int(i) + 1;
    const char* db = sqlite3_column_database_name(lean, col);
    const char* table = sqlite3_column_table_name(lean, col);
    const char* origin = sqlite3_column_origin_name(lean, col);
    if (!db || !table || !origin || stored[i].place.db != db || stored[i].place.table != table ||
        qstricmp(origin, "_rowid_") == 0)
      return false;
  }
  return true;
}

Rewritten LocalDatabase::rewrite(const QString& sql) {
  Conn& c = *conn_;
  RewriteContext ctx;
  ctx.isDateColumn = [&c](const QString& n) { return c.dateColumns.contains(n); };
  ctx.isSchema = [&c](const QString& n) { return c.schemas.contains(n); };
  ctx.isAggregate = [&c](const QString& n) { return c.aggregates.contains(n.toLower().toUtf8()); };
  ctx.isDateBind = [this](const QString& n) {
    const LocalParameter* p = params_.byName(n);
    return p && p->ServerType() == ORATYPE_DATE;
  };
  return RewriteOracleSql(sql, ctx);
}

// Refuses what is not one query as Oracle would (a writing statement silently, as it is
// never run); false when refused.
bool LocalDatabase::acceptStatement(const Rewritten& rw) {
  switch (rw.kind) {
    case StatementKind::Empty:
      setError(900, QStringLiteral("invalid SQL statement"), 0);
      return false;
    case StatementKind::Writing:
      return false;
    case StatementKind::Unknown:
      if (!rw.tokens.empty() && rw.tokens.front().kind == TokKind::Bad)
        setError(911, QStringLiteral("invalid character"), rw.tokens.front().start);
      else
        setError(900, QStringLiteral("invalid SQL statement"), 0);
      return false;
    case StatementKind::Query:
      break;
  }
  for (const Token& t : rw.tokens) {
    const bool foreignPlaceholder =
        t.kind == TokKind::Op && (t.text == QLatin1String("?") || t.text == QLatin1String("@") ||
                                  t.text == QLatin1String("$"));
    if (t.kind == TokKind::Semicolon || foreignPlaceholder) {
      setError(911, QStringLiteral("invalid character"), t.start);
      return false;
    }
    if (t.kind == TokKind::Bind && !IsOracleBindName(QStringView(t.text).mid(1))) {
      setError(1745, QStringLiteral("invalid host/bind variable name"), t.start);
      return false;
    }
    if (t.kind == TokKind::Bad) {
      if (t.text.startsWith(QLatin1Char('\'')))
        setError(1756, QStringLiteral("quoted string not properly terminated"), t.start);
      else
        setError(1740, QStringLiteral("missing double quote in identifier"), t.start);
      return false;
    }
  }
  return true;
}

// Prepares the rewritten statement; nullptr with the error set (or none for a writing one).
sqlite3_stmt* LocalDatabase::prepare(Conn& c, const Rewritten& rw, const SqliteText& text,
                                     const QString& sql) {
  c.hiddenTable.clear();
  c.refusedFunction.clear();
  sqlite3_stmt* st = nullptr;
  const int rc =
      sqlite3_prepare_v3(c.db, text.utf8.constData(), int(text.utf8.size()), 0, &st, nullptr);
  if (rc == SQLITE_OK && st) return st;
  if (rc == SQLITE_OK) {
    setError(900, QStringLiteral("invalid SQL statement"), 0);
    return nullptr;
  }
  if (!c.refusedFunction.isEmpty()) {
    refuseFunction(rw, c.refusedFunction);
    return nullptr;
  }
  if (rc == SQLITE_AUTH || sqlite3_extended_errcode(c.db) == SQLITE_AUTH) {
    if (!c.hiddenTable.isEmpty()) {
      const int p = FindNameToken(rw, c.hiddenTable);
      setError(942, QStringLiteral("table or view does not exist"), p < 0 ? 0 : p);
    }
    return nullptr;  // else a writing statement
  }
  mapSqliteError(sqlite3_errmsg(c.db), sqlite3_error_offset(c.db), rw, text, sql, false);
  return nullptr;
}

// A function outside the allowed ones is unknown to the user, as Oracle says of any unknown
// function.
void LocalDatabase::refuseFunction(const Rewritten& rw, const QString& name) {
  const QString upper = OracleUpper(name);
  const int p = FindNameToken(rw, upper);
  setError(904, QLatin1Char('"') + upper + QStringLiteral("\": invalid identifier"), p < 0 ? 0 : p);
}

// Bookkeeping: the SQL area and the dynamic views. Returns the statement's hash value.
quint32 LocalDatabase::record(Conn& c, const Rewritten& rw, const QString& sql) {
  if (!c.instance) return 0;
  const quint32 hash = c.instance->RecordSql(c.user.sid, sql, c.user.user);
  if (rw.mentions(QStringLiteral("V$SESSION")) || rw.mentions(QStringLiteral("V$SQL")) ||
      rw.mentions(QStringLiteral("V$SQLAREA"))) {
    c.internal = true;
    RefreshDynamicViews(c.db, c.user, *c.instance);
    c.internal = false;
  }
  return hash;
}

// The lean form of the prepared statement st (see PlanLean), bound; nullptr when st runs as it is.
sqlite3_stmt* LocalDatabase::prepareLean(Conn& c, const Rewritten& rw, sqlite3_stmt* st,
                                         std::vector<StoredColumn>& stored) {
  const LeanStatement plan = PlanLean(rw, st);
  if (plan.stored.empty()) return nullptr;
  const SqliteText text(plan.sql);
  sqlite3_stmt* lean = nullptr;
  if (sqlite3_prepare_v3(c.db, text.utf8.constData(), int(text.utf8.size()), 0, &lean, nullptr) !=
          SQLITE_OK ||
      !lean || !ReadsStoredRowids(lean, sqlite3_column_count(st), plan.stored) ||
      !bind(lean, text)) {
    sqlite3_finalize(lean);
    return nullptr;
  }
  stored = plan.stored;
  return lean;
}

std::shared_ptr<OraDynaset> LocalDatabase::CreateDynaset(const QString& sql, int options) {
  (void)options;
  if (!conn_) {
    Raise(kErrOraComponent, QString::fromLatin1(kClosedText));
    return nullptr;
  }
  err_.reset();
  // The wait hook may close this database meanwhile; the connection lives until we return.
  const std::shared_ptr<Conn> conn = conn_;
  const Rewritten rw = rewrite(sql);
  if (!acceptStatement(rw)) return nullptr;
  const SqliteText text(rw.sql);
  RunningCall running(breakPoint_, *conn);
  sqlite3_stmt* st = prepare(*conn, rw, text, sql);
  if (!st) return nullptr;
  if (!sqlite3_stmt_readonly(st) || sqlite3_column_count(st) == 0 || !bind(st, text)) {
    sqlite3_finalize(st);
    return nullptr;
  }
  const quint32 hash = record(*conn, rw, sql);
  // The statement as prepared names and types the columns; the lean one, when there is one, runs.
  std::vector<StoredColumn> stored;
  sqlite3_stmt* run = prepareLean(*conn, rw, st, stored);
  if (!run) run = st;
  const int rc = breakPoint_.broken() ? SQLITE_INTERRUPT : sqlite3_step(run);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
    mapSqliteError(rc == SQLITE_INTERRUPT ? "interrupted" : sqlite3_errmsg(conn->db), -1, rw, text,
                   sql, true);
    if (run != st) sqlite3_finalize(run);
    sqlite3_finalize(st);
    return nullptr;
  }
  auto dyn = std::make_shared<LocalDynaset>(conn, shared_from_this(), run, hash);
  const int ncol = sqlite3_column_count(st);
  for (int col = 0; col < ncol; ++col) {
    ColInfo info = DescribeColumn(st, col, ItemOfColumn(rw, col, ncol),
                                  rc == SQLITE_ROW ? sqlite3_column_type(run, col) : SQLITE_NULL);
    for (size_t i = 0; i < stored.size(); ++i)
      if (stored[i].col == col) {
        info.binaryCol = ncol + 2 * int(i);
        info.place = stored[i].place;
      }
    dyn->fieldList().list.push_back(std::make_unique<LocalField>(dyn.get(), col, std::move(info)));
  }
  if (run != st) sqlite3_finalize(st);
  dyn->prepareColumns(ncol);
  dyn->start(rc == SQLITE_ROW);
  return dyn;
}

void LocalDatabase::setRunError(const QString& msg) {
  static const QRegularExpression kOra(QStringLiteral("^ORA-(\\d{5}): "));
  const auto m = kOra.match(msg);
  if (m.hasMatch())
    setErrorText(m.captured(1).toInt(), msg);
  else if (msg == QLatin1String("interrupted"))
    setErrorText(kOraUserCancel, QString::fromLatin1(kOraUserCancelText));
  else
    setError(600, msg);
}

void LocalDynaset::MoveNext() {
  if (closed_) {
    Raise(kErrOraComponent, QString::fromLatin1(kClosedText));
    return;
  }
  if (eof_) {
    Raise(kErrOraComponent, QStringLiteral("OIP-04108: No current record"));
    return;
  }
  int rc = SQLITE_DONE;
  {
    RunningCall running(db_->breakPoint(), *conn_);
    rc = sqlite3_step(st_);
  }
  if (rc == SQLITE_ROW) {
    ClearUpperHalves();
    ++rows_;
    return;
  }
  eof_ = true;
  flushFigures();
  if (rc != SQLITE_DONE) db_->setRunError(QString::fromUtf8(sqlite3_errmsg(conn_->db)));
}

// ---------------------------------------------------------------------------------------------

class LocalSession final : public OraSession {
 public:
  std::shared_ptr<OraDatabase> OpenDatabase(const QString& host, const QString& connect,
                                            int options) override;
  void BeginTrans() override { inTrans_ = true; }
  void RollBack() override { inTrans_ = false; }
  int LastServerErr() const override { return err_.number; }
  QString LastServerErrText() const override { return err_.text; }
  void LastServerErrReset() override { err_.reset(); }

 private:
  void fail(int n, const QString& message) { err_.set(n, OraText(n, message), 0); }
  bool openFile(Conn& c, const QString& canonical);
  bool checkLogon(Conn& c, const QString& user, const QString& password);
  bool prepareConnection(Conn& c);
  ServerError err_;
  bool inTrans_ = false;
};

QString DemoPath() {
  return QDir(DataFolder()).filePath(QStringLiteral("DEMO.db"));
}

// Makes sure the sample database exists at the current schema version.
bool EnsureDemo(const QString& path, QString* error) {
  if (QFileInfo(path).isFile()) {
    sqlite3* db = nullptr;
    int version = -1;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        version = sqlite3_column_int(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
    if (version == kDemoSchemaVersion) return true;
  }
  QDir().mkpath(QFileInfo(path).absolutePath());
  return CreateDemoDatabase(path, error);
}

// How a SQLite file is opened read-only so that nothing is created beside it, also in a
// read-only folder. A file in rollback mode needs nothing beside it (SQLite itself refuses a
// hot journal it cannot roll back). A file in WAL mode is opened immutable while its -wal is
// empty, and through the writer's -shm while it holds pages; a -wal holding pages with no
// -shm (a writer that stopped short) would need a new -shm, so such a file is refused.
struct Opening {
  QByteArray uri;
  QString refusal;
};

Opening PlanOpening(const QString& canonical) {
  Opening o;
  o.uri = QByteArrayLiteral("file:") + QUrl::toPercentEncoding(canonical, "/") +
          QByteArrayLiteral("?mode=ro");
  QFile f(canonical);
  const QByteArray header = f.open(QIODevice::ReadOnly) ? f.read(20) : QByteArray();
  const bool wal = header.size() == 20 && header.startsWith(QByteArrayLiteral("SQLite format 3")) &&
                   header[18] == 2;
  if (!wal) return o;
  if (QFileInfo(canonical + QStringLiteral("-wal")).size() <= 0)
    o.uri += QByteArrayLiteral("&immutable=1");
  else if (!QFileInfo::exists(canonical + QStringLiteral("-shm")))
    o.refusal = QStringLiteral("its -wal file holds changes not yet written into it");
  return o;
}

bool LocalSession::openFile(Conn& c, const QString& canonical) {
  const Opening o = PlanOpening(canonical);
  QString why = o.refusal;
  if (why.isEmpty()) {
    // One connection serves one thread (the one that logged on), so SQLite's per-call locking
    // is left out: it would cost more than the rest of a Value().
    int rc = sqlite3_open_v2(o.uri.constData(), &c.db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK)
      rc = sqlite3_exec(c.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return true;
    if (sqlite3_extended_errcode(c.db) == SQLITE_READONLY_ROLLBACK)
      why = QStringLiteral("a journal beside it holds an unfinished change");
  }
  // A database that is readable only once a writer has finished its work says so; anything
  // else SQLite cannot read is no database this engine knows.
  if (why.isEmpty()) {
    fail(12154, QStringLiteral("TNS:could not resolve the connect identifier specified"));
    return false;
  }
  fail(376, QStringLiteral("file %1 cannot be read at this time (%2)")
                .arg(QDir::toNativeSeparators(canonical), why));
  return false;
}

// Reads the accounts the database carries, and checks the logon against them (a database
// without accounts takes anyone, as its DBA).
bool LocalSession::checkLogon(Conn& c, const QString& user, const QString& password) {
  DictUser& u = c.user;
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(c.db, "SELECT USERNAME, PASSWORD, IS_DBA FROM QUERNA_ACCOUNTS", -1, &st,
                         nullptr) == SQLITE_OK) {
    u.hasAccounts = true;
    while (sqlite3_step(st) == SQLITE_ROW) {
      Account a;
      a.user =
          OracleUpper(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))));
      a.password = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
      a.dba = sqlite3_column_int(st, 2) != 0;
      u.accounts.push_back(a);
    }
  }
  sqlite3_finalize(st);
  if (sqlite3_prepare_v2(c.db, "SELECT OBJECT_NAME, OWNER FROM QUERNA_OWNERS", -1, &st, nullptr) ==
      SQLITE_OK) {
    while (sqlite3_step(st) == SQLITE_ROW)
      u.owners.insert(
          OracleUpper(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)))),
          OracleUpper(
              QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)))));
  }
  sqlite3_finalize(st);
  if (password.isEmpty() && (u.hasAccounts || user.isEmpty())) {
    fail(1005, QStringLiteral("null password given; logon denied"));
    return false;
  }
  const Account* found = nullptr;
  for (const Account& a : u.accounts)
    if (a.user == user && a.password.compare(password, Qt::CaseInsensitive) == 0) found = &a;
  if (user.isEmpty() || (u.hasAccounts && !found)) {
    fail(1017, QStringLiteral("invalid username/password; logon denied"));
    return false;
  }
  u.dba = !u.hasAccounts || found->dba;
  u.defaultOwner = user;
  if (u.hasAccounts) {
    u.defaultOwner = u.accounts.isEmpty() ? user : QStringLiteral("SCOTT");
    for (const Account& a : u.accounts)
      if (!a.dba) {
        u.defaultOwner = a.user;
        break;
      }
  }
  u.user = user;
  return true;
}

// Hardens the connection, registers its functions and builds its data dictionary.
bool LocalSession::prepareConnection(Conn& c) {
  DictUser& u = c.user;
  c.schemas.insert(u.user);
  for (const Account& a : u.accounts) c.schemas.insert(a.user);
  c.schemas.insert(QStringLiteral("SYSTEM"));
  c.instance = Instance::For(u.dbPath);
  u.sid = c.instance->AddSession(u.user);
  Harden(c.db);
  RegisterAllowedFunctions(c);
  sqlite3_set_authorizer(c.db, Authorizer, &c);
  sqlite3_progress_handler(c.db, kProgressSteps, OnProgress, &c);
  QString why;
  c.internal = true;
  const bool built = BuildDictionary(c.db, u, &c.dateColumns, &why);
  c.internal = false;
  if (built) return true;
  c.instance->RemoveSession(u.sid);
  Raise(kErrOraComponent, QStringLiteral("The data dictionary could not be built: %1").arg(why));
  return false;
}

std::shared_ptr<OraDatabase> LocalSession::OpenDatabase(const QString& host, const QString& connect,
                                                        int options) {
  (void)options;
  err_.reset();
  const QString h = host.trimmed();
  QString path = h;
  if (h.compare(QStringLiteral("DEMO"), Qt::CaseInsensitive) == 0) {
    path = DemoPath();
    QString why;
    if (!EnsureDemo(path, &why)) {
      Raise(kErrOraComponent,
            QStringLiteral("The sample database could not be created: %1").arg(why));
      return nullptr;
    }
  } else if (!QFileInfo(path).isFile()) {
    fail(12154, QStringLiteral("TNS:could not resolve the connect identifier specified"));
    return nullptr;
  }
  // user/password
  const int slash = int(connect.indexOf(QLatin1Char('/')));
  QString user = (slash < 0 ? connect : connect.left(slash)).trimmed();
  QString password = slash < 0 ? QString() : connect.mid(slash + 1);
  const int at = int(password.indexOf(QLatin1Char('@')));
  if (at >= 0) password = password.left(at);
  if (user.size() >= 2 && user.startsWith(QLatin1Char('"')) && user.endsWith(QLatin1Char('"')))
    user = user.mid(1, user.size() - 2);
  else
    user = OracleUpper(user);

  auto conn = std::make_shared<Conn>();
  const QString canonical = QFileInfo(path).canonicalFilePath();
  if (!openFile(*conn, canonical)) return nullptr;
  sqlite3_exec(conn->db, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
  conn->user.dbPath = canonical;
  if (!checkLogon(*conn, user, password) || !prepareConnection(*conn)) return nullptr;
  return std::make_shared<LocalDatabase>(std::move(conn));
}

}  // namespace

std::shared_ptr<OraSession> CreateLocalSession() {
  return std::make_shared<LocalSession>();
}

}  // namespace ora::local
