// Oracle's answers from the local engine: each statement against the text the grid shows (rows
// separated by " | ", values by ","), or the ORA- error it raises.
#include <QTest>

#include "common/TestEnv.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

namespace {

void Row(const char* name, const char* sql, const char* expected) {
  QTest::newRow(name) << QString::fromUtf8(sql) << QString::fromUtf8(expected);
}

// The grid shows Null as an empty cell and a date as "YYYY/MM/DD hh:mm:ss".
QString GridText(const QVariant& v) {
  if (IsNull(v)) return QString();
  if (v.typeId() == QMetaType::QDateTime)
    return v.toDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
  return v.toString();
}

// Every row of the statement as the grid shows it, or the server error.
QString Answer(OraDatabase& db, const QString& sql) {
  db.LastServerErrReset();
  auto dyn = db.CreateDynaset(sql, 0);
  QStringList rows;
  for (const QVariantList& row : ReadAll(dyn)) {
    QStringList cells;
    for (const QVariant& v : row) cells << GridText(v);
    rows << cells.join(QLatin1Char(','));
  }
  if (db.LastServerErr() != 0)
    return db.LastServerErrText() + QStringLiteral(" @%1").arg(db.LastServerErrPos());
  return rows.join(QStringLiteral(" | "));
}

// ROWNUM numbers the rows of its query block as they are read, before that block's ORDER BY,
// GROUP BY and DISTINCT; a row gets its number only when it passes, so no row is ever number 2
// without a number 1.
void addRownumRows() {
  Row("rownum <= n before order by",
      "select ename, sal from emp where rownum <= 3 order by sal desc",
      "ALLEN,1600 | WARD,1250 | SMITH,800");
  Row("n > rownum", "select empno from emp where 3 > rownum", "7369 | 7499");
  Row("rownum < fraction", "select count(*) from emp where rownum < 2.5", "2");
  Row("rownum = 1 with other conditions", "select ename from emp where deptno = 30 and rownum = 1",
      "ALLEN");
  Row("rownum before group by",
      "select deptno, count(*) from emp where rownum <= 4 group by deptno order by deptno",
      "20,2 | 30,2");
  Row("rownum before an aggregate", "select count(*) from emp where rownum <= 5", "5");
  Row("rownum before distinct", "select distinct deptno from emp where rownum <= 2 order by deptno",
      "20 | 30");
  Row("rownum > 1 gives no rows", "select count(*) from emp where rownum > 1", "0");
  Row("rownum = 2 gives no rows", "select ename from emp where rownum = 2", "");
  Row("rownum > 0 keeps every row", "select count(*) from emp where rownum > 0", "14");
  Row("rownum <> 3 keeps two rows", "select count(*) from emp where rownum != 3", "2");
  Row("bound from a bind variable", "select count(*) from emp where rownum <= :THREE", "3");
  Row("negative bind keeps no row", "select count(*) from emp where rownum <= :MINUS", "0");
  Row("huge bound", "select count(*) from emp where rownum <= 1e300", "14");
  Row("top-N",
      "select * from (select ename, sal from emp order by sal desc, ename) where rownum <= 3",
      "KING,5000 | FORD,3000 | SCOTT,3000");
  Row("pagination",
      "select ename from (select rownum rn, e.* from (select ename from emp order by ename) e "
      "where rownum <= 6) where rn between 4 and 6",
      "CLARK | FORD | JAMES");
  Row("pagination, alias after the star",
      "select rn, ename from (select a.*, rownum rn from (select ename from emp order by ename) a "
      "where rownum <= 3) where rn >= 3",
      "3,BLAKE");
  Row("rownum in the select list before order by",
      "select rownum, ename from emp where deptno = 10 order by sal desc",
      "2,KING | 1,CLARK | 3,MILLER");
  Row("rownum in each block of a union",
      "select ename from emp where rownum = 1 union all select dname from dept where rownum = 1",
      "SMITH | ACCOUNTING");
  Row("rownum in a subquery condition",
      "select count(*) from emp where empno in (select empno from emp where rownum <= 4)", "4");
  Row("rownum in a join before order by",
      "select e.ename, d.dname from emp e, dept d where e.deptno = d.deptno and rownum <= 2 "
      "order by e.sal desc",
      "KING,ACCOUNTING | CLARK,ACCOUNTING");
  Row("rownum with a join",
      "select count(*) from (select e.ename from emp e, dept d where e.deptno = d.deptno and "
      "rownum <= 3)",
      "3");
}

// The empty string is Null everywhere; a Null operand of || reads as empty text.
void addNullRows() {
  Row("empty literal is Null", "select count(*) from dual where '' is null", "1");
  Row("nvl of an empty literal", "select nvl('', 'x') from dual", "x");
  Row("empty literal compares as Null", "select count(*) from emp where ename = ''", "0");
  Row("empty literal in a concatenation", "select 'a' || '' || 'b' from dual", "ab");
  Row("quote inside a literal stays", "select '''' from dual", "'");
}

// The other idioms the engine rewrites, one row each.
void addRewriteRows() {
  Row("sysdate is a date", "select trunc(sysdate) - trunc(sysdate - 3) from dual", "3");
  Row("user", "select user from dual", "SCOTT");
  Row("rowid", "select length(rowid) from emp where empno = 7369", "18");
  Row("date literal", "select date '2001-04-06' + 1 from dual", "2001/04/07 00:00:00");
  Row("date literal in a condition", "select count(*) from emp where hiredate < date '1981-03-01'",
      "3");
  Row("date minus date",
      "select to_date('2001-04-06', 'YYYY-MM-DD') - to_date('2001-04-01', 'YYYY-MM-DD') from dual",
      "5");
  Row("date plus days", "select to_date('2001-04-06', 'YYYY-MM-DD') + 1.5 from dual",
      "2001/04/07 12:00:00");
  Row("date column minus days", "select hiredate - 1 from emp where empno = 7369",
      "1980/12/16 00:00:00");
  Row("days plus date", "select 2 + hiredate from emp where empno = 7369", "1980/12/19 00:00:00");
  Row("minus", "select deptno from dept minus select deptno from emp", "40");
  Row("outer join", "select count(*) from emp e, dept d where e.deptno(+) = d.deptno", "15");
  Row("outer join keeps the lonely department",
      "select d.dname from emp e, dept d where e.deptno(+) = d.deptno and e.empno is null",
      "OPERATIONS");
  Row("owner-qualified name", "select count(*) from scott.emp", "14");
  Row("owner-qualified column", "select scott.emp.ename from scott.emp where empno = 7839", "KING");
  Row("not equal", "select count(*) from emp where deptno != 10 and deptno ^= 20", "6");
  Row("fetch first", "select count(*) from (select * from emp fetch first 2 rows only)", "2");
  Row("unique", "select count(*) from (select unique job from emp)", "5");
  Row("concatenation", "select ename || '/' || job from emp where empno = 7839", "KING/PRESIDENT");
  Row("concatenation with Null", "select ename || comm || '!' from emp where empno = 7839",
      "KING!");
  Row("concatenation of numbers", "select 1.5 || '/' || 2 from dual", "1.5/2");
  Row("concatenation of a date sum",
      "select to_char(hiredate + 1, 'DD') || '日' from emp where empno = 7369", "18日");
}

// The engine's Oracle functions.
void addEngineFunctionRows() {
  Row("dual", "select dummy from dual", "X");
  Row("sysdate",
      "select to_char(sysdate, 'YYYY') - to_char(add_months(sysdate, -12), 'YYYY') from dual", "1");
  Row("to_char date", "select to_char(hiredate, 'YYYY/MM/DD') from emp where empno = 7369",
      "1980/12/17");
  Row("to_char yy mon dd dy",
      "select to_char(hiredate, 'YY MON DD DY') from emp where empno = 7369", "80 DEC 17 WED");
  Row("to_char time",
      "select to_char(to_date('2001/04/06 21:05:07', 'YYYY-MM-DD HH24:MI:SS'), "
      "'HH:MI:SS AM HH24') from dual",
      "09:05:07 PM 21");
  Row("to_char number groups", "select to_char(1234.5, '9,999.99') from dual", " 1,234.50");
  Row("to_char number zeros", "select to_char(5, '000') from dual", " 005");
  Row("to_char negative", "select to_char(-12.3, '99.9') from dual", "-12.3");
  Row("to_char fraction", "select to_char(0.5, '0.99') from dual", " 0.50");
  Row("to_char fm", "select to_char(1234.5, 'FM9,999.99') from dual", "1,234.5");
  Row("to_char plain number", "select to_char(0.5) from dual", ".5");
  Row("to_date", "select to_date('2001/04/06', 'YYYY/MM/DD') from dual", "2001/04/06 00:00:00");
  Row("to_date mon", "select to_date('06-APR-01', 'DD-MON-RR') from dual", "2001/04/06 00:00:00");
  Row("to_number", "select to_number('12.5') + 1 from dual", "13.5");
  Row("nvl", "select nvl(comm, -1) from emp where empno = 7369", "-1");
  Row("nvl2", "select nvl2(comm, 'Y', 'N') from emp where empno = 7369", "N");
  Row("decode", "select decode(deptno, 10, 'A', 20, 'B', 'C') from emp where empno = 7369", "B");
  Row("decode default", "select decode(deptno, 10, 'A', 'C') from emp where empno = 7369", "C");
  Row("substr", "select substr('ABCDEF', 2, 3) from dual", "BCD");
  Row("substr from the end", "select substr('ABCDEF', -2) from dual", "EF");
  Row("substr from 0", "select substr('ABC', 0, 2) from dual", "AB");
  Row("instr", "select instr('CORPORATE FLOOR', 'OR', 3, 2) from dual", "14");
  Row("instr backwards", "select instr('CORPORATE FLOOR', 'OR', -3, 2) from dual", "2");
  Row("length", "select length('ｱｲｳ漢字') from dual", "5");
  Row("upper", "select upper('abc') from dual", "ABC");
  Row("lower", "select lower('ABC') from dual", "abc");
  Row("initcap", "select initcap('the SOAP') from dual", "The Soap");
  Row("lpad", "select lpad('7', 3, '0') from dual", "007");
  Row("rpad", "select rpad('ab', 4, '*') from dual", "ab**");
  Row("trim", "select trim('  x  ') from dual", "x");
  Row("ltrim", "select ltrim('xxA', 'x') from dual", "A");
  Row("rtrim", "select rtrim('Axx', 'x') from dual", "A");
  Row("round", "select round(15.193, 1) from dual", "15.2");
  Row("round half", "select round(-15.5) from dual", "-16");
  Row("round tens", "select round(1234, -2) from dual", "1200");
  Row("trunc number", "select trunc(15.79, 1) from dual", "15.7");
  Row("trunc negative", "select trunc(-15.79) from dual", "-15");
  Row("trunc date",
      "select trunc(to_date('2001/04/06 21:05:07', 'YYYY-MM-DD HH24:MI:SS')) from dual",
      "2001/04/06 00:00:00");
  Row("trunc date month", "select trunc(hiredate, 'MM') from emp where empno = 7369",
      "1980/12/01 00:00:00");
  Row("round date month", "select round(to_date('2001-04-16', 'YYYY-MM-DD'), 'MM') from dual",
      "2001/05/01 00:00:00");
  Row("mod", "select mod(11, 4) from dual", "3");
  Row("mod negative", "select mod(-11, 4) from dual", "-3");
  Row("mod zero", "select mod(5, 0) from dual", "5");
  Row("add_months end of month",
      "select add_months(to_date('2001-01-31', 'YYYY-MM-DD'), 1) from dual", "2001/02/28 00:00:00");
  Row("months_between whole",
      "select months_between(to_date('2001-03-31', 'YYYY-MM-DD'), "
      "to_date('2001-02-28', 'YYYY-MM-DD')) from dual",
      "1");
  Row("months_between fraction",
      "select round(months_between(to_date('02-02-1995', 'MM-DD-YYYY'), "
      "to_date('01-01-1995', 'MM-DD-YYYY')), 6) from dual",
      "1.032258");
  Row("last_day", "select last_day(to_date('2000-02-10', 'YYYY-MM-DD')) from dual",
      "2000/02/29 00:00:00");
  Row("greatest", "select greatest(3, 7, 5) from dual", "7");
}

// Server errors: the text and, after "@", the offset of the error in the statement as typed.
void addErrorRows() {
  Row("form for from", "select * form emp", "ORA-00923: FROM keyword not found where expected @9");
  Row("unknown column", "select enamex from emp", "ORA-00904: \"ENAMEX\": invalid identifier @7");
  Row("unknown qualified column", "select e.enamex from emp e",
      "ORA-00904: \"E\".\"ENAMEX\": invalid identifier @7");
  Row("unknown table", "select * from nosuch", "ORA-00942: table or view does not exist @14");
  Row("Japanese before an unknown column", "select 'ｴﾗｰ', enamex from emp",
      "ORA-00904: \"ENAMEX\": invalid identifier @14");
  Row("Japanese table name", "select 'ﾃｽﾄ' from 存在しない表",
      "ORA-00942: table or view does not exist @18");
  Row("Japanese alias then form", "select ename 名前, sal 給与 form emp",
      "ORA-00923: FROM keyword not found where expected @24");
  Row("Japanese literal takes form as its alias", "select sysdate, 'ｱｲｳ' form dual",
      "ORA-00923: FROM keyword not found where expected @27");
  Row("missing operand after rewritten date arithmetic",
      "select hiredate + 1, 'ｱ' ｶﾅ, sal + from emp", "ORA-00936: missing expression @35");
  Row("missing expression", "select from emp", "ORA-00936: missing expression @7");
  Row("missing expression after comma", "select ename, from emp",
      "ORA-00936: missing expression @14");
  Row("not properly ended", "select * from emp emp2 emp3",
      "ORA-00933: SQL command not properly ended @23");
  Row("invalid statement", "selec * from emp", "ORA-00900: invalid SQL statement @0");
  Row("invalid number", "select to_number('abc') from dual", "ORA-01722: invalid number @0");
  Row("semicolon", "select * from emp;", "ORA-00911: invalid character @17");
  Row("open quote", "select 'abc from dual", "ORA-01756: quoted string not properly terminated @7");
  Row("dba view for scott", "SELECT * FROM DBA_USERS",
      "ORA-00942: table or view does not exist @14");
  Row("v$ view for scott", "select * from v$version",
      "ORA-00942: table or view does not exist @14");
  Row("unknown owner", "select * from nobody.emp", "ORA-00942: table or view does not exist @14");
  Row("the engine's accounts are hidden", "select password from querna_accounts",
      "ORA-00942: table or view does not exist @21");
  Row("unknown function", "select nosuchfn(1) from dual",
      "ORA-00904: \"NOSUCHFN\": invalid identifier @7");
}

}  // namespace

class TestOracleAnswers : public QObject {
  Q_OBJECT
 private:
  TestEnv* env_ = nullptr;
  Logon scott_;

 private slots:
  void initTestCase() {
    env_ = new TestEnv;
    scott_ = LogOn("DEMO", "SCOTT/TIGER");
    QVERIFY(scott_.db);
    scott_.db->Parameters().Add("THREE", "3", ORAPARM_INPUT);
    scott_.db->Parameters().Add("MINUS", "-1", ORAPARM_INPUT);
  }
  void cleanupTestCase() {
    scott_ = {};
    delete env_;
  }

  void answers_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    addRownumRows();
    addNullRows();
    addRewriteRows();
    addEngineFunctionRows();
    addErrorRows();
  }
  void answers() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    QCOMPARE(Answer(*scott_.db, sql), expected);
  }

  // An error the engine cannot classify still reads as an ORA- error, never SQLite's own text.
  void unclassifiedErrorIsAnOracleError() {
    QVERIFY(Answer(*scott_.db, "select json_extract('{', '$') from dual").startsWith("ORA-"));
  }
};

QTEST_GUILESS_MAIN(TestOracleAnswers)
#include "tst_oracleanswers.moc"
