#include "oracle/oci/OciDriver.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "core/RunErr.h"
#include "oracle/oci/OciApi.h"
#include "oracle/oci/OciConvert.h"

// How a fill stays stoppable on a slow server. Rows are fetched in arrays of up to kMaxBatchRows.
// The first array is fetched inside CreateDynaset, which blocks like the rest of opening a result
// set. Every later array is fetched on a helper thread while MoveNext waits for it: a healthy
// server answers within kQuietWait and nothing else happens; after that the wait keeps processing
// window messages, so the console stays live and "SQL中断" can run BreakRunningFetch, which sends
// OCIBreak from the user-interface thread. The blocked fetch then returns ORA-01013 and the result
// set ends at the rows already read. Every other call on the same connection first breaks off and
// joins a fetch in flight, so a connection never serves two calls at once.

namespace ora::oci {

namespace {

using namespace std::chrono_literals;

constexpr auto kQuietWait = 50ms;
constexpr auto kPumpInterval = 15ms;
constexpr std::size_t kBatchBytes = 4u << 20;
constexpr ub4 kMaxBatchRows = 1000;
constexpr ub4 kFirstPrefetchRows = 100;
// Define buffer sizes in bytes. A text is fetched as UTF-8, which takes at most three bytes for
// every byte the database stores; ub2 return lengths cap any buffer below 64 KiB.
constexpr sb4 kMaxBuffer = 65532;
constexpr sb4 kNumberBuffer = 64;
constexpr sb4 kShortTextBuffer = 256;
constexpr sb4 kLongTextBuffer = 4000;

// The component's own failures read as on the local engine.
const QString kClosedText = QStringLiteral("OIP-04100: the object has been closed");
const QString kNoCurrentRecord = QStringLiteral("OIP-04108: No current record");
const QString kOutOfRange = QStringLiteral("Subscript out of range");

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

struct Env {
  std::shared_ptr<const Api> api;
  Handle* handle = nullptr;
  ~Env() {
    if (handle) api->handleFree(handle, OCI_HTYPE_ENV);
  }
};

// One fetch of an array of rows, run on a helper thread.
struct FetchCall {
  const Api* api = nullptr;
  Handle* svc = nullptr;
  Handle* breakErr = nullptr;
  std::thread thread;
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool broken = false;
  sword status = OCI_SUCCESS;
  ub4 rows = 0;
  ServerError error;
  std::vector<QVariant> values;

  // Sends the break; the fetch returns with ORA-01013 shortly after.
  void Break() {
    std::lock_guard lock(mutex);
    if (done || broken) return;
    broken = true;
    api->breakCall(svc, breakErr);
  }
  void Join() {
    if (thread.joinable()) thread.join();
  }
};

// Fetches waiting on the server, for BreakRunningFetch. Touched on the user-interface thread.
std::vector<std::shared_ptr<FetchCall>>& WaitingFetches() {
  static std::vector<std::shared_ptr<FetchCall>> calls;
  return calls;
}

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
  // Breaks off and joins the fetch in flight on this connection, if any.
  void StopFetch() {
    if (auto call = inFlight.lock()) {
      call->Break();
      call->Join();
    }
  }
  void Register(const std::shared_ptr<OciDynaset>& d) { dynasets_.push_back(d); }
  void Forget(const OciDynaset* d);
  // Rolls back, ends the session and detaches; result sets still open are closed first.
  void Close();
  // A rollback error, or 0.
  ServerError RollBack() {
    if (!open_) return {};
    StopFetch();
    if (api.transRollback(svc, err, OCI_DEFAULT) != OCI_SUCCESS)
      return ReadError(api, err, OCI_HTYPE_ERROR);
    return {};
  }

 private:
  std::shared_ptr<Env> env_;
  bool open_ = true;
  std::vector<std::weak_ptr<OciDynaset>> dynasets_;

 public:
  const Api& api;
  Handle* err;
  Handle* breakErr;
  Handle* server;
  Handle* svc;
  Handle* session;
  std::weak_ptr<FetchCall> inFlight;
  ServerError lastError;
};

// One select-list column: what describe said and where its array of values is fetched to.
struct Column {
  QString name;
  int describeType = 0;
  int oraType = 0;
  int dataSize = 0;
  int dispSize = 0;
  int precision = 0;
  int scale = 0;
  ub2 defineType = SQLT_CHR;
  sb4 bufSize = 0;
  std::vector<char> buffer;
  std::vector<sb2> ind;
  std::vector<ub2> rlen;
  std::vector<ub2> rcode;

  QVariant Convert(ub4 row) const {
    if (ind[row] == OCI_IND_NULL) return {};
    const char* p = buffer.data() + static_cast<std::size_t>(row) * bufSize;
    const int len = std::min<int>(rlen[row], bufSize);
    switch (defineType) {
      case SQLT_DAT:
        return DecodeOracleDate(reinterpret_cast<const unsigned char*>(p));
      case SQLT_BIN:
      case SQLT_LBI:
        return QByteArray(p, len);
      default:
        if (describeType == SQLT_NUM) return NumberTextToValue(QByteArray(p, len));
        return QString::fromUtf8(p, len);
    }
  }
};

// The define type and buffer size that fetch a described column.
void ChooseDefine(Column& c, int charSize) {
  const sb4 textBytes = std::clamp<sb4>(std::max(c.dataSize, charSize) * 3, 1, kMaxBuffer);
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
      c.defineType = SQLT_CHR;
      c.bufSize = textBytes;
      break;
    case SQLT_AFC:
      c.defineType = SQLT_AFC;
      c.bufSize = textBytes;
      break;
    case SQLT_LNG:
      c.defineType = SQLT_CHR;
      c.bufSize = kMaxBuffer;
      break;
    case SQLT_BIN:
      c.defineType = SQLT_BIN;
      c.bufSize = std::clamp<sb4>(c.dataSize, 1, kMaxBuffer);
      break;
    case SQLT_LBI:
      c.defineType = SQLT_LBI;
      c.bufSize = kMaxBuffer;
      break;
    case SQLT_BLOB:
      c.defineType = SQLT_BIN;
      c.bufSize = kLongTextBuffer;
      break;
    case 100:  // BINARY_FLOAT
    case 101:  // BINARY_DOUBLE
    case 187:  // TIMESTAMP
    case 188:  // TIMESTAMP WITH TIME ZONE
    case 189:  // INTERVAL YEAR TO MONTH
    case 190:  // INTERVAL DAY TO SECOND
    case 232:  // TIMESTAMP WITH LOCAL TIME ZONE
      c.defineType = SQLT_CHR;
      c.bufSize = kShortTextBuffer;
      break;
    default:
      // ROWID, CLOB and anything else the server can turn into text; what it cannot turn into
      // text fails with the server's own error.
      c.defineType = SQLT_CHR;
      c.bufSize = kLongTextBuffer;
      break;
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

  // Runs the first fetch on the calling thread; false (with the server error recorded on the
  // connection) when it fails.
  bool FetchFirst() {
    auto call = NewCall();
    RunFetch(*call);
    call->done = true;
    Apply(*call);
    return call->status != OCI_ERROR;
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
  bool Closed() const { return closed_; }

 private:
  std::shared_ptr<FetchCall> NewCall() {
    auto call = std::make_shared<FetchCall>();
    call->api = &conn_->api;
    call->svc = conn_->svc;
    call->breakErr = conn_->breakErr;
    return call;
  }
  void RunFetch(FetchCall& call) const;
  void Apply(FetchCall& call);
  void WaitFor(FetchCall& call);

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
  std::shared_ptr<FetchCall> inFlight_;
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
  return Col().dataSize;
}
int OciField::OraMaxDSize() const {
  const Column& c = Col();
  if (c.dispSize > 0) return c.dispSize;
  if (c.describeType == SQLT_NUM) return c.precision > 0 ? c.precision + 2 : 40;
  return c.dataSize;
}
int OciField::OraPrecision() const {
  return Col().precision;
}
int OciField::OraScale() const {
  return Col().scale;
}
int OciField::FieldSize() const {
  const Column& c = Col();
  if (c.describeType != SQLT_LNG && c.describeType != SQLT_LBI) return c.dataSize;
  const QVariant v = Value();
  if (IsNull(v)) return 0;
  return static_cast<int>(v.typeId() == QMetaType::QByteArray ? v.toByteArray().size()
                                                              : v.toString().toUtf8().size());
}

void OciDynaset::RunFetch(FetchCall& call) const {
  const Api& api = conn_->api;
  call.status = api.stmtFetch2(stmt_, conn_->err, batchRows_, OCI_FETCH_NEXT, 0, OCI_DEFAULT);
  if (call.status == OCI_ERROR || call.status == OCI_INVALID_HANDLE)
    call.error = ReadError(api, conn_->err, OCI_HTYPE_ERROR);
  bool ok = false;
  const AttrValue fetched =
      ReadAttr(api, stmt_, OCI_HTYPE_STMT, OCI_ATTR_ROWS_FETCHED, conn_->err, &ok);
  call.rows = ok ? std::min(fetched.u32, batchRows_) : 0;
  call.values.reserve(static_cast<std::size_t>(call.rows) * columns_.size());
  for (ub4 r = 0; r < call.rows; ++r) {
    for (const Column& c : columns_) call.values.push_back(c.Convert(r));
  }
}

void OciDynaset::Apply(FetchCall& call) {
  values_ = std::move(call.values);
  rowsInBatch_ = call.rows;
  current_ = 0;
  const bool failed = call.status == OCI_ERROR || call.status == OCI_INVALID_HANDLE;
  lastBatch_ = failed || call.status == OCI_NO_DATA || call.rows == 0;
  eof_ = rowsInBatch_ == 0;
  // A break ends the rows without an error: it is what the user asked for.
  if (failed && !(call.broken && call.error.number == kOraUserCancel))
    conn_->lastError = call.error;
}

void OciDynaset::WaitFor(FetchCall& call) {
  std::unique_lock lock(call.mutex);
  if (call.cv.wait_for(lock, kQuietWait, [&] { return call.done; })) return;
  QCoreApplication* app = QCoreApplication::instance();
  const bool canPump = app && QThread::currentThread() == app->thread();
  while (!call.done) {
    if (canPump) {
      lock.unlock();
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      lock.lock();
    }
    call.cv.wait_for(lock, kPumpInterval, [&] { return call.done; });
  }
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
  if (inFlight_) {
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
  conn_->StopFetch();
  auto call = NewCall();
  inFlight_ = call;
  conn_->inFlight = call;
  WaitingFetches().push_back(call);
  call->thread = std::thread([this, c = call.get()] {
    RunFetch(*c);
    std::lock_guard lock(c->mutex);
    c->done = true;
    c->cv.notify_all();
  });
  WaitFor(*call);
  call->Join();
  std::erase(WaitingFetches(), call);
  inFlight_.reset();
  if (closed_) return;
  Apply(*call);
}

void OciDynaset::Close() {
  if (closed_) return;
  if (inFlight_) {
    inFlight_->Break();
    inFlight_->Join();
  }
  closed_ = true;
  eof_ = true;
  values_.clear();
  if (conn_->IsOpen()) conn_->api.stmtRelease(stmt_, conn_->err, nullptr, 0, OCI_DEFAULT);
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
  StopFetch();
  // Closing a result set forgets it here, so work on a copy.
  const auto open = dynasets_;
  for (const auto& w : open) {
    if (auto d = w.lock()) d->Close();
  }
  dynasets_.clear();
  api.transRollback(svc, err, OCI_DEFAULT);
  api.sessionEnd(svc, err, session, OCI_DEFAULT);
  api.serverDetach(server, err, OCI_DEFAULT);
  api.handleFree(session, OCI_HTYPE_SESSION);
  api.handleFree(svc, OCI_HTYPE_SVCCTX);
  api.handleFree(server, OCI_HTYPE_SERVER);
  api.handleFree(breakErr, OCI_HTYPE_ERROR);
  api.handleFree(err, OCI_HTYPE_ERROR);
  open_ = false;
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
  sb2 ind = 0;
  ub2 type = SQLT_CHR;
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

 private:
  std::shared_ptr<Connection> conn_;
  OciParameters params_;
};

std::shared_ptr<OraDynaset> OciDatabase::CreateDynaset(const QString& sql, int) {
  Connection& c = *conn_;
  if (!c.IsOpen()) {
    Raise(kErrOraComponent, kClosedText);
    return nullptr;
  }
  c.StopFetch();
  c.lastError = {};
  const Api& api = c.api;
  const QByteArray text = sql.toUtf8();
  Handle* stmt = nullptr;
  if (api.stmtPrepare2(c.svc, &stmt, c.err, reinterpret_cast<const OraText*>(text.constData()),
                       static_cast<ub4>(text.size()), nullptr, 0, OCI_NTV_SYNTAX,
                       OCI_DEFAULT) != OCI_SUCCESS) {
    c.lastError = ReadError(api, c.err, OCI_HTYPE_ERROR);
    return nullptr;
  }
  auto fail = [&](bool withOffset) -> std::shared_ptr<OraDynaset> {
    c.lastError = ReadError(api, c.err, OCI_HTYPE_ERROR);
    if (withOffset) {
      bool ok = false;
      const AttrValue off =
          ReadAttr(api, stmt, OCI_HTYPE_STMT, OCI_ATTR_PARSE_ERROR_OFFSET, c.err, &ok);
      if (ok) c.lastError.pos = ByteOffsetToCharOffset(text, off.u16);
    }
    api.stmtRelease(stmt, c.err, nullptr, 0, OCI_DEFAULT);
    return nullptr;
  };

  const AttrValue type = ReadAttr(api, stmt, OCI_HTYPE_STMT, OCI_ATTR_STMT_TYPE, c.err, nullptr);
  if (!IsQueryStatement(type.u16, sql)) {
    api.stmtRelease(stmt, c.err, nullptr, 0, OCI_DEFAULT);
    return nullptr;
  }

  // Every placeholder that has a parameter of its name is bound; parameters the statement does
  // not use are left out, so a session's variables never stop an unrelated statement.
  const QStringList placeholders = PlaceholderNames(sql);
  std::vector<BindValue> binds;
  binds.reserve(static_cast<std::size_t>(placeholders.size()));
  for (const QString& name : placeholders) {
    const OciParameter* p = params_.ForPlaceholder(name);
    if (!p) continue;
    BindValue& b = binds.emplace_back(MakeBindValue(*p));
    const QByteArray placeholder = ':' + name.toUtf8();
    void* value = b.type == SQLT_DAT ? static_cast<void*>(b.date) : b.data.data();
    const sb4 size = b.type == SQLT_DAT ? 7 : static_cast<sb4>(b.data.size());
    Handle* bind = nullptr;
    if (api.bindByName(stmt, &bind, c.err, reinterpret_cast<const OraText*>(placeholder.data()),
                       static_cast<sb4>(placeholder.size()), value, size, b.type, &b.ind, nullptr,
                       nullptr, 0, nullptr, OCI_DEFAULT) != OCI_SUCCESS)
      return fail(false);
  }

  ub4 prefetch = kFirstPrefetchRows;
  api.attrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch, OCI_ATTR_PREFETCH_ROWS, c.err);
  if (const sword rc = api.stmtExecute(c.svc, stmt, c.err, 0, 0, nullptr, nullptr, OCI_DEFAULT);
      rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO)
    return fail(true);

  const AttrValue count = ReadAttr(api, stmt, OCI_HTYPE_STMT, OCI_ATTR_PARAM_COUNT, c.err, nullptr);
  std::vector<Column> columns(count.u32);
  std::size_t rowBytes = 0;
  for (ub4 i = 0; i < count.u32; ++i) {
    Column& col = columns[i];
    Handle* param = nullptr;
    if (api.paramGet(stmt, OCI_HTYPE_STMT, c.err, &param, i + 1) != OCI_SUCCESS) return fail(false);
    OraText* name = nullptr;
    ub4 nameLen = 0;
    api.attrGet(param, OCI_DTYPE_PARAM, &name, &nameLen, OCI_ATTR_NAME, c.err);
    if (name) col.name = QString::fromUtf8(reinterpret_cast<const char*>(name), nameLen);
    auto attr = [&](ub4 a) { return ReadAttr(api, param, OCI_DTYPE_PARAM, a, c.err, nullptr); };
    col.describeType = attr(OCI_ATTR_DATA_TYPE).u16;
    col.oraType = ComponentTypeCode(col.describeType);
    col.dataSize = attr(OCI_ATTR_DATA_SIZE).u16;
    col.dispSize = attr(OCI_ATTR_DISP_SIZE).u16;
    col.precision = attr(OCI_ATTR_PRECISION).s16;
    col.scale = attr(OCI_ATTR_SCALE).s8;
    const int charSize = attr(OCI_ATTR_CHAR_SIZE).u16;
    api.descriptorFree(param, OCI_DTYPE_PARAM);
    ChooseDefine(col, charSize);
    rowBytes += static_cast<std::size_t>(col.bufSize) + sizeof(sb2) + 2 * sizeof(ub2);
  }
  // As many rows per fetch as fit the batch memory, so wide rows cannot exhaust memory.
  const ub4 batchRows = static_cast<ub4>(
      std::clamp<std::size_t>(kBatchBytes / std::max<std::size_t>(rowBytes, 1), 1, kMaxBatchRows));
  for (ub4 i = 0; i < count.u32; ++i) {
    Column& col = columns[i];
    col.buffer.assign(static_cast<std::size_t>(col.bufSize) * batchRows, 0);
    col.ind.assign(batchRows, 0);
    col.rlen.assign(batchRows, 0);
    col.rcode.assign(batchRows, 0);
    Handle* define = nullptr;
    if (api.defineByPos(stmt, &define, c.err, i + 1, col.buffer.data(), col.bufSize, col.defineType,
                        col.ind.data(), col.rlen.data(), col.rcode.data(),
                        OCI_DEFAULT) != OCI_SUCCESS)
      return fail(false);
  }
  ub4 prefetchAll = batchRows;
  api.attrSet(stmt, OCI_HTYPE_STMT, &prefetchAll, sizeof prefetchAll, OCI_ATTR_PREFETCH_ROWS,
              c.err);

  auto dynaset = std::make_shared<OciDynaset>(conn_, stmt, std::move(columns), batchRows);
  if (!dynaset->FetchFirst()) {
    dynaset->Close();
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
  if (const sword rc = api.sessionBegin(svc, err, session, OCI_CRED_RDBMS, OCI_DEFAULT);
      rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) {
    const ServerError e = ReadError(api, err, OCI_HTYPE_ERROR);
    api.serverDetach(server, err, OCI_DEFAULT);
    return fail(e);
  }
  api.attrSet(svc, OCI_HTYPE_SVCCTX, session, 0, OCI_ATTR_SESSION, err);

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

void BreakRunningFetch() {
  for (const auto& call : WaitingFetches()) call->Break();
}

}  // namespace ora::oci
