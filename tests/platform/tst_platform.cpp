#include <QFile>
#include <QTest>

#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "platform/Platform.h"

class TestPlatform : public QObject {
  Q_OBJECT
 private slots:
  void settingsRoundTripAndOwnerOnly() {
    TestEnv env;
    QCOMPARE(platform::GetSetting("ZEPH", "Settings", "MainLeft", "1000"), QString("1000"));
    platform::SaveSetting("ZEPH", "Logon", "User", "SCOTT,");
    platform::SaveSetting("ZEPH", "Settings", "MainLeft", "1234");
    QCOMPARE(platform::GetSetting("ZEPH", "Logon", "User"), QString("SCOTT,"));
    QCOMPARE(QFile::permissions(env.settingsFile()),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    platform::DeleteSetting("ZEPH", "Logon");
    QCOMPARE(platform::GetSetting("ZEPH", "Logon", "User", "none"), QString("none"));
    QCOMPARE(platform::GetSetting("ZEPH", "Settings", "MainLeft"), QString("1234"));
  }

  // A batch holds the writes (reads see them) and saves the file once, when it ends.
  void settingsBatchSavesOnce() {
    TestEnv env;
    platform::SaveSetting("ZEPH", "Logon", "User", "A");
    const QByteArray before = TestEnv::readFile(env.settingsFile());
    {
      platform::SettingsBatch batch;
      platform::SaveSetting("ZEPH", "Logon", "User", "A,B");
      platform::SaveSetting("ZEPH", "Logon", "StartUser", "B");
      QCOMPARE(platform::GetSetting("ZEPH", "Logon", "User"), QString("A,B"));
      QCOMPARE(TestEnv::readFile(env.settingsFile()), before);
    }
    QCOMPARE(platform::GetSetting("ZEPH", "Logon", "User"), QString("A,B"));
    QCOMPARE(platform::GetSetting("ZEPH", "Logon", "StartUser"), QString("B"));
    QVERIFY(TestEnv::readFile(env.settingsFile()).contains("StartUser=B"));
  }

  void messageBoxCaptionDefaultsToTitle() {
    ScriptedDialogs dlg;
    dlg.answerMsgBox(platform::vbNo);
    QCOMPARE(platform::MsgBox("q?", platform::vbYesNo | platform::vbQuestion), int(platform::vbNo));
    QCOMPARE(dlg.msgBoxes().size(), 1);
    QCOMPARE(dlg.msgBoxes()[0].title, QString("Querna"));
    QCOMPARE(dlg.msgBoxes()[0].style, platform::vbYesNo | platform::vbQuestion);
  }

  void inputBoxCancelGivesEmptyText() {
    ScriptedDialogs dlg;
    dlg.cancelInputBox();
    bool cancelled = false;
    QCOMPARE(platform::InputBox("name", "", "x", &cancelled), QString());
    QVERIFY(cancelled);
  }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
