// The items of the menu "ｵﾗｸﾙ参照・設定(&O)" run their queries in the active console.
#include <QAction>
#include <QtTest>

#include "app/DictionarySql.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "oracle/OraFactory.h"
#include "session/SessionData.h"
#include "session/basLogout.h"

namespace {

const QString kHost = QStringLiteral("FAKE");

}  // namespace

class tst_DictionaryMenu : public QObject {
  Q_OBJECT
 private slots:
  void init() {
    env_ = std::make_unique<TestEnv>();
    driver_ = std::make_unique<fake::FakeDriver>();
    driver_->addAccount(kHost, QStringLiteral("SYSTEM"), QStringLiteral("MANAGER"));
    mSb_CreateSessions();
    SessionData& rec = gSessionData[0];
    rec.Host = kHost;
    rec.User = QStringLiteral("SYSTEM");
    rec.Pass = QStringLiteral("MANAGER");
    rec.OraSession = ora::CreateOraSession(kHost);
    rec.OraDatabase = rec.OraSession->OpenDatabase(kHost, QStringLiteral("SYSTEM/MANAGER"), 0);
    gfrmMain = new frmMain;
    gfrmMain->show();
    gfrmMain->mnuWindowNewWindow_Click();
    platform::SetNow(QDateTime(QDate(2024, 3, 5), QTime(17, 8, 9)));
  }
  void cleanup() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    gfrmMain = nullptr;
    driver_.reset();
    env_.reset();
  }

  // Each item hands its own text to the console; the fake server knows none of them, so each
  // ends in the runner's failure message.
  void items_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("answers");  // input box answers; "<cancel>" cancels one
    QTest::addColumn<QString>("sql");
    QTest::newRow("users") << "mnuSqlAccess" << QStringList() << dictsql::ConnectedUsersSql();
    QTest::newRow("users ex") << "mnuSqlAccessEx" << QStringList()
                              << dictsql::ConnectedUsersExSql();
    QTest::newRow("fields") << "mnuSqlTableFields" << QStringList{" emp "}
                            << "select COLUMN_NAME, DATA_TYPE, DATA_LENGTH, DATA_PRECISION, "
                               "DATA_SCALE, NULLABLE from user_tab_columns where "
                               "upper(TABLE_NAME) = ' EMP ' order by COLUMN_ID";
    QTest::newRow("index") << "mnuSqlTableIndex" << QStringList{"emp"}
                           << "select INDEX_NAME,COLUMN_NAME from ALL_IND_COLUMNS where "
                              "upper(TABLE_NAME) = 'EMP' order by INDEX_NAME,COLUMN_POSITION";
    QTest::newRow("log, start cleared")
        << "mnuSqlLog" << QStringList{"", "2024-03-05/17:08:09"}
        << "select * from V$SQL where FIRST_LOAD_TIME <= '2024-03-05/17:08:09' order by "
           "FIRST_LOAD_TIME desc";
    QTest::newRow("log, both cancelled") << "mnuSqlLog" << QStringList{"<cancel>", "<cancel>"}
                                         << "select * from V$SQL  order by FIRST_LOAD_TIME desc";
    QTest::newRow("log load") << "mnuSqlLogAccess"
                              << QStringList{"2024-03-01/00:00:00", "2024-03-05/17:08:09"}
                              << dictsql::SqlLogLoadSql(
                                     "where FIRST_LOAD_TIME >= '2024-03-01/00:00:00' and "
                                     "FIRST_LOAD_TIME <= '2024-03-05/17:08:09'");
    for (const QString& item : dictsql::FixedQueryItems())
      QTest::newRow(qPrintable(item)) << item << QStringList() << dictsql::FixedQuerySql(item);
  }
  void items() {
    QFETCH(QString, item);
    QFETCH(QStringList, answers);
    QFETCH(QString, sql);
    ScriptedDialogs dialogs;
    for (const QString& a : answers) {
      if (a == QStringLiteral("<cancel>"))
        dialogs.cancelInputBox();
      else
        dialogs.answerInputBox(a);
    }
    QAction* action = gfrmMain->menuItem(item);
    QVERIFY(action);
    QVERIFY(action->isEnabled());
    action->trigger();
    QCOMPARE(dialogs.inputBoxes().size(), answers.size());
    QCOMPARE(driver_->databases()[0]->statements, QStringList{sql});
    QCOMPARE(dialogs.prompts(), QStringList{"実行処理が失敗しました。権限などを確認してください"});
  }

  // A blank or cancelled table name runs nothing; the disabled item does nothing.
  void nothingRun_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("answer");
    QTest::newRow("fields, blanks") << "mnuSqlTableFields"
                                    << "   ";
    QTest::newRow("fields, cancelled") << "mnuSqlTableFields"
                                       << "<cancel>";
    QTest::newRow("index, empty") << "mnuSqlTableIndex"
                                  << "";
    QTest::newRow("kill session") << "mnuSqlKillSession"
                                  << "<none>";
  }
  void nothingRun() {
    QFETCH(QString, item);
    QFETCH(QString, answer);
    ScriptedDialogs dialogs;
    if (answer == QStringLiteral("<cancel>"))
      dialogs.cancelInputBox();
    else if (answer != QStringLiteral("<none>"))
      dialogs.answerInputBox(answer);
    QAction* action = gfrmMain->menuItem(item);
    QVERIFY(action);
    QCOMPARE(action->isEnabled(), answer != QStringLiteral("<none>"));
    action->trigger();
    QVERIFY(driver_->databases()[0]->statements.isEmpty());
    QVERIFY(dialogs.msgBoxes().isEmpty());
  }

 private:
  std::unique_ptr<TestEnv> env_;
  std::unique_ptr<fake::FakeDriver> driver_;
};

QTEST_MAIN(tst_DictionaryMenu)
#include "tst_dictionarymenu.moc"
