#include <QPointer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "app/basMain.h"
#include "common/FakeOra.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "core/RunErr.h"
#include "grid/SpreadModel.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "support/basFunctions.h"

namespace {

QList<FakeColumn> EmpColumns() {
  return {FakeColumn{"EMPNO", ora::ORATYPE_NUMBER, 22, 5, 4, 0, 22, {}},
          FakeColumn{"ENAME", ora::ORATYPE_VARCHAR2, 10, 10, 0, 0, 10, {}},
          FakeColumn{"HIREDATE", ora::ORATYPE_DATE, 7, 75, 0, 0, 7, {}}};
}

QVariant EmpValue(int row, int col) {
  if (col == 0) return qlonglong(row + 1);
  if (col == 1) return QStringLiteral("NAME%1").arg(row + 1);
  return QDateTime(QDate(2001, 1, 1).addDays(row), QTime(9, 0, 0));
}

void VerifyRowsComplete(vaSpread& g) {
  for (int r = 1; r <= g.MaxRows(); ++r) {
    QCOMPARE(g.CellText(1, r), QString::number(r));
    QCOMPARE(g.CellText(2, r), QStringLiteral("NAME%1").arg(r));
    QCOMPARE(g.CellText(3, r),
             QDate(2001, 1, 1).addDays(r - 1).toString("yyyy/MM/dd") + QStringLiteral(" 09:00:00"));
  }
}

void VerifyWidthsFitted(vaSpread& g) {
  for (int c = 1; c <= g.MaxCols(); ++c) QVERIFY(qAbs(g.ColWidth(c) - g.MaxTextColWidth(c)) < 0.5);
}

}  // namespace

class TestFillSpread : public QObject {
  Q_OBJECT
  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> dialogs;

 private slots:
  void init() {
    ora::ErrClear();
    env = std::make_unique<TestEnv>();
    dialogs = std::make_unique<ScriptedDialogs>();
  }
  void cleanup() {
    dialogs.reset();
    env.reset();
  }

  void limitDecidesHowManyRowsAreShown_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("shown");
    QTest::newRow("limit 0: header only") << 5 << 0 << 0;
    QTest::newRow("limit 1 on a large result") << 5000 << 1 << 1;
    QTest::newRow("exactly as many records as the limit") << 100 << 100 << 100;
    QTest::newRow("fewer records than the limit") << 3 << 100 << 3;
    QTest::newRow("limit -1 reads every record") << 2500 << -1 << 2500;
    QTest::newRow("no records") << 0 << -1 << 0;
  }
  void limitDecidesHowManyRowsAreShown() {
    QFETCH(int, records);
    QFETCH(int, limit);
    QFETCH(int, shown);
    FakeDynaset d(EmpColumns());
    d.Generate(records, EmpValue);
    vaSpread g;
    g.SetMaxCols(9);
    g.SetMaxRows(9);
    mSb_FillSpread(&d, &g, limit);
    QCOMPARE(dialogs->msgBoxes().size(), 0);
    QCOMPARE(g.MaxCols(), 3);
    QCOMPARE(g.MaxRows(), shown);
    QCOMPARE(g.CellText(1, 0) + g.CellText(2, 0) + g.CellText(3, 0), QString("EMPNOENAMEHIREDATE"));
    VerifyRowsComplete(g);
    VerifyWidthsFitted(g);
    // With the limit reached exactly the fill ends without reading on.
    QCOMPARE(d.moves(), shown);
    QCOMPARE(g.currentIndex(), shown > 0 ? g.model()->index(0, 0) : QModelIndex());
    QVERIFY(g.ReDraw());
    QVERIFY(gblnFetching);
  }

  void stopOrFailureLeavesCompleteRows_data() {
    QTest::addColumn<bool>("fails");
    QTest::newRow("stop noticed on the fifth row") << false;
    QTest::newRow("fourth move fails") << true;
  }
  void stopOrFailureLeavesCompleteRows() {
    QFETCH(bool, fails);
    FakeDynaset d(EmpColumns());
    d.Generate(1000, EmpValue);
    d.onMoveNext = [&](int moves) {
      if (moves != 4) return;
      if (fails)
        ora::Raise(ora::kErrOraComponent, QStringLiteral("接続が切れました"));
      else
        gblnFetching = false;
    };
    vaSpread g;
    mSb_FillSpread(&d, &g, -1);
    QCOMPARE(g.MaxRows(), fails ? 4 : 5);
    VerifyRowsComplete(g);
    VerifyWidthsFitted(g);
    QCOMPARE(g.currentIndex(), g.model()->index(0, 0));
    QCOMPARE(dialogs->prompts(),
             fails ? QStringList{"エラー番号：440\r\n接続が切れました"} : QStringList());
  }

  void failingCellIsSkippedAndReportedOnceAtTheEnd() {
    FakeDynaset d({FakeColumn{"A", ora::ORATYPE_VARCHAR2, 10, 10, 0, 0, 10, {}},
                   FakeColumn{"B", ora::ORATYPE_VARCHAR2, 10, 10, 0, 0, 10, {}}},
                  {{"a1", "b1"},
                   {"a2", QVariant(QPoint(1, 1))},
                   {"a3", QVariant(QPoint(2, 2))},
                   {"a4", "b4"}});
    vaSpread g;
    mSb_FillSpread(&d, &g, -1);
    QCOMPARE(g.MaxRows(), 4);
    QCOMPARE(g.CellText(1, 3), QString("a3"));
    QCOMPARE(g.CellText(2, 4), QString("b4"));
    QCOMPARE(g.CellText(2, 2), QString());
    QCOMPARE(dialogs->prompts(), QStringList{"エラー番号：13\r\n型が一致しません。"});
    QCOMPARE(dialogs->msgBoxes()[0].style, platform::vbCritical | platform::vbOKOnly);
  }

  // The local engine hands its values over typed, and the fill writes them by that route.
  void typedValuesOfTheLocalEngine() {
    auto session = ora::CreateOraSession(QStringLiteral("DEMO"));
    auto db = session->OpenDatabase(QStringLiteral("DEMO"), QStringLiteral("SCOTT/TIGER"), 0);
    QVERIFY(db);
    vaSpread g;
    mSb_FillSpread(db->CreateDynaset("select empno, ename, hiredate, sal / 3, comm, mgr from emp"
                                     " where empno in (7369, 7499, 7839) order by empno",
                                     0),
                   &g, -1);
    QStringList rows;
    for (int r = 1; r <= g.MaxRows(); ++r) {
      QStringList cells;
      for (int c = 1; c <= g.MaxCols(); ++c) cells << g.CellText(c, r);
      rows << cells.join(',');
    }
    QCOMPARE(rows, QStringList({"7369,SMITH,1980/12/17 00:00:00,266.666666666667,,7902",
                                "7499,ALLEN,1981/02/20 00:00:00,533.333333333333,300,7698",
                                "7839,KING,1981/11/17 00:00:00,1666.66666666667,,"}));
  }

  void stopOrCloseDuringTheFill_data() {
    QTest::addColumn<bool>("close");
    QTest::newRow("stop") << false;
    QTest::newRow("close") << true;
  }
  void stopOrCloseDuringTheFill() {
    QFETCH(bool, close);
    FakeDynaset d(EmpColumns());
    d.Generate(100000, [](int row, int col) {
      if (col == 0) QThread::usleep(200);
      return EmpValue(row, col);
    });
    QPointer<vaSpread> g = new vaSpread;
    QTimer::singleShot(80, [&] { close ? delete g.data() : void(gblnFetching = false); });
    mSb_FillSpread(&d, g.data(), -1);
    QVERIFY(d.moves() < 100000);
    QCOMPARE(g.isNull(), close);
    if (close) return;
    QVERIFY(g->MaxRows() > 0);
    VerifyRowsComplete(*g);
    QCOMPARE(g->currentIndex(), g->model()->index(0, 0));
    delete g.data();
  }
};

QTEST_MAIN(TestFillSpread)
#include "tst_fillspread.moc"
