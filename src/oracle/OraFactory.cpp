#include "oracle/OraFactory.h"

#include <QFileInfo>

#include "oracle/local/LocalEngine.h"
#include "oracle/oci/OciDriver.h"

namespace ora {

namespace {
SessionFactory& TestFactory() {
  static SessionFactory factory;
  return factory;
}
}  // namespace

DriverKind DriverFor(const QString& host) {
  const QString h = host.trimmed();
  if (h.compare(QStringLiteral("DEMO"), Qt::CaseInsensitive) == 0) return DriverKind::Local;
  for (const char* ext : {".db", ".sqlite", ".sqlite3"}) {
    if (h.endsWith(QLatin1String(ext), Qt::CaseInsensitive)) return DriverKind::Local;
  }
  if (!h.isEmpty() && QFileInfo(h).isFile()) return DriverKind::Local;
  return DriverKind::Oracle;
}

std::shared_ptr<OraSession> CreateOraSession(const QString& host) {
  if (TestFactory()) return TestFactory()(host);
  if (DriverFor(host) == DriverKind::Local) return local::CreateLocalSession();
  return oci::CreateOciSession();
}

void SetSessionFactoryForTest(SessionFactory factory) {
  TestFactory() = std::move(factory);
}

}  // namespace ora
