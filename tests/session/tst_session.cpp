// The logon dialog and its history, logging out, and the session table under them.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <optional>

#include "app/Logon.h"
#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/frmQuerna.h"
#include "core/RunErr.h"
#include "platform/Platform.h"
#include "session/Connect.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"

namespace {
const QString kMissing = QStringLiteral("<missing>");
const char* const kKeys[] = {"User", "Pass", "Host", "StartUser", "StartPass", "StartHost"};

QString Saved(const char* key) {
  return platform::GetSetting("ZEPH", "Logon", QLatin1String(key), kMissing);
}

QStringList AllSaved() {
  QStringList out;
  for (const char* key : kKeys) out << Saved(key);
  return out;
}

void Type(frmLogon& dlg, const QString& user, const QString& pass, const QString& host) {
  dlg.cmbUser->setEditText(user);
  dlg.cmbPass->setEditText(pass);
  dlg.cmbHost->setEditText(host);
}

QStringList Users() {
  QStringList out;
  for (const SessionData& rec : gSessionData) out << rec.User;
  return out;
}

// Logs on to H1 through a fresh dialog each time, as the user does, as the first n of A, B and C.
bool Connect(int n) {
  for (int i = 0; i < n; ++i) {
    const QString user(QChar(u'A' + i));
    frmLogon dlg;
    Type(dlg, user, "p" + user.toLower(), "H1");
    dlg.cmdLogOn->click();
    if (dlg.result() != QDialog::Accepted) return false;
  }
  return true;
}

// Answers the next logon dialog: logs on to H1 as the user, or cancels when user is empty.
void AnswerLogonDialog(const QString& user) {
  QTimer::singleShot(0, [user] {
    auto* dlg = qobject_cast<frmLogon*>(QApplication::activeModalWidget());
    QVERIFY(dlg);
    Type(*dlg, user, "p" + user.toLower(), "H1");
    (user.isEmpty() ? dlg->cmdCancel : dlg->cmdLogOn)->click();
  });
}

// The table from a pattern: L a live session of user u<i>, B a record whose logon failed.
std::vector<const ora::OraSession*> Fill(fake::FakeDriver& driver, const QString& pattern) {
  std::vector<SessionData> records;
  std::vector<const ora::OraSession*> live;
  for (int i = 0; i < pattern.size(); ++i) {
    CreateSessions();
    const QString user = QStringLiteral("u%1").arg(i);
    if (pattern[i] == QLatin1Char('L')) {
      driver.logOn(user);
      live.push_back(gSessionData[0].OraSession.get());
    } else {
      gSessionData[0].User = user;
    }
    records.push_back(gSessionData[0]);
  }
  gSessionData = records;
  return live;
}

}  // namespace

class TestSession : public QObject {
  Q_OBJECT

  std::optional<TestEnv> env_;
  std::optional<ScriptedDialogs> dialogs_;
  std::optional<fake::FakeDriver> driver_;

  // The main window with one console per count, all on the sessions logged on so far.
  frmQuerna* OpenMainWithConsoles(int count) {
    gfrmMain = new frmMain;
    gfrmMain->show();
    if (!QTest::qWaitForWindowActive(gfrmMain)) return nullptr;
    for (int i = 0; i < count; ++i) gfrmMain->mnuWindowNewWindow_Click();
    FlushDeletes();
    return gfrmMain->ActiveConsole();
  }

 private slots:
  void init() {
    env_.emplace();
    dialogs_.emplace();
    driver_.emplace();
    driver_->addAccount("H1", "A", "pa");
    driver_->addAccount("H1", "B", "pb");
    driver_->addAccount("H1", "C", "pc");
    driver_->addAnswer("q", {.rows = 1});
    CreateSessions();
  }

  void cleanup() {
    delete gfrmMain;
    gfrmMain = nullptr;
    FlushDeletes();
    CreateSessions();
    driver_.reset();
    dialogs_.reset();
    env_.reset();
  }

  // Blanks left in the store by hand stay but are not listed; values already listed (compared
  // case by case) rewrite only the start values, which the boxes then show.
  void historyOfLogons() {
    platform::SaveSetting("ZEPH", "Logon", "User", " s ,, ,SCOTT,a");
    QVERIFY(Connect(2));
    QCOMPARE(AllSaved(), QStringList({" s ,, ,SCOTT,a,A,B", "pa,pb", "H1", "B", "pb", "H1"}));
    frmLogon dlg;
    QCOMPARE(Items(dlg.cmbUser), QStringList({" s ", "SCOTT", "a", "A", "B"}));
    QCOMPARE(dlg.cmbUser->currentText(), QString("B"));
    QCOMPARE(Items(dlg.cmbPass), QStringList({"pa", "pb"}));
    QCOMPARE(dlg.cmbPass->currentText(), QString("pb"));
    for (const char* key : kKeys) platform::SaveSetting("ZEPH", "Logon", key, "mark");
    Type(dlg, "A", "pa", "H1");
    dlg.cmdLogOn->click();
    QCOMPARE(AllSaved(), QStringList({"mark", "mark", "mark", "A", "pa", "H1"}));
  }

  void refusedLogon_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("closedBy");
    const auto row = [](const char* tag, const QString& user, const QString& pass,
                        const QString& host, const QStringList& messages,
                        const QString& focus = "cmbUser", const QString& closedBy = "cancel") {
      QTest::newRow(tag) << user << pass << host << messages << focus << closedBy;
    };
    row("all empty", "", "", "", {"ユーザー名を入力してください"});
    row("no password", "A", "", "", {"パスワードを入力してください"}, "cmbPass");
    row("no host", "A", "pa", "", {"ホスト文字列を入力してください"}, "cmbHost", "escape");
    row("wrong password", "B", "wrong", "H1",
        {"ORA-01017: invalid username/password; logon denied"});
    row("listener down", "B", "pb", "LSNR",
        {"ORA-12224: TNS:no listener", "OracleTnsListenerｻｰﾋﾞｽが停止されているようです。"},
        "cmbUser", "escape");
    row("instance down", "B", "pb", "INST",
        {"ORA-12500: TNS:listener failed to start a dedicated server process",
         "OracleServiceORCLｻｰﾋﾞｽが停止されているようです。"},
        "cmbUser", "close");
    row("brackets in the path", "B", "pb", "PAREN",
        {"ORA-06413: Connection not open.",
         "ﾌｫﾙﾀﾞ名,ﾕｰｻﾞｰID,ﾊﾟｽﾜｰﾄﾞ,ﾎｽﾄ文字列で括弧'()'が使われていないかﾁｪｯｸして下さい"});
    row("failure without a server number", "B", "pb", "BROKEN",
        {"エラー番号：440\r\nメッセージ：OCI library not usable"});
    row("no client", "B", "pb", "NOCLIENT", {"オラクルクライアントがインストールされていません"});
  }
  // Enter in a box logs on. An error is critical, a hint after it informs, and the dialog stays
  // open; however it is closed then, earlier sessions and the stored history stay as they were.
  void refusedLogon() {
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(QString, host);
    QFETCH(QStringList, messages);
    QFETCH(QString, focus);
    QFETCH(QString, closedBy);
    driver_->failHost("LSNR", 12224, "ORA-12224: TNS:no listener");
    driver_->failHost("INST", 12500,
                      "ORA-12500: TNS:listener failed to start a dedicated server process");
    driver_->failHost("PAREN", 6413, "ORA-06413: Connection not open.");
    driver_->failHostWithRunError("BROKEN", 440, "OCI library not usable");
    QVERIFY(Connect(1));
    const auto first = gSessionData[0].OraDatabase;
    const QByteArray store = TestEnv::readFile(env_->settingsFile());
    driver_->setNoClient(host == "NOCLIENT");

    frmLogon dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    Type(dlg, user, pass, host);
    dlg.cmdCancel->setFocus();
    QTest::keyClick(dlg.cmbHost, Qt::Key_Return);
    QCOMPARE(dialogs_->prompts(), messages);
    QCOMPARE(dialogs_->msgBoxes()[0].style, platform::vbCritical);
    if (messages.size() > 1) QCOMPARE(dialogs_->msgBoxes()[1].style, platform::vbInformation);
    QVERIFY(dlg.isVisible());
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QCOMPARE(QApplication::overrideCursor(), nullptr);

    if (closedBy == "cancel") dlg.cmdCancel->click();
    if (closedBy == "escape") QTest::keyClick(&dlg, Qt::Key_Escape);
    if (closedBy == "close") dlg.close();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(gSessionData.size(), std::size_t(1));
    QCOMPARE(gSessionData[0].OraDatabase, first);
    QVERIFY(!driver_->databases()[0]->closed);
    QCOMPARE(TestEnv::readFile(env_->settingsFile()), store);
  }

  void deleteAllHistory_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("ok") << int(platform::vbOK);
    QTest::newRow("cancel") << int(platform::vbCancel);
  }
  void deleteAllHistory() {
    QFETCH(int, answer);
    QVERIFY(Connect(2));
    frmLogon dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    dlg.cmdCancel->setFocus();
    dialogs_->answerMsgBox(answer);
    dlg.mnuToolDelLog->trigger();
    QCOMPARE(dialogs_->prompts(), QStringList{"全てのログイン情報を削除しますか？"});
    QCOMPARE(dialogs_->msgBoxes()[0].style, platform::vbOKCancel | platform::vbQuestion);
    const bool deleted = answer == platform::vbOK;
    QCOMPARE(Items(dlg.cmbUser), deleted ? QStringList() : QStringList({"A", "B"}));
    QCOMPARE(dlg.cmbUser->hasFocus(), deleted);
    QCOMPARE(AllSaved(), deleted ? QStringList(6, kMissing)
                                 : QStringList({"A,B", "pa,pb", "H1", "B", "pb", "H1"}));
  }

  void logout_data() {
    QTest::addColumn<int>("sessions");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("closedDb");  // -1: the user answered No
    QTest::newRow("first of three") << 3 << 0 << QStringList{"B", "C"} << 0;
    QTest::newRow("second of three") << 3 << 1 << QStringList{"A", "C"} << 1;
    QTest::newRow("answered no") << 3 << 0 << QStringList{"A", "B", "C"} << -1;
    QTest::newRow("the last one") << 1 << 0 << QStringList{""} << 0;
  }
  // Logout renumbers the other sessions; that of the last closes every console and result set.
  void logout() {
    QFETCH(int, sessions);
    QFETCH(int, selected);
    QFETCH(QStringList, left);
    QFETCH(int, closedDb);
    QVERIFY(Connect(sessions));
    gSessionData[0].OraDynaset = gSessionData[0].OraDatabase->CreateDynaset("q", 0);
    frmQuerna* console = OpenMainWithConsoles(sessions == 1 ? 2 : 1);
    QVERIFY(console);
    auto* list = Ctl<QComboBox>(console, "cmbSessionData");
    list->setCurrentIndex(selected);
    const QString label = list->currentText();

    dialogs_->answerMsgBox(closedDb < 0 ? platform::vbNo : platform::vbYes);
    Ctl<QPushButton>(console, "cmdLogout")->click();
    QCOMPARE(dialogs_->prompts(), QStringList{"【" + label + "】\r\n\r\nをログアウトしますか？"});
    QCOMPARE(dialogs_->msgBoxes()[0].style, platform::vbYesNo | platform::vbQuestion);
    QCOMPARE(Users(), left);
    for (int i = 0; i < sessions; ++i) QCOMPARE(driver_->databases()[i]->closed, i == closedDb);
    if (sessions == 1) {
      FlushDeletes();
      QVERIFY(NoSession());
      QCOMPARE(driver_->databases()[0]->dynasetCloses, 1);
      QCOMPARE(gfrmMain->findChildren<frmQuerna*>().size(), 0);
      QVERIFY(gfrmMain->isVisible());
      return;
    }
    QStringList items;
    for (const QString& u : left)
      items << QStringLiteral("Session%1:%2/H1").arg(items.size() + 1).arg(u);
    QCOMPARE(Items(list), items);
    QCOMPARE(list->currentIndex(), closedDb < 0 ? 0 : 1);
    FlushDeletes();
    QCOMPARE(gfrmMain->findChildren<frmQuerna*>().size(), 1);
  }

  // Without any session the console opens only after a logon.
  void logonMenu_data() {
    QTest::addColumn<int>("open");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("items");  // the console's session list; empty: no console
    const QStringList two{"Session1:A/H1", "Session2:B/H1"};
    QTest::newRow("logged on") << 2 << "C" << two + QStringList{"Session3:C/H1"};
    QTest::newRow("cancelled") << 2 << "" << two;
    QTest::newRow("first logon") << 0 << "A" << QStringList{"Session1:A/H1"};
    QTest::newRow("first cancelled") << 0 << "" << QStringList();
  }
  void logonMenu() {
    QFETCH(int, open);
    QFETCH(QString, user);
    QFETCH(QStringList, items);
    QVERIFY(Connect(open));
    if (frmQuerna* console = OpenMainWithConsoles(open > 0 ? 1 : 0))
      Ctl<QComboBox>(console, "cmbSessionData")->setCurrentIndex(0);
    AnswerLogonDialog(user);
    SessionLogonCommand();
    FlushDeletes();
    QVERIFY(dialogs_->msgBoxes().isEmpty());
    for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY(!qobject_cast<frmLogon*>(w));
    QCOMPARE(gfrmMain->findChildren<frmQuerna*>().size(), items.isEmpty() ? 0 : 1);
    if (items.isEmpty()) {
      QVERIFY(NoSession());
      return;
    }
    auto* sessions = Ctl<QComboBox>(gfrmMain->findChildren<frmQuerna*>()[0], "cmbSessionData");
    QCOMPARE(Items(sessions), items);
    QCOMPARE(sessions->currentIndex(), items.size() - 1);
  }
  // Packing and appending move only references: the same objects, in logon order, none closed.
  void packAndAppend_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("packed");
    QTest::addColumn<int>("appended");
    QTest::newRow("all blank") << "BBB" << QStringList{""} << 0;
    QTest::newRow("blank after live") << "LLB" << QStringList{"u0", "u1"} << 2;
    QTest::newRow("blanks between") << "LBLBBL" << QStringList{"u0", "u2", "u5"} << 3;
    QTest::newRow("blank first") << "BLL" << QStringList{"u1", "u2"} << 0;
  }
  void packAndAppend() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, packed);
    QFETCH(int, appended);
    const auto live = Fill(*driver_, pattern);
    mSb_PackSessions();
    QCOMPARE(Users(), packed);
    for (std::size_t i = 0; i < live.size(); ++i)
      QCOMPARE(gSessionData[i].OraSession.get(), live[i]);
    QCOMPARE(NoSession(), live.empty());
    Fill(*driver_, pattern);
    QCOMPARE(AppendSession(), appended);
    QVERIFY(!gSessionData[static_cast<std::size_t>(appended)].OraSession);
    for (const auto& log : driver_->databases()) QVERIFY(!log->closed);
  }

  // A reset clears the errors and closes the result set; a missing record is left alone.
  void reset_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("withResult");
    QTest::newRow("with result set") << 1 << true;
    QTest::newRow("past the end") << 5 << false;
    QTest::newRow("negative") << -1 << false;
  }
  void reset() {
    QFETCH(int, index);
    QFETCH(bool, withResult);
    driver_->logOn(QStringLiteral("a"));
    const auto log = driver_->logOn(QStringLiteral("b"));
    if (withResult) gSessionData[1].OraDynaset = gSessionData[1].OraDatabase->CreateDynaset("q", 0);
    std::weak_ptr<ora::OraDynaset> dynaset = gSessionData[1].OraDynaset;
    ora::Raise(440, QStringLiteral("earlier failure"));
    const int resets = log->resets;
    mSb_ResetSession(index);
    QVERIFY(!ora::Err().pending());
    QCOMPARE(log->resets - resets, index == 1 ? 2 : 0);
    QCOMPARE(log->dynasetCloses, withResult ? 1 : 0);
    QVERIFY(dynaset.expired());
  }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
