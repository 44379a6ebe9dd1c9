#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
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
#include "session/Connect.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"

namespace {

QStringList Items(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

QStringList Labels() {
  QStringList out;
  for (const SessionData& rec : gSessionData) out << rec.User + "/" + rec.Host;
  return out;
}

void Flush() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Answers the next logon dialog: logs on with the values, or cancels when user is empty.
void AnswerLogonDialog(const QString& user, const QString& pass, const QString& host) {
  QTimer::singleShot(0, [user, pass, host] {
    auto* dlg = qobject_cast<frmLogon*>(QApplication::activeModalWidget());
    QVERIFY(dlg);
    if (user.isEmpty()) {
      dlg->cmdCancel->click();
      return;
    }
    dlg->cmbUser->setEditText(user);
    dlg->cmbPass->setEditText(pass);
    dlg->cmbHost->setEditText(host);
    dlg->cmdLogOn->click();
  });
}

}  // namespace

class TestLogout : public QObject {
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
    Flush();
    return gfrmMain->mFn_ActiveConsole();
  }

  QList<frmQuerna*> Consoles() const {
    QList<frmQuerna*> out;
    for (QWidget* w : QApplication::allWidgets()) {
      if (auto* c = qobject_cast<frmQuerna*>(w)) out << c;
    }
    return out;
  }

 private slots:
  void init() {
    env_.emplace();
    dialogs_.emplace();
    driver_.emplace();
    for (const char* user : {"A", "B", "C"}) driver_->addAccount("H1", user, "pw");
    mSb_CreateSessions();
  }

  void cleanup() {
    delete gfrmMain;
    gfrmMain = nullptr;
    Flush();
    mSb_CreateSessions();
    driver_.reset();
    dialogs_.reset();
    env_.reset();
  }

  void logoutOfOneSessionRenumbersTheOthers_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<int>("closedDb");  // -1: the user answered No
    QTest::newRow("first of three") << 0 << QStringList{"B/H1", "C/H1"} << 0;
    QTest::newRow("second of three") << 1 << QStringList{"A/H1", "C/H1"} << 1;
    QTest::newRow("third of three") << 2 << QStringList{"A/H1", "B/H1"} << 2;
    QTest::newRow("answered no") << 0 << QStringList{"A/H1", "B/H1", "C/H1"} << -1;
  }
  void logoutOfOneSessionRenumbersTheOthers() {
    QFETCH(int, selected);
    QFETCH(QStringList, left);
    QFETCH(int, closedDb);
    for (const char* user : {"A", "B", "C"}) QVERIFY(mFn_ConnectSession(user, "pw", "H1"));
    frmQuerna* console = OpenMainWithConsoles(1);
    QVERIFY(console);
    Ctl<QComboBox>(console, "cmbSessionData")->setCurrentIndex(selected);
    const QString label = Ctl<QComboBox>(console, "cmbSessionData")->currentText();

    dialogs_->answerMsgBox(closedDb < 0 ? platform::vbNo : platform::vbYes);
    Ctl<QPushButton>(console, "cmdLogout")->click();
    QCOMPARE(dialogs_->prompts(), QStringList{"【" + label + "】\r\n\r\nをログアウトしますか？"});
    QCOMPARE(dialogs_->msgBoxes()[0].style, platform::vbYesNo | platform::vbQuestion);
    QCOMPARE(Labels(), left);
    for (int i = 0; i < 3; ++i) QCOMPARE(driver_->databases()[i]->closed, i == closedDb);
    QStringList items;
    for (const QString& l : left) items << QStringLiteral("Session%1:").arg(items.size() + 1) + l;
    QCOMPARE(Items(Ctl<QComboBox>(console, "cmbSessionData")), items);
    QCOMPARE(Ctl<QComboBox>(console, "cmbSessionData")->currentIndex(), closedDb < 0 ? 0 : 1);
    Flush();
    QCOMPARE(Consoles().size(), 1);
  }

  void logoutOfTheLastSessionClosesEveryConsole() {
    QVERIFY(mFn_ConnectSession("A", "pw", "H1"));
    frmQuerna* console = OpenMainWithConsoles(2);
    QVERIFY(console);
    QCOMPARE(Consoles().size(), 2);
    dialogs_->answerMsgBox(platform::vbYes);
    Ctl<QPushButton>(console, "cmdLogout")->click();
    Flush();
    QCOMPARE(Consoles().size(), 0);
    QCOMPARE(gSessionData.size(), std::size_t(1));
    QVERIFY(mFn_NoSession());
    QCOMPARE(gSessionData[0].Host, QString());
    QVERIFY(driver_->databases()[0]->closed);
    QVERIFY(gfrmMain->isVisible());
  }

  void closingAllSessionsClosesTheirObjects() {
    FakeColumn one;
    one.name = "1";
    one.type = ora::ORATYPE_NUMBER;
    driver_->addResult("SELECT 1 FROM DUAL", {one}, {{1}});
    for (const char* user : {"A", "B"}) QVERIFY(mFn_ConnectSession(user, "pw", "H1"));
    gSessionData[1].OraDynaset =
        gSessionData[1].OraDatabase->CreateDynaset("SELECT 1 FROM DUAL", 0);
    const auto dyn = std::dynamic_pointer_cast<FakeDynaset>(gSessionData[1].OraDynaset);
    QVERIFY(dyn && !dyn->closed());
    QVERIFY(OpenMainWithConsoles(1));
    mSb_CloseAllSessions();
    Flush();
    QVERIFY(dyn->closed());
    QVERIFY(driver_->databases()[0]->closed);
    QVERIFY(driver_->databases()[1]->closed);
    QCOMPARE(gSessionData.size(), std::size_t(1));
    QVERIFY(!gSessionData[0].OraSession);
    QCOMPARE(Consoles().size(), 0);
  }

  void logoutMenuPressesTheActiveConsolesButton_data() {
    QTest::addColumn<bool>("consoleActive");
    QTest::addColumn<bool>("sessionOpen");
    QTest::addColumn<bool>("asked");
    QTest::newRow("console and session") << true << true << true;
    QTest::newRow("no console") << false << true << false;
    QTest::newRow("no session") << true << false << false;
  }
  void logoutMenuPressesTheActiveConsolesButton() {
    QFETCH(bool, consoleActive);
    QFETCH(bool, sessionOpen);
    QFETCH(bool, asked);
    QVERIFY(mFn_ConnectSession("A", "pw", "H1"));
    QVERIFY(OpenMainWithConsoles(consoleActive ? 1 : 0) || !consoleActive);
    if (!sessionOpen) mSb_CreateSessions();
    dialogs_->answerMsgBox(platform::vbNo);
    mSb_SessionLogoutCommand();
    // The question comes after the menu command has returned.
    QVERIFY(dialogs_->msgBoxes().isEmpty());
    Flush();
    QCOMPARE(dialogs_->prompts().size(), asked ? 1 : 0);
  }

  // A new session becomes the console's selected one; without any session the console opens
  // only after a logon. A cancelled logon changes nothing and says nothing.
  void logonMenu_data() {
    QTest::addColumn<int>("open");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("items");  // the console's session list; empty: no console
    QTest::newRow("logged on") << 2 << "C"
                               << QStringList{"Session1:A/H1", "Session2:B/H1", "Session3:C/H1"};
    QTest::newRow("cancelled") << 2 << "" << QStringList{"Session1:A/H1", "Session2:B/H1"};
    QTest::newRow("first logon") << 0 << "A" << QStringList{"Session1:A/H1"};
    QTest::newRow("first cancelled") << 0 << "" << QStringList();
  }
  void logonMenu() {
    QFETCH(int, open);
    QFETCH(QString, user);
    QFETCH(QStringList, items);
    for (const QString& u : QStringList{"A", "B"}.mid(0, open))
      QVERIFY(mFn_ConnectSession(u, "pw", "H1"));
    if (frmQuerna* console = OpenMainWithConsoles(open > 0 ? 1 : 0))
      Ctl<QComboBox>(console, "cmbSessionData")->setCurrentIndex(0);
    AnswerLogonDialog(user, "pw", "H1");
    mSb_SessionLogonCommand();
    Flush();
    QVERIFY(dialogs_->msgBoxes().isEmpty());
    QCOMPARE(Consoles().size(), items.isEmpty() ? 0 : 1);
    if (items.isEmpty()) {
      QVERIFY(mFn_NoSession());
      return;
    }
    auto* sessions = Ctl<QComboBox>(Consoles()[0], "cmbSessionData");
    QCOMPARE(Items(sessions), items);
    QCOMPARE(sessions->currentIndex(), items.size() - 1);
  }
};

QTEST_MAIN(TestLogout)
#include "tst_logout.moc"
