// The local engine's answers as the result grid shows them (rows joined by " | ", values by ","),
// or the error with its offset; "ORA-nnnnn" alone matches that error at any offset.
#include <QTest>
#include <ctime>

#include "common/TestEnv.h"
#include "grid/vaSpread.h"
#include "oracle/local/LocalFixture.h"
#include "support/basFunctions.h"

using namespace ora;

namespace {

void As(const char* user, const char* sql, const QString& expected) {
  QTest::addRow("%s: %s", user, sql) << QString(user) << QString::fromUtf8(sql) << expected;
}
void Row(const char* sql, const QString& expected) {
  As("SCOTT", sql, expected);
}

// Every row of the statement as the grid shows it, or the server error.
QString Answer(OraDatabase& db, const QString& sql) {
  db.LastServerErrReset();
  auto dyn = db.CreateDynaset(sql, 0);
  QStringList rows;
  if (dyn) {
    OraFields& fields = dyn->Fields();
    vaSpread grid;
    grid.SetMaxCols(fields.Count());
    grid.SetMaxRows(1);
    for (int c = 0; c < fields.Count(); ++c) {
      grid.SetCol(c + 1);
      grid.SetRow(-1);
      mSb_SetCellByOraType(&grid, fields.Item(c), true);
    }
    for (; !dyn->IsEOF() && db.LastServerErr() == 0; dyn->MoveNext()) {
      QStringList cells;
      grid.SetRow(1);
      for (int c = 0; c < fields.Count(); ++c) {
        grid.SetCol(c + 1);
        grid.SetText(QString());
        mSb_SetCellByOraType(&grid, fields.Item(c), false);
        cells << grid.CellText(c + 1, 1);
      }
      rows << cells.join(QLatin1Char(','));
    }
  }
  if (db.LastServerErr() != 0)
    return db.LastServerErrText() + QStringLiteral(" @%1").arg(db.LastServerErrPos());
  return rows.join(QStringLiteral(" | "));
}

// ROWNUM numbers a block's rows as they pass its WHERE, before its ORDER BY and GROUP BY.
void addRownumRows() {
  Row("select ename from emp where rownum <= 3 order by sal desc", "ALLEN | WARD | SMITH");
  Row("select empno from emp where 3 > rownum", "7369 | 7499");
  Row("select count(*) from emp where rownum < 2.5", "2");
  Row("select ename from emp where deptno = 30 and rownum = 1", "ALLEN");
  Row("select deptno, count(*) from emp where rownum <= 4 group by deptno", "20,2 | 30,2");
  Row("select count(*) from emp where rownum > 1", "0");
  Row("select count(*) from emp where rownum != 3", "2");
  Row("select count(*) from emp where rownum <= :THREE", "3");
  Row("select count(*) from emp where rownum <= 1e300", "14");
  Row("select * from (select ename, sal from emp order by sal desc, ename) where rownum <= 3",
      "KING,5000 | FORD,3000 | SCOTT,3000");
  Row("select ename from (select rownum rn, e.* from (select ename from emp order by ename) e "
      "where rownum <= 6) where rn between 4 and 6",
      "CLARK | FORD | JAMES");
  Row("select rownum from emp where deptno = 10 order by sal desc", "2 | 1 | 3");
  Row("select 1 from emp where rownum = 1 union all select 2 from dept where rownum = 1", "1 | 2");
  Row("select count(*) from emp where empno in (select empno from emp where rownum <= 4)", "4");
}

// The idioms the engine rewrites, one row each.
void addRewriteRows() {
  Row("select count(*) from dual where '' is null", "1");
  Row("select 'a' || '' || 'b' from dual", "ab");
  Row("select '''' from dual", "'");
  Row("select trunc(sysdate) - trunc(sysdate - 3) from dual", "3");
  Row("select user from dual", "SCOTT");
  Row("select length(rowid) from emp where empno = 7369", "18");
  Row("select count(*) from emp where hiredate < date '1981-03-01'", "3");
  Row("select to_date('2001-04-06', 'YYYY-MM-DD') + 1.5 from dual", "2001/04/07 12:00:00");
  Row("select 2 + hiredate from emp where empno = 7369", "1980/12/19 00:00:00");
  Row("select deptno from dept minus select deptno from emp", "40");
  Row("select ename -- the name\r\n  from emp where empno = 7839", "KING");
  Row("select loc from emp e, dept d where e.deptno(+) = d.deptno and empno is null", "BOSTON");
  Row("select scott.emp.ename from scott.emp where empno = 7839", "KING");
  Row("select count(*) from emp where deptno != 10 and deptno ^= 20", "6");
  Row("select count(*) from (select * from emp fetch first 2 rows only)", "2");
  Row("select count(*) from (select unique job from emp)", "5");
  Row("select ename || comm || '!' from emp where empno = 7839", "KING!");
  Row("select 1.5 || '/' || 2 from dual", "1.5/2");
}

// Bind variables by name, number and type; a name binds wherever it recurs, in any case.
void addBindRows() {
  Row("select empno from emp where ename = :name", "7839");
  Row("select empno from emp where ename = :N", "7902");
  Row("select length(:TXT) from dual", "4");
  Row("select count(*) from emp where hiredate = :D", "2");
  Row("select :D + 1 from dual", "1981/12/04 00:00:00");
  Row("select * from emp where empno = :NOPE", "ORA-01008: not all variables bound @0");
  Row("select :a#b$ || '.' from dual", "x.");
  Row("select :1 || '.' from dual", "y.");
  Row("select count(*) from dual where :E is null", "1");
  Row("select count(*) from dual where :EN is null", "1");
  Row("select :1a from dual", "ORA-01745");
  for (const char* foreign : {"?1", "?", "@a", "$a"})
    Row(qPrintable(QString("select %1 from dual").arg(foreign)), "ORA-00911");
  Row("select :b# || :a || :B# || :A from dual", "2121");
  // An error after the placeholders still points at its own word.
  Row("select :a, :b# from dual where 1 = = 2", "ORA-00936: missing expression @35");
}

// The engine's Oracle functions.
void addFunctionRows() {
  Row("select to_char(hiredate, 'YY MON DD DY') from emp where empno = 7369", "80 DEC 17 WED");
  Row("select to_char(to_date('04/06 21:05', 'MM-DD HH24:MI'), 'HH:MI AM HH24') from dual",
      "09:05 PM 21");
  Row("select to_char(1234.5, 'FM9,999.99') from dual", "1,234.5");
  Row("select to_date('06-APR-01', 'DD-MON-RR') from dual", "2001/04/06 00:00:00");
  Row("select to_number('12.5') + 1 from dual", "13.5");
  Row("select nvl(comm, -1) from emp where empno = 7369", "-1");
  Row("select nvl2(comm, 'Y', 'N') from emp where empno = 7369", "N");
  Row("select decode(deptno, 10, 'A', 20, 'B', 'C') from emp where empno = 7369", "B");
  Row("select decode(deptno, 10, 'A', 'C') from emp where empno = 7369", "C");
  Row("select substr('ABCDEF', 2, 3) from dual", "BCD");
  Row("select substr('ABCDEF', -2) from dual", "EF");
  Row("select substr('ABC', 0, 2) from dual", "AB");
  Row("select instr('CORPORATE FLOOR', 'OR', 3, 2) from dual", "14");
  Row("select instr('CORPORATE FLOOR', 'OR', -3, 2) from dual", "2");
  Row("select length('ｱｲｳ漢字') from dual", "5");
  Row("select initcap('the SOAP') from dual", "The Soap");
  Row("select lpad('7', 3, '0') from dual", "007");
  Row("select rpad('ab', 4, '*') from dual", "ab**");
  Row("select ltrim('xxA', 'x') from dual", "A");
  Row("select round(-15.5) from dual", "-16");
  Row("select trunc(hiredate + 0.9) from emp where empno = 7369", "1980/12/17 00:00:00");
  Row("select trunc(hiredate, 'MM') from emp where empno = 7369", "1980/12/01 00:00:00");
  Row("select round(to_date('2001-04-16', 'YYYY-MM-DD'), 'MM') from dual", "2001/05/01 00:00:00");
  Row("select mod(5, 0) from dual", "5");
  Row("select add_months(to_date('2001-01-31', 'YYYY-MM-DD'), 1) from dual", "2001/02/28 00:00:00");
  Row("select round(months_between(date '1995-02-02', date '1995-01-01'), 4) from dual", "1.0323");
  Row("select last_day(to_date('2000-02-10', 'YYYY-MM-DD')) from dual", "2000/02/29 00:00:00");
  Row("select greatest(3, 7, 5) from dual", "7");
  // An empty result is Null.
  Row("select replace('abca', 'a', 'xy') from dual", "xybcxy");
  Row("select count(*) from dual where replace('a', 'a') is null and trim('  ') is null", "1");
  Row("select translate('aaa', 'a', '') from dual", "");
  Row("select add_months(date '2023-02-28', 12) from dual", "2024/02/29 00:00:00");
  Row("select to_date('2024-12-31 23', 'YYYY-MM-DD HH24') + 1/24 from dual", "2025/01/01 00:00:00");
  Row("select months_between(date '2024-03-31', date '2024-02-29') from dual", "1");
  Row("select to_char(date '2024-02-29', 'FMMonth DD, YYYY') from dual", "February 29, 2024");
  // A DATE has no time zone, and the suite runs in one that changes its clocks: days across a
  // change are whole, and the hour the clocks skip exists.
  Row("select to_date('2024-03-31 12', 'YYYY-MM-DD HH24') - date '2024-03-30' from dual", "1.5");
  Row("select (date '2024-10-27' - date '2024-10-26') * 24 from dual", "24");
  Row("select to_date('2024-03-31 02:30', 'YYYY-MM-DD HH24:MI') + 1/24 from dual",
      "2024/03/31 03:30:00");
  Row("select trunc(date '2024-03-31' + 2.5/24, 'HH') from dual", "2024/03/31 02:00:00");
}

// Division and rounding of the engine; how the grid writes numbers is tested with the grid.
void addNumberRows() {
  Row("select 10/3, 0.1 + 0.2 from dual", "3.33333333333333,0.3");
  Row("select to_char(1e20) from dual", "100000000000000000000");
  Row("select to_char(-0.5) || 'x' from dual", "-.5x");
  Row("select round(2.675, 2) from dual", "2.68");
  Row("select round(1234.5678, -2) from dual", "1200");
  Row("select trunc(-2.5) from dual", "-2");
  Row("select to_char(1234.567, '9,999.99') from dual", " 1,234.57");
  Row("select to_char(-5, 'S000') from dual", "-005");
  Row("select to_char(5, '99MI') from dual", " 5 ");
  Row("select to_char(0, '9999') from dual", "    0");
  Row("select to_char(12345, '999') from dual", "####");
  Row("select mod(-7, 3) from dual", "-1");
  Row("select mod(7.5, 2) from dual", "1.5");
}

// Server errors: the text and, after "@", the offset of the error in the statement as typed.
void addErrorRows() {
  Row("select * form emp", "ORA-00923: FROM keyword not found where expected @9");
  Row("select enamex from emp", "ORA-00904: \"ENAMEX\": invalid identifier @7");
  Row("select e.enamex from emp e", "ORA-00904: \"E\".\"ENAMEX\": invalid identifier @7");
  Row("select 'ﾃｽﾄ' from 存在しない表", "ORA-00942: table or view does not exist @18");
  Row("select hiredate + 1, 'ｱ' ｶﾅ, sal + from emp", "ORA-00936: missing expression @35");
  Row("select * from emp emp2 emp3", "ORA-00933: SQL command not properly ended @23");
  Row("selec * from emp", "ORA-00900: invalid SQL statement @0");
  Row("select to_number('abc') from dual", "ORA-01722: invalid number @0");
  Row("select * from emp;", "ORA-00911: invalid character @17");
  Row("select 'abc from dual", "ORA-01756: quoted string not properly terminated @7");
  Row("select * from v$version", "ORA-00942: table or view does not exist @14");
  Row("select * from nobody.emp", "ORA-00942: table or view does not exist @14");
  Row("select password from querna_accounts", "ORA-00942: table or view does not exist @21");
  Row("select nosuchfn(1) from dual", "ORA-00904: \"NOSUCHFN\": invalid identifier @7");
  // An error the engine cannot classify still reads as an ORA- error, never SQLite's own text.
  Row("select json_extract('{', '$') from dual", "ORA-0");
  Row("select 'abc' + 1 from dual", "ORA-01722");
  Row("select '5' + 1 from dual", "6");
  Row("select 1/0 from dual", "ORA-01476");
  Row("select substr('abc', 1e19) from dual", "");
  Row("select chr(1e19) from dual", "ORA-01428");
  Row("select round(1.5, 1e19) from dual", "1.5");
  Row("select sysdate + 1e19 from dual", "ORA-01841");
  Row("select add_months(to_date('9999-12-01', 'YYYY-MM-DD'), 1) from dual", "ORA-01841");
  Row("select to_date('0001-01-01', 'YYYY-MM-DD') - 1 from dual", "ORA-01841");
  Row("select to_date('10000-01-01', 'YYYY-MM-DD') from dual", "ORA-01861");
  Row("select power(10, 400) from dual", "ORA-01426");
  Row("select power(-8, 0.5) from dual", "ORA-01428");
  Row("select sqrt(-1) from dual", "ORA-01428");
}

// The data dictionary's views; the dictionary menu's own commands are run by tests/app.
void addDictionaryRows() {
  Row("select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, DATA_SCALE, NULLABLE from "
      "user_tab_columns where upper(TABLE_NAME) = 'EMP' order by COLUMN_ID",
      "EMPNO,NUMBER,22,4,0,N | ENAME,VARCHAR2,10,,,Y | JOB,VARCHAR2,9,,,Y | MGR,NUMBER,22,4,0,Y | "
      "HIREDATE,DATE,7,,,Y | SAL,NUMBER,22,7,2,Y | COMM,NUMBER,22,7,2,Y | DEPTNO,NUMBER,22,2,0,Y");
  Row("select index_name, column_name from all_ind_columns where table_name = 'EMP' order by 1",
      "EMP_DEPTNO_IX,DEPTNO | EMP_ENAME_IX,ENAME | PK_EMP,EMPNO");
  Row("select role from session_roles order by 1", "CONNECT | RESOURCE");
  Row("select table_name from user_tables order by 1", "BONUS | DEPT | EMP | SALGRADE");
  Row("select view_name from user_views", "EMP_DEPT");
  As("SYSTEM", "select count(*) from session_roles where role = 'DBA'", "1");
  As("SYSTEM", "select granted_role from dba_role_privs where grantee = 'SYSTEM'", "DBA");
  As("SYSTEM", "select username from all_users order by user_id", "SYS | SYSTEM | SCOTT");
  // A session shows its last statement: SCOTT's is the last of his rows above.
  As("SYSTEM",
     "select v$sql.sql_text from v$session, v$sql where username = 'SCOTT' and "
     "v$session.sql_hash_value = v$sql.hash_value(+)",
     "select view_name from user_views");
  As("SYSTEM", "select count(*) from v$sql where first_load_time not like '____-__-__/__:__:__'",
     "0");
  As("SYSTEM",
     qPrintable("select count(*) from v$version where banner like '%Querna%' and banner like '%" +
                QString::fromLatin1(sqlite3_libversion()) + "%'"),
     "1");
  As("ANNA", "select owner from all_tables where table_name = 'ITEMS'", "ANNA");
  As("ANNA", "select column_name, data_type from user_tab_columns where table_name = 'ITEMS'",
     "ID,NUMBER | NAME,VARCHAR2 | PRICE,FLOAT | ADDED,DATE");
  As("ANNA", "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where TABLE_NAME = 'ITEMS'",
     "ITEMS_NAME,NAME");
}

// SQL that reaches past a query is refused, also when the file's own view makes the call.
void addHardeningRows() {
  As("ANNA", "select fts3_tokenizer('mytok', X'4141414141414141') from dual", "ORA-00904");
  As("ANNA", "select FTS3_TOKENIZER('simple') from dual", "ORA-00904");
  As("ANNA", "select * from tok", "ORA-00904");
  As("ANNA", "select * from notes where notes match 'a'", "ORA-00900");
}

}  // namespace

class TestOracleAnswers : public QObject {
  Q_OBJECT
 private:
  TestEnv* env_ = nullptr;
  Logon scott_, system_, anna_;

 private slots:
  void initTestCase() {
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    env_ = new TestEnv;
    scott_ = LogOn("DEMO", "SCOTT/TIGER");
    system_ = LogOn("DEMO", "SYSTEM/MANAGER");
    // A plain file holding a tokenizer pointer set through fts3, and a view that reads one.
    const QString path = env_->folder() + "/anna.db";
    QVERIFY(MakeSqliteFile(path,
                           "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT NOT NULL, "
                           "price REAL, added DATETIME); CREATE INDEX items_name ON items(name);"
                           "select fts3_tokenizer('mytok', fts3_tokenizer('simple'));"
                           "create virtual table notes using fts3(body, tokenize=mytok);"
                           "insert into notes values ('a b');"
                           "create view tok as select hex(fts3_tokenizer('simple')) t;"));
    anna_ = LogOn(path, "anna/x");
    QVERIFY(scott_.db && system_.db && anna_.db);
    const QDateTime day(QDate(1981, 12, 3), QTime(0, 0));
    for (auto [name, value, type] : std::initializer_list<std::tuple<const char*, QVariant, int>>{
             {"THREE", "3", ORATYPE_VARCHAR2},
             {"NAME", "KING", ORATYPE_VARCHAR2},
             {"n", "FORD", ORATYPE_CHAR},
             {"TXT", "abcd", ORATYPE_LONG},
             {"D", day, ORATYPE_DATE},
             {"A#B$", "x", ORATYPE_VARCHAR2},
             {"1", "y", ORATYPE_VARCHAR2},
             {"E", "", ORATYPE_VARCHAR2},
             {"EN", "", ORATYPE_NUMBER},
             {"1a", "1", ORATYPE_NUMBER},
             {"a", "1", ORATYPE_VARCHAR2},
             {"B#", "2", ORATYPE_VARCHAR2}}) {
      scott_.db->Parameters().Add(name, value, ORAPARM_INPUT);
      scott_.db->Parameters().Item(name)->SetServerType(type);
    }
  }
  void cleanupTestCase() {
    scott_ = system_ = anna_ = {};
    delete env_;
  }

  void answers_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("expected");
    addRownumRows();
    addRewriteRows();
    addBindRows();
    addFunctionRows();
    addNumberRows();
    addErrorRows();
    addDictionaryRows();
    addHardeningRows();
  }
  void answers() {
    QFETCH(QString, user);
    QFETCH(QString, sql);
    QFETCH(QString, expected);
    Logon& l = user == "SYSTEM" ? system_ : user == "ANNA" ? anna_ : scott_;
    const QString answer = Answer(*l.db, sql);
    const bool numberOnly = expected.size() <= 9 && expected.startsWith(QLatin1String("ORA-"));
    QCOMPARE(numberOnly ? answer.left(expected.size()) : answer, expected);
  }
};

QTEST_MAIN(TestOracleAnswers)
#include "tst_oracleanswers.moc"
