#pragma once
// Creates the session object for a logon. Which driver serves it is decided by the host string:
// "DEMO" (any case) or a SQLite file goes to the local engine, anything else to the Oracle client
// driver. Returns nullptr when no driver can serve the host (the Oracle client library is
// missing), which the logon reports as a missing client.
#include <QString>
#include <functional>
#include <memory>

#include "oracle/OraInterface.h"

namespace ora {

enum class DriverKind { Local, Oracle };

// Which driver the host string selects.
DriverKind DriverFor(const QString& host);

std::shared_ptr<OraSession> CreateOraSession(const QString& host);

// Tests replace the factory (for a driver that fails with a chosen error, say); an empty function
// restores the real one.
using SessionFactory = std::function<std::shared_ptr<OraSession>(const QString& host)>;
void SetSessionFactoryForTest(SessionFactory factory);

}  // namespace ora
