// The local engine through the component interface: logon outcomes, result columns and values.
#include <QTest>

#include "common/TestEnv.h"
#include "oracle/RunErr.h"
#include "oracle/local/LocalFixture.h"

using namespace ora;

class TestLocalEngine : public QObject {
  Q_OBJECT
 private slots:
  void logonOutcomes_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    const QString ok;
    const QString denied = "ORA-01017: invalid username/password; logon denied";
    const QString tns = "ORA-12154: TNS:could not resolve the connect identifier specified";
    QTest::newRow("scott") << "DEMO" << "SCOTT/TIGER" << 0 << ok;
    QTest::newRow("system") << "DEMO" << "SYSTEM/MANAGER" << 0 << ok;
    QTest::newRow("lower case user and host") << "demo" << "scott/tiger" << 0 << ok;
    QTest::newRow("wrong password") << "DEMO" << "SCOTT/LION" << 1017 << denied;
    QTest::newRow("unknown user") << "DEMO" << "NOBODY/TIGER" << 1017 << denied;
    QTest::newRow("missing file") << "/nonexistent/x.db" << "a/b" << 12154 << tns;
    QTest::newRow("not a database") << "NOTDB" << "a/b" << 12154 << tns;
    QTest::newRow("plain file any user") << "PLAIN" << "whoever/whatever" << 0 << ok;
    QTest::newRow("file with accounts") << "ACCOUNTS" << "ANN/SECRET" << 0 << ok;
    QTest::newRow("file with accounts, wrong") << "ACCOUNTS" << "BOB/SECRET" << 1017 << denied;
  }
  void logonOutcomes() {
    TestEnv env;
    QFETCH(QString, host);
    QFETCH(QString, connect);
    QFETCH(int, error);
    QFETCH(QString, text);
    if (host == "NOTDB") {
      host = env.folder() + "/junk.db";
      QFile f(host);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(4096, 'x'));
    } else if (host == "PLAIN") {
      host = env.folder() + "/plain.db";
      QVERIFY(MakeSqliteFile(host, "CREATE TABLE T (A INTEGER); INSERT INTO T VALUES (1);"));
    } else if (host == "ACCOUNTS") {
      host = env.folder() + "/acc.sqlite";
      QVERIFY(MakeSqliteFile(host,
                             "CREATE TABLE QUERNA_ACCOUNTS (USERNAME, PASSWORD, IS_DBA);"
                             "INSERT INTO QUERNA_ACCOUNTS VALUES ('ANN', 'SECRET', 0);"));
    }
    ErrClear();
    Logon l = LogOn(host, connect);
    QVERIFY(l.session);
    QCOMPARE(l.session->LastServerErr(), error);
    QCOMPARE(l.session->LastServerErrText(), text);
    QCOMPARE(bool(l.db), error == 0);
  }

  void demoIsCreatedInTheDataFolder() {
    TestEnv env;
    const QString path = env.folder() + "/data/DEMO.db";
    QVERIFY(!QFile::exists(path));
    Logon l = LogOn("DEMO", "SCOTT/TIGER");
    QVERIFY(l.db);
    QVERIFY(QFile::exists(path));
  }
};

QTEST_GUILESS_MAIN(TestLocalEngine)
#include "tst_localengine.moc"
