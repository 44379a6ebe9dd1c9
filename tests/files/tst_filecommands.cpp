#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
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

  // Logged in, import does nothing; the SQL file import needs a console and a session.
  void commandsThatShowNoFileDialog_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("SQL file import, nobody logged in") << 0 << false << "" << kLogIn;
    QTest::newRow("import, nobody logged in") << 1 << false << "" << kLogIn;
    QTest::newRow("export, nobody logged in") << 2 << false << "" << kLogIn;
    QTest::newRow("import") << 1 << true << "" << QString();
    QTest::newRow("export of an empty grid")
        << 2 << true << "" << QString("ｴｸｽﾎﾟｰﾄするﾃﾞｰﾀがありません");
    QTest::newRow("SQL file import, no console") << 0 << true << "console" << QString();
    QTest::newRow("SQL file import, no session") << 0 << true << "session" << QString();
  }
  void commandsThatShowNoFileDialog() {
    QFETCH(int, command);
    QFETCH(bool, loggedIn);
    QFETCH(QString, missing);
    QFETCH(QString, prompt);
    if (loggedIn) LogIn();
    if (missing == "session") gSessionData[0].OraSession.reset();
    if (missing != "console") OpenConsole();
    ScriptedDialogs dialogs;
    if (command == 0) SqlFileOpenCommand();
    if (command == 1) ImportCommand();
    if (command == 2) ExportCommand();
    QCOMPARE(dialogs.prompts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
    if (!loggedIn) {
      QCOMPARE(dialogs.msgBoxes()[0].style, int(platform::vbInformation));
      QCOMPARE(dialogs.msgBoxes()[0].title, platform::AppTitle());
    }
    QVERIFY(dialogs.fileDialogs().isEmpty());
  }

  void importIntoTheConsole_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("prompts");
    QTest::newRow("import") << "my scripts/query.sql" << QStringList();
    QTest::newRow("unreadable") << "gone/missing.sql"
                                << QStringList{"パスが見つかりません。", "ファイルが開けません",
                                               "読み込みに失敗しました"};
    QTest::newRow("cancel") << QString() << QStringList();
  }
  void importIntoTheConsole() {
    QFETCH(QString, name);
    QFETCH(QStringList, prompts);
    TestEnv env;
    LogIn();
    frmQuerna* console = OpenConsole();
    auto* editor = Ctl<SqlEditor>(console, "txtSQL");
    auto* grid = Ctl<vaSpread>(console, "vspData");
    auto* status = Ctl<QLineEdit>(console, "txtStatus");
    editor->setPlainText("select 1 from dual");
    grid->SetMaxCols(2);
    grid->SetMaxRows(3);
    status->setText("3 件あります。");
    const QString path = name.isEmpty() ? name : env.folder() + "/" + name;
    QVERIFY(TestEnv::writeFile(env.folder() + "/my scripts/query.sql",
                               "   select *\r\nfrom emp\r\n\r\nwhere x"));
    ScriptedDialogs dialogs;
    dialogs.answerFileDialog(path);
    SqlFileOpenCommand();
    QCOMPARE(dialogs.prompts(), prompts);
    if (!prompts.isEmpty()) QCOMPARE(dialogs.msgBoxes()[2].style, int(platform::vbCritical));
    QVERIFY(!dialogs.fileDialogs().value(0).save);
    QCOMPARE(dialogs.fileDialogs()[0].owner, gfrmMain);
    QVERIFY(log_->calls.isEmpty());
    const bool read = name.startsWith("my");
    QCOMPARE(editor->toPlainText(),
             read ? "/*   (" + path + ")   */\nselect *\nfrom emp\n\nwhere x\n"
                  : QString("select 1 from dual"));
    QCOMPARE(grid->MaxRows(), read ? 0 : 3);
    QCOMPARE(status->text(), read ? kEnterSql : QString("3 件あります。"));
    if (read) QTRY_VERIFY(editor->hasFocus());
  }

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
    LogFileOpenCommand();
    QCOMPARE(got, opened);
    QCOMPARE(dialogs.fileDialogs().value(0).initialFolder, platform::ProgramFolder());
    QVERIFY(dialogs.msgBoxes().isEmpty());
  }

  void exportWritesTheGridAsCsv_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("value");
    QTest::addColumn<qint64>("cancelAt");
    QTest::addColumn<QByteArray>("bytes");  // empty: the old file stays
    QTest::addColumn<QString>("message");
    const QByteArray head = "NAME,\"NO, \"\"N\"\"\"\r\n";
    QTest::newRow("utf-8 with bom") << 0 << 2 << "日本ﾃｽﾄ" << qint64(-1)
                                    << "\xEF\xBB\xBF" + head + "日本ﾃｽﾄ,*\r\n\"a\nb\",**\r\n"
                                    << "";
    QTest::newRow("shift_jis") << 1 << 1 << "日本ﾃｽﾄ" << qint64(-1)
                               << head + "\x93\xfa\x96\x7b\xc3\xbd\xc4,*\r\n"
                               << "";
    QTest::newRow("cancelled") << 0 << 5000 << "x" << qint64(4096) << QByteArray() << "";
    QTest::newRow("not in shift_jis")
        << 1 << 1 << "café" << qint64(-1) << QByteArray()
        << "Shift_JISで表せない文字があるため、ｴｸｽﾎﾟｰﾄできません。UTF-8を選んでください";
  }
  void exportWritesTheGridAsCsv() {
    QFETCH(int, filter);
    QFETCH(int, rows);
    QFETCH(QString, value);
    QFETCH(qint64, cancelAt);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    TestEnv env;
    LogIn();
    vaSpread* grid = Ctl<vaSpread>(OpenConsole(), "vspData");
    grid->SetMaxCols(2);
    grid->SetMaxRows(rows);
    const QVariant cells[][2] = {{"NAME", "NO, \"N\""}, {value, 1}, {"a\nb", "pw"}};
    for (int r = 0; r <= rows; ++r) {
      for (int c = 1; c <= 2; ++c) {
        grid->SetCol(c);
        grid->SetRow(r);
        r == 0 ? grid->SetText(cells[0][c - 1].toString())
               : grid->SetValue(cells[std::min(r, 2)][c - 1]);
      }
    }
    grid->SetRow(-1);
    grid->SetTypeEditPassword(true);
    const QString path = env.folder() + "/out.csv";
    QVERIFY(TestEnv::writeFile(path, "old"));
    ScriptedDialogs dialogs;
    dialogs.answerFileDialog(env.folder() + "/out", filter);
    dialogs.cancelProgressAt(cancelAt);
    ExportCommand();
    QVERIFY(dialogs.fileDialogs().value(0).save);
    QCOMPARE(dialogs.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(TestEnv::readFile(path), bytes.isEmpty() ? QByteArray("old") : bytes);
    QCOMPARE(QDir(env.folder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
  }

  void helpCommandsOpenTheHelpWindow_data() {
    QTest::addColumn<bool>("search");
    QTest::addColumn<bool>("helpFile");
    QTest::newRow("contents") << false << true;
    QTest::newRow("search") << true << true;
    QTest::newRow("contents without a help file") << false << false;
  }
  void helpCommandsOpenTheHelpWindow() {
    QFETCH(bool, search);
    QFETCH(bool, helpFile);
    ScriptedDialogs dialogs;
    platform::SetHelpFile(
        helpFile ? qEnvironmentVariable("QUERNA_SOURCE_DIR") + "/resources/Querna.hlp" : QString());
    search ? HelpSearchCommand() : HelpContentsCommand();
    auto* help = gfrmMain->findChild<platform::HelpWindow*>();
    if (!helpFile) {
      QCOMPARE(dialogs.prompts(), QStringList{"ﾍﾙﾌﾟの目次を表示できません。 "
                                              "このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"});
      QCOMPARE(dialogs.msgBoxes()[0].style, int(platform::vbInformation));
      QCOMPARE(dialogs.msgBoxes()[0].title, gfrmMain->windowTitle());
      QVERIFY(!help || !help->isVisible());
      return;
    }
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->tabs->currentIndex(), search ? 1 : 0);
    QVERIFY(dialogs.msgBoxes().isEmpty());
    help->close();
  }

 private:
  void LogIn() { log_ = driver_.logOn(QStringLiteral("SCOTT"), QStringLiteral("DEMO")); }

  static frmQuerna* OpenConsole() {
    auto* console = new frmQuerna;
    QMdiSubWindow* sub = gfrmMain->mdiArea()->addSubWindow(console);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    console->Load();
    gfrmMain->mdiArea()->setActiveSubWindow(sub);
    return console;
  }

  fake::FakeDriver driver_;
  std::shared_ptr<fake::DatabaseLog> log_;
};

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
