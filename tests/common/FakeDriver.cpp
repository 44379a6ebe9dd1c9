#include "common/FakeDriver.h"

#include <map>

#include "oracle/OraFactory.h"
#include "core/RunErr.h"

namespace fake {

struct FakeDriver::State {
  struct Failure {
    int number = 0;
    QString text;
    bool runError = false;
  };
  struct Account {
    QString host, user, pass;
  };
  QList<Account> accounts;
  std::map<QString, Failure> failures;  // by upper-case host
  std::map<QString, std::pair<QList<FakeColumn>, QList<QVariantList>>> results;
  std::vector<std::shared_ptr<DatabaseLog>> databases;
  bool noClient = false;
  int sessionsCreated = 0;
};

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
    const int i = find(name);
    if (i < 0) {
      ora::Raise(ora::kErrOraComponent, QStringLiteral("Parameter not found"));
      return;
    }
    items_.erase(items_.begin() + i);
  }
  ora::OraParameter* Item(int index) override {
    if (index < 0 || index >= Count()) {
      ora::Raise(ora::kErrOutOfRange, QStringLiteral("Subscript out of range"));
      return nullptr;
    }
    return items_[static_cast<std::size_t>(index)].get();
  }
  ora::OraParameter* Item(const QString& name) override {
    const int i = find(name);
    if (i < 0) {
      ora::Raise(ora::kErrOraComponent, QStringLiteral("Parameter not found"));
      return nullptr;
    }
    return items_[static_cast<std::size_t>(i)].get();
  }

 private:
  int find(const QString& name) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i]->Name().compare(name, Qt::CaseInsensitive) == 0) return static_cast<int>(i);
    }
    return -1;
  }
  std::vector<std::unique_ptr<Parameter>> items_;
};

class ServerErrors {
 public:
  int LastServerErr() const { return number_; }
  QString LastServerErrText() const { return text_; }
  void LastServerErrReset() {
    number_ = 0;
    text_.clear();
  }
  void set(int number, const QString& text) {
    number_ = number;
    text_ = text;
  }

 private:
  int number_ = 0;
  QString text_;
};

class Database : public ora::OraDatabase {
 public:
  Database(std::shared_ptr<State> state, std::shared_ptr<DatabaseLog> log)
      : state_(std::move(state)), log_(std::move(log)) {}
  std::shared_ptr<ora::OraDynaset> CreateDynaset(const QString& sql, int) override {
    if (log_->closed) {
      ora::Raise(ora::kErrOraComponent, QStringLiteral("Database is closed"));
      return nullptr;
    }
    log_->statements << sql;
    auto it = state_->results.find(sql);
    if (it == state_->results.end()) {
      errors_.set(942, QStringLiteral("ORA-00942: table or view does not exist"));
      return nullptr;
    }
    return std::make_shared<FakeDynaset>(it->second.first, it->second.second);
  }
  ora::OraParameters& Parameters() override { return params_; }
  int LastServerErr() const override { return errors_.LastServerErr(); }
  QString LastServerErrText() const override { return errors_.LastServerErrText(); }
  int LastServerErrPos() const override { return 0; }
  void LastServerErrReset() override { errors_.LastServerErrReset(); }
  void Close() override { log_->closed = true; }

 private:
  std::shared_ptr<State> state_;
  std::shared_ptr<DatabaseLog> log_;
  ParameterList params_;
  ServerErrors errors_;
};

class Session : public ora::OraSession {
 public:
  explicit Session(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<ora::OraDatabase> OpenDatabase(const QString& host, const QString& connect,
                                                 int) override {
    auto f = state_->failures.find(host.toUpper());
    if (f != state_->failures.end()) {
      if (f->second.runError) {
        ora::Raise(f->second.number, f->second.text);
      } else {
        errors_.set(f->second.number, f->second.text);
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
        auto log = std::make_shared<DatabaseLog>();
        log->host = host;
        log->user = user;
        state_->databases.push_back(log);
        return std::make_shared<Database>(state_, log);
      }
    }
    if (hostKnown) {
      errors_.set(1017, QStringLiteral("ORA-01017: invalid username/password; logon denied"));
    } else {
      errors_.set(12154, QStringLiteral(
                             "ORA-12154: TNS:could not resolve the connect identifier specified"));
    }
    return nullptr;
  }
  void BeginTrans() override {}
  void RollBack() override {}
  int LastServerErr() const override { return errors_.LastServerErr(); }
  QString LastServerErrText() const override { return errors_.LastServerErrText(); }
  void LastServerErrReset() override { errors_.LastServerErrReset(); }

 private:
  std::shared_ptr<State> state_;
  ServerErrors errors_;
};

}  // namespace

FakeDriver::FakeDriver() : state_(std::make_shared<State>()) {
  std::weak_ptr<State> weak = state_;
  ora::SetSessionFactoryForTest([weak](const QString&) -> std::shared_ptr<ora::OraSession> {
    auto state = weak.lock();
    if (!state || state->noClient) return nullptr;
    ++state->sessionsCreated;
    return std::make_shared<Session>(state);
  });
}

FakeDriver::~FakeDriver() {
  ora::SetSessionFactoryForTest({});
}

void FakeDriver::addAccount(const QString& host, const QString& user, const QString& pass) {
  state_->accounts.push_back({host, user, pass});
}

void FakeDriver::failHost(const QString& host, int number, const QString& text) {
  state_->failures[host.toUpper()] = {number, text, false};
}

void FakeDriver::failHostWithRunError(const QString& host, int number, const QString& description) {
  state_->failures[host.toUpper()] = {number, description, true};
}

void FakeDriver::setNoClient(bool on) {
  state_->noClient = on;
}

void FakeDriver::addResult(const QString& sql, const QList<FakeColumn>& columns,
                           const QList<QVariantList>& rows) {
  state_->results[sql] = {columns, rows};
}

int FakeDriver::sessionsCreated() const {
  return state_->sessionsCreated;
}

const std::vector<std::shared_ptr<DatabaseLog>>& FakeDriver::databases() const {
  return state_->databases;
}

}  // namespace fake
