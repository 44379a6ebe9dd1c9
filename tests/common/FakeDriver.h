#pragma once
// The one data access driver of the tests, installed with ora::SetSessionFactoryForTest while it
// lives. It knows a few accounts per host, answers a wrong account with ORA-01017 and an unknown
// host with ORA-12154, and can be told to fail a host with any server error, to fail with a
// run-time error (no server number), or to behave as if no Oracle client were installed. Queries
// are answered with scripted result sets (common/FakeOra.h) or scripted answers registered by SQL
// text; other SQL fails with ORA-00942. A test can also put a logged-on session straight into the
// session table.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "common/FakeOra.h"
#include "oracle/OraInterface.h"

namespace fake {

// What the driver records about every database it opened.
struct DatabaseLog {
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

// How the database answers one SQL text: rows ID (counting down) and NAME made on demand, or a
// server error, or no result set.
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
  // The statement keeps calling the database's wait hook until Break() ends it with ORA-01013;
  // onWait is called as the wait begins.
  bool waitsForBreak = false;
  std::function<void()> onWait;
};

class FakeDriver {
 public:
  FakeDriver();
  ~FakeDriver();
  FakeDriver(const FakeDriver&) = delete;
  FakeDriver& operator=(const FakeDriver&) = delete;

  // Host names compare case-insensitively, users case-insensitively, passwords exactly.
  void addAccount(const QString& host, const QString& user, const QString& pass);
  // Every logon to the host fails with this server error.
  void failHost(const QString& host, int number, const QString& text);
  // Every logon to the host fails with a pending run-time error and no server error.
  void failHostWithRunError(const QString& host, int number, const QString& description);
  // No session object can be created (the client is missing).
  void setNoClient(bool on);
  // The result set a query opens, by its exact SQL text: a fresh one at every opening.
  void addResult(const QString& sql, const QList<FakeColumn>& columns,
                 const QList<QVariantList>& rows);
  void addAnswer(const QString& sql, const Answer& answer);
  // A live session appended to the session table as a successful logon leaves it.
  std::shared_ptr<DatabaseLog> logOn(const QString& user = QStringLiteral("SCOTT"),
                                     const QString& host = QStringLiteral("DB1"));

  int sessionsCreated() const;
  // One entry per successful OpenDatabase, in order.
  const std::vector<std::shared_ptr<DatabaseLog>>& databases() const;

  // The driver's objects share this with it, so they stay usable in the session table after the
  // driver has gone.
  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace fake
