// The runner that hands a dictionary query to the active console, against the fake driver.
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QtTest>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "session/SessionData.h"

namespace {

const QString kHost = QStringLiteral("FAKE");
const QString kRows = QStringLiteral("select * from rows");
const QString kNoRows = QStringLiteral("select * from no_rows");
const QString kFailed = QStringLiteral("実行処理が失敗しました。権限などを確認してください");
const QString kEmpty = QStringLiteral("データがありませんでした。");

void LogOn() {
  const int i = mSb_AppendSession();
  SessionData& rec = gSessionData[static_cast<std::size_t>(i)];
  rec.Host = kHost;
  rec.User = QStringLiteral("SCOTT");
  rec.Pass = QStringLiteral("TIGER");
  rec.OraSession = ora::CreateOraSession(kHost);
  rec.OraDatabase = rec.OraSession->OpenDatabase(kHost, QStringLiteral("SCOTT/TIGER"), 0);
}

}  // namespace

class tst_RunDictionary : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    env_ = std::make_unique<TestEnv>();
    driver_ = std::make_unique<fake::FakeDriver>();
    driver_->addAccount(kHost, QStringLiteral("SCOTT"), QStringLiteral("TIGER"));
    FakeColumn column;
    column.name = QStringLiteral("N");
    column.type = ora::ORATYPE_NUMBER;
    const QList<FakeColumn> columns{column};
    driver_->addResult(kRows, columns, {QVariantList{1}, QVariantList{2}, QVariantList{3}});
    driver_->addResult(kNoRows, columns, {});
    mSb_CreateSessions();
    gfrmMain = new frmMain;
    gfrmMain->show();
    logonCalls_ = 0;
    logonSucceeds_ = true;
    previousLogon_ = frmMain::SetLogonDialog([this](QWidget*) {
      ++logonCalls_;
      if (logonSucceeds_) LogOn();
    });
  }
  void cleanup() {
    frmMain::SetLogonDialog(previousLogon_);
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    driver_.reset();
    env_.reset();
  }

  // The outcome of the console's run decides the message; rows show in the grid.
  void outcome_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("rows");
    QTest::newRow("rows") << kRows << "" << 3;
    QTest::newRow("no rows") << kNoRows << kEmpty << 0;
    QTest::newRow("failed") << "select * from missing" << kFailed << 0;
  }
  void outcome() {
    QFETCH(QString, sql);
    QFETCH(QString, message);
    QFETCH(int, rows);
    LogOn();
    gfrmMain->mnuWindowNewWindow_Click();
    frmQuerna* console = gfrmMain->mFn_ActiveConsole();
    QVERIFY(console);

    Qt::CursorShape during = Qt::ArrowCursor;
    ScriptedDialogs dialogs;
    platform::DialogHandler recording = platform::SetDialogHandler({});
    platform::SetDialogHandler({[&](const platform::MsgBoxCall& call) {
                                  if (QApplication::overrideCursor())
                                    during = QApplication::overrideCursor()->shape();
                                  return recording.msgBox(call);
                                },
                                recording.inputBox, recording.fileDialog, recording.progress});
    mSb_RunDictionarySQL(sql);
    platform::SetDialogHandler(recording);

    QCOMPARE(driver_->databases().back()->statements.value(0), sql);
    QCOMPARE(dialogs.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (!message.isEmpty()) {
      QCOMPARE(dialogs.msgBoxes()[0].style, platform::vbInformation);
      QCOMPARE(during, Qt::WaitCursor);
    }
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxRows(), rows);
    QCOMPARE(logonCalls_, 0);
    QCOMPARE(gfrmMain->mdiArea()->subWindowList().size(), 1);
  }

  // Without a session the logon comes first, then a console of its own; a cancelled logon runs
  // nothing and says nothing.
  void logonFirst_data() {
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("logged on") << true;
    QTest::newRow("cancelled") << false;
  }
  void logonFirst() {
    QFETCH(bool, succeeds);
    logonSucceeds_ = succeeds;
    ScriptedDialogs dialogs;
    mSb_RunDictionarySQL(kRows);
    QCOMPARE(logonCalls_, 1);
    QVERIFY(dialogs.msgBoxes().isEmpty());
    QCOMPARE(gfrmMain->mdiArea()->subWindowList().size(), succeeds ? 1 : 0);
    QCOMPARE(driver_->databases().size(), std::size_t(succeeds ? 1 : 0));
    if (succeeds) {
      QCOMPARE(driver_->databases()[0]->statements, QStringList{kRows});
      QCOMPARE(Ctl<vaSpread>(gfrmMain->mFn_ActiveConsole(), "vspData")->MaxRows(), 3);
    }
  }

  // A session without any console window gets a new console, without a logon.
  void sessionWithoutConsole() {
    LogOn();
    ScriptedDialogs dialogs;
    mSb_RunDictionarySQL(kRows);
    QCOMPARE(logonCalls_, 0);
    QCOMPARE(gfrmMain->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(Ctl<vaSpread>(gfrmMain->mFn_ActiveConsole(), "vspData")->MaxRows(), 3);
  }

  void minimizedConsoleIsMaximized() {
    LogOn();
    gfrmMain->mnuWindowNewWindow_Click();
    QMdiSubWindow* sub = gfrmMain->mdiArea()->currentSubWindow();
    QVERIFY(sub);
    sub->showMinimized();
    QVERIFY(sub->isMinimized());
    ScriptedDialogs dialogs;
    mSb_RunDictionarySQL(kRows);
    QVERIFY(sub->isMaximized());
    QCOMPARE(gfrmMain->mdiArea()->subWindowList().size(), 1);
    QCOMPARE(Ctl<vaSpread>(gfrmMain->mFn_ActiveConsole(), "vspData")->MaxRows(), 3);
  }

 private:
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<fake::FakeDriver> driver_;
  frmMain::LogonDialogFn previousLogon_;
  int logonCalls_ = 0;
  bool logonSucceeds_ = true;
};

QTEST_MAIN(tst_RunDictionary)
#include "tst_rundictionary.moc"
