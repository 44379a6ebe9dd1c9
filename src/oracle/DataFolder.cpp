#include "oracle/DataFolder.h"

#include <QStandardPaths>

namespace ora {

namespace {
QString& Override() {
  static QString path;
  return path;
}
}  // namespace

QString DataFolder() {
  if (!Override().isEmpty()) return Override();
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void SetDataFolder(const QString& path) {
  Override() = path;
}

}  // namespace ora
