// Oracle's answers from the local engine: each statement against the exact text the result grid
// shows for its first value (through the grid's own formatting), or the ORA- error it raises.
#include <QTest>

#include "common/TestEnv.h"
#include "grid/vaSpread.h"
#include "oracle/local/LocalFixture.h"
#include "support/basFunctions.h"

namespace {

void Row(const char* sql, const QString& shown) {
  QTest::newRow(sql) << QString::fromUtf8(sql) << shown;
}

void addNumberRows() {
  Row("select 1/3 from dual", "0.333333333333333");
  Row("select 7/2 from dual", "3.5");
  Row("select 6/2 from dual", "3");
  Row("select 2 * 3 / 4 - 1 / 4 from dual", "1.25");
  Row("select 1 / (2 - 4) from dual", "-0.5");
  Row("select 0.1 + 0.2 from dual", "0.3");
  Row("select 1.1 * 3 from dual", "3.3");
  Row("select sum(x) from (select 0.1 x from dual union all select 0.2 from dual "
      "union all select 1234567.07 from dual)",
      "1234567.37");
  Row("select sum(sal) / count(*) from emp", "2073.21428571429");
  Row("select 0.00001 from dual", "0.00001");
  Row("select 1e23 from dual", "100000000000000000000000");
  Row("select -1.5e-30 from dual", "-0.0000000000000000000000000000015");
  Row("select 1e38 from dual", "1E+38");
  Row("select 1e-39 from dual", "1E-39");
  Row("select to_char(0.00001) from dual", ".00001");
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

void addFunctionRows() {
  Row("select substr('abc', 5) from dual", "(null)");
  Row("select nvl(substr('abc', 5), 'x') from dual", "x");
  Row("select replace('a', 'a') from dual", "(null)");
  Row("select replace('abca', 'a', 'xy') from dual", "xybcxy");
  Row("select count(*) from dual where replace('a', 'a') is null and trim('  ') is null and "
      "substr('abc', 4) is null",
      "1");
  Row("select nvl(trim('  '), 'blank') from dual", "blank");
  Row("select nvl(ltrim('xx', 'x'), 'gone') from dual", "gone");
  Row("select length(substr('abc', 4)) from dual", "(null)");
  Row("select nvl2(rtrim('  '), 'text', 'null') from dual", "null");
  Row("select lpad('ab', 0) from dual", "(null)");
  Row("select translate('aaa', 'a', '') from dual", "(null)");
  Row("select 'x' || null || 'y' from dual", "xy");
  Row("select to_char(add_months(to_date('2024-01-31', 'YYYY-MM-DD'), 1), 'YYYY-MM-DD') "
      "from dual",
      "2024-02-29");
  Row("select add_months(to_date('2023-02-28', 'YYYY-MM-DD'), 12) from dual",
      "2024/02/29 00:00:00");
  Row("select to_date('2024-03-01', 'YYYY-MM-DD') - 1 from dual", "2024/02/29 00:00:00");
  Row("select to_date('2024-12-31 23:00', 'YYYY-MM-DD HH24:MI') + 1/24 from dual",
      "2025/01/01 00:00:00");
  Row("select last_day(to_date('2100-02-01', 'YYYY-MM-DD')) from dual", "2100/02/28 00:00:00");
  Row("select months_between(to_date('2024-03-31', 'YYYY-MM-DD'), "
      "to_date('2024-02-29', 'YYYY-MM-DD')) from dual",
      "1");
  Row("select to_char(to_date('2024-02-29', 'YYYY-MM-DD'), 'FMMonth DD, YYYY') from dual",
      "February 29, 2024");
}

void addRangeErrorRows() {
  Row("select 'abc' + 1 from dual", "ORA-01722");
  Row("select 1 - 'x' from dual", "ORA-01722");
  Row("select '5' + 1 from dual", "6");
  Row("select to_number('12a') from dual", "ORA-01722");
  Row("select 1/0 from dual", "ORA-01476");
  Row("select sal / (comm - comm) from emp where comm is not null", "ORA-01476");
  Row("select instr('abc', 'b', 1, 1e19) from dual", "0");
  Row("select instr('abc', 'b', -1e19) from dual", "0");
  Row("select substr('abc', 1e19) from dual", "(null)");
  Row("select substr('abc', 2, 1e300) from dual", "bc");
  Row("select lpad('a', 1e19) from dual", "(null)");
  Row("select chr(1e19) from dual", "ORA-01428");
  Row("select round(1.5, 1e19) from dual", "1.5");
  Row("select round(1.5, -1e19) from dual", "0");
  Row("select sysdate + 1e19 from dual", "ORA-01841");
  Row("select sysdate - 1e300 from dual", "ORA-01841");
  Row("select add_months(sysdate, 1e300) from dual", "ORA-01841");
  Row("select add_months(to_date('9999-12-01', 'YYYY-MM-DD'), 1) from dual", "ORA-01841");
  Row("select mod(5, 1e-320) from dual", "5");
  Row("select to_date('0001-01-01', 'YYYY-MM-DD') - 1 from dual", "ORA-01841");
  Row("select to_date('10000-01-01', 'YYYY-MM-DD') from dual", "ORA-01861");
  Row("select to_date('-0001-01-01', 'SYYYY-MM-DD') from dual", "ORA-01841");
  Row("select power(10, 400) from dual", "ORA-01426");
  Row("select exp(1000) from dual", "ORA-01426");
  Row("select power(-8, 0.5) from dual", "ORA-01428");
  Row("select sqrt(-1) from dual", "ORA-01428");
}

}  // namespace

class TestOracleAnswers : public QObject {
  Q_OBJECT
 private:
  TestEnv* env_ = nullptr;
  Logon scott_;

  // The first value of the statement as the result grid shows it, "(null)" for an empty cell,
  // or the ORA- number of the error.
  QString shown(const QString& sql) {
    ora::OraDatabase& db = *scott_.db;
    db.LastServerErrReset();
    auto dyn = db.CreateDynaset(sql, 0);
    if (!dyn) return db.LastServerErrText().left(9);
    if (dyn->IsEOF()) return QStringLiteral("<no rows>");
    vaSpread grid;
    grid.SetMaxCols(1);
    grid.SetMaxRows(1);
    grid.SetCol(1);
    grid.SetRow(-1);
    mSb_SetCellByOraType(&grid, dyn->Fields().Item(0), true);
    grid.SetRow(1);
    mSb_SetCellByOraType(&grid, dyn->Fields().Item(0), false);
    const QString text = grid.CellText(1, 1);
    return text.isEmpty() ? QStringLiteral("(null)") : text;
  }

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

  void answers_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("shown");
    addNumberRows();
    addFunctionRows();
    addRangeErrorRows();
  }
  void answers() {
    QFETCH(QString, sql);
    QFETCH(QString, shown);
    QCOMPARE(this->shown(sql), shown);
  }
};

QTEST_MAIN(TestOracleAnswers)
#include "tst_oracleanswers.moc"
