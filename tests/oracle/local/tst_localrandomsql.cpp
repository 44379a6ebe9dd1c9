// Mangled Oracle statements, made by a seeded generator, sent through the component: each gives a
// result set, a server error, or (for a statement that is not a query) nothing without an error;
// none crashes, and every error offset lies inside the statement as typed.
#include <QRandomGenerator>
#include <QTest>

#include "common/TestEnv.h"
#include "oracle/local/LocalFixture.h"
#include "oracle/local/SqlRewrite.h"

using namespace ora;

namespace {

const char* const kSeeds[] = {
    ("SELECT SID||','||SERIAL# as ｾｯｼｮﾝ, USERNAME FROM V$SESSION, V$SQL  WHERE USERNAME IS NOT "
     "NULL AND V$SESSION.SQL_HASH_VALUE = V$SQL.HASH_VALUE(+)"),
    "select TO_CHAR(SYSDATE,'YYYY/MM/DD HH24:MI:SS') as SYSTEM_DATE FROM DUAL",
    "select ename, hiredate + 30, sysdate - hiredate from scott.emp e where rownum <= 5 order by 1",
    "select e.ename, d.dname from emp e, dept d where e.deptno(+) = d.deptno and rownum < 3",
    "select deptno from dept minus select deptno from emp",
    "select * from (select rowid, e.* from emp e where sal > 1000) x where rownum = 1",
    "select decode(job, 'CLERK', 1, 2) \"Kind\", nvl(comm, 0) c from emp fetch first 3 rows only",
    "with t as (select 1 a from dual) select unique a from t where a between 1 and 2",
    "select ename || ' (' || job || ')' 名前, to_char(sal, '9,999.99') from emp order by sal desc",
    "select count(*), deptno from emp group by deptno having count(*) > 3",
    ("select * from (select rownum rn, e.* from (select * from emp order by sal) e where rownum "
     "<= 6) where rn > 3 and ename <> ''"),
    "select deptno, count(*) from emp where sal > 0 and rownum <= 4 group by deptno order by 1",
};

const char* const kPieces[] = {
    "(",       ")",    ",",     "'",     "\"",     "||",   "+",   "-",  "(+)", "rownum",
    "sysdate", "from", "where", "and",   "select", "dual", "ｱ",   "表", ":X",  "*",
    " ",       "--",   "/*",    "minus", "rowid",  ".",    "emp", "0",  "9e9"};

QString Mangle(QRandomGenerator& rng) {
  QString s = QString::fromUtf8(kSeeds[rng.bounded(int(std::size(kSeeds)))]);
  const int edits = 1 + rng.bounded(4);
  for (int e = 0; e < edits; ++e) {
    const int at = rng.bounded(int(s.size()) + 1);
    switch (rng.bounded(3)) {
      case 0:
        s.insert(at, QString::fromUtf8(kPieces[rng.bounded(int(std::size(kPieces)))]));
        break;
      case 1:
        s.remove(at, 1 + rng.bounded(6));
        break;
      default:
        s.insert(at, QChar(char16_t(0x20 + rng.bounded(0x5e))));
        break;
    }
  }
  return s;
}

}  // namespace

class TestLocalRandomSql : public QObject {
  Q_OBJECT
 private slots:
  void mangledStatementsFailCleanly() {
    TestEnv env;
    Logon l = LogOn("DEMO", "SYSTEM/MANAGER");
    QVERIFY(l.db);
    l.db->Parameters().Add("X", "1", ORAPARM_INPUT);
    for (const char* seed : kSeeds) {
      auto dyn = l.db->CreateDynaset(QString::fromUtf8(seed), 0);
      QVERIFY2(dyn, qPrintable(QString::fromUtf8(seed) + " " + l.db->LastServerErrText()));
    }
    QRandomGenerator rng(20011);
    int results = 0, errors = 0, none = 0;
    for (int i = 0; i < 3000; ++i) {
      const QString sql = Mangle(rng);
      l.db->LastServerErrReset();
      ErrClear();
      auto dyn = l.db->CreateDynaset(sql, 0);
      if (dyn) {
        ReadAll(dyn, 50);
        ++results;
        continue;
      }
      QVERIFY2(!Err().pending(), qPrintable(sql));
      if (l.db->LastServerErr() != 0) {
        ++errors;
        QVERIFY2(l.db->LastServerErrText().startsWith("ORA-"), qPrintable(sql));
        QVERIFY2(l.db->LastServerErrPos() >= 0 && l.db->LastServerErrPos() <= sql.size(),
                 qPrintable(sql));
      } else {
        ++none;
        // Only statements that are not queries give nothing without an error.
        const auto rw = local::RewriteOracleSql(sql);
        QVERIFY2(rw.kind == local::StatementKind::Writing || rw.kind == local::StatementKind::Query,
                 qPrintable(sql));
      }
    }
    qInfo("%d result sets, %d server errors, %d without a result set", results, errors, none);
    QVERIFY(results > 30);
    QVERIFY(errors > 100);
  }
};

QTEST_GUILESS_MAIN(TestLocalRandomSql)
#include "tst_localrandomsql.moc"
