#pragma once
// A bare result set over a SQLite statement, typed the way the component types its columns. The
// benchmark fills the grid from it when the component cannot open the file.
#include <sqlite3.h>

#include <memory>
#include <vector>

#include "oracle/OraInterface.h"

class SqliteDynaset : public ora::OraDynaset, public ora::OraFields {
 public:
  SqliteDynaset(sqlite3* db, const char* sql);
  ~SqliteDynaset() override;

  bool IsEOF() const override { return eof_; }
  void MoveNext() override;
  ora::OraFields& Fields() override { return *this; }
  void Close() override;
  int Count() const override { return int(fields_.size()); }
  ora::OraField* Item(int index) override;

 private:
  class Field;
  sqlite3_stmt* st_ = nullptr;
  bool eof_ = true;
  std::vector<std::unique_ptr<Field>> fields_;
};
