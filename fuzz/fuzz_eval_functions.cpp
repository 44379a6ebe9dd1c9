// Fuzz target for the local engine's Oracle functions and operators: the input chooses an
// expression tree over them (literals at the edges of their ranges, numbers taken from the input's
// bytes), which is rewritten and evaluated as the engine does it, on an in-memory database.
// Any crash or undefined behaviour fails; an ORA- error is a normal answer.
#include <sqlite3.h>

#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstring>

#include "core/NumberText.h"
#include "oracle/local/LocalInternal.h"
#include "oracle/local/SqlRewrite.h"

namespace {

// Oracle functions by the fewest and the most arguments they take.
struct Arity {
  int minArgs;
  int maxArgs;
  const char* names;
};

const Arity kFunctions[] = {
    {1, 1, "LENGTH LENGTHB UPPER INITCAP LAST_DAY CEIL FLOOR SIGN EXP SQRT LN CHR ASCII TRIM"},
    {1, 2, "TO_CHAR TO_DATE TO_NUMBER ROUND TRUNC LTRIM RTRIM"},
    {1, 3, "GREATEST LEAST"},
    {2, 2, "NVL MOD ADD_MONTHS MONTHS_BETWEEN NEXT_DAY POWER CONCAT"},
    {2, 3, "SUBSTR LPAD RPAD REPLACE"},
    {2, 4, "INSTR"},
    {3, 3, "NVL2 TRANSLATE"},
    {3, 5, "DECODE"}};

// Literals at the edges of the functions' ranges, separated by '|'.
const QStringList kLiterals =
    QStringLiteral(
        "0|1|-1|7|0.5|1e19|-1e19|1e300|1e-320|2147483648|9223372036854775807|"
        "-9223372036854775808|NULL|''|'abc'|'  '|'12.5'|'CORPORATE FLOOR'|'2024-02-29'|"
        "'YYYY-MM-DD'|'FM9,999.99'|'DD-MON-RR'|'J'|'MONTH'|'S000MI'|'HH24:MI:SS AM'|"
        "'MONDAY'|'$9G999D99'|'IW'|'Q'|sysdate|to_date('0001-01-01', 'YYYY-MM-DD')|"
        "date '9999-12-31'|hiredate")
        .split(QLatin1Char('|'));

const char* const kOperators[] = {" + ", " - ", " * ", " / ", " || "};

// Reads the input as a stream of choices; an exhausted input chooses 0.
struct Choices {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  uint8_t next() { return at < size ? data[at++] : 0; }
};

QString Number(Choices& in) {
  double d = 0;
  uint8_t bytes[sizeof d] = {};
  for (uint8_t& b : bytes) b = in.next();
  std::memcpy(&d, bytes, sizeof d);
  if (d != d || d - d != 0) return QStringLiteral("3");  // SQL has no NaN or infinity literal
  return QString::number(d, 'g', 17);
}

QString Expression(Choices& in, int depth) {
  const uint8_t c = in.next();
  if (depth >= 4 || c < 96) {
    if (c % 8 == 7) return Number(in);
    return kLiterals[c % kLiterals.size()];
  }
  if (c < 160) {
    const QString a = Expression(in, depth + 1);
    const char* op = kOperators[in.next() % (sizeof kOperators / sizeof *kOperators)];
    return QLatin1Char('(') + a + QLatin1String(op) + Expression(in, depth + 1) + QLatin1Char(')');
  }
  const Arity& f = kFunctions[in.next() % (sizeof kFunctions / sizeof *kFunctions)];
  const QStringList names = QString::fromLatin1(f.names).split(QLatin1Char(' '));
  const int argc = f.minArgs + in.next() % (f.maxArgs - f.minArgs + 1);
  QString call = names[in.next() % names.size()] + QLatin1Char('(');
  for (int i = 0; i < argc; ++i) {
    if (i > 0) call += QStringLiteral(", ");
    call += Expression(in, depth + 1);
  }
  return call + QLatin1Char(')');
}

sqlite3* Database() {
  static const QString user = QStringLiteral("SCOTT");
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    sqlite3_open(":memory:", &d);
    ora::local::RegisterOracleFunctions(d, &user);
    sqlite3_exec(d,
                 "create table dual(dummy varchar2(1)); insert into dual values('X');"
                 "create table emp(hiredate date); insert into emp values('1980-12-17 00:00:00');",
                 nullptr, nullptr, nullptr);
    return d;
  }();
  return db;
}

// Reads every value the way the engine and the grid do, so their conversions run too.
void Evaluate(const QString& sql) {
  ora::local::RewriteContext ctx;
  ctx.isDateColumn = [](const QString& n) { return n == QLatin1String("HIREDATE"); };
  const ora::local::Rewritten rw = ora::local::RewriteOracleSql(sql, ctx);
  const QByteArray text = rw.sql.toUtf8();
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(Database(), text.constData(), int(text.size()), &st, nullptr) !=
      SQLITE_OK) {
    sqlite3_finalize(st);
    return;
  }
  while (sqlite3_step(st) == SQLITE_ROW) {
    switch (sqlite3_column_type(st, 0)) {
      case SQLITE_FLOAT:
        (void)ora::NumberText(sqlite3_column_double(st, 0)).size();
        break;
      case SQLITE_TEXT: {
        const QString v = QString::fromUtf8(
            reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), sqlite3_column_bytes(st, 0));
        (void)ora::DecimalText(v).size();
        (void)ora::local::ParseSqlDate(v).isValid();
        break;
      }
      default:
        break;
    }
  }
  sqlite3_finalize(st);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 512) return 0;
  Choices in{data, size};
  Evaluate(QStringLiteral("select ") + Expression(in, 0) + QStringLiteral(" from dual, emp"));
  return 0;
}
