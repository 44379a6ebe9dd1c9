#pragma once
// A database put straight into the session table for console tests: statements are answered by
// script with generated rows (so a large result costs no memory here), and hooks let a test act
// while the grid fills or move the clock.
#include <QDateTime>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

#include "common/FakeOra.h"
#include "oracle/OraInterface.h"
#include "core/RunErr.h"
#include "session/SessionData.h"

namespace fakeserver {

// How the database answers one SQL text.
struct Answer {
  int rows = 0;
  int errNumber = 0;
  QString errText;
  int errPos = 0;
  bool noResult = false;
  // Server errors that show up once the last row has been read.
  int dbErrAfterFetch = 0;
  int sessionErrAfterFetch = 0;
  // Called as row r (0-based) is read, before its values are handed out.
  std::function<void(int row)> onRow;
};

// Calls in order: "BeginTrans", "RollBack", "CreateDynaset <options> <sql>".
using CallLog = std::shared_ptr<QStringList>;

class Session : public ora::OraSession {
 public:
  explicit Session(CallLog log) : log_(std::move(log)) {}
  std::shared_ptr<ora::OraDatabase> OpenDatabase(const QString&, const QString&, int) override {
    return nullptr;
  }
  void BeginTrans() override { *log_ << QStringLiteral("BeginTrans"); }
  void RollBack() override { *log_ << QStringLiteral("RollBack"); }
  int LastServerErr() const override { return err; }
  QString LastServerErrText() const override {
    return err ? QStringLiteral("ORA-03113") : QString();
  }
  void LastServerErrReset() override { err = 0; }
  int err = 0;

 private:
  CallLog log_;
};

// The console never binds; the list stays empty.
class NoParameters : public ora::OraParameters {
 public:
  int Count() const override { return 0; }
  void Add(const QString&, const QVariant&, int) override {}
  void Remove(const QString&) override {}
  ora::OraParameter* Item(int) override { return nullptr; }
  ora::OraParameter* Item(const QString&) override { return nullptr; }
};

class Database : public ora::OraDatabase {
 public:
  Database(CallLog log, Session* session) : log_(std::move(log)), session_(session) {}
  std::shared_ptr<ora::OraDynaset> CreateDynaset(const QString& sql, int options) override {
    *log_ << QStringLiteral("CreateDynaset %1 %2").arg(options).arg(sql);
    const auto it = answers.find(sql);
    if (it == answers.end()) {
      err_ = 942;
      errText_ = QStringLiteral("ORA-00942: table or view does not exist");
      errPos_ = 0;
      return nullptr;
    }
    const Answer& a = it->second;
    if (a.errNumber) {
      err_ = a.errNumber;
      errText_ = a.errText;
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
    Session* session = session_;
    dyn->onMoveNext = [this, a, session](int moves) {
      if (moves < a.rows) return;
      if (a.dbErrAfterFetch) err_ = a.dbErrAfterFetch;
      if (a.sessionErrAfterFetch) session->err = a.sessionErrAfterFetch;
    };
    return dyn;
  }
  ora::OraParameters& Parameters() override { return params_; }
  int LastServerErr() const override { return err_; }
  QString LastServerErrText() const override { return errText_; }
  int LastServerErrPos() const override { return errPos_; }
  void LastServerErrReset() override {
    err_ = 0;
    errText_.clear();
    errPos_ = 0;
  }
  void Close() override {}

  std::map<QString, Answer> answers;

 private:
  CallLog log_;
  Session* session_;
  NoParameters params_;
  int err_ = 0;
  QString errText_;
  int errPos_ = 0;
};

// A logged-on session in the table: record index (appended after the existing ones, or record 0
// when none is open). Returns the database so the test can script it.
inline std::shared_ptr<Database> LogOn(const QString& user, const QString& host,
                                       const CallLog& log) {
  const int i = mSb_AppendSession();
  SessionData& rec = gSessionData[static_cast<std::size_t>(i)];
  auto session = std::make_shared<Session>(log);
  auto db = std::make_shared<Database>(log, session.get());
  rec.Host = host;
  rec.User = user;
  rec.Pass = QStringLiteral("pw");
  rec.OraSession = session;
  rec.OraDatabase = db;
  return db;
}

}  // namespace fakeserver
