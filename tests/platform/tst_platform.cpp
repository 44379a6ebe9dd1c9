#include <QFile>
#include <QTest>

#include "common/TestEnv.h"
#include "platform/Platform.h"

class TestPlatform : public QObject {
  Q_OBJECT
 private slots:
  // A store left readable by everyone (by an older build, say) is made private at the next save.
  void settingsRoundTripAndOwnerOnly() {
    TestEnv env;
    QCOMPARE(platform::GetSetting("ZEPH", "Settings", "MainLeft", "1000"), QString("1000"));
    QFile f(env.settingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QFile::setPermissions(env.settingsFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadOther);
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
    QCOMPARE(platform::GetSetting("ZEPH", "Logon", "StartUser"), QString("B"));
    QVERIFY(TestEnv::readFile(env.settingsFile()).contains("StartUser=B"));
  }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
