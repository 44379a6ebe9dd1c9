#include <QTest>

#include "common/FakeDriver.h"
#include "core/RunErr.h"
#include "session/SessionData.h"

namespace {

// The table from a pattern: L a live session of user u<i>, B a record whose logon failed.
std::vector<const ora::OraSession*> Fill(fake::FakeDriver& driver, const QString& pattern) {
  std::vector<SessionData> records;
  std::vector<const ora::OraSession*> live;
  for (int i = 0; i < pattern.size(); ++i) {
    mSb_CreateSessions();
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

QStringList Users() {
  QStringList out;
  for (const SessionData& rec : gSessionData) out << rec.User;
  return out;
}

}  // namespace

class TestSessionData : public QObject {
  Q_OBJECT
  fake::FakeDriver driver_;
 private slots:
  void init() { mSb_CreateSessions(); }

  // Packing and appending move only references: the same objects, in logon order, none closed.
  void packAndAppend_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("packed");
    QTest::addColumn<int>("appended");
    QTest::newRow("only blank") << "B" << QStringList{""} << 0;
    QTest::newRow("all blank") << "BBB" << QStringList{""} << 0;
    QTest::newRow("blank after live") << "LLB" << QStringList{"u0", "u1"} << 2;
    QTest::newRow("blanks between") << "LBLBBL" << QStringList{"u0", "u2", "u5"} << 3;
    QTest::newRow("blank first") << "BLL" << QStringList{"u1", "u2"} << 0;
  }
  void packAndAppend() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, packed);
    QFETCH(int, appended);
    const auto live = Fill(driver_, pattern);
    mSb_PackSessions();
    QCOMPARE(Users(), packed);
    for (std::size_t i = 0; i < live.size(); ++i)
      QCOMPARE(gSessionData[i].OraSession.get(), live[i]);
    QCOMPARE(mFn_NoSession(), live.empty());
    Fill(driver_, pattern);
    QCOMPARE(mSb_AppendSession(), appended);
    QVERIFY(!gSessionData[static_cast<std::size_t>(appended)].OraSession);
    for (const auto& log : driver_.databases()) QCOMPARE(log->dynasetCloses, 0);
  }

  // A reset clears both error states and the pending error, and closes and drops the result
  // set; a blank or missing record is left alone.
  void reset_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("withResult");
    QTest::newRow("live record") << 1 << false;
    QTest::newRow("with result set") << 1 << true;
    QTest::newRow("past the end") << 5 << false;
    QTest::newRow("negative") << -1 << false;
  }
  void reset() {
    QFETCH(int, index);
    QFETCH(bool, withResult);
    driver_.logOn(QStringLiteral("a"));
    const auto log = driver_.logOn(QStringLiteral("b"));
    fake::Answer rows;
    rows.rows = 1;
    driver_.addAnswer(QStringLiteral("q"), rows);
    if (withResult) gSessionData[1].OraDynaset = gSessionData[1].OraDatabase->CreateDynaset("q", 0);
    std::weak_ptr<ora::OraDynaset> dynaset = gSessionData[1].OraDynaset;
    ora::Raise(440, QStringLiteral("earlier failure"));
    const int resets = log->resets;
    mSb_ResetSession(index);
    QVERIFY(!ora::Err().pending());
    QCOMPARE(log->resets - resets, index == 1 ? 2 : 0);
    QCOMPARE(log->dynasetCloses, withResult ? 1 : 0);
    QVERIFY(dynaset.expired());
    QCOMPARE(gSessionData.size(), std::size_t(2));
  }
};

QTEST_MAIN(TestSessionData)
#include "tst_sessiondata.moc"
