// Files a user can hand the program that it cannot use as intended: odd or unusable script files
// dropped on the console or imported, a program folder that cannot be written, and database files
// that are not SQLite. Each case checks what the user is told and that no file was changed.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include "app/basFileCommands.h"
#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/DropFiles.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "core/RunErr.h"
#include "files/basImpExp.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "platform/Platform.h"
#include "session/Connect.h"
#include "session/SessionData.h"
#include "support/basLog.h"

namespace {

const QString kHeaderFormat = QStringLiteral("/*   (%1)   */\r\n");
const QString kDropFailed = QStringLiteral("ファイルの読み込みに失敗しました");
const QString kCannotOpen = QStringLiteral("ファイルが開けません");
const QString kNoTns =
    QStringLiteral("ORA-12154: TNS:could not resolve the connect identifier specified");

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every file below a folder with its bytes, so a test can show that nothing was touched.
QMap<QString, QByteArray> Snapshot(const QString& folder) {
  QMap<QString, QByteArray> files;
  QDir dir(folder);
  for (const QFileInfo& info :
       dir.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
    if (info.isDir()) {
      const QMap<QString, QByteArray> inner = Snapshot(info.filePath());
      for (auto it = inner.begin(); it != inner.end(); ++it) files.insert(it.key(), it.value());
      files.insert(info.filePath() + QLatin1Char('/'), QByteArray());
    } else {
      files.insert(info.filePath(), TestEnv::readFile(info.filePath()));
    }
  }
  return files;
}

bool DropOnto(SqlEditor* editor, const QString& path) {
  return DropOnto(editor->viewport(), {QUrl::fromLocalFile(path)});
}

// A script of about the given size: numbered lines of a statement.
QByteArray BigScript(int bytes) {
  QByteArray out;
  out.reserve(bytes + 64);
  out += "select ename\r\n  from emp\r\n where empno in (";
  for (int i = 0; out.size() < bytes; ++i) out += QByteArray::number(i) + ",\r\n";
  out += "-1)\r\n";
  return out;
}

}  // namespace

class TestBadFiles : public QObject {
  Q_OBJECT

  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> dlg;
  frmQuerna* console = nullptr;

  void run(const QString& sql) {
    Ctl<SqlEditor>(console, "txtSQL")->setPlainText(sql);
    QTest::mouseClick(Ctl<QPushButton>(console, "cmdSQL_Exec"), Qt::LeftButton);
  }

 private slots:
  void initTestCase() {
    env = std::make_unique<TestEnv>();
    gfrmMain = new frmMain;
    gfrmMain->show();
  }

  void cleanupTestCase() {
    mSb_CloseAllSessions();
    delete gfrmMain;
    env.reset();
  }

  void init() {
    dlg = std::make_unique<ScriptedDialogs>();
    platform::SetProgramFolder(env->programFolder());
    mSb_CreateSessions();
    QVERIFY(mFn_ConnectSession(QStringLiteral("SCOTT"), QStringLiteral("TIGER"),
                               QStringLiteral("DEMO")));
    gfrmMain->mnuWindowNewWindow_Click();
    console = gfrmMain->mFn_ActiveConsole();
    QVERIFY(console);
  }

  void cleanup() {
    mSb_CloseAllSessions();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dlg.reset();
  }

  // Scripts that open but are not tidy text still arrive whole in the editor, with no message,
  // and reading them leaves the file as it was.
  void oddScriptsArriveWhole_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("binary bytes with NULs do not cut the text short")
        << QByteArray("select 1\0\x01\x02 from dual\x7f\r\n", 25) << QStringLiteral("from dual");
    QTest::newRow("emoji stay one character each (surrogate pairs)")
        << QByteArray("select '\xF0\x9F\x98\x80\xF0\x9F\x8D\xA3' from dual")
        << QStringLiteral("select '\U0001F600\U0001F363' from dual");
    QTest::newRow("encoded lone surrogate falls back to the Japanese code page")
        << QByteArray("select '\xED\xA0\x80' from dual") << QStringLiteral("from dual");
    QTest::newRow("truncated multi-byte sequence at the end")
        << QByteArray("select 1 from dual -- \xE3\x81") << QStringLiteral("select 1 from dual");
    QTest::newRow("only a byte order mark") << QByteArray("\xEF\xBB\xBF") << QString();
    QTest::newRow("only blanks and line breaks") << QByteArray("   \r\n\t\r\n   ") << QString();
    QTest::newRow("two megabytes arrive to the last line")
        << BigScript(2 * 1024 * 1024) << QStringLiteral("-1)\r\n");
  }
  void oddScriptsArriveWhole() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fragment);
    const QString path = env->folder() + QStringLiteral("/odd.sql");
    QVERIFY(WriteFile(path, bytes));
    const auto before = Snapshot(env->folder());

    const QString read = mFn_ReadSqlFile(path);
    QVERIFY(read.startsWith(kHeaderFormat.arg(path)));
    QVERIFY(read.contains(fragment));
    QVERIFY(DropOnto(Ctl<SqlEditor>(console, "txtSQL"), path));
    // The editor keeps line breaks as LF; the text is otherwise the reader's.
    QCOMPARE(Ctl<SqlEditor>(console, "txtSQL")->toPlainText(),
             QString(read).replace(QStringLiteral("\r\n"), "\n"));
    QVERIFY(dlg->msgBoxes().isEmpty());
    QCOMPARE(Snapshot(env->folder()), before);
  }

  // A script that cannot be read is reported in turn by the reader and by the drop; the console
  // stays cleared, nothing is created beside the path, and the statement before runs again.
  void unusableScriptsAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder dropped instead of a file")
        << QStringLiteral("folder") << QStringLiteral("パス名が無効です。");
    QTest::newRow("a path whose folder is a regular file")
        << QStringLiteral("plain/inner.sql") << QStringLiteral("パスが見つかりません。");
    QTest::newRow("a file that vanished before the drop")
        << QStringLiteral("gone.sql") << QStringLiteral("ファイルが見つかりません。");
    QTest::newRow("an empty name") << QString() << QStringLiteral("ファイルが見つかりません。");
  }
  void unusableScriptsAreRefused() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QDir(env->folder()).mkpath(QStringLiteral("folder"));
    QVERIFY(WriteFile(env->folder() + QStringLiteral("/plain"), "not a folder"));
    const QString path = name.isEmpty() ? QString() : env->folder() + QLatin1Char('/') + name;
    run(QStringLiteral("select * from dept"));
    QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxRows(), 4);
    const auto before = Snapshot(env->folder());
    dlg->clear();

    if (path.isEmpty()) {
      QCOMPARE(mFn_ReadSqlFile(path), QString());
      QCOMPARE(dlg->prompts(), (QStringList{reason, kCannotOpen}));
    } else {
      QVERIFY(DropOnto(Ctl<SqlEditor>(console, "txtSQL"), path));
      QCOMPARE(dlg->prompts(), (QStringList{reason, kCannotOpen, kDropFailed}));
      QCOMPARE(dlg->msgBoxes().last().style, platform::vbOKOnly | platform::vbCritical);
      QVERIFY(Ctl<SqlEditor>(console, "txtSQL")->toPlainText().isEmpty());
      QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxRows(), 0);
    }
    QCOMPARE(Snapshot(env->folder()), before);
    dlg->clear();
    run(QStringLiteral("select * from dept"));
    QVERIFY(dlg->msgBoxes().isEmpty());
    QCOMPARE(Ctl<vaSpread>(console, "vspData")->MaxRows(), 4);
  }

  // A host that names a file which is not a SQLite database is an unknown connect identifier;
  // the file is only read, and no journal or other file appears beside it.
  void notADatabaseFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("folder");
    QTest::newRow("plain text file") << QByteArray("select * from emp;\r\n") << false;
    QTest::newRow("random binary") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << false;
    QTest::newRow("SQLite header on garbage")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xA5') << false;
    QTest::newRow("a folder named like a database") << QByteArray() << true;
  }
  void notADatabaseFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, folder);
    const QString dbs = env->folder() + QStringLiteral("/dbs");
    QVERIFY(QDir().mkpath(dbs));
    const QString path = dbs + QStringLiteral("/other.db");
    if (folder)
      QVERIFY(QDir().mkpath(path));
    else
      QVERIFY(WriteFile(path, bytes));
    const auto before = Snapshot(dbs);

    ora::ErrClear();
    const auto session = ora::CreateOraSession(path);
    QVERIFY(session);
    QVERIFY(!session->OpenDatabase(path, QStringLiteral("SCOTT/TIGER"), 0));
    QCOMPARE(session->LastServerErr(), 12154);
    QCOMPARE(session->LastServerErrText(), kNoTns);

    dlg->clear();
    QVERIFY(!mFn_ConnectSession(QStringLiteral("SCOTT"), QStringLiteral("TIGER"), path));
    QCOMPARE(dlg->prompts().value(0), kNoTns);
    QCOMPARE(dlg->msgBoxes().value(0).style, int(platform::vbCritical));
    // The session that was open before is still the only one.
    mSb_PackSessions();
    QCOMPARE(mFn_SessionUBound(), 0);
    QCOMPARE(gSessionData[0].Host, QStringLiteral("DEMO"));
    QCOMPARE(Snapshot(dbs), before);
    if (folder)
      QDir(path).removeRecursively();
    else
      QFile::remove(path);
  }
};

QTEST_MAIN(TestBadFiles)
#include "tst_badfiles.moc"
