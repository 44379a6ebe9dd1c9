#include <sys/resource.h>

#include <QDir>
#include <QTest>
#include <csignal>

#include "common/TestEnv.h"
#include "platform/Platform.h"
#include "support/SqlHistory.h"
#include "support/basLog.h"

namespace {

const QDateTime kApril6(QDate(2001, 4, 6), QTime(9, 5, 7));

QByteArray Block(const QByteArray& stamp, const QByteArray& sql) {
  return "\r\n/* <--------- START SQL(" + stamp + ") ---------> */\r\n" + sql +
         "\r\n/* <---------- END SQL (" + stamp + ") ---------> */\r\n";
}

QStringList FilesIn(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

}  // namespace

class TestLog : public QObject {
  Q_OBJECT
 private slots:
  void applicationLog_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isError");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("log") << "a" << false << QByteArray("2001/04/06 9:05:07-->LOG:a\r\n");
    QTest::newRow("error") << "a" << true << QByteArray("2001/04/06 9:05:07-->Err:a\r\n");
    QTest::newRow("blanks around kept")
        << " a " << false << QByteArray("2001/04/06 9:05:07-->LOG: a \r\n");
    QTest::newRow("line breaks as given")
        << "x\r\ny" << true << QByteArray("2001/04/06 9:05:07-->Err:x\r\ny\r\n");
    QTest::newRow("japanese") << "型 ﾃｽﾄ" << false
                              << QByteArray("2001/04/06 9:05:07-->LOG:") + "型 ﾃｽﾄ\r\n";
    QTest::newRow("three blanks") << "   " << false << QByteArray();
  }
  void applicationLog() {
    QFETCH(QString, text);
    QFETCH(bool, isError);
    QFETCH(QByteArray, expected);
    TestEnv env;
    const QString path = env.programFolder() + "/Querna.log";
    QVERIFY(TestEnv::writeFile(path, "earlier\r\n"));
    platform::SetNow(kApril6);
    mSb_WriteLog(text, isError);
    QCOMPARE(TestEnv::readFile(path), "earlier\r\n" + expected);
  }

  void fullDiskKeepsTheFileAsItWas_data() {
    QTest::addColumn<bool>("history");
    QTest::newRow("application log") << false;
    QTest::newRow("SQL history") << true;
  }
  void fullDiskKeepsTheFileAsItWas() {
    QFETCH(bool, history);
    TestEnv env;
    platform::SetNow(kApril6);
    const QString path = env.programFolder() + (history ? "/SQL20010406.log" : "/Querna.log");
    QVERIFY(TestEnv::writeFile(path, "earlier\r\n"));
    auto write = [history](const QString& text) {
      history ? mSb_WriteSQLLog(text) : mSb_WriteLog(text, false);
    };
    // A full disk: past this size a write fails with EFBIG instead of stopping the process.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = old;
    full.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &full);
    write(QString(6000, QLatin1Char('x')));
    setrlimit(RLIMIT_FSIZE, &old);
    QCOMPARE(TestEnv::readFile(path), QByteArray("earlier\r\n"));
    write("a");
    QCOMPARE(TestEnv::readFile(path),
             "earlier\r\n" + (history ? Block("2001/04/06 9:05:07", "a")
                                      : QByteArray("2001/04/06 9:05:07-->LOG:a\r\n")));
  }

  void sqlHistory() {
    TestEnv env;
    const QString folder = env.programFolder();
    mSb_WriteSQLLog("");
    QVERIFY(FilesIn(folder).isEmpty());
    const QByteArray day4 = Block("2001/04/04 23:59:59", "select 1\nfrom dual");
    const QByteArray day5 = Block("2001/04/05 9:05:07", "select 'a'\r\nfrom emp") +
                            Block("2001/04/05 9:05:07", "second") +
                            "\r\n/* <--------- START SQL(2001/04/05 9:06:00) ---------> */\r\nlost";
    const std::pair<QString, QByteArray> files[] = {
        {"/SQL20010404.log", day4}, {"/SQL20010405.log", day5}, {"/Querna.log", Block("x", "no")}};
    for (const auto& [name, bytes] : files) QVERIFY(TestEnv::writeFile(folder + name, bytes));
    platform::SetNow(kApril6);
    mSb_WriteSQLLog("select 1 from dual");
    mSb_WriteSQLLog("  select *\r\n  from emp  ");
    mSb_WriteSQLLog("   ");
    mSb_WriteSQLLog("select *\nfrom dept\r\nwhere 1 = 1");
    platform::SetNow(QDateTime(QDate(2001, 4, 7), QTime(0, 0, 0)));
    mSb_WriteSQLLog("b");
    QCOMPARE(FilesIn(folder).filter("SQL2001040").size(), 4);
    QCOMPARE(TestEnv::readFile(folder + "/SQL20010406.log"),
             Block("2001/04/06 9:05:07", "select 1 from dual") +
                 Block("2001/04/06 9:05:07", "  select *\r\n  from emp  ") +
                 Block("2001/04/06 9:05:07", "select *\r\nfrom dept\r\nwhere 1 = 1"));
    QCOMPARE(TestEnv::readFile(folder + "/SQL20010407.log"), Block("2001/04/07 0:00:00", "b"));
    QStringList got;
    for (const SqlHistoryEntry& e : ReadSqlHistory(folder))
      got << platform::DateTimeText(e.start) + "|" + e.sql;
    QCOMPARE(got, (QStringList{"2001/04/07 0:00:00|b",
                               "2001/04/06 9:05:07|select *\nfrom dept\nwhere 1 = 1",
                               "2001/04/06 9:05:07|  select *\n  from emp  ",
                               "2001/04/06 9:05:07|select 1 from dual", "2001/04/05 9:05:07|second",
                               "2001/04/05 9:05:07|select 'a'\nfrom emp",
                               "2001/04/04 23:59:59|select 1\nfrom dual"}));
    QCOMPARE(TestEnv::readFile(folder + "/SQL20010405.log"), day5);
  }

  void unwritableFolderFailsSilently() {
    TestEnv env;
    QVERIFY(TestEnv::writeFile(env.folder() + "/plain", ""));
    platform::SetProgramFolder(env.folder() + "/plain/program");
    platform::SetNow(kApril6);
    mSb_WriteLog("lost", true);
    mSb_WriteSQLLog("select 1 from dual");
    QCOMPARE(FilesIn(env.folder()), QStringList{"plain"});
    QCOMPARE(TestEnv::readFile(env.folder() + "/plain"), QByteArray());
  }
};

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
