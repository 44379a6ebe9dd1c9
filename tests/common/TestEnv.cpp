#include "common/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "oracle/DataFolder.h"
#include "platform/Platform.h"

TestEnv::TestEnv() {
  QDir(dir_.path()).mkpath(QStringLiteral("program"));
  QDir(dir_.path()).mkpath(QStringLiteral("data"));
  platform::SetProgramFolder(programFolder());
  platform::SetSettingsFile(settingsFile());
  ora::SetDataFolder(dir_.path() + QStringLiteral("/data"));
  platform::SetNow(QDateTime());
}

TestEnv::~TestEnv() {
  platform::SetNow(QDateTime());
  platform::SetProgramFolder(QString());
  platform::SetSettingsFile(QString());
  ora::SetDataFolder(QString());
}

QByteArray TestEnv::readFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

bool TestEnv::writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return QDir().mkpath(QFileInfo(path).absolutePath()) && f.open(QIODevice::WriteOnly) &&
         f.write(bytes) == bytes.size();
}
