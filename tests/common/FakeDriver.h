#pragma once
// The one data access driver of the tests, installed while it lives: a wrong account fails with
// ORA-01017, an unknown host with ORA-12154, SQL nobody scripted with ORA-00942.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "common/FakeOra.h"
#include "oracle/OraInterface.h"

namespace fake {

// What the driver records about every database it opened.
struct DatabaseLog {
  DatabaseLog(const QString& h, const QString& u) : host(h), user(u) {}
  QString host;
  QString user;
  bool closed = false;
  QStringList statements;
  // Calls in order: "BeginTrans", "RollBack", "CreateDynaset <options> <sql>".
  QStringList calls;
  int breaks = 0;
  // Error resets of the database and its session, and result sets closed.
  int resets = 0;
  int dynasetCloses = 0;
};

// One SQL text's answer: rows of ID (counting down) and NAME, a server error, or no result set.
struct Answer {
  int rows = 0;
  int errNumber = 0;
  QString errText{};
  int errPos = 0;
  bool noResult = false;
  // Server errors that show up once the last row has been read.
  int dbErrAfterFetch = 0;
  int sessionErrAfterFetch = 0;
  // Called as row r (0-based) is read, before its values are handed out.
  std::function<void(int row)> onRow{};
  // Calls the wait hook (onWait as it begins) until Break() ends the wait with ORA-01013.
  bool waitsForBreak = false;
  std::function<void()> onWait{};
};

class FakeDriver {
 public:
  FakeDriver();
  ~FakeDriver();
  FakeDriver(const FakeDriver&) = delete;
  FakeDriver& operator=(const FakeDriver&) = delete;

  // Host names compare case-insensitively, users case-insensitively, passwords exactly.
  void addAccount(const QString& host, const QString& user, const QString& pass) {
    state_->accounts.push_back({host, user, pass});
  }
  // Every logon to the host fails with this server error.
  void failHost(const QString& host, int number, const QString& text) {
    state_->failures[host.toUpper()] = {number, text, false};
  }
  // Every logon to the host fails with a pending run-time error and no server error.
  void failHostWithRunError(const QString& host, int number, const QString& description) {
    state_->failures[host.toUpper()] = {number, description, true};
  }
  // No session object can be created (the client is missing).
  void setNoClient(bool on) { state_->noClient = on; }
  // The result set a query opens, by its exact SQL text: a fresh one at every opening.
  void addResult(const QString& sql, const QList<FakeColumn>& columns,
                 const QList<QVariantList>& rows) {
    state_->results[sql] = {columns, rows};
  }
  void addAnswer(const QString& sql, const Answer& answer) { state_->answers[sql] = answer; }
  // A live session appended to the session table as a successful logon leaves it.
  std::shared_ptr<DatabaseLog> logOn(const QString& user = QStringLiteral("SCOTT"),
                                     const QString& host = QStringLiteral("DB1"));

  // One entry per successful OpenDatabase, in order.
  const std::vector<std::shared_ptr<DatabaseLog>>& databases() const { return state_->databases; }

  // Shared with the driver's objects, which stay usable in the session table after it has gone.
  struct State {
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
    std::map<QString, Answer> answers;
    std::vector<std::shared_ptr<DatabaseLog>> databases;
    bool noClient = false;
  };

 private:
  std::shared_ptr<State> state_;
};

}  // namespace fake
