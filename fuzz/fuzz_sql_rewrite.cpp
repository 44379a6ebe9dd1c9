// Fuzz target for the local engine's SQL rewriting: any text, alone or spliced into a typical
// Oracle statement, must be rewritten without a crash, and every offset of the rewritten text
// must map back into the statement as typed.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "oracle/local/SqlRewrite.h"

namespace {

const char* const kSeeds[] = {
    "SELECT SID||','||SERIAL# as \xef\xbd\xbe\xef\xbd\xaf\xef\xbd\xbc\xef\xbe\x9e\xef\xbe\x9d, "
    "USERNAME FROM V$SESSION, V$SQL  WHERE USERNAME IS NOT NULL AND "
    "V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)",
    "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL",
    "select ename, hiredate + 30, sysdate - hiredate from scott.emp e where rownum <= 5 order by 1",
    "select e.ename, d.dname from emp e, dept d where e.deptno(+) = d.deptno and rownum < 3",
    "select deptno from dept minus select deptno from emp",
    "select * from (select rowid, e.* from emp e where sal > :SAL) x where rownum = 1",
    "select decode(job, 'CLERK', 1, 2) \"Kind\", nvl(comm, 0) c from emp fetch first 3 rows only",
    "with t as (select 1 a from dual) select unique a from t where a between 1 and rownum",
    "select * from (select rownum rn, e.* from emp e where rownum <= 6) where rn > 3 and ''=''",
};

void Check(const QString& sql) {
  ora::local::RewriteContext ctx;
  ctx.isDateColumn = [](const QString& n) { return n == QLatin1String("HIREDATE"); };
  ctx.isSchema = [](const QString& n) { return n == QLatin1String("SCOTT"); };
  ctx.isDateBind = [](const QString& n) { return n == QLatin1String("D"); };
  const ora::local::Rewritten rw = ora::local::RewriteOracleSql(sql, ctx);
  const int out = int(rw.sql.size());
  for (int p = 0; p <= out; p += (out > 256 ? out / 128 : 1)) {
    const int src = rw.MapToSource(p);
    if (src < 0 || src > sql.size()) std::abort();
  }
  for (const ora::local::SelectItem& it : rw.items) (void)it.heading.size();
  for (const ora::local::Token& t : rw.tokens)
    if (t.start < 0 || t.start + t.len > sql.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  Check(text);
  if (size > 0) {
    // Splice the input into a seed statement at a position chosen by its first byte.
    const QString seed = QString::fromUtf8(kSeeds[data[0] % (sizeof(kSeeds) / sizeof(*kSeeds))]);
    const int at = size > 1 ? int(data[1]) * int(seed.size()) / 256 : 0;
    Check(seed.left(at) + text.mid(2) + seed.mid(at));
  }
  return 0;
}
