#include <QTest>
#include <cstdlib>

#include "core/RunErr.h"
#include "session/SessionData.h"

namespace {

// Counts what the session table does to its objects.
struct Calls {
  int sessionResets = 0;
  int databaseResets = 0;
  int dynasetCloses = 0;
};

class CountingSession : public ora::OraSession {
 public:
  explicit CountingSession(Calls* calls) : calls_(calls) {}
  std::shared_ptr<ora::OraDatabase> OpenDatabase(const QString&, const QString&, int) override {
    return nullptr;
  }
  void BeginTrans() override {}
  void RollBack() override {}
  int LastServerErr() const override { return 0; }
  QString LastServerErrText() const override { return {}; }
  void LastServerErrReset() override { ++calls_->sessionResets; }

 private:
  Calls* calls_;
};

class CountingDatabase : public ora::OraDatabase {
 public:
  explicit CountingDatabase(Calls* calls) : calls_(calls) {}
  std::shared_ptr<ora::OraDynaset> CreateDynaset(const QString&, int) override { return nullptr; }
  ora::OraParameters& Parameters() override { std::abort(); }
  int LastServerErr() const override { return 0; }
  QString LastServerErrText() const override { return {}; }
  int LastServerErrPos() const override { return 0; }
  void LastServerErrReset() override { ++calls_->databaseResets; }
  void Close() override {}

 private:
  Calls* calls_;
};

class CountingDynaset : public ora::OraDynaset {
 public:
  explicit CountingDynaset(Calls* calls) : calls_(calls) {}
  bool IsEOF() const override { return true; }
  void MoveNext() override {}
  ora::OraFields& Fields() override { std::abort(); }
  void Close() override { ++calls_->dynasetCloses; }

 private:
  Calls* calls_;
};

SessionData Live(const QString& user, Calls* calls) {
  SessionData rec;
  rec.Host = QStringLiteral("DB1");
  rec.User = user;
  rec.Pass = QStringLiteral("pw");
  rec.OraSession = std::make_shared<CountingSession>(calls);
  rec.OraDatabase = std::make_shared<CountingDatabase>(calls);
  return rec;
}

// A record whose logon failed: texts typed, no session object.
SessionData Blank(const QString& user = QString()) {
  SessionData rec;
  rec.User = user;
  return rec;
}

QStringList Users() {
  QStringList out;
  for (const SessionData& rec : gSessionData) out << rec.User;
  return out;
}

}  // namespace

class TestSessionData : public QObject {
  Q_OBJECT
 private slots:
  void init() { mSb_CreateSessions(); }

  void createdTableIsOneBlankRecord() {
    gSessionData.push_back(Blank(QStringLiteral("x")));
    mSb_CreateSessions();
    QCOMPARE(gSessionData.size(), std::size_t(1));
    QVERIFY(gSessionData[0].User.isEmpty() && gSessionData[0].Host.isEmpty());
    QVERIFY(!gSessionData[0].OraSession && !gSessionData[0].OraDatabase);
    QVERIFY(mFn_NoSession());
    QCOMPARE(mFn_SessionUBound(), 0);
  }

  // Pattern: L = live record, B = blank one; expected is the users left, in order.
  void pack_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("only blank") << "B" << QStringList{""};
    QTest::newRow("all blank") << "BBB" << QStringList{""};
    QTest::newRow("blank after live") << "LLB" << QStringList{"u0", "u1"};
    QTest::newRow("blanks between") << "LBLBBL" << QStringList{"u0", "u2", "u5"};
    QTest::newRow("blank first") << "BLL" << QStringList{"u1", "u2"};
  }
  void pack() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, expected);
    Calls calls;
    gSessionData.clear();
    std::vector<const ora::OraSession*> liveSessions;
    for (int i = 0; i < pattern.size(); ++i) {
      const QString user = QStringLiteral("u%1").arg(i);
      gSessionData.push_back(pattern[i] == QLatin1Char('L') ? Live(user, &calls) : Blank(user));
      if (pattern[i] == QLatin1Char('L'))
        liveSessions.push_back(gSessionData.back().OraSession.get());
    }
    mSb_PackSessions();
    QCOMPARE(Users(), expected);
    // Only references move: the same objects, in logon order, none closed.
    QCOMPARE(gSessionData.size(), std::max<std::size_t>(1, liveSessions.size()));
    for (std::size_t i = 0; i < liveSessions.size(); ++i)
      QCOMPARE(gSessionData[i].OraSession.get(), liveSessions[i]);
    QCOMPARE(calls.dynasetCloses, 0);
    if (liveSessions.empty()) QVERIFY(!gSessionData[0].OraSession);
  }

  void packKeepsTheObjectsAlive() {
    Calls calls;
    gSessionData = {Live("a", &calls), Blank(), Live("b", &calls)};
    std::weak_ptr<ora::OraSession> watched = gSessionData[2].OraSession;
    mSb_PackSessions();
    QCOMPARE(watched.lock().use_count(), 2);  // the table and this test, no stray copies
  }

  void appendReusesRecordZeroWithoutSession() {
    gSessionData[0].Host = QStringLiteral("typed");
    QCOMPARE(mSb_AppendSession(), 0);
    QCOMPARE(gSessionData.size(), std::size_t(1));
  }

  void appendPacksThenGrows() {
    Calls calls;
    gSessionData = {Live("a", &calls), Blank("failed"), Live("b", &calls)};
    const int index = mSb_AppendSession();
    QCOMPARE(index, 2);
    QCOMPARE(Users(), (QStringList{"a", "b", ""}));
    QVERIFY(!gSessionData[2].OraSession);
  }

  void resetWithoutResultSet() {
    Calls calls;
    gSessionData = {Live("a", &calls)};
    ora::Raise(440, QStringLiteral("earlier failure"));
    mSb_ResetSession(0);
    QCOMPARE(calls.sessionResets, 1);
    QCOMPARE(calls.databaseResets, 1);
    QCOMPARE(calls.dynasetCloses, 0);
    QVERIFY(gSessionData[0].OraSession && gSessionData[0].OraDatabase);
    QVERIFY(!ora::Err().pending());
  }

  void resetClosesAndDropsTheResultSet() {
    Calls calls;
    gSessionData = {Live("a", &calls), Live("b", &calls)};
    gSessionData[1].OraDynaset = std::make_shared<CountingDynaset>(&calls);
    std::weak_ptr<ora::OraDynaset> dynaset = gSessionData[1].OraDynaset;
    mSb_ResetSession(1);
    QCOMPARE(calls.dynasetCloses, 1);
    QVERIFY(dynaset.expired());
    QVERIFY(gSessionData[1].OraSession && gSessionData[1].OraDatabase);
  }

  void resetOfABlankOrMissingRecordIsHarmless_data() {
    QTest::addColumn<int>("index");
    QTest::newRow("blank record") << 0;
    QTest::newRow("past the end") << 5;
    QTest::newRow("negative") << -1;
  }
  void resetOfABlankOrMissingRecordIsHarmless() {
    QFETCH(int, index);
    mSb_ResetSession(index);
    QCOMPARE(gSessionData.size(), std::size_t(1));
    QVERIFY(!ora::Err().pending());
  }
};

QTEST_GUILESS_MAIN(TestSessionData)
#include "tst_sessiondata.moc"
