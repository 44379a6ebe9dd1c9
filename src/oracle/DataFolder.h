#pragma once
// The per-user data folder where the local engine keeps the sample database DEMO.
#include <QString>

namespace ora {

// QStandardPaths' application data folder unless a test or the program set another one.
QString DataFolder();
void SetDataFolder(const QString& path);

}  // namespace ora
