#pragma once
// A scripted result set for tests: columns with their Oracle type and sizes, rows of values
// (listed or generated), properties that fail on purpose, and a hook after every MoveNext.
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

#include "oracle/OraInterface.h"

struct FakeColumn {
  QString name;
  int type = ora::ORATYPE_VARCHAR2;
  int maxSize = 0;
  int maxDSize = 0;
  int precision = 0;
  int scale = 0;
  int fieldSize = 0;
  // Properties, by their method names ("Value", "OraMaxSize" …), that raise an error when read.
  QSet<QString> failing;
};

class FakeDynaset;

class FakeField : public ora::OraField {
 public:
  FakeField(FakeDynaset* owner, int index) : owner_(owner), index_(index) {}
  QString Name() const override { return fails("Name") ? QString() : column().name; }
  QVariant Value() const override;
  int OraIDataType() const override { return fails("OraIDataType") ? 0 : column().type; }
  int OraMaxSize() const override { return fails("OraMaxSize") ? 0 : column().maxSize; }
  int OraMaxDSize() const override { return fails("OraMaxDSize") ? 0 : column().maxDSize; }
  int OraPrecision() const override { return fails("OraPrecision") ? 0 : column().precision; }
  int OraScale() const override { return fails("OraScale") ? 0 : column().scale; }
  int FieldSize() const override { return fails("FieldSize") ? 0 : column().fieldSize; }

 private:
  const FakeColumn& column() const;
  bool fails(const char* property) const;
  FakeDynaset* owner_;
  int index_;
};

class FakeDynaset : public ora::OraDynaset, public ora::OraFields {
 public:
  explicit FakeDynaset(const QList<FakeColumn>& columns, const QList<QVariantList>& rows = {});

  // Rows made on demand instead of listed: count rows, value(row, col) each (0-based).
  void Generate(int count, std::function<QVariant(int row, int col)> value);

  bool IsEOF() const override;
  void MoveNext() override;
  ora::OraFields& Fields() override { return *this; }
  void Close() override {
    if (onClose) onClose();
  }

  int Count() const override { return int(columns_.size()); }
  ora::OraField* Item(int index) override;

  // Called after every MoveNext with the number of moves made so far.
  std::function<void(int moves)> onMoveNext;
  std::function<void()> onClose;

  int moves() const { return moves_; }

 private:
  friend class FakeField;
  QVariant valueAt(int col) const;

  QList<FakeColumn> columns_;
  QList<QVariantList> rows_;
  int generated_ = -1;
  std::function<QVariant(int, int)> generator_;
  std::vector<std::unique_ptr<FakeField>> fields_;
  int pos_ = 0;
  int moves_ = 0;
};
