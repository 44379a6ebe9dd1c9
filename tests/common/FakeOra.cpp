#include "common/FakeOra.h"

#include "core/RunErr.h"

const FakeColumn& FakeField::column() const {
  return owner_->columns_[index_];
}

bool FakeField::fails(const char* property) const {
  if (!column().failing.contains(QLatin1String(property))) return false;
  ora::Raise(ora::kErrOraComponent, QStringLiteral("%1 を取得できません").arg(property));
  return true;
}

QVariant FakeField::Value() const {
  return fails("Value") ? QVariant() : owner_->valueAt(index_);
}

FakeDynaset::FakeDynaset(const QList<FakeColumn>& columns, const QList<QVariantList>& rows)
    : columns_(columns), rows_(rows) {
  for (int i = 0; i < columns_.size(); ++i) fields_.push_back(std::make_unique<FakeField>(this, i));
}

void FakeDynaset::Generate(int count, std::function<QVariant(int, int)> value) {
  generated_ = count;
  generator_ = std::move(value);
}

bool FakeDynaset::IsEOF() const {
  return pos_ >= (generated_ >= 0 ? generated_ : int(rows_.size()));
}

void FakeDynaset::MoveNext() {
  if (IsEOF()) {
    ora::Raise(ora::kErrOraComponent, QStringLiteral("カレント・レコードがありません"));
    return;
  }
  ++pos_;
  ++moves_;
  if (onMoveNext) onMoveNext(moves_);
}

ora::OraField* FakeDynaset::Item(int index) {
  if (index < 0 || index >= int(fields_.size())) {
    ora::Raise(ora::kErrOutOfRange, QStringLiteral("インデックスが有効範囲にありません。"));
    return nullptr;
  }
  return fields_[std::size_t(index)].get();
}

QVariant FakeDynaset::valueAt(int col) const {
  if (IsEOF()) return {};
  if (generated_ >= 0) return generator_(pos_, col);
  const QVariantList& row = rows_[pos_];
  return col < row.size() ? row[col] : QVariant();
}
