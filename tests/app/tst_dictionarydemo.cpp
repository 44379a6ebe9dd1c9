// The dictionary commands through the real windows on the local engine's DEMO database: as SYSTEM
// every command fills the console's grid; SCOTT is refused the DBA_ and V$ views.
#include <QAction>
#include <QMdiArea>
#include <QtTest>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "session/SessionData.h"

namespace {

const QString kFailed = QStringLiteral("実行処理が失敗しました。権限などを確認してください");
const QString kEmpty = QStringLiteral("データがありませんでした。");
const QString kCancel = ScriptedDialogs::kCancel;

bool LogOn(const QString& user, const QString& pass) {
  SessionData& rec = gSessionData[0];
  rec.Host = QStringLiteral("DEMO");
  rec.User = user;
  rec.Pass = pass;
  rec.OraSession = ora::CreateOraSession(rec.Host);
  if (!rec.OraSession) return false;
  rec.OraDatabase = rec.OraSession->OpenDatabase(rec.Host, user + QLatin1Char('/') + pass, 0);
  return rec.OraDatabase != nullptr;
}

// An end for the date range that lies after every statement of the test.
QString LaterToday() {
  return platform::Now().addSecs(3600).toString(QStringLiteral("yyyy-MM-dd/HH:mm:ss"));
}

}  // namespace

class tst_DictionaryDemo : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    env_ = std::make_unique<TestEnv>();
    mSb_CreateSessions();
    gfrmMain = new frmMain;
    gfrmMain->show();
  }
  void cleanup() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    env_.reset();
  }

  void commands_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");
    const QStringList none;
    const QStringList dbaItems{"mnuSqlAccess", "mnuSqlAccessEx",  "mnuSqlDBAGrant", "mnuSqlDBARole",
                               "mnuSqlLog",    "mnuSqlLogAccess", "mnuSqlVer"};
    const QList<std::pair<QString, QStringList>> items{
        {"mnuSqlAccess", none},
        {"mnuSqlAccessEx", none},
        {"mnuSqlTableFields", {"help"}},
        {"mnuSqlTableIndex", {"emp"}},
        {"mnuSqlUserGrant", none},
        {"mnuSqlUserRole", none},
        {"mnuSqlUserTables", none},
        {"mnuSqlAllUsers", none},
        {"mnuSqlDBAGrant", none},
        {"mnuSqlDBARole", none},
        {"mnuSqlAllTables", none},
        {"mnuSqlAllFields", none},
        {"mnuSqlAllView", none},
        {"mnuSqlLog", {kCancel, kCancel}},
        {"mnuSqlLogAccess", {"", LaterToday()}},
        {"mnuSqlAllObject", none},
        {"mnuSqlSysDate", none},
        {"mnuSqlVer", none},
    };
    for (const auto& [item, answers] : items) {
      QTest::addRow("SYSTEM %s", qPrintable(item)) << "SYSTEM" << item << answers << "";
      if (dbaItems.contains(item))
        QTest::addRow("SCOTT %s", qPrintable(item)) << "SCOTT" << item << answers << kFailed;
    }
    QTest::newRow("SCOTT fields of emp") << "SCOTT"
                                         << "mnuSqlTableFields" << QStringList{"emp"} << "";
    QTest::newRow("SCOTT fields of ' emp '")
        << "SCOTT"
        << "mnuSqlTableFields" << QStringList{" emp "} << kEmpty;
    QTest::newRow("SCOTT fields of a quoted name")
        << "SCOTT"
        << "mnuSqlTableFields" << QStringList{"emp'"} << kEmpty;
  }
  void commands() {
    QFETCH(QString, user);
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, message);
    QVERIFY(LogOn(user, user == QStringLiteral("SYSTEM") ? QStringLiteral("MANAGER")
                                                         : QStringLiteral("TIGER")));
    gfrmMain->mnuWindowNewWindow_Click();
    frmQuerna* console = gfrmMain->mFn_ActiveConsole();
    QVERIFY(console);
    // A statement in the server's SQL area for the log commands to find.
    QVERIFY(gSessionData[0].OraDatabase->CreateDynaset(QStringLiteral("select * from dept"), 0));

    ScriptedDialogs dialogs;
    dialogs.answerInputBoxes(answers);
    gfrmMain->menuItem(item)->trigger();
    QCOMPARE(dialogs.inputBoxes().size(), answers.size());
    QCOMPARE(dialogs.prompts(), message.isEmpty() ? QStringList() : QStringList{message});
    if (message.isEmpty()) QVERIFY(Ctl<vaSpread>(console, "vspData")->MaxRows() > 0);
    QCOMPARE(gfrmMain->mdiArea()->subWindowList().size(), 1);
  }

 private:
  std::unique_ptr<TestEnv> env_;
};

QTEST_MAIN(tst_DictionaryDemo)
#include "tst_dictionarydemo.moc"
