#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/basFileCommands.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "platform/HelpWindow.h"
#include "session/SessionData.h"

namespace {

const QString kLogIn = QStringLiteral("ログインしてください");
const QString kEnterSql = QStringLiteral("ＳＱＬ文を入力してください");

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

platform::HelpWindow* OpenHelpWindow() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* help = qobject_cast<platform::HelpWindow*>(w);
    if (help && help->isVisible()) return help;
  }
  return nullptr;
}

}  // namespace

class TestFileCommands : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    frmMain::SetLogonDialog([](QWidget*) {});
    gfrmMain = new frmMain;
    gfrmMain->show();
    QVERIFY(QTest::qWaitForWindowActive(gfrmMain));
  }
  void cleanupTestCase() {
    gSessionData.assign(1, SessionData{});
    delete gfrmMain;
    gfrmMain = nullptr;
  }
  void init() {
    gSessionData.assign(1, SessionData{});
    platform::SetHelpFile(std::nullopt);
    platform::SetDocumentOpener(nullptr);
  }
  void cleanup() {
    gfrmMain->mdiArea()->closeAllSubWindows();
    QTest::qWait(0);
    platform::SetDocumentOpener(nullptr);
  }

  // With nobody logged in, these commands only ask the user to log in.
  void nobodyLoggedIn_data() {
    QTest::addColumn<int>("command");
    QTest::newRow("SQL file import") << 0;
    QTest::newRow("import") << 1;
    QTest::newRow("export") << 2;
  }
  void nobodyLoggedIn() {
    QFETCH(int, command);
    OpenConsole();
    ScriptedDialogs dialogs;
    Run(command);
    QCOMPARE(dialogs.prompts(), QStringList{kLogIn});
    QCOMPARE(dialogs.msgBoxes()[0].style, int(platform::vbInformation));
    QCOMPARE(dialogs.msgBoxes()[0].title, platform::AppTitle());
    QVERIFY(dialogs.fileDialogs().isEmpty());

    // Logged in, the two placeholders do nothing at all.
    LogIn();
    dialogs.clear();
    if (command != 0) {
      Run(command);
      QVERIFY(dialogs.msgBoxes().isEmpty());
      QVERIFY(dialogs.fileDialogs().isEmpty());
    }
  }

  // Logged in but without a console, or with a host but no session object: no dialog at all.
  void importNeedsConsoleAndSession_data() {
    QTest::addColumn<bool>("console");
    QTest::addColumn<bool>("session");
    QTest::newRow("no console") << false << true;
    QTest::newRow("no session object") << true << false;
  }
  void importNeedsConsoleAndSession() {
    QFETCH(bool, console);
    QFETCH(bool, session);
    LogIn();
    if (!session) gSessionData[0].OraSession.reset();
    if (console) OpenConsole();
    ScriptedDialogs dialogs;
    mSb_SqlFileOpenCommand();
    QVERIFY(dialogs.msgBoxes().isEmpty());
    QVERIFY(dialogs.fileDialogs().isEmpty());
  }

  void importReplacesTheConsolesContents() {
    TestEnv env;
    LogIn();
    frmQuerna* console = OpenConsole();
    FillConsole(console);
    const QString path = env.folder() + "/my scripts/query.sql";
    WriteFile(path, "   select *\r\nfrom emp\r\n\r\nwhere deptno = 10");
    ScriptedDialogs dialogs;
    dialogs.answerFileDialog(path);
    mSb_SqlFileOpenCommand();

    QCOMPARE(dialogs.fileDialogs().size(), 1);
    const platform::FileDialogRequest& r = dialogs.fileDialogs()[0];
    QVERIFY(!r.save);
    QCOMPARE(r.title, QString("SQLﾌｧｲﾙからSQL文をｲﾝﾎﾟｰﾄ"));
    QVERIFY(r.initialFolder.isEmpty());
    QCOMPARE(r.filters, (QStringList{"SQLﾌｧｲﾙ(*.SQL)", "*.SQL"}));
    QCOMPARE(r.owner, gfrmMain);
    QVERIFY(dialogs.msgBoxes().isEmpty());

    const QString expected = "/*   (" + path + ")   */\nselect *\nfrom emp\n\nwhere deptno = 10\n";
    QCOMPARE(Ctl<SqlEditor>(console, "txtSQL")->toPlainText(), expected);
    QTRY_VERIFY(Ctl<SqlEditor>(console, "txtSQL")->hasFocus());
    QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxRows(), 0);
    QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxCols(), 0);
    QCOMPARE(Ctl<QLineEdit>(console, "txtStatus")->text(), kEnterSql);
    QVERIFY(log_->calls.isEmpty());
  }

  // A file that cannot be opened: the reader's two messages, then the command's; the console
  // keeps what it had. Cancel changes nothing and says nothing.
  void failedOrCancelledImportLeavesConsole_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("unreadable") << false;
    QTest::newRow("cancel") << true;
  }
  void failedOrCancelledImportLeavesConsole() {
    QFETCH(bool, cancel);
    TestEnv env;
    LogIn();
    frmQuerna* console = OpenConsole();
    FillConsole(console);
    ScriptedDialogs dialogs;
    dialogs.answerFileDialog(cancel ? QString() : env.folder() + "/gone/missing.sql");
    mSb_SqlFileOpenCommand();
    if (cancel) {
      QVERIFY(dialogs.msgBoxes().isEmpty());
    } else {
      const QStringList prompts = dialogs.prompts();
      QCOMPARE(prompts.size(), 3);
      QVERIFY(!prompts[0].isEmpty());
      QCOMPARE(prompts[1], QString("ファイルが開けません"));
      QCOMPARE(prompts[2], QString("読み込みに失敗しました"));
      QCOMPARE(dialogs.msgBoxes()[2].style, int(platform::vbCritical));
    }
    QCOMPARE(Ctl<SqlEditor>(console, "txtSQL")->toPlainText(), QString("select 1 from dual"));
    QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxRows(), 3);
    QCOMPARE(Ctl<QLineEdit>(console, "txtStatus")->text(), QString("3 件あります。"));
  }

  // The chosen history file goes whole to the desktop's editor, with nobody logged in too.
  void logFileOpensInTheEditor_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("opened");
    const QString blanks = "/home/a user/Querna files/SQL20010406.log";
    QTest::newRow("path with blanks") << blanks << QStringList{blanks};
    QTest::newRow("cancel") << QString() << QStringList();
  }
  void logFileOpensInTheEditor() {
    QFETCH(QString, answer);
    QFETCH(QStringList, opened);
    QStringList got;
    platform::SetDocumentOpener([&](const QString& p) {
      got << p;
      return false;
    });
    ScriptedDialogs dialogs;
    dialogs.answerFileDialog(answer);
    mSb_LogFileOpenCommand();
    QCOMPARE(got, opened);
    QCOMPARE(dialogs.fileDialogs().size(), 1);
    QCOMPARE(dialogs.fileDialogs()[0].title, QString("SQLﾛｸﾞﾌｧｲﾙを開く"));
    QCOMPARE(dialogs.fileDialogs()[0].filters, (QStringList{"SQLﾛｸﾞﾌｧｲﾙ(*.LOG)", "*.LOG"}));
    QVERIFY(dialogs.msgBoxes().isEmpty());
  }

  void helpCommandsOpenTheHelpWindow_data() {
    QTest::addColumn<bool>("search");
    QTest::newRow("contents") << false;
    QTest::newRow("search") << true;
  }
  void helpCommandsOpenTheHelpWindow() {
    QFETCH(bool, search);
    ScriptedDialogs dialogs;
    platform::SetHelpFile(qEnvironmentVariable("QUERNA_SOURCE_DIR") + "/resources/Querna.hlp");
    search ? mSb_HelpSearchCommand() : mSb_HelpContentsCommand();
    platform::HelpWindow* help = OpenHelpWindow();
    QVERIFY(help);
    QCOMPARE(help->parentWidget(), gfrmMain);
    QVERIFY(help->Topics().size() > 0);
    QCOMPARE(help->tabs->currentIndex(), search ? 1 : 0);
    QVERIFY(help->txtSearch->text().isEmpty());
    QVERIFY(dialogs.msgBoxes().isEmpty());
    help->close();
  }

  // A build without a help file name says so, with the main window's caption as title.
  void noHelpFileName_data() { helpCommandsOpenTheHelpWindow_data(); }
  void noHelpFileName() {
    QFETCH(bool, search);
    ScriptedDialogs dialogs;
    platform::SetHelpFile(QString());
    search ? mSb_HelpSearchCommand() : mSb_HelpContentsCommand();
    QCOMPARE(dialogs.prompts(), QStringList{"ﾍﾙﾌﾟの目次を表示できません。 "
                                            "このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"});
    QCOMPARE(dialogs.msgBoxes()[0].style, int(platform::vbInformation));
    QCOMPARE(dialogs.msgBoxes()[0].title, gfrmMain->windowTitle());
    QVERIFY(!OpenHelpWindow());
  }

 private:
  void LogIn() { log_ = driver_.logOn(QStringLiteral("SCOTT"), QStringLiteral("DEMO")); }

  static void Run(int command) {
    if (command == 0) mSb_SqlFileOpenCommand();
    if (command == 1) mSb_ImportCommand();
    if (command == 2) mSb_ExportCommand();
  }

  static frmQuerna* OpenConsole() {
    auto* console = new frmQuerna;
    QMdiSubWindow* sub = gfrmMain->mdiArea()->addSubWindow(console);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    console->Load();
    gfrmMain->mdiArea()->setActiveSubWindow(sub);
    return console;
  }

  // A console that shows an earlier result.
  static void FillConsole(frmQuerna* console) {
    Ctl<SqlEditor>(console, "txtSQL")->setPlainText("select 1 from dual");
    Ctl<vaSpread>(console, "vspData")->SetMaxCols(2);
    Ctl<vaSpread>(console, "vspData")->SetMaxRows(3);
    Ctl<QLineEdit>(console, "txtStatus")->setText("3 件あります。");
  }

  fake::FakeDriver driver_;
  std::shared_ptr<fake::DatabaseLog> log_;
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
