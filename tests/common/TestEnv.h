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

 private:
  QTemporaryDir dir_;
};
