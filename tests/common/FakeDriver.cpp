#include "common/FakeDriver.h"

#include "core/RunErr.h"
#include "oracle/OraFactory.h"
#include "session/SessionData.h"

namespace fake {

namespace {

using State = FakeDriver::State;

class Parameter : public ora::OraParameter {
 public:
  Parameter(const QString& name, const QVariant& value, int kind)
      : name_(name), value_(value), kind_(kind) {}
  QString Name() const override { return name_; }
  QVariant Value() const override { return value_; }
  void SetValue(const QVariant& value) override { value_ = value; }
  int ServerType() const override { return type_; }
  void SetServerType(int type) override { type_ = type; }
  int Status() const override { return ora::ORAPSTAT_INPUT + kind_ - ora::ORAPARM_INPUT; }

 private:
  QString name_;
  QVariant value_;
  int kind_;
  int type_ = ora::ORATYPE_VARCHAR2;
};

class ParameterList : public ora::OraParameters {
 public:
  int Count() const override { return static_cast<int>(items_.size()); }
  void Add(const QString& name, const QVariant& value, int kind) override {
    if (find(name) >= 0) {
      ora::Raise(ora::kErrOraComponent, QStringLiteral("Duplicate parameter name"));
      return;
    }
    items_.push_back(std::make_unique<Parameter>(name, value, kind));
  }
  void Remove(const QString& name) override {
    if (const int i = findOrRaise(name); i >= 0) items_.erase(items_.begin() + i);
  }
  ora::OraParameter* Item(int index) override {
    if (index < 0 || index >= Count()) {
      ora::Raise(ora::kErrOutOfRange, QStringLiteral("Subscript out of range"));
      return nullptr;
    }
    return items_[static_cast<std::size_t>(index)].get();
  }
  ora::OraParameter* Item(const QString& name) override {
    const int i = findOrRaise(name);
    return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)].get();
  }

 private:
  int find(const QString& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i]->Name().compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  int findOrRaise(const QString& name) const {
    const int i = find(name);
    if (i < 0) ora::Raise(ora::kErrOraComponent, QStringLiteral("Parameter not found"));
    return i;
  }
  std::vector<std::unique_ptr<Parameter>> items_;
};

struct ServerErrors {
  int number = 0;
  QString text;
  void set(int n, const QString& t) {
    number = n;
    text = t;
  }
};

class Database : public ora::OraDatabase {
 public:
  Database(std::shared_ptr<State> state, std::shared_ptr<DatabaseLog> log,
           std::shared_ptr<ServerErrors> sessionErrors)
      : state_(std::move(state)), log_(std::move(log)), sessionErrors_(std::move(sessionErrors)) {}
  std::shared_ptr<ora::OraDynaset> CreateDynaset(const QString& sql, int options) override {
    if (log_->closed) {
      ora::Raise(ora::kErrOraComponent, QStringLiteral("Database is closed"));
      return nullptr;
    }
    log_->statements << sql;
    log_->calls << QStringLiteral("CreateDynaset %1 %2").arg(options).arg(sql);
    if (auto a = state_->answers.find(sql); a != state_->answers.end()) return answer(a->second);
    auto it = state_->results.find(sql);
    if (it == state_->results.end()) {
      errors_.set(942, QStringLiteral("ORA-00942: table or view does not exist"));
      return nullptr;
    }
    return std::make_shared<FakeDynaset>(it->second.first, it->second.second);
  }
  ora::OraParameters& Parameters() override { return params_; }
  int LastServerErr() const override { return errors_.number; }
  QString LastServerErrText() const override { return errors_.text; }
  int LastServerErrPos() const override { return errPos_; }
  void LastServerErrReset() override {
    ++log_->resets;
    errors_ = {};
    errPos_ = 0;
  }
  void Close() override { log_->closed = true; }
  void Break() override {
    ++log_->breaks;
    broken_ = true;
  }
  void SetWaitHook(std::function<void()> hook) override { waitHook_ = std::move(hook); }

 private:
  std::shared_ptr<ora::OraDynaset> answer(const Answer& a) {
    if (a.waitsForBreak) {
      // Bounded, so that a stop that never arrives fails the test instead of hanging it.
      broken_ = false;
      if (a.onWait) a.onWait();
      for (int i = 0; i < 1000 && !broken_ && waitHook_; ++i) waitHook_();
      if (broken_) errors_.set(ora::kOraUserCancel, QString::fromUtf8(ora::kOraUserCancelText));
      return nullptr;
    }
    if (a.errNumber) {
      errors_.set(a.errNumber, a.errText);
      errPos_ = a.errPos;
      return nullptr;
    }
    if (a.noResult) return nullptr;
    auto dyn = std::make_shared<FakeDynaset>(
        QList<FakeColumn>{{QStringLiteral("ID"), ora::ORATYPE_NUMBER, 22, 22, 10, 0, 22, {}},
                          {QStringLiteral("NAME"), ora::ORATYPE_VARCHAR2, 20, 20, 0, 0, 20, {}}});
    auto notified = std::make_shared<int>(-1);
    dyn->Generate(a.rows, [a, notified](int row, int col) -> QVariant {
      if (a.onRow && *notified != row) {
        *notified = row;
        a.onRow(row);
      }
      // IDs count down so that a sort visibly reorders the rows.
      if (col == 0) return qlonglong(a.rows - row);
      return QStringLiteral("N%1").arg(row % 7);
    });
    std::weak_ptr<ServerErrors> session = sessionErrors_;
    dyn->onMoveNext = [this, a, session](int moves) {
      if (moves < a.rows) return;
      if (a.dbErrAfterFetch) errors_.set(a.dbErrAfterFetch, QStringLiteral("ORA-03113"));
      if (auto s = session.lock(); s && a.sessionErrAfterFetch)
        s->set(a.sessionErrAfterFetch, QStringLiteral("ORA-03113"));
    };
    std::weak_ptr<DatabaseLog> log = log_;
    dyn->onClose = [log] {
      if (auto l = log.lock()) ++l->dynasetCloses;
    };
    return dyn;
  }

  std::shared_ptr<State> state_;
  std::shared_ptr<DatabaseLog> log_;
  std::shared_ptr<ServerErrors> sessionErrors_;
  ParameterList params_;
  ServerErrors errors_;
  int errPos_ = 0;
  bool broken_ = false;
  std::function<void()> waitHook_;
};

class Session : public ora::OraSession {
 public:
  explicit Session(std::shared_ptr<State> state, std::shared_ptr<DatabaseLog> log = nullptr)
      : state_(std::move(state)), log_(std::move(log)) {}
  std::shared_ptr<ora::OraDatabase> OpenDatabase(const QString& host, const QString& connect,
                                                 int) override {
    auto f = state_->failures.find(host.toUpper());
    if (f != state_->failures.end()) {
      if (f->second.runError) {
        ora::Raise(f->second.number, f->second.text);
      } else {
        errors_->set(f->second.number, f->second.text);
      }
      return nullptr;
    }
    const qsizetype slash = connect.indexOf(QLatin1Char('/'));
    const QString user = connect.left(slash);
    const QString pass = slash < 0 ? QString() : connect.mid(slash + 1);
    bool hostKnown = false;
    for (const auto& a : state_->accounts) {
      if (a.host.compare(host, Qt::CaseInsensitive) != 0) continue;
      hostKnown = true;
      if (a.user.compare(user, Qt::CaseInsensitive) == 0 && a.pass == pass) {
        auto log = std::make_shared<DatabaseLog>(host, user);
        state_->databases.push_back(log);
        log_ = log;
        return std::make_shared<Database>(state_, log, errors_);
      }
    }
    if (hostKnown) {
      errors_->set(1017, QStringLiteral("ORA-01017: invalid username/password; logon denied"));
    } else {
      errors_->set(12154, QStringLiteral(
                              "ORA-12154: TNS:could not resolve the connect identifier specified"));
    }
    return nullptr;
  }
  void BeginTrans() override {
    if (log_) log_->calls << QStringLiteral("BeginTrans");
  }
  void RollBack() override {
    if (log_) log_->calls << QStringLiteral("RollBack");
  }
  int LastServerErr() const override { return errors_->number; }
  QString LastServerErrText() const override { return errors_->text; }
  void LastServerErrReset() override {
    if (log_) ++log_->resets;
    *errors_ = {};
  }
  std::shared_ptr<ServerErrors> errors() const { return errors_; }

 private:
  std::shared_ptr<State> state_;
  std::shared_ptr<DatabaseLog> log_;
  std::shared_ptr<ServerErrors> errors_ = std::make_shared<ServerErrors>();
};

}  // namespace

FakeDriver::FakeDriver() : state_(std::make_shared<State>()) {
  std::weak_ptr<State> weak = state_;
  ora::SetSessionFactoryForTest([weak](const QString&) -> std::shared_ptr<ora::OraSession> {
    auto state = weak.lock();
    if (!state || state->noClient) return nullptr;
    return std::make_shared<Session>(state);
  });
}

FakeDriver::~FakeDriver() {
  ora::SetSessionFactoryForTest({});
}

std::shared_ptr<DatabaseLog> FakeDriver::logOn(const QString& user, const QString& host) {
  auto log = std::make_shared<DatabaseLog>(host, user);
  state_->databases.push_back(log);
  auto session = std::make_shared<Session>(state_, log);
  const int i = AppendSession();
  SessionData& rec = gSessionData[static_cast<std::size_t>(i)];
  rec.Host = host;
  rec.User = user;
  rec.Pass = QStringLiteral("pw");
  rec.OraDatabase = std::make_shared<Database>(state_, log, session->errors());
  rec.OraSession = session;
  return log;
}

}  // namespace fake
