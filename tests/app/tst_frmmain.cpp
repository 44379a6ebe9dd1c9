#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "app/basMain.h"
#include "app/frmHistory.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/frmQuerna.h"
#include "platform/Platform.h"
#include "session/SessionData.h"
#include "support/basFunctions.h"
#include "support/basLog.h"

namespace {

// Logs on as the logon dialog would after a successful logon.
std::shared_ptr<fake::DatabaseLog> LogOn() {
  // Left alive to the end: the session table may still hold its objects then.
  static auto* driver = new fake::FakeDriver;
  return driver->logOn();
}

// Stands in for the logon dialog while it lives: counts the calls, each one cancelled.
class ScriptedLogon {
 public:
  ScriptedLogon() : previous_(frmMain::SetLogonDialog([this](QWidget*) { ++calls; })) {}
  ~ScriptedLogon() { frmMain::SetLogonDialog(previous_); }
  int calls = 0;

 private:
  frmMain::LogonDialogFn previous_;
};

QString Setting(const char* key) {
  return platform::GetSetting("ZEPH", "Settings", QString::fromLatin1(key), "missing");
}

}  // namespace

class TestFrmMain : public QObject {
  Q_OBJECT

  std::unique_ptr<TestEnv> env_;
  QPointer<frmMain> w_;

  // A loaded main window with no console (the logon was cancelled).
  frmMain* LoadedMain() {
    ScriptedLogon cancel;
    w_ = gfrmMain = new frmMain;
    w_->Load();
    return w_;
  }

 private slots:
  void init() {
    env_ = std::make_unique<TestEnv>();
    CreateSessions();
    gblnFetching = false;
  }
  void cleanup() {
    delete w_;
    FlushDeletes();
    CreateSessions();
    env_.reset();
  }

  // One limit is checked at a time, also when its item is chosen again; 100 is the default.
  void recordLimit() {
    frmMain w;
    QCOMPARE(w.RecordLimit(), 100);
    const QList<std::pair<QString, int>> limits{
        {"mnuDispRecLimit0", 0},     {"mnuDispRecLimit1", 1},       {"mnuDispRecLimit100", 100},
        {"mnuDispRecLimit500", 500}, {"mnuDispRecLimit1000", 1000}, {"mnuDispRecLimitNot", -1}};
    for (const auto& [item, limit] : limits) {
      for (int click = 0; click < 2; ++click) w.menuItem(item)->trigger();
      for (const auto& other : limits)
        QVERIFY2(w.menuItem(other.first)->isChecked() == (other.first == item), qPrintable(item));
      QCOMPARE(w.RecordLimit(), limit);
    }
  }

  // A first start centres the window on the screen and gives the console its natural size.
  void firstRunPlacement() {
    frmMain* w = LoadedMain();
    LogOn();
    w->mnuWindowNewWindow_Click();
    const QMdiSubWindow* sub = w->mdiArea()->subWindowList().first();
    QTRY_VERIFY(w->mdiArea()->viewport()->rect().contains(sub->geometry()));
    QCOMPARE(sub->size(), sub->sizeHint());
    QVERIFY(w->menuBar()->width() >= w->menuBar()->sizeHint().width());
    const QRect area = w->screen()->availableGeometry();
    QVERIFY(area.contains(w->frameGeometry()));
    // Centred but for the window manager's frame, unknown until the window is shown.
    QVERIFY(qAbs(w->frameGeometry().center().x() - area.center().x()) <= 8);
    QVERIFY(qAbs(w->frameGeometry().center().y() - area.center().y()) <= 40);
  }

  void placementSavedOnClose_data() {
    QTest::addColumn<int>("state");
    QTest::newRow("normal") << int(Qt::WindowNoState);
    QTest::newRow("maximized") << int(Qt::WindowMaximized);
    QTest::newRow("minimized") << int(Qt::WindowMinimized);
  }
  void placementSavedOnClose() {
    QFETCH(int, state);
    platform::SaveSetting("ZEPH", "Settings", "MainLeft", "3000");
    frmMain* w = LoadedMain();
    w->move(150, 120);
    w->resize(500, 400);
    if (state == Qt::WindowMaximized) {
      w->showMaximized();
      QTRY_VERIFY(w->isMaximized() && w->size() != QSize(500, 400));
    } else if (state == Qt::WindowMinimized) {
      w->showMinimized();
      QTRY_VERIFY(w->isMinimized());
    }
    const QRect shown(w->pos(), w->size());
    w->close();
    delete w_;

    if (state == Qt::WindowMinimized) {
      // Nothing saved: the placement of the run before stays.
      QCOMPARE(Setting("MainLeft"), QString("3000"));
      QCOMPARE(Setting("MainWidth"), QString("missing"));
      return;
    }
    frmMain* next = LoadedMain();
    QCOMPARE(QRect(next->pos(), next->size()), shown);
    QVERIFY(!next->isMaximized());
    const double dpiX = next->screen()->logicalDotsPerInchX();
    QCOMPARE(Setting("MainWidth").toDouble(), shown.width() * 1440.0 / dpiX);
  }

  // The button is pressed only after the command has returned.
  void editCommands_data() {
    QTest::addColumn<QString>("child");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("pressed");
    const char* rows[][3] = {{"none", "mnuEditClear", ""},
                             {"other", "mnuEditSqlExec", ""},
                             {"console", "mnuEditClear", "cmdClear"},
                             {"console", "mnuEditSqlExec", "cmdSQL_Exec"},
                             {"no session", "mnuEditClear", "cmdClear"},
                             {"no session", "mnuEditSqlExec", ""},
                             {"none", "mnuSessionLogout", ""},
                             {"console", "mnuSessionLogout", "cmdLogout"},
                             {"no session", "mnuSessionLogout", ""}};
    for (const auto& r : rows)
      QTest::addRow("%s, %s", r[1], r[0]) << QString(r[0]) << QString(r[1]) << QString(r[2]);
  }
  void editCommands() {
    QFETCH(QString, child);
    QFETCH(QString, command);
    QFETCH(QString, pressed);
    frmMain* w = LoadedMain();
    ScriptedDialogs dialogs;
    LogOn();
    w->mnuWindowNewWindow_Click();
    auto* console = w->ActiveConsole();
    QStringList clicked;
    for (const char* name : {"cmdClear", "cmdSQL_Exec", "cmdLogout"}) {
      connect(Ctl<QPushButton>(console, name), &QPushButton::clicked, this,
              [&clicked, name] { clicked << name; });
    }
    dialogs.answerMsgBox(platform::vbNo);
    if (child == "none") {
      w->mdiArea()->closeAllSubWindows();
      FlushDeletes();
    } else if (child == "other") {
      w->mdiArea()->addSubWindow(new QWidget)->show();
      w->mdiArea()->setActiveSubWindow(w->mdiArea()->subWindowList().last());
    }
    if (child == "no session") CreateSessions();
    w->menuItem(command)->trigger();
    QVERIFY(clicked.isEmpty());
    QCoreApplication::processEvents();
    QCOMPARE(clicked, pressed.isEmpty() ? QStringList() : QStringList{pressed});
    if (pressed.isEmpty()) QCOMPARE(dialogs.msgBoxes().size(), 0);
  }

  void historyBrowser_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("sqlBox");
    const QString first = "2001/04/06 9:05:07  select 1 from dual";
    const QString second = "2001/04/06 9:05:08  select 2";
    const QString two = "select 2\n  from emp";
    QTest::newRow("newest first") << "" << QStringList{second, first} << true << two;
    QTest::newRow("filter on a later line") << "EMP" << QStringList{second} << true << two;
    QTest::newRow("filter on the older")
        << "dual" << QStringList{first} << true << "select 1 from dual";
    QTest::newRow("nothing matches") << "zzz" << QStringList() << true << "typed";
    QTest::newRow("cancel") << "" << QStringList{second, first} << false << "typed";
  }
  void historyBrowser() {
    QFETCH(QString, filter);
    QFETCH(QStringList, listed);
    QFETCH(bool, ok);
    QFETCH(QString, sqlBox);
    frmMain* w = LoadedMain();
    LogOn();
    w->mnuWindowNewWindow_Click();
    frmQuerna* console = w->ActiveConsole();
    Ctl<QPlainTextEdit>(console, "txtSQL")->setPlainText("typed");
    platform::SetNow(QDateTime(QDate(2001, 4, 6), QTime(9, 5, 7)));
    mSb_WriteSQLLog("select 1 from dual");
    platform::SetNow(QDateTime(QDate(2001, 4, 6), QTime(9, 5, 8)));
    mSb_WriteSQLLog("select 2\r\n  from emp");
    QStringList shown;
    QString statement;
    QTimer::singleShot(0, [&] {
      auto* dlg = qobject_cast<frmHistory*>(QApplication::activeModalWidget());
      QTest::keyClicks(dlg->txtFilter, filter);
      for (int i = 0; i < dlg->lstHistory->count(); ++i) {
        if (!dlg->lstHistory->item(i)->isHidden()) shown << dlg->lstHistory->item(i)->text();
      }
      statement = dlg->txtStatement->toPlainText();
      (ok && dlg->cmdOK->isEnabled() ? dlg->cmdOK : dlg->cmdCancel)->click();
    });
    w->menuItem("mnuFileHistory")->trigger();
    QCOMPARE(shown, listed);
    QCOMPARE(statement, listed.isEmpty() ? QString()
                        : ok             ? sqlBox
                                         : QString("select 2\n  from emp"));
    QCOMPARE(Ctl<QPlainTextEdit>(console, "txtSQL")->toPlainText(), sqlBox);
  }

  // Closing every console keeps the sessions, and console numbers are never reused.
  void windowMenuListsTheConsoles() {
    frmMain* w = LoadedMain();
    LogOn();
    w->mnuWindowNewWindow_Click();
    w->mnuWindowNewWindow_Click();
    QMenu* menu = w->menuItem("mnuWindow")->menu();
    auto listed = [menu] {
      emit menu->aboutToShow();
      QStringList out;
      bool after = false;
      for (QAction* a : menu->actions()) {
        if (after) out << (a->isSeparator() ? "-" : a->text() + (a->isChecked() ? " *" : ""));
        if (a->objectName() == "mnuWindowAllClose") after = true;
      }
      return out;
    };
    QCOMPARE(listed(), (QStringList{"-", "&1 Querna1", "&2 Querna2 *"}));
    menu->actions()[menu->actions().size() - 2]->trigger();
    QCOMPARE(w->ActiveConsole()->windowTitle(), QString("Querna1"));
    QCOMPARE(listed(), (QStringList{"-", "&1 Querna1 *", "&2 Querna2"}));

    w->menuItem("mnuWindowAllClose")->trigger();
    FlushDeletes();
    QCOMPARE(listed(), QStringList{});
    ScriptedLogon logon;
    w->menuItem("mnuWindowNewWindow")->trigger();
    QCOMPARE(logon.calls, 0);
    QCOMPARE(w->ActiveConsole()->windowTitle(), QString("Querna3"));
  }

  // Start-up deletes the script file and shows the main window even when the logon is cancelled.
  void startUpAndExit() {
    const QString script = env_->programFolder() + "/Querna.sql";
    QVERIFY(TestEnv::writeFile(script, {}));
    gSessionData.push_back(SessionData{});
    ScriptedLogon cancel;
    Main();
    frmMain* w = w_ = gfrmMain;
    QVERIFY(!QFile::exists(script));
    QCOMPARE(cancel.calls, 1);
    QVERIFY(w->isVisible());
    QVERIFY(w->mdiArea()->subWindowList().isEmpty());
    QCOMPARE(gSessionData.size(), std::size_t(1));
    auto first = LogOn();
    auto db = LogOn();
    w->mnuWindowNewWindow_Click();
    QWidget other;
    other.setObjectName("frmVersion");
    other.show();
    gblnFetching = true;
    w->menuItem("mnuFileExit")->trigger();
    FlushDeletes();
    QVERIFY(!w_);  // closed and deleted, so no longer visible
    QVERIFY(!other.isVisible());
    QVERIFY(first->closed && db->closed);
    QVERIFY(NoSession());
    QVERIFY(!gfrmMain);
    QVERIFY(!gblnFetching);
    QVERIFY(Setting("MainLeft") != "missing");
  }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frmmain.moc"
