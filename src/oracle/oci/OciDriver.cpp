#include "oracle/oci/OciDriver.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "core/RunErr.h"
#include "oracle/oci/OciApi.h"
#include "oracle/oci/OciConvert.h"

// How a statement stays stoppable on a slow server. Every call that waits on the server (the
// execution, each array fetch, each LOB read) runs on a helper thread while the calling thread
// waits and calls the database's wait hook every few milliseconds, so the window keeps painting
// and its stop command can reach Break(). Break() sends OCIBreak only while one of those calls is
// actually running (a break with nothing running would hit the next call); between calls it only
// keeps the next one from starting. The stopped call ends with ORA-01013 and the connection
// stays usable. A connection never serves two calls at once: a new statement first stops and joins
// the one in flight, and a result set closed while another one fetches releases its statement
// only when that fetch is over.

namespace ora::oci {

namespace {

using namespace std::chrono_literals;

constexpr auto kWaitSlice = 10ms;
constexpr std::size_t kBatchBytes = 4u << 20;
constexpr ub4 kMaxBatchRows = 1000;
constexpr ub4 kFirstPrefetchRows = 100;
// Define buffer sizes in bytes. A text is fetched as UTF-8, which takes at most three bytes for
// every byte the database stores; ub2 return lengths cap any buffer below 64 KiB, which is also
// how much of a LONG or LONG RAW value is read.
constexpr sb4 kMaxBuffer = 65532;
constexpr sb4 kNumberBuffer = 64;
constexpr sb4 kShortTextBuffer = 256;
constexpr sb4 kLongTextBuffer = 4000;
// How much of a LOB is read: characters of a CLOB or NCLOB, bytes of a BLOB.
constexpr std::uint64_t kLobCap = 65536;
// A UTF-8 character takes at most four bytes.
constexpr std::uint64_t kMaxUtf8Bytes = 4;
// Widths of the text forms of types the grid shows as text.
constexpr int kTimestampWidth = 29;    // 2001/04/06 21:05:07.123456789
constexpr int kTimestampTzWidth = 36;  // ... +09:00
constexpr int kIntervalWidth = 30;     // +000000001 02:03:04.000000000
constexpr int kFloatWidth = 25;        // -1.2345678901234567e-308

// The call wrapper's answer when a stop asked for earlier kept the call from starting.
constexpr sword kNotStarted = -99999;

// The component's own failures read as on the local engine.
const QString kClosedText = QStringLiteral("OIP-04100: the object has been closed");
const QString kNoCurrentRecord = QStringLiteral("OIP-04108: No current record");
const QString kOutOfRange = QStringLiteral("Subscript out of range");
// Follows the part of a text value that was read when the rest was cut off.
const QString kCutMark = QStringLiteral("…(以下省略)");
const QString kForUpdateText = QStringLiteral(
    "SELECT ... FOR UPDATE は行をロックするため実行できません(FOR UPDATE "
    "を外して実行してください)");

// Session settings the driver reads values by: numbers with a decimal point, and time stamps in
// the grid's date form with their fraction (and zone). DATE values travel as bytes, so the date
// format stays the user's and his date literals keep working.
const char kSessionSettings[] =
    "ALTER SESSION SET NLS_NUMERIC_CHARACTERS = '.,' "
    "NLS_TIMESTAMP_FORMAT = 'YYYY/MM/DD HH24:MI:SS.FF' "
    "NLS_TIMESTAMP_TZ_FORMAT = 'YYYY/MM/DD HH24:MI:SS.FF TZH:TZM'";

bool Succeeded(sword rc) {
  return rc == OCI_SUCCESS || rc == OCI_SUCCESS_WITH_INFO;
}

struct ServerError {
  int number = 0;
  QString text;
  int pos = 0;
};

// The error of a failed call: the client's text, as the server words it, without the line end
// OCIErrorGet appends.
ServerError ReadError(const Api& api, Handle* handle, ub4 handleType) {
  ServerError e;
  sb4 code = 0;
  std::vector<OraText> buf(kErrorMessageSize, 0);
  if (api.errorGet(handle, 1, nullptr, &code, buf.data(), kErrorMessageSize, handleType) !=
          OCI_SUCCESS ||
      code == 0) {
    // A failed call always reports a failure, even when the client has no text for it.
    e.number = kErrOraComponent;
    e.text = QStringLiteral("オラクルクライアントの呼び出しに失敗しました");
    return e;
  }
  e.number = code;
  buf.back() = 0;
  QString text = QString::fromUtf8(reinterpret_cast<const char*>(buf.data()));
  while (!text.isEmpty() && text.back().isSpace()) text.chop(1);
  e.text = text;
  return e;
}

// Reads a numeric attribute through a zeroed buffer wider than any attribute, so a client that
// writes more bytes than expected cannot overrun it.
union AttrValue {
  std::uint64_t u64;
  ub4 u32;
  ub2 u16;
  sb2 s16;
  ub1 u8;
  sb1 s8;
};

AttrValue ReadAttr(const Api& api, const Handle* h, ub4 type, ub4 attr, Handle* err, bool* ok) {
  AttrValue v{};
  const sword rc = api.attrGet(h, type, &v, nullptr, attr, err);
  if (ok) *ok = rc == OCI_SUCCESS;
  return v;
}

// Prepares a statement; a prepare that succeeds with a warning is a success.
bool Prepare(const Api& api, Handle* svc, Handle* err, const QByteArray& text, Handle** stmt) {
  return Succeeded(
      api.stmtPrepare2(svc, stmt, err, reinterpret_cast<const OraText*>(text.constData()),
                       static_cast<ub4>(text.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT));
}

struct Env {
  std::shared_ptr<const Api> api;
  Handle* handle = nullptr;
  ~Env() {
    if (handle) api->handleFree(handle, OCI_HTYPE_ENV);
  }
};

// Work running on the helper thread for the calling thread that waits on it.
struct Operation {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  void Join() {
    if (thread.joinable()) thread.join();
  }
};

class OciDynaset;

// The server, session and service context of one logon, shared by the database object and its
// result sets, and the database's server error state.
class Connection {
 public:
  Connection(std::shared_ptr<Env> env, Handle* err, Handle* breakErr, Handle* server, Handle* svc,
             Handle* session)
      : env_(std::move(env)),
        api(*env_->api),
        err(err),
        breakErr(breakErr),
        server(server),
        svc(svc),
        session(session) {}
  ~Connection() { Close(); }

  bool IsOpen() const { return open_; }
  Handle* env() const { return env_->handle; }
  bool IsRunning() {
    std::lock_guard lock(mutex_);
    return running_ != nullptr;
  }

  // Runs work on a helper thread and waits for it, calling the wait hook meanwhile.
  template <typename F>
  void Run(F&& work) {
    auto op = std::make_shared<Operation>();
    {
      std::lock_guard lock(mutex_);
      stopAsked_ = false;
      running_ = op;
    }
    op->thread = std::thread([op, &work] {
      work();
      std::lock_guard lock(op->mutex);
      op->done = true;
      op->cv.notify_all();
    });
    const std::function<void()> hook = waitHook;
    std::unique_lock lock(op->mutex);
    while (!op->done) {
      if (op->cv.wait_for(lock, kWaitSlice, [&] { return op->done; }) || !hook) continue;
      lock.unlock();
      hook();
      lock.lock();
    }
    lock.unlock();
    op->Join();
    {
      std::lock_guard stateLock(mutex_);
      if (running_ == op) running_.reset();
    }
    ReleaseDeferred();
  }

  // Runs one OCI call that waits on the server, marked as running so that Break() may reach it;
  // kNotStarted when a stop was asked for before it began.
  template <typename F>
  sword Call(F&& call) {
    {
      std::lock_guard lock(mutex_);
      if (stopAsked_) return kNotStarted;
      inCall_ = true;
    }
    const sword rc = call();
    std::lock_guard lock(mutex_);
    inCall_ = false;
    return rc;
  }

  // The error of a failed Call.
  ServerError Failure(sword rc) const {
    if (rc == kNotStarted) return {kOraUserCancel, QString::fromLatin1(kOraUserCancelText)};
    return ReadError(api, err, OCI_HTYPE_ERROR);
  }

  void Break() {
    std::lock_guard lock(mutex_);
    if (!open_ || !running_) return;
    stopAsked_ = true;
    if (inCall_) api.breakCall(svc, breakErr);
  }

  // Stops and joins the work in flight on this connection, if any.
  void StopRunning() {
    std::shared_ptr<Operation> op;
    {
      std::lock_guard lock(mutex_);
      op = running_;
    }
    if (!op) return;
    Break();
    op->Join();
  }

  // Releases a statement now, or once the call in flight is over.
  void ReleaseStatement(Handle* stmt) {
    if (IsRunning()) {
      deferred_.push_back(stmt);
      return;
    }
    api.stmtRelease(stmt, err, nullptr, 0, OCI_DEFAULT);
  }

  void Register(const std::shared_ptr<OciDynaset>& d) { dynasets_.push_back(d); }
  void Forget(const OciDynaset* d);
  // Rolls back, ends the session and detaches; result sets still open are closed first.
  void Close();
  // A rollback error, or 0.
  ServerError RollBack() {
    if (!open_) return {};
    StopRunning();
    if (api.transRollback(svc, err, OCI_DEFAULT) != OCI_SUCCESS)
      return ReadError(api, err, OCI_HTYPE_ERROR);
    return {};
  }

 private:
  void ReleaseDeferred() {
    for (Handle* stmt : std::exchange(deferred_, {}))
      api.stmtRelease(stmt, err, nullptr, 0, OCI_DEFAULT);
  }

  std::shared_ptr<Env> env_;
  bool open_ = true;
  std::vector<std::weak_ptr<OciDynaset>> dynasets_;
  std::vector<Handle*> deferred_;
  std::mutex mutex_;
  std::shared_ptr<Operation> running_;
  bool stopAsked_ = false;
  bool inCall_ = false;

 public:
  const Api& api;
  Handle* err;
  Handle* breakErr;
  Handle* server;
  Handle* svc;
  Handle* session;
  std::function<void()> waitHook;
  ServerError lastError;
};

// The length of the longest prefix of a cut UTF-8 text that ends on a whole character.
int WholeUtf8Prefix(const char* p, int len) {
  int lead = len;
  while (lead > 0 && (static_cast<unsigned char>(p[lead - 1]) & 0xC0) == 0x80) --lead;
  if (lead == 0) return len;
  const auto c = static_cast<unsigned char>(p[lead - 1]);
  const int need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return lead - 1 + need > len ? lead - 1 : len;
}

// One select-list column: what describe said and where its array of values is fetched to.
struct Column {
  QString name;
  int describeType = 0;
  int oraType = 0;
  int maxSize = 0;
  int dispSize = 0;
  int precision = 0;
  int scale = 0;
  ub1 charsetForm = SQLCS_IMPLICIT;
  ub2 defineType = SQLT_CHR;
  sb4 bufSize = 0;
  std::vector<char> buffer;
  std::vector<sb2> ind;
  std::vector<ub2> rlen;
  std::vector<ub2> rcode;
  // One LOB locator per row for a LOB column.
  std::vector<Handle*> locators;

  bool IsLob() const { return defineType == SQLT_CLOB || defineType == SQLT_BLOB; }

  QVariant Convert(ub4 row) const {
    if (ind[row] == OCI_IND_NULL) return {};
    const char* p = buffer.data() + static_cast<std::size_t>(row) * bufSize;
    int len = std::min<int>(rlen[row], bufSize);
    // A value longer than the buffer comes back cut, with 1406 and its full length (or -2) in
    // the indicator.
    const bool cut = rcode[row] == kOraValueTruncated || ind[row] != 0;
    switch (defineType) {
      case SQLT_DAT:
        return DecodeOracleDate(reinterpret_cast<const unsigned char*>(p));
      case SQLT_BFLOAT: {
        float f = 0;
        std::memcpy(&f, p, sizeof f);
        return WidenFloat(f);
      }
      case SQLT_BDOUBLE: {
        double d = 0;
        std::memcpy(&d, p, sizeof d);
        return d;
      }
      case SQLT_BIN:
      case SQLT_LBI:
        return QByteArray(p, len);
      default:
        if (describeType == SQLT_NUM) return NumberTextToValue(QByteArray(p, len));
        if (!cut) return QString::fromUtf8(p, len);
        return QString::fromUtf8(p, WholeUtf8Prefix(p, len)) + kCutMark;
    }
  }
};

// The width of the text form of a time stamp or an interval.
int TextWidth(int describeType) {
  switch (describeType) {
    case SQLT_TIMESTAMP_TZ:
      return kTimestampTzWidth;
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
      return kIntervalWidth;
    default:
      return kTimestampWidth;
  }
}

// The define type and buffer size that fetch a described column, and the sizes the column
// reports for the type code it is shown as.
void ChooseDefine(Column& c, int dataSize, int charSize) {
  const sb4 textBytes = std::clamp<sb4>(std::max(dataSize, charSize) * 3, 1, kMaxBuffer);
  c.maxSize = dataSize;
  switch (c.describeType) {
    case SQLT_NUM:
      c.defineType = SQLT_CHR;
      c.bufSize = kNumberBuffer;
      break;
    case SQLT_DAT:
    case SQLT_DATE:
      c.defineType = SQLT_DAT;
      c.bufSize = 7;
      break;
    case SQLT_CHR:
    case SQLT_AFC:
      // CHAR too: the fixed-length external type would pad the value to the whole buffer.
      c.defineType = SQLT_CHR;
      c.bufSize = textBytes;
      break;
    case SQLT_LNG:
      c.defineType = SQLT_CHR;
      c.bufSize = kMaxBuffer;
      break;
    case SQLT_BIN:
      c.defineType = SQLT_BIN;
      c.bufSize = std::clamp<sb4>(dataSize, 1, kMaxBuffer);
      break;
    case SQLT_LBI:
      c.defineType = SQLT_LBI;
      c.bufSize = kMaxBuffer;
      break;
    case SQLT_CLOB:
    case SQLT_BLOB:
      c.defineType = c.describeType;
      c.bufSize = sizeof(Handle*);
      if (c.describeType == SQLT_CLOB) c.maxSize = c.dispSize = static_cast<int>(kLobCap);
      break;
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE:
      c.defineType = c.describeType == SQLT_IBFLOAT ? SQLT_BFLOAT : SQLT_BDOUBLE;
      c.bufSize = c.describeType == SQLT_IBFLOAT ? sizeof(float) : sizeof(double);
      c.dispSize = kFloatWidth;
      break;
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_LTZ:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
      // As text in the session's formats, set at logon.
      c.defineType = SQLT_CHR;
      c.bufSize = kShortTextBuffer;
      c.maxSize = c.dispSize = TextWidth(c.describeType);
      break;
    default:
      // ROWID and anything else the server can turn into text; what it cannot turn into text
      // fails with the server's own error.
      c.defineType = SQLT_CHR;
      c.bufSize = kLongTextBuffer;
      break;
  }
}

void FreeLocators(const Api& api, std::vector<Column>& columns) {
  for (Column& c : columns) {
    for (Handle* loc : c.locators) api.descriptorFree(loc, OCI_DTYPE_LOB);
    c.locators.clear();
  }
}

class OciField : public OraField {
 public:
  OciField(const OciDynaset& owner, int index) : owner_(owner), index_(index) {}
  QString Name() const override;
  QVariant Value() const override;
  int OraIDataType() const override;
  int OraMaxSize() const override;
  int OraMaxDSize() const override;
  int OraPrecision() const override;
  int OraScale() const override;
  int FieldSize() const override;

 private:
  const Column& Col() const;
  const OciDynaset& owner_;
  int index_;
};

class OciFields : public OraFields {
 public:
  int Count() const override { return static_cast<int>(items.size()); }
  OraField* Item(int index) override {
    if (index < 0 || index >= Count()) {
      Raise(kErrOutOfRange, kOutOfRange);
      return nullptr;
    }
    return items[static_cast<std::size_t>(index)].get();
  }
  std::vector<std::unique_ptr<OciField>> items;
};

// The outcome of one array fetch.
struct Batch {
  sword status = OCI_SUCCESS;
  ub4 rows = 0;
  ServerError error;
  std::vector<QVariant> values;
  bool Failed() const { return error.number != 0; }
};

class OciDynaset : public OraDynaset, public std::enable_shared_from_this<OciDynaset> {
 public:
  OciDynaset(std::shared_ptr<Connection> conn, Handle* stmt, std::vector<Column> columns,
             ub4 batchRows)
      : conn_(std::move(conn)), stmt_(stmt), columns_(std::move(columns)), batchRows_(batchRows) {
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i)
      fields_.items.push_back(std::make_unique<OciField>(*this, i));
  }
  ~OciDynaset() override { Close(); }

  bool IsEOF() const override { return eof_; }
  OraFields& Fields() override { return fields_; }
  void MoveNext() override;
  void Close() override;

  // Runs the first fetch; the failure (ORA-01013 when it was stopped) when there is one.
  ServerError FetchFirst() {
    Batch b;
    Fetch(b);
    if (!b.Failed()) Apply(b);
    return b.error;
  }

  const Column& ColumnAt(int i) const { return columns_[static_cast<std::size_t>(i)]; }
  // The current record's value of a column; Null, with a pending error, when there is none.
  QVariant ValueAt(int col) const {
    if (closed_ || eof_ || current_ >= rowsInBatch_) {
      Raise(kErrOraComponent, closed_ ? kClosedText : kNoCurrentRecord);
      return {};
    }
    return values_[static_cast<std::size_t>(current_) * columns_.size() +
                   static_cast<std::size_t>(col)];
  }

 private:
  void Fetch(Batch& b) {
    fetching_ = true;
    conn_->Run([&] { FetchBatch(b); });
    fetching_ = false;
  }
  void FetchBatch(Batch& b) const;
  bool ReadLob(const Column& c, Handle* locator, QVariant& value, ServerError& error) const;
  void Apply(Batch& b);

  std::shared_ptr<Connection> conn_;
  Handle* stmt_;
  std::vector<Column> columns_;
  ub4 batchRows_;
  OciFields fields_;
  std::vector<QVariant> values_;
  ub4 rowsInBatch_ = 0;
  ub4 current_ = 0;
  bool lastBatch_ = false;
  bool eof_ = true;
  bool closed_ = false;
  bool fetching_ = false;
};

const Column& OciField::Col() const {
  return owner_.ColumnAt(index_);
}
QString OciField::Name() const {
  return Col().name;
}
QVariant OciField::Value() const {
  return owner_.ValueAt(index_);
}
int OciField::OraIDataType() const {
  return Col().oraType;
}
int OciField::OraMaxSize() const {
  return Col().maxSize;
}
int OciField::OraMaxDSize() const {
  const Column& c = Col();
  if (c.dispSize > 0) return c.dispSize;
  if (c.describeType == SQLT_NUM) return c.precision > 0 ? c.precision + 2 : 40;
  return c.maxSize;
}
int OciField::OraPrecision() const {
  return Col().precision;
}
int OciField::OraScale() const {
  return Col().scale;
}
int OciField::FieldSize() const {
  const Column& c = Col();
  if (c.describeType != SQLT_LNG && c.describeType != SQLT_LBI && !c.IsLob()) return c.maxSize;
  const QVariant v = Value();
  if (IsNull(v)) return 0;
  return static_cast<int>(v.typeId() == QMetaType::QByteArray ? v.toByteArray().size()
                                                              : v.toString().toUtf8().size());
}

bool OciDynaset::ReadLob(const Column& c, Handle* locator, QVariant& value,
                         ServerError& error) const {
  Connection& conn = *conn_;
  const Api& api = conn.api;
  std::uint64_t length = 0;
  sword rc = conn.Call([&] { return api.lobGetLength2(conn.svc, conn.err, locator, &length); });
  const bool text = c.defineType == SQLT_CLOB;
  const std::uint64_t amount = std::min(length, kLobCap);
  std::vector<char> buf(
      static_cast<std::size_t>(std::max<std::uint64_t>(text ? amount * kMaxUtf8Bytes : amount, 1)));
  std::uint64_t bytes = text ? 0 : amount;
  std::uint64_t chars = text ? amount : 0;
  if (Succeeded(rc) && amount > 0) {
    rc = conn.Call([&] {
      return api.lobRead2(conn.svc, conn.err, locator, &bytes, &chars, 1, buf.data(), buf.size(),
                          OCI_ONE_PIECE, nullptr, nullptr, text ? kCharsetAL32UTF8 : 0,
                          c.charsetForm);
    });
  }
  if (!Succeeded(rc)) {
    error = conn.Failure(rc);
    return false;
  }
  const int n = static_cast<int>(std::min<std::uint64_t>(amount > 0 ? bytes : 0, buf.size()));
  if (!text) {
    value = QByteArray(buf.data(), n);
  } else {
    QString s = QString::fromUtf8(buf.data(), n);
    if (length > kLobCap) s += kCutMark;
    value = s;
  }
  return true;
}

void OciDynaset::FetchBatch(Batch& b) const {
  Connection& conn = *conn_;
  const Api& api = conn.api;
  b.status = conn.Call(
      [&] { return api.stmtFetch2(stmt_, conn.err, batchRows_, OCI_FETCH_NEXT, 0, OCI_DEFAULT); });
  if (b.status != OCI_SUCCESS && b.status != OCI_SUCCESS_WITH_INFO && b.status != OCI_NO_DATA) {
    b.error = conn.Failure(b.status);
    if (b.status == kNotStarted) return;
  }
  bool ok = false;
  const AttrValue fetched =
      ReadAttr(api, stmt_, OCI_HTYPE_STMT, OCI_ATTR_ROWS_FETCHED, conn.err, &ok);
  const ub4 rows = ok ? std::min(fetched.u32, batchRows_) : 0;
  b.values.reserve(static_cast<std::size_t>(rows) * columns_.size());
  for (ub4 r = 0; r < rows; ++r) {
    for (const Column& c : columns_) {
      QVariant v;
      if (!c.IsLob() || c.ind[r] == OCI_IND_NULL) {
        v = c.Convert(r);
      } else if (!ReadLob(c, c.locators[r], v, b.error)) {
        // The rows before this one stand; the failure ends the result set.
        b.values.resize(static_cast<std::size_t>(r) * columns_.size());
        b.rows = r;
        return;
      }
      b.values.push_back(std::move(v));
    }
  }
  b.rows = rows;
}

void OciDynaset::Apply(Batch& b) {
  values_ = std::move(b.values);
  rowsInBatch_ = b.rows;
  current_ = 0;
  lastBatch_ = b.Failed() || b.status == OCI_NO_DATA || b.rows == 0;
  eof_ = rowsInBatch_ == 0;
  // A stop ends the rows without an error: it is what the user asked for.
  if (b.Failed() && b.error.number != kOraUserCancel) conn_->lastError = b.error;
}

void OciDynaset::MoveNext() {
  if (closed_) {
    Raise(kErrOraComponent, kClosedText);
    return;
  }
  if (eof_) {
    Raise(kErrOraComponent, kNoCurrentRecord);
    return;
  }
  if (fetching_) {
    // A window message handled while this result set waits for rows asked it to move again.
    Raise(kErrOraComponent, QStringLiteral("OIP-04108: the result set is waiting for rows"));
    return;
  }
  if (++current_ < rowsInBatch_) return;
  if (lastBatch_) {
    eof_ = true;
    return;
  }
  // A handler run during the wait may release the last reference held elsewhere.
  const auto self = shared_from_this();
  conn_->StopRunning();
  Batch b;
  Fetch(b);
  if (closed_) return;
  Apply(b);
}

void OciDynaset::Close() {
  if (closed_) return;
  // Closed from a handler while its own fetch waits: that fetch is stopped first.
  if (fetching_) conn_->StopRunning();
  closed_ = true;
  eof_ = true;
  values_.clear();
  if (conn_->IsOpen()) {
    conn_->ReleaseStatement(stmt_);
    FreeLocators(conn_->api, columns_);
  }
  conn_->Forget(this);
}

void Connection::Forget(const OciDynaset* d) {
  std::erase_if(dynasets_, [d](const std::weak_ptr<OciDynaset>& w) {
    auto p = w.lock();
    return !p || p.get() == d;
  });
}

void Connection::Close() {
  if (!open_) return;
  StopRunning();
  // Closing a result set forgets it here, so work on a copy.
  const auto open = dynasets_;
  for (const auto& w : open) {
    if (auto d = w.lock()) d->Close();
  }
  dynasets_.clear();
  ReleaseDeferred();
  api.transRollback(svc, err, OCI_DEFAULT);
  api.sessionEnd(svc, err, session, OCI_DEFAULT);
  api.serverDetach(server, err, OCI_DEFAULT);
  {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  api.handleFree(session, OCI_HTYPE_SESSION);
  api.handleFree(svc, OCI_HTYPE_SVCCTX);
  api.handleFree(server, OCI_HTYPE_SERVER);
  api.handleFree(breakErr, OCI_HTYPE_ERROR);
  api.handleFree(err, OCI_HTYPE_ERROR);
}

class OciParameter : public OraParameter {
 public:
  OciParameter(QString name, QVariant value, int kind)
      : name_(std::move(name)), value_(std::move(value)), kind_(kind) {
    const int t = value_.typeId();
    serverType_ =
        (t == QMetaType::QDateTime || t == QMetaType::QDate) ? ORATYPE_DATE : ORATYPE_VARCHAR2;
  }
  QString Name() const override { return name_; }
  QVariant Value() const override { return value_; }
  void SetValue(const QVariant& value) override { value_ = value; }
  int ServerType() const override { return serverType_; }
  void SetServerType(int type) override { serverType_ = type; }
  int Status() const override {
    switch (kind_) {
      case ORAPARM_OUTPUT:
        return ORAPSTAT_OUTPUT;
      case ORAPARM_BOTH:
        return ORAPSTAT_BOTH;
      default:
        return ORAPSTAT_INPUT;
    }
  }

 private:
  QString name_;
  QVariant value_;
  int kind_;
  int serverType_;
};

class OciParameters : public OraParameters {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  void Add(const QString& name, const QVariant& value, int kind) override {
    if (name.isEmpty() || kind < ORAPARM_INPUT || kind > ORAPARM_BOTH) {
      Raise(kErrInvalidProcedureCall, QStringLiteral("Invalid procedure call or argument"));
      return;
    }
    if (Find(name) >= 0) {
      Raise(kErrOraComponent, QStringLiteral("OIP-04119: Parameter %1 already exists").arg(name));
      return;
    }
    items_.push_back(std::make_unique<OciParameter>(name, value, kind));
  }
  void Remove(const QString& name) override {
    const int i = Find(name);
    if (i < 0) {
      Raise(kErrOraComponent, QStringLiteral("OIP-04118: Parameter %1 not found").arg(name));
      return;
    }
    items_.erase(items_.begin() + i);
  }
  OraParameter* Item(int index) override {
    if (index < 0 || index >= Count()) {
      Raise(kErrOutOfRange, kOutOfRange);
      return nullptr;
    }
    return items_[static_cast<std::size_t>(index)].get();
  }
  OraParameter* Item(const QString& name) override {
    const int i = Find(name);
    if (i < 0) {
      Raise(kErrOraComponent, QStringLiteral("OIP-04118: Parameter %1 not found").arg(name));
      return nullptr;
    }
    return items_[static_cast<std::size_t>(i)].get();
  }
  // The parameter a placeholder name refers to; nullptr when none. Never raises.
  const OciParameter* ForPlaceholder(const QString& placeholder) const {
    for (const auto& p : items_) {
      QString n = p->Name();
      if (n.startsWith(QLatin1Char(':'))) n.remove(0, 1);
      if (n.compare(placeholder, Qt::CaseInsensitive) == 0) return p.get();
    }
    return nullptr;
  }

 private:
  int Find(const QString& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i]->Name().compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<std::unique_ptr<OciParameter>> items_;
};

// A bound value; the buffers must stay put until the statement has run.
struct BindValue {
  QByteArray data;
  unsigned char date[7] = {};
  unsigned char number[22] = {};
  sb2 ind = 0;
  ub2 type = SQLT_CHR;

  void* Value() {
    switch (type) {
      case SQLT_DAT:
        return date;
      case SQLT_VNU:
        return number;
      default:
        return data.data();
    }
  }
  sb4 Size() const {
    switch (type) {
      case SQLT_DAT:
        return sizeof date;
      case SQLT_VNU:
        return sizeof number;
      default:
        return static_cast<sb4>(data.size());
    }
  }
};

BindValue MakeBindValue(const OciParameter& p) {
  BindValue b;
  const QVariant v = p.Value();
  if (IsNull(v)) {
    b.ind = OCI_IND_NULL;
    return b;
  }
  if (p.ServerType() == ORATYPE_DATE) {
    QDateTime dt;
    if (v.typeId() == QMetaType::QDate) {
      dt = QDateTime(v.toDate(), QTime(0, 0));
    } else if (v.typeId() == QMetaType::QDateTime) {
      dt = v.toDateTime();
    } else {
      const QString s = v.toString().trimmed();
      for (const char* f :
           {"yyyy/MM/dd HH:mm:ss", "yyyy/MM/dd", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd"}) {
        dt = QDateTime::fromString(s, QLatin1String(f));
        if (dt.isValid()) break;
      }
    }
    if (EncodeOracleDate(dt, b.date)) {
      b.type = SQLT_DAT;
      return b;
    }
    // Not a date this side can read: the server converts the text by its own date format and
    // reports its own error when it cannot.
  }
  // A number goes as a number, whatever the session's decimal sign; text that is not a number
  // goes as text and the server reports it.
  if (p.ServerType() == ORATYPE_NUMBER && EncodeOracleNumber(v.toString(), b.number)) {
    b.type = SQLT_VNU;
    return b;
  }
  b.data = v.toString().toUtf8();
  b.type = p.ServerType() == ORATYPE_CHAR ? SQLT_AFC : SQLT_CHR;
  return b;
}

class OciDatabase : public OraDatabase {
 public:
  // Releasing the object does not close the connection while a result set still uses it; the
  // connection closes itself when the last user lets it go.
  explicit OciDatabase(std::shared_ptr<Connection> conn) : conn_(std::move(conn)) {}

  std::shared_ptr<OraDynaset> CreateDynaset(const QString& sql, int options) override;
  OraParameters& Parameters() override { return params_; }
  int LastServerErr() const override { return conn_->lastError.number; }
  QString LastServerErrText() const override { return conn_->lastError.text; }
  int LastServerErrPos() const override { return conn_->lastError.pos; }
  void LastServerErrReset() override { conn_->lastError = {}; }
  void Close() override { conn_->Close(); }
  void Break() override { conn_->Break(); }
  void SetWaitHook(std::function<void()> hook) override { conn_->waitHook = std::move(hook); }

 private:
  // Binds every placeholder that has a parameter of its name; false when a bind fails. Parameters
  // the statement does not use are left out, so a session's variables never stop an unrelated
  // statement.
  bool Bind(Handle* stmt, const QString& sql, std::vector<BindValue>& binds);
  // Describes the select list and defines where its values go; false when a call fails.
  bool Define(Handle* stmt, std::vector<Column>& columns, ub4& batchRows);

  std::shared_ptr<Connection> conn_;
  OciParameters params_;
};

bool OciDatabase::Bind(Handle* stmt, const QString& sql, std::vector<BindValue>& binds) {
  Connection& c = *conn_;
  const QStringList placeholders = PlaceholderNames(sql);
  binds.reserve(static_cast<std::size_t>(placeholders.size()));
  for (const QString& name : placeholders) {
    const OciParameter* p = params_.ForPlaceholder(name);
    if (!p) continue;
    BindValue& b = binds.emplace_back(MakeBindValue(*p));
    const QByteArray placeholder = ':' + name.toUtf8();
    Handle* bind = nullptr;
    if (c.api.bindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(placeholder.data()),
                         static_cast<sb4>(placeholder.size()), b.Value(), b.Size(), b.type, &b.ind,
                         nullptr, nullptr, 0, nullptr, OCI_DEFAULT) != OCI_SUCCESS)
      return false;
  }
  return true;
}

bool OciDatabase::Define(Handle* stmt, std::vector<Column>& columns, ub4& batchRows) {
  Connection& c = *conn_;
  const Api& api = c.api;
  const AttrValue count = ReadAttr(api, stmt, OCI_HTYPE_STMT, OCI_ATTR_PARAM_COUNT, c.err, nullptr);
  columns.resize(count.u32);
  std::size_t rowBytes = 0;
  for (ub4 i = 0; i < count.u32; ++i) {
    Column& col = columns[i];
    Handle* param = nullptr;
    if (api.paramGet(stmt, OCI_HTYPE_STMT, c.err, &param, i + 1) != OCI_SUCCESS) return false;
    OraText* name = nullptr;
    ub4 nameLen = 0;
    api.attrGet(param, OCI_DTYPE_PARAM, &name, &nameLen, OCI_ATTR_NAME, c.err);
    if (name) col.name = QString::fromUtf8(reinterpret_cast<const char*>(name), nameLen);
    auto attr = [&](ub4 a) { return ReadAttr(api, param, OCI_DTYPE_PARAM, a, c.err, nullptr); };
    col.describeType = attr(OCI_ATTR_DATA_TYPE).u16;
    col.oraType = ComponentTypeCode(col.describeType);
    col.dispSize = attr(OCI_ATTR_DISP_SIZE).u16;
    col.precision = attr(OCI_ATTR_PRECISION).s16;
    col.scale = attr(OCI_ATTR_SCALE).s8;
    // NCLOB is read in the national character set's form.
    if (attr(OCI_ATTR_CHARSET_FORM).u8 == SQLCS_NCHAR) col.charsetForm = SQLCS_NCHAR;
    const int dataSize = attr(OCI_ATTR_DATA_SIZE).u16;
    const int charSize = attr(OCI_ATTR_CHAR_SIZE).u16;
    api.descriptorFree(param, OCI_DTYPE_PARAM);
    ChooseDefine(col, dataSize, charSize);
    // A LOB value is read up to its cap after the fetch.
    const std::size_t valueBytes =
        col.IsLob() ? static_cast<std::size_t>(kLobCap) : static_cast<std::size_t>(col.bufSize);
    rowBytes += valueBytes + sizeof(sb2) + 2 * sizeof(ub2);
  }
  // As many rows per fetch as fit the batch memory, so wide rows cannot exhaust memory.
  batchRows = static_cast<ub4>(
      std::clamp<std::size_t>(kBatchBytes / std::max<std::size_t>(rowBytes, 1), 1, kMaxBatchRows));
  for (ub4 i = 0; i < count.u32; ++i) {
    Column& col = columns[i];
    col.buffer.assign(static_cast<std::size_t>(col.bufSize) * batchRows, 0);
    col.ind.assign(batchRows, 0);
    col.rlen.assign(batchRows, 0);
    col.rcode.assign(batchRows, 0);
    void* target = col.buffer.data();
    if (col.IsLob()) {
      col.locators.assign(batchRows, nullptr);
      for (Handle*& loc : col.locators) {
        if (api.descriptorAlloc(c.env(), &loc, OCI_DTYPE_LOB, 0, nullptr) != OCI_SUCCESS)
          return false;
      }
      target = col.locators.data();
    }
    Handle* define = nullptr;
    if (api.defineByPos(stmt, &define, c.err, i + 1, target, col.bufSize, col.defineType,
                        col.ind.data(), col.rlen.data(), col.rcode.data(),
                        OCI_DEFAULT) != OCI_SUCCESS)
      return false;
  }
  return true;
}

std::shared_ptr<OraDynaset> OciDatabase::CreateDynaset(const QString& sql, int) {
  Connection& c = *conn_;
  if (!c.IsOpen()) {
    Raise(kErrOraComponent, kClosedText);
    return nullptr;
  }
  c.StopRunning();
  c.lastError = {};
  const Api& api = c.api;
  const QByteArray text = sql.toUtf8();
  Handle* stmt = nullptr;
  if (!Prepare(api, c.svc, c.err, text, &stmt)) {
    c.lastError = ReadError(api, c.err, OCI_HTYPE_ERROR);
    return nullptr;
  }
  std::vector<Column> columns;
  auto release = [&] {
    FreeLocators(api, columns);
    api.stmtRelease(stmt, c.err, nullptr, 0, OCI_DEFAULT);
    return nullptr;
  };
  // The server's error, with its position when the server parsed the statement.
  auto fail = [&](const ServerError& e, bool withOffset) -> std::shared_ptr<OraDynaset> {
    c.lastError = e;
    if (withOffset) {
      bool ok = false;
      const AttrValue off =
          ReadAttr(api, stmt, OCI_HTYPE_STMT, OCI_ATTR_PARSE_ERROR_OFFSET, c.err, &ok);
      if (ok) c.lastError.pos = ByteOffsetToCharOffset(text, off.u16);
    }
    return release();
  };

  const AttrValue type = ReadAttr(api, stmt, OCI_HTYPE_STMT, OCI_ATTR_STMT_TYPE, c.err, nullptr);
  switch (ClassifyStatement(type.u16, sql)) {
    case StatementKind::NotQuery:
      return release();
    case StatementKind::Unknown: {
      // Not the start of any statement: the server parses it, without running it, to say why.
      sword rc = OCI_SUCCESS;
      c.Run([&] {
        rc = c.Call([&] {
          return api.stmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, OCI_PARSE_ONLY);
        });
      });
      if (!Succeeded(rc)) return fail(c.Failure(rc), rc != kNotStarted);
      return release();
    }
    case StatementKind::Query:
      break;
  }
  if (const int at = ForUpdatePosition(sql); at >= 0) {
    release();
    c.lastError = {kErrOraComponent, kForUpdateText, at};
    return nullptr;
  }

  std::vector<BindValue> binds;
  if (!Bind(stmt, sql, binds)) return fail(ReadError(api, c.err, OCI_HTYPE_ERROR), false);

  ub4 prefetch = kFirstPrefetchRows;
  api.attrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS, c.err);
  sword rc = OCI_SUCCESS;
  c.Run([&] {
    rc = c.Call(
        [&] { return api.stmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT); });
  });
  if (!Succeeded(rc)) return fail(c.Failure(rc), rc != kNotStarted);

  ub4 batchRows = 1;
  if (!Define(stmt, columns, batchRows)) return fail(ReadError(api, c.err, OCI_HTYPE_ERROR), false);
  api.attrSet(stmt, OCI_HTYPE_STMT, &batchRows, sizeof batchRows, OCI_ATTR_PREFETCH_ROWS, c.err);

  auto dynaset = std::make_shared<OciDynaset>(conn_, stmt, std::move(columns), batchRows);
  if (const ServerError e = dynaset->FetchFirst(); e.number != 0) {
    dynaset->Close();
    c.lastError = e;
    return nullptr;
  }
  c.Register(dynaset);
  return dynaset;
}

class OciSession : public OraSession {
 public:
  explicit OciSession(std::shared_ptr<Env> env) : env_(std::move(env)) {}

  std::shared_ptr<OraDatabase> OpenDatabase(const QString& host, const QString& connect,
                                            int options) override;
  // Oracle begins a transaction with the first change, so there is nothing to send.
  void BeginTrans() override {}
  void RollBack() override {
    std::erase_if(connections_, [](const std::weak_ptr<Connection>& w) { return w.expired(); });
    for (const auto& w : connections_) {
      if (auto conn = w.lock()) {
        const ServerError e = conn->RollBack();
        if (e.number != 0) lastError_ = e;
      }
    }
  }
  int LastServerErr() const override { return lastError_.number; }
  QString LastServerErrText() const override { return lastError_.text; }
  void LastServerErrReset() override { lastError_ = {}; }

 private:
  std::shared_ptr<Env> env_;
  std::vector<std::weak_ptr<Connection>> connections_;
  ServerError lastError_;
};

// Sets the session up for the way the driver reads values; false when the server refuses.
bool ApplySessionSettings(const Api& api, Handle* svc, Handle* err) {
  Handle* stmt = nullptr;
  if (!Prepare(api, svc, err, QByteArray(kSessionSettings), &stmt)) return false;
  const bool ok = Succeeded(api.stmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT));
  api.stmtRelease(stmt, err, nullptr, 0, OCI_DEFAULT);
  return ok;
}

std::shared_ptr<OraDatabase> OciSession::OpenDatabase(const QString& host, const QString& connect,
                                                      int) {
  const Api& api = *env_->api;
  Handle* env = env_->handle;
  lastError_ = {};
  const qsizetype slash = connect.indexOf(QLatin1Char('/'));
  const QByteArray user = (slash < 0 ? connect : connect.left(slash)).toUtf8();
  const QByteArray pass = (slash < 0 ? QString() : connect.mid(slash + 1)).toUtf8();
  const QByteArray dblink = host.toUtf8();

  Handle* err = nullptr;
  Handle* breakErr = nullptr;
  Handle* server = nullptr;
  Handle* svc = nullptr;
  Handle* session = nullptr;
  auto freeAll = [&] {
    if (session) api.handleFree(session, OCI_HTYPE_SESSION);
    if (svc) api.handleFree(svc, OCI_HTYPE_SVCCTX);
    if (server) api.handleFree(server, OCI_HTYPE_SERVER);
    if (breakErr) api.handleFree(breakErr, OCI_HTYPE_ERROR);
    if (err) api.handleFree(err, OCI_HTYPE_ERROR);
  };
  auto fail = [&](const ServerError& e) -> std::shared_ptr<OraDatabase> {
    freeAll();
    lastError_ = e;
    Raise(kErrOraComponent, e.text);
    return nullptr;
  };

  if (api.handleAlloc(env, &err, OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS ||
      api.handleAlloc(env, &breakErr, OCI_HTYPE_ERROR, 0, nullptr) != OCI_SUCCESS ||
      api.handleAlloc(env, &server, OCI_HTYPE_SERVER, 0, nullptr) != OCI_SUCCESS ||
      api.handleAlloc(env, &svc, OCI_HTYPE_SVCCTX, 0, nullptr) != OCI_SUCCESS ||
      api.handleAlloc(env, &session, OCI_HTYPE_SESSION, 0, nullptr) != OCI_SUCCESS)
    return fail(ReadError(api, env, OCI_HTYPE_ENV));

  if (api.serverAttach(server, err, reinterpret_cast<const OraText*>(dblink.constData()),
                       static_cast<sb4>(dblink.size()), OCI_DEFAULT) != OCI_SUCCESS)
    return fail(ReadError(api, err, OCI_HTYPE_ERROR));
  api.attrSet(svc, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err);
  api.attrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(user.constData()),
              static_cast<ub4>(user.size()), OCI_ATTR_USERNAME, err);
  api.attrSet(session, OCI_HTYPE_SESSION, const_cast<char*>(pass.constData()),
              static_cast<ub4>(pass.size()), OCI_ATTR_PASSWORD, err);
  if (!Succeeded(api.sessionBegin(svc, err, session, OCI_CRED_RDBMS, OCI_DEFAULT))) {
    const ServerError e = ReadError(api, err, OCI_HTYPE_ERROR);
    api.serverDetach(server, err, OCI_DEFAULT);
    return fail(e);
  }
  api.attrSet(svc, OCI_HTYPE_SVCCTX, session, 0, OCI_ATTR_SESSION, err);
  if (!ApplySessionSettings(api, svc, err)) {
    const ServerError e = ReadError(api, err, OCI_HTYPE_ERROR);
    api.sessionEnd(svc, err, session, OCI_DEFAULT);
    api.serverDetach(server, err, OCI_DEFAULT);
    return fail(e);
  }

  auto conn = std::make_shared<Connection>(env_, err, breakErr, server, svc, session);
  connections_.push_back(conn);
  return std::make_shared<OciDatabase>(conn);
}

}  // namespace

std::shared_ptr<OraSession> CreateOciSession() {
  std::shared_ptr<const Api> api = LoadApi();
  if (!api) return nullptr;
  auto env = std::make_shared<Env>();
  env->api = api;
  if (api->envNlsCreate(&env->handle, OCI_THREADED, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                        kCharsetAL32UTF8, kCharsetAL32UTF8) != OCI_SUCCESS ||
      !env->handle)
    return nullptr;
  return std::make_shared<OciSession>(std::move(env));
}

}  // namespace ora::oci
