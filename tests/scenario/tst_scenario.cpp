#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"

namespace {

// Fills in the logon dialog as soon as it is up, and presses "接続".
void LogOnWhenAsked(const QString& user, const QString& pass, const QString& host) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [=] {
    auto* dlg = qobject_cast<frmLogon*>(QApplication::activeModalWidget());
    if (!dlg) return;
    poll->stop();
    poll->deleteLater();
    dlg->cmbUser->setEditText(user);
    dlg->cmbPass->setEditText(pass);
    dlg->cmbHost->setEditText(host);
    QTest::mouseClick(dlg->cmdLogOn, Qt::LeftButton);
  });
  poll->start(10);
}

void TypeAndRun(frmQuerna* console, const QString& sql) {
  Ctl<SqlEditor>(console, "txtSQL")->setFocus();
  QTest::keyClick(Ctl<SqlEditor>(console, "txtSQL"), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(Ctl<SqlEditor>(console, "txtSQL"), Qt::Key_Delete);
  QTest::keyClicks(Ctl<SqlEditor>(console, "txtSQL"), sql);
  QTest::keyClick(Ctl<SqlEditor>(console, "txtSQL"), Qt::Key_F5);
}

}  // namespace

class TestScenario : public QObject {
  Q_OBJECT
 private slots:
  // A user's first session: start, log on to the sample database, query, stop a long fetch, exit.
  void demoSession() {
    TestEnv env;
    ScriptedDialogs dlg;

    LogOnWhenAsked(QStringLiteral("SCOTT"), QStringLiteral("TIGER"), QStringLiteral("DEMO"));
    Main();
    QPointer<frmMain> main = gfrmMain;
    QVERIFY(main);
    QPointer<frmQuerna> console = main->ActiveConsole();
    QVERIFY(console);
    main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main));

    TypeAndRun(console, QStringLiteral("select * from emp"));
    QTRY_COMPARE(Ctl<QLineEdit>(console, "txtStatus")->text(),
                 QStringLiteral("表示件数制限付きで 14 件あります。（検索時間：0 秒）"));
    vaSpread* grid = Ctl<vaSpread>(console, "vspData");
    QCOMPARE(grid->MaxRows(), 14);
    QVERIFY(dlg.msgBoxes().isEmpty());

    // A large fetch with no limit, stopped with Ctrl+Z once rows are arriving.
    main->menuItem(QStringLiteral("mnuDispRecLimitNot"))->trigger();
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, &stopper, [&] {
      if (grid->MaxRows() < 50) return;
      stopper.stop();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
    });
    stopper.start(0);
    TypeAndRun(console, QStringLiteral("select a.empno from emp a, emp b, emp c, emp d, emp e"));
    // The seconds are the machine's: a busy one takes more than one before the stop lands.
    const QRegularExpression stopped(QStringLiteral("^(\\d+) 件あります。（検索時間：\\d+ 秒）$"));
    QTRY_COMPARE(stopped.match(Ctl<QLineEdit>(console, "txtStatus")->text()).captured(1),
                 QString::number(grid->MaxRows()));
    QVERIFY2(grid->MaxRows() >= 50 && grid->MaxRows() < 14 * 14 * 14 * 14 * 14,
             qPrintable(QString::number(grid->MaxRows())));

    main->close();
    QTRY_VERIFY(!main);
    QVERIFY(!gfrmMain);
    QVERIFY(NoSession());
  }
};

QTEST_MAIN(TestScenario)
#include "tst_scenario.moc"
