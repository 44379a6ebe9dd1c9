#pragma once
// Helpers of the local engine tests: logons, first values and small SQLite files.
#include <sqlite3.h>

#include <QFile>
#include <QList>
#include <QVariant>
#include <memory>

#include "core/RunErr.h"
#include "oracle/OraFactory.h"
#include "oracle/OraInterface.h"

struct Logon {
  std::shared_ptr<ora::OraSession> session;
  std::shared_ptr<ora::OraDatabase> db;
};

inline Logon LogOn(const QString& host, const QString& connect) {
  Logon l;
  ora::ErrClear();
  l.session = ora::CreateOraSession(host);
  if (l.session) l.db = l.session->OpenDatabase(host, connect, 0);
  return l;
}

inline QStringList FieldNames(const std::shared_ptr<ora::OraDynaset>& dyn) {
  QStringList names;
  for (int i = 0; dyn && i < dyn->Fields().Count(); ++i) names << dyn->Fields().Item(i)->Name();
  return names;
}

// Creates a SQLite database file from a script.
inline bool MakeSqliteFile(const QString& path, const QByteArray& script) {
  QFile::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  const int rc = sqlite3_exec(db, script.constData(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return rc == SQLITE_OK;
}

// A value as text for comparisons: dates as "yyyy-MM-dd HH:mm:ss", Null as "<null>".
inline QString Show(const QVariant& v) {
  if (ora::IsNull(v)) return QStringLiteral("<null>");
  if (v.typeId() == QMetaType::QDateTime)
    return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  return v.toString();
}

// The first value of a query, shown as text; the server error when it fails.
inline QString First(ora::OraDatabase& db, const QString& sql) {
  auto dyn = db.CreateDynaset(sql, 0);
  if (!dyn) return QStringLiteral("error %1").arg(db.LastServerErr());
  if (dyn->IsEOF()) return QStringLiteral("<no rows>");
  return Show(dyn->Fields().Item(0)->Value());
}
