// Input a user can type, leave behind or hand the program, taken calmly.
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/FirstPlacement.h"
#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "core/RunErr.h"
#include "grid/vaSpread.h"
#include "platform/Platform.h"
#include "session/Connect.h"
#include "session/SessionData.h"
#include "session/frmLogon.h"
#include "support/basLog.h"

namespace {

const QDateTime kT0(QDate(2024, 5, 1), QTime(10, 0, 0));

int ToPixels(double twips, double dpi) {
  return int(std::lround(twips * dpi / 1440.0));
}

QString Padded(const QString& head, const QString& filler, const QString& tail, int size) {
  QString sql = head;
  sql.reserve(size + head.size() + tail.size());
  while (sql.size() < size) sql += filler;
  return sql + tail;
}

}  // namespace

class TestBadInput : public QObject {
  Q_OBJECT

  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> dlg;
  frmQuerna* console = nullptr;

  SqlEditor* editor() { return Ctl<SqlEditor>(console, "txtSQL"); }
  vaSpread* grid() { return Ctl<vaSpread>(console, "vspData"); }

  void run(const QString& sql) {
    editor()->setPlainText(sql);
    QTest::mouseClick(Ctl<QPushButton>(console, "cmdSQL_Exec"), Qt::LeftButton);
  }

  void logOnAndOpenConsole() {
    QVERIFY(
        ConnectSession(QStringLiteral("SCOTT"), QStringLiteral("TIGER"), QStringLiteral("DEMO")));
    gfrmMain->show();
    gfrmMain->mnuWindowNewWindow_Click();
    console = gfrmMain->ActiveConsole();
    QVERIFY(console);
  }

  ora::OraDatabase& db() { return *gSessionData[0].OraDatabase; }

 private slots:
  void init() {
    env = std::make_unique<TestEnv>();
    dlg = std::make_unique<ScriptedDialogs>();
    platform::SetNow(kT0);
    CreateSessions();
    frmMain::SetLogonDialog([](QWidget*) {});
    gfrmMain = new frmMain;
  }

  void cleanup() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    frmMain::SetLogonDialog({});
    dlg.reset();
    env.reset();
  }

  void garbageSettings_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("placement");  // 0 first start, 1 default, 2 anywhere
    const auto values = [](const QByteArray& v) {
      QByteArray b = "[ZEPH]\nLogon\\User=SCOTT\n";
      for (const char* key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
        b += "Settings\\" + QByteArray(key) + "=" + v + "\n";
      return b;
    };
    QTest::newRow("not a number") << values("nan") << 1;
    QTest::newRow("overflowing exponent") << values("1e999") << 1;
    QTest::newRow("full-width digits") << values("１５００") << 1;
    QTest::newRow("huge negative number") << values("-1e30") << 2;
    QTest::newRow("beyond 32 bits") << values("4294967296000") << 2;
    QTest::newRow("binary bytes") << QByteArray("\0\xff\xfe\x01[Logon\0User=\x80\x81", 16) << 0;
    QTest::newRow("broken section lines")
        << QByteArray("[Settings\nMainLeft==\n[[Logon]]\nUser\n=SCOTT\n\\\n") << 0;
  }
  void garbageSettings() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, placement);
    QVERIFY(TestEnv::writeFile(env->settingsFile(), bytes));
    gfrmMain->Load();
    QVERIFY(gfrmMain->isVisible());
    const double dpiX = gfrmMain->screen()->logicalDotsPerInchX();
    const double dpiY = gfrmMain->screen()->logicalDotsPerInchY();
    if (placement == 0) QCOMPARE(gfrmMain->pos(), FirstStartPlacement(gfrmMain).topLeft());
    if (placement == 1) {
      QCOMPARE(gfrmMain->pos(), QPoint(ToPixels(1000, dpiX), ToPixels(1000, dpiY)));
      QCOMPARE(gfrmMain->size(), QSize(ToPixels(6500, dpiX), ToPixels(6500, dpiY)));
    }
    frmLogon form;
    for (int i = 0; i < form.cmbUser->count(); ++i)
      QVERIFY(!form.cmbUser->itemText(i).trimmed().isEmpty());
    form.cmdCancel->click();
    QVERIFY(dlg->msgBoxes().isEmpty());
    QCOMPARE(TestEnv::readFile(env->settingsFile()), bytes);
  }

  // Long statements and unusual characters reach the grid and the history whole; an emoji is two
  // UTF-16 units, yet the caret for an error after it lands where it would after plain text.
  void unusualStatements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("literal");  // the literal the statement shows, if any
    const int size = 100 * 1024;
    QTest::newRow("a long comment")
        << Padded(QStringLiteral("select ename from emp /* "), QStringLiteral("コメント "),
                  QStringLiteral("*/ where deptno = 10"), size)
        << 3 << QString();
    QTest::newRow("a long list of values")
        << Padded(QStringLiteral("select ename from emp where empno in (7369"),
                  QStringLiteral(", 1"), QStringLiteral(")"), size)
        << 1 << QString();
    for (const QString literal : {"\U0001F600", "\x01\t\x1b", "ｶﾀｶﾅ"})
      QTest::newRow(qPrintable(literal))
          << QStringLiteral("select '%1' as \"列%1\" from dual").arg(literal) << 1 << literal;
  }
  void unusualStatements() {
    QFETCH(QString, sql);
    QFETCH(int, rows);
    QFETCH(QString, literal);
    logOnAndOpenConsole();
    run(sql);
    QVERIFY2(dlg->msgBoxes().isEmpty(), qPrintable(dlg->prompts().join('\n')));
    QCOMPARE(grid()->MaxRows(), rows);
    QVERIFY(QString::fromUtf8(TestEnv::readFile(SqlLogFilePath(kT0.date()))).contains(sql));
    if (!literal.isEmpty())
      QCOMPARE(grid()->CellText(1, 0) + grid()->CellText(1, 1), "列" + literal + literal);
    const QString plain = literal.isEmpty() ? sql : QString(sql).replace(literal, "x");
    run(plain + " where where");
    const int plainCaret = editor()->textCursor().position();
    QVERIFY(plainCaret >= plain.size() - 1);
    dlg->clear();
    run(sql + " where where");
    QCOMPARE(dlg->msgBoxes().size(), 1);
    QCOMPARE(editor()->textCursor().position(), plainCaret + int(sql.size() - plain.size()));
  }

  void unusableBindVariables_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("serverType");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("fails");
    QTest::newRow("number type holding letters")
        << "N" << QVariant(QStringLiteral("abc")) << int(ora::ORATYPE_NUMBER)
        << "select ename from emp where empno = :N" << true;
    QTest::newRow("type code the component does not know")
        << "X" << QVariant(QStringLiteral("1")) << 9999 << "select :X from dual" << false;
    QTest::newRow("invalid date value")
        << "D" << QVariant(QDateTime()) << int(ora::ORATYPE_DATE) << "select :D from dual" << true;
  }
  void unusableBindVariables() {
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    QFETCH(int, serverType);
    QFETCH(QString, sql);
    QFETCH(bool, fails);
    logOnAndOpenConsole();
    ora::ErrClear();
    db().Parameters().Add(name, value, ora::ORAPARM_INPUT);
    db().Parameters().Item(name)->SetServerType(serverType);
    run(sql);
    if (fails) {
      QCOMPARE(dlg->msgBoxes().size(), 1);
      QVERIFY(dlg->prompts().first().startsWith(QStringLiteral("ORA-")));
    } else {
      QVERIFY2(dlg->msgBoxes().isEmpty(), qPrintable(dlg->prompts().join('\n')));
      QCOMPARE(grid()->MaxRows(), 1);
    }
    QCOMPARE(db().Parameters().Item(0)->Name(), name);
    dlg->clear();
    run(QStringLiteral("select * from dept"));
    QVERIFY(dlg->msgBoxes().isEmpty());
    QCOMPARE(grid()->MaxRows(), 4);
  }

  // A file that is not a SQLite database is an unknown connect identifier, and only read.
  void notADatabaseFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("plain text file") << QByteArray("select * from emp;\r\n");
    QTest::newRow("SQLite header on garbage")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xA5');
    QTest::newRow("a folder named like a database") << QByteArray();
  }
  void notADatabaseFile() {
    QFETCH(QByteArray, bytes);
    logOnAndOpenConsole();
    const QString dbs = env->folder() + QStringLiteral("/dbs");
    const QString path = dbs + QStringLiteral("/other.db");
    QVERIFY(bytes.isEmpty() ? QDir().mkpath(path)
                            : QDir().mkpath(dbs) && TestEnv::writeFile(path, bytes));

    QVERIFY(!ConnectSession(QStringLiteral("SCOTT"), QStringLiteral("TIGER"), path));
    QCOMPARE(dlg->prompts().value(0),
             QString("ORA-12154: TNS:could not resolve the connect identifier specified"));
    QCOMPARE(dlg->msgBoxes().value(0).style, int(platform::vbCritical));
    mSb_PackSessions();
    QCOMPARE(LastSessionIndex(), 0);
    QCOMPARE(gSessionData[0].Host, QStringLiteral("DEMO"));
    QCOMPARE(QDir(dbs).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"other.db"});
    QCOMPARE(TestEnv::readFile(path), bytes);
  }
};

QTEST_MAIN(TestBadInput)
#include "tst_badinput.moc"
