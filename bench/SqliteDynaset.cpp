#include "SqliteDynaset.h"

#include <QDateTime>
#include <cstring>

namespace {

int TypeOf(const char* decl) {
  if (!decl) return ora::ORATYPE_VARCHAR2;
  if (!std::strncmp(decl, "NUMBER", 6)) return ora::ORATYPE_NUMBER;
  if (!std::strcmp(decl, "DATE")) return ora::ORATYPE_DATE;
  return ora::ORATYPE_VARCHAR2;
}

int Digits(const char* p, int n) {
  int v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + (p[i] - '0');
  return v;
}

}  // namespace

class SqliteDynaset::Field : public ora::OraField {
 public:
  Field(sqlite3_stmt* st, int col) : st_(st), col_(col) {
    name_ = QString::fromUtf8(sqlite3_column_name(st, col));
    type_ = TypeOf(sqlite3_column_decltype(st, col));
  }
  QString Name() const override { return name_; }
  QVariant Value() const override {
    switch (sqlite3_column_type(st_, col_)) {
      case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(st_, col_)));
      case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st_, col_));
      case SQLITE_TEXT: {
        const char* p = reinterpret_cast<const char*>(sqlite3_column_text(st_, col_));
        const int n = sqlite3_column_bytes(st_, col_);
        // "YYYY-MM-DD hh:mm:ss", as UTC: local time would measure the C library's time zone
        // lookups rather than the fill.
        if (type_ == ora::ORATYPE_DATE && n == 19)
          return QVariant(QDateTime(QDate(Digits(p, 4), Digits(p + 5, 2), Digits(p + 8, 2)),
                                    QTime(Digits(p + 11, 2), Digits(p + 14, 2), Digits(p + 17, 2)),
                                    Qt::UTC));
        return QVariant(QString::fromUtf8(p, n));
      }
      default:
        return QVariant();
    }
  }
  int OraIDataType() const override { return type_; }
  int OraMaxSize() const override { return type_ == ora::ORATYPE_VARCHAR2 ? 40 : 22; }
  int OraMaxDSize() const override { return 40; }
  int OraPrecision() const override { return 0; }
  int OraScale() const override { return 0; }
  int FieldSize() const override { return OraMaxSize(); }

 private:
  sqlite3_stmt* st_;
  int col_;
  int type_;
  QString name_;
};

SqliteDynaset::SqliteDynaset(sqlite3* db, const char* sql) {
  if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK) return;
  for (int c = 0; c < sqlite3_column_count(st_); ++c)
    fields_.push_back(std::make_unique<Field>(st_, c));
  eof_ = sqlite3_step(st_) != SQLITE_ROW;
}

SqliteDynaset::~SqliteDynaset() {
  Close();
}

void SqliteDynaset::MoveNext() {
  if (!eof_) eof_ = sqlite3_step(st_) != SQLITE_ROW;
}

void SqliteDynaset::Close() {
  sqlite3_finalize(st_);
  st_ = nullptr;
  eof_ = true;
}

ora::OraField* SqliteDynaset::Item(int index) {
  if (index < 0 || index >= Count()) return nullptr;
  return fields_[std::size_t(index)].get();
}
