// Oracle SQL on the local engine: each idiom against its expected value, and server errors with
// their numbers and positions.
#include <QTest>

#include "common/TestEnv.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

class TestLocalSql : public QObject {
  Q_OBJECT
 private:
  TestEnv* env_ = nullptr;
  Logon scott_;

 private slots:
  void initTestCase() {
    env_ = new TestEnv;
    scott_ = LogOn("DEMO", "SCOTT/TIGER");
    QVERIFY(scott_.db);
  }
  void cleanupTestCase() {
    scott_ = {};
    delete env_;
  }

  void idioms_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    auto row = [](const char* name, const char* sql, const QString& expected) {
      QTest::newRow(name) << QString::fromUtf8(sql) << expected;
    };
    const QString year = QString::number(QDate::currentDate().year());
    row("dual", "select dummy from dual", "X");
    row("sysdate", "select to_char(sysdate, 'YYYY') from dual", year);
    row("sysdate is a date", "select trunc(sysdate) - trunc(sysdate - 3) from dual", "3");
    row("user", "select user from dual", "SCOTT");
    row("rownum <= n", "select count(*) from (select * from emp where rownum <= 3)", "3");
    row("rownum < n", "select count(*) from (select * from emp where rownum < 3)", "2");
    row("rownum = 1", "select count(*) from (select ename from emp where rownum = 1)", "1");
    row("rownum with other conditions",
        "select count(*) from (select * from emp where deptno = 30 and rownum <= 2)", "2");
    row("rownum in select list", "select max(rn) from (select rownum rn from emp)", "14");
    row("rowid", "select length(rowid) from emp where empno = 7369", "18");
    row("to_char date", "select to_char(hiredate, 'YYYY/MM/DD') from emp where empno = 7369",
        "1980/12/17");
    row("to_char yy mon dd dy",
        "select to_char(hiredate, 'YY MON DD DY') from emp where empno = 7369", "80 DEC 17 WED");
    row("to_char time",
        "select to_char(to_date('2001-04-06 21:05:07', 'YYYY-MM-DD HH24:MI:SS'), "
        "'HH:MI:SS AM HH24') from dual",
        "09:05:07 PM 21");
    row("to_char number groups", "select to_char(1234.5, '9,999.99') from dual", " 1,234.50");
    row("to_char number zeros", "select to_char(5, '000') from dual", " 005");
    row("to_char negative", "select to_char(-12.3, '99.9') from dual", "-12.3");
    row("to_char fraction", "select to_char(0.5, '0.99') from dual", " 0.50");
    row("to_char fm", "select to_char(1234.5, 'FM9,999.99') from dual", "1,234.5");
    row("to_char plain number", "select to_char(0.5) from dual", ".5");
    row("to_date", "select to_date('2001/04/06', 'YYYY/MM/DD') from dual", "2001-04-06 00:00:00");
    row("to_date mon", "select to_date('06-APR-01', 'DD-MON-RR') from dual", "2001-04-06 00:00:00");
    row("date literal", "select date '2001-04-06' + 1 from dual", "2001-04-07 00:00:00");
    row("date literal in a condition",
        "select count(*) from emp where hiredate < date '1981-03-01'", "3");
    row("to_number", "select to_number('12.5') + 1 from dual", "13.5");
    row("nvl", "select nvl(comm, -1) from emp where empno = 7369", "-1");
    row("nvl2", "select nvl2(comm, 'Y', 'N') from emp where empno = 7369", "N");
    row("decode", "select decode(deptno, 10, 'A', 20, 'B', 'C') from emp where empno = 7369", "B");
    row("decode default", "select decode(deptno, 10, 'A', 'C') from emp where empno = 7369", "C");
    row("substr", "select substr('ABCDEF', 2, 3) from dual", "BCD");
    row("substr from the end", "select substr('ABCDEF', -2) from dual", "EF");
    row("substr from 0", "select substr('ABC', 0, 2) from dual", "AB");
    row("instr", "select instr('CORPORATE FLOOR', 'OR', 3, 2) from dual", "14");
    row("instr backwards", "select instr('CORPORATE FLOOR', 'OR', -3, 2) from dual", "2");
    row("length", "select length('ｱｲｳ漢字') from dual", "5");
    row("upper", "select upper('abc') from dual", "ABC");
    row("lower", "select lower('ABC') from dual", "abc");
    row("initcap", "select initcap('the SOAP') from dual", "The Soap");
    row("lpad", "select lpad('7', 3, '0') from dual", "007");
    row("rpad", "select rpad('ab', 4, '*') from dual", "ab**");
    row("trim", "select trim('  x  ') from dual", "x");
    row("ltrim", "select ltrim('xxA', 'x') from dual", "A");
    row("rtrim", "select rtrim('Axx', 'x') from dual", "A");
    row("round", "select round(15.193, 1) from dual", "15.2");
    row("round half", "select round(-15.5) from dual", "-16");
    row("round tens", "select round(1234, -2) from dual", "1200");
    row("trunc number", "select trunc(15.79, 1) from dual", "15.7");
    row("trunc negative", "select trunc(-15.79) from dual", "-15");
    row("trunc date",
        "select trunc(to_date('2001-04-06 21:05:07', 'YYYY-MM-DD HH24:MI:SS')) from dual",
        "2001-04-06 00:00:00");
    row("trunc date month", "select trunc(hiredate, 'MM') from emp where empno = 7369",
        "1980-12-01 00:00:00");
    row("round date month", "select round(to_date('2001-04-16', 'YYYY-MM-DD'), 'MM') from dual",
        "2001-05-01 00:00:00");
    row("mod", "select mod(11, 4) from dual", "3");
    row("mod negative", "select mod(-11, 4) from dual", "-3");
    row("mod zero", "select mod(5, 0) from dual", "5");
    row("add_months end of month",
        "select add_months(to_date('2001-01-31', 'YYYY-MM-DD'), 1) from dual",
        "2001-02-28 00:00:00");
    row("months_between whole",
        "select months_between(to_date('2001-03-31', 'YYYY-MM-DD'), "
        "to_date('2001-02-28', 'YYYY-MM-DD')) from dual",
        "1");
    row("months_between fraction",
        "select round(months_between(to_date('02-02-1995', 'MM-DD-YYYY'), "
        "to_date('01-01-1995', 'MM-DD-YYYY')), 6) from dual",
        "1.032258");
    row("last_day", "select last_day(to_date('2000-02-10', 'YYYY-MM-DD')) from dual",
        "2000-02-29 00:00:00");
    row("date minus date",
        "select to_date('2001-04-06', 'YYYY-MM-DD') - to_date('2001-04-01', 'YYYY-MM-DD') from "
        "dual",
        "5");
    row("date plus days", "select to_date('2001-04-06', 'YYYY-MM-DD') + 1.5 from dual",
        "2001-04-07 12:00:00");
    row("date column minus days", "select hiredate - 1 from emp where empno = 7369",
        "1980-12-16 00:00:00");
    row("days plus date", "select 2 + hiredate from emp where empno = 7369", "1980-12-19 00:00:00");
    row("minus", "select count(*) from (select deptno from dept minus select deptno from emp)",
        "1");
    row("outer join", "select count(*) from emp e, dept d where e.deptno(+) = d.deptno", "15");
    row("outer join keeps the lonely department",
        "select d.dname from emp e, dept d where e.deptno(+) = d.deptno and e.empno is null",
        "OPERATIONS");
    row("owner-qualified name", "select count(*) from scott.emp", "14");
    row("owner-qualified column", "select scott.emp.ename from scott.emp where empno = 7839",
        "KING");
    row("not equal", "select count(*) from emp where deptno != 10 and deptno ^= 20", "6");
    row("greatest", "select greatest(3, 7, 5) from dual", "7");
    row("fetch first", "select count(*) from (select * from emp fetch first 2 rows only)", "2");
    row("unique", "select count(*) from (select unique job from emp)", "5");
    row("concatenation", "select ename || '/' || job from emp where empno = 7839",
        "KING/PRESIDENT");
    row("concatenation with Null", "select ename || comm || '!' from emp where empno = 7839",
        "KING!");
    row("concatenation of numbers", "select 1.5 || '/' || 2 from dual", "1.5/2");
    row("concatenation of a date sum",
        "select to_char(hiredate + 1, 'DD') || '日' from emp where empno = 7369", "18日");
  }
  void idioms() {
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    scott_.db->LastServerErrReset();
    QCOMPARE(First(*scott_.db, sql), expected);
    QCOMPARE(scott_.db->LastServerErr(), 0);
  }

  void errors_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("textStart");
    QTest::addColumn<int>("pos");
    auto row = [](const char* name, const char* sql, int number, const char* text, int pos) {
      QTest::newRow(name) << QString::fromUtf8(sql) << number << QString::fromUtf8(text) << pos;
    };
    row("form for from", "select * form emp", 923,
        "ORA-00923: FROM keyword not found where expected", 9);
    row("unknown column", "select enamex from emp", 904,
        "ORA-00904: \"ENAMEX\": invalid identifier", 7);
    row("unknown qualified column", "select e.enamex from emp e", 904,
        "ORA-00904: \"E\".\"ENAMEX\": invalid identifier", 7);
    row("unknown table", "select * from nosuch", 942, "ORA-00942: table or view does not exist",
        14);
    row("Japanese before an unknown column", "select 'ｴﾗｰ', enamex from emp", 904,
        "ORA-00904: \"ENAMEX\": invalid identifier", 14);
    row("Japanese table name", "select 'ﾃｽﾄ' from 存在しない表", 942,
        "ORA-00942: table or view does not exist", 18);
    row("Japanese alias then form", "select ename 名前, sal 給与 form emp", 923,
        "ORA-00923: FROM keyword not found where expected", 24);
    row("Japanese literal takes form as its alias", "select sysdate, 'ｱｲｳ' form dual", 923,
        "ORA-00923: FROM keyword not found where expected", 27);
    row("missing operand after rewritten date arithmetic",
        "select hiredate + 1, 'ｱ' ｶﾅ, sal + from emp", 936, "ORA-00936: missing expression", 35);
    row("missing expression", "select from emp", 936, "ORA-00936: missing expression", 7);
    row("missing expression after comma", "select ename, from emp", 936,
        "ORA-00936: missing expression", 14);
    row("not properly ended", "select * from emp emp2 emp3", 933,
        "ORA-00933: SQL command not properly ended", 23);
    row("invalid statement", "selec * from emp", 900, "ORA-00900: invalid SQL statement", 0);
    row("invalid number", "select to_number('abc') from dual", 1722, "ORA-01722: invalid number",
        0);
    row("semicolon", "select * from emp;", 911, "ORA-00911: invalid character", 17);
    row("open quote", "select 'abc from dual", 1756,
        "ORA-01756: quoted string not properly terminated", 7);
    row("dba view for scott", "SELECT * FROM DBA_USERS", 942,
        "ORA-00942: table or view does not exist", 14);
    row("v$ view for scott", "select * from v$version", 942,
        "ORA-00942: table or view does not exist", 14);
    row("unknown owner", "select * from nobody.emp", 942, "ORA-00942: table or view does not exist",
        14);
    row("the engine's accounts are hidden", "select password from querna_accounts", 942,
        "ORA-00942: table or view does not exist", 21);
    row("unknown function", "select nosuchfn(1) from dual", 904,
        "ORA-00904: \"NOSUCHFN\": invalid identifier", 7);
  }
  void errors() {
    QFETCH(QString, sql);
    QFETCH(int, number);
    QFETCH(QString, textStart);
    QFETCH(int, pos);
    scott_.db->LastServerErrReset();
    auto dyn = scott_.db->CreateDynaset(sql, 0);
    if (dyn) ReadAll(dyn);
    QCOMPARE(scott_.db->LastServerErr(), number);
    QVERIFY2(scott_.db->LastServerErrText().startsWith(textStart),
             qPrintable(scott_.db->LastServerErrText()));
    QCOMPARE(scott_.db->LastServerErrPos(), pos);
  }

  void unclassifiedErrorKeepsSqliteMessage() {
    auto dyn = scott_.db->CreateDynaset("select json_extract('{', '$') from dual", 0);
    QVERIFY(!dyn);
    QVERIFY(scott_.db->LastServerErr() != 0);
    QVERIFY2(scott_.db->LastServerErrText().startsWith("ORA-"),
             qPrintable(scott_.db->LastServerErrText()));
  }
};

QTEST_GUILESS_MAIN(TestLocalSql)
#include "tst_localsql.moc"
