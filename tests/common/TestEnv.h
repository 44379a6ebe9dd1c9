#pragma once
// A private world for one test program: program folder, settings file and the local engine's data
// folder all in a temporary folder, and the clock real unless a test fixes it.
#include <QString>
#include <QTemporaryDir>

class TestEnv {
 public:
  TestEnv();
  ~TestEnv();
  QString folder() const { return dir_.path(); }
  QString programFolder() const { return dir_.path() + QStringLiteral("/program"); }
  QString settingsFile() const { return dir_.path() + QStringLiteral("/ZEPH.ini"); }
  // Reads a whole file as bytes (empty when missing).
  static QByteArray readFile(const QString& path);
  // Writes a whole file, making its folder first; false when it cannot.
  static bool writeFile(const QString& path, const QByteArray& bytes);

 private:
  QTemporaryDir dir_;
};
