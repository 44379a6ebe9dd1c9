#include <QDir>
#include <QFile>
#include <QTest>

#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "files/basImpExp.h"

class TestImpExp : public QObject {
  Q_OBJECT
 private slots:
  // The same inputs split into their items and cut to their parent path.
  void splitTextAndParentPath_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("parent");
    const QString sep("/");
    QTest::newRow("two folders deep")
        << "/home/u/a.sql" << sep << QStringList{"", "home", "u", "a.sql"} << "/home/u";
    QTest::newRow("no separator") << "a.sql" << sep << QStringList{"a.sql"} << "";
    QTest::newRow("trailing separator") << "a/b/" << sep << QStringList{"a", "b", ""} << "a/b";
    QTest::newRow("empty text") << "" << sep << QStringList{""} << "";
    QTest::newRow("empty pieces kept") << ",a,,b"
                                       << "," << QStringList{"", "a", "", "b"} << ",a,";
    QTest::newRow("longer separator") << "a<>b<>"
                                      << "<>" << QStringList{"a", "b", ""} << "a<>b";
    QTest::newRow("backslash") << "C:\\x\\a.sql"
                               << "\\" << QStringList{"C:", "x", "a.sql"} << "C:\\x";
    QTest::newRow("empty separator") << "a,b" << QString() << QStringList{"a,b"} << "";
  }
  void splitTextAndParentPath() {
    QFETCH(QString, text);
    QFETCH(QString, separator);
    QFETCH(QStringList, items);
    QFETCH(QString, parent);
    QStringList out{"left", "over", "from", "before"};
    QCOMPARE(mFn_SplitText(text, separator, out), int(items.size()) - 1);
    QCOMPARE(out, items);
    QCOMPARE(mFn_GetParentPath(text, separator), parent);
  }

  void readSqlFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("body");
    QTest::newRow("leading spaces of the first line go")
        << QByteArray("   select *\r\n  from emp") << "select *\r\n  from emp\r\n";
    QTest::newRow("trailing spaces stay before the last break")
        << QByteArray("select 1  \r\n") << "select 1  \r\n";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("blank lines first") << QByteArray("\r\n\r\n  a") << "\r\n\r\n  a\r\n";
    QTest::newRow("unix line ends") << QByteArray("a\nb\n") << "a\r\nb\r\n";
    QTest::newRow("mac line ends") << QByteArray("a\rb") << "a\r\nb\r\n";
    QTest::newRow("utf-8 with bom")
        << QByteArray("\xEF\xBB\xBF  select '日本'\r\n") << "select '日本'\r\n";
    // テスト, half-width ｱ and the circled one of the Windows code page.
    QTest::newRow("shift_jis") << QByteArray("select '\x83\x65\x83\x58\x83\x67\xB1\x87\x40'\r\n")
                               << "select 'テストｱ①'\r\n";
    // Two half-width katakana that are also valid UTF-8 (U+00F0): no three-byte sequence.
    QTest::newRow("shift_jis katakana that is valid utf-8")
        << QByteArray("-- \xC3\xB0") << "-- ﾃｰ\r\n";
    QTest::newRow("utf-16 with bom") << QByteArray("\xFF\xFEs\0e\0l\0", 8) << "sel\r\n";
    QTest::newRow("NULs do not cut the text short")
        << QByteArray("select 1\0\x01 from dual\r\n", 22)
        << QString::fromLatin1("select 1\0\x01 from dual\r\n", 22);
    QByteArray big = "select 1 from dual where 1 in (0";
    while (big.size() < 2 << 20) big += ",\r\n1";
    big += ")\r\n";
    QTest::newRow("two megabytes arrive to the last line") << big << QString::fromLatin1(big);
  }
  void readSqlFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, body);
    TestEnv env;
    ScriptedDialogs dialogs;
    const QString path = env.folder() + "/script.sql";
    QVERIFY(TestEnv::writeFile(path, bytes));
    QCOMPARE(mFn_ReadSqlFile(path), "/*   (" + path + ")   */\r\n" + body);
    QCOMPARE(dialogs.msgBoxes().size(), 0);
    // The file is closed again: its number is free for the next open.
    const int fileNo = mFn_OpenTextFile(path, true, false);
    QCOMPARE(fileNo, 1);
    CloseTextFile(fileNo);
  }

  void unreadableScript_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder") << "folder" << QString("パス名が無効です。");
    QTest::newRow("a folder that is a file") << "plain/in.sql" << QString("パスが見つかりません。");
    QTest::newRow("a missing file") << "gone.sql" << QString("ファイルが見つかりません。");
    QTest::newRow("an empty name") << QString() << QString("ファイルが見つかりません。");
  }
  void unreadableScript() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    TestEnv env;
    ScriptedDialogs dialogs;
    QDir(env.folder()).mkdir("folder");
    QVERIFY(TestEnv::writeFile(env.folder() + "/plain", "x"));
    const QStringList before = QDir(env.folder()).entryList(QDir::AllEntries | QDir::Hidden);
    QCOMPARE(mFn_ReadSqlFile(name.isEmpty() ? name : env.folder() + "/" + name), QString());
    QCOMPARE(dialogs.prompts(), (QStringList{reason, "ファイルが開けません"}));
    QCOMPARE(QDir(env.folder()).entryList(QDir::AllEntries | QDir::Hidden), before);
  }

  void readErrorPartWay() {
    // Reading this file fails at its first byte although it opens.
    const QString path = "/proc/self/mem";
    if (!QFile(path).open(QIODevice::ReadOnly)) QSKIP("no process memory file to fail a read with");
    ScriptedDialogs dialogs;
    QCOMPARE(mFn_ReadSqlFile(path), QString());
    QCOMPARE(dialogs.prompts(), QStringList{"デバイス I/O エラーです。"});
  }

  void openForWriting() {
    TestEnv env;
    ScriptedDialogs dialogs;
    const QString path = env.folder() + "/outer/inner/out.sql";
    for (const char* text : {"select 1\r\n", "new"}) {
      const int fileNo = mFn_OpenTextFile(path, false, true);
      QVERIFY(fileNo != 0);
      TextFileByNumber(fileNo)->write(text);
      CloseTextFile(fileNo);
      QVERIFY(!TextFileByNumber(fileNo));
      QCOMPARE(TestEnv::readFile(path), QByteArray(text));
    }
    QCOMPARE(dialogs.msgBoxes().size(), 0);
    QCOMPARE(mFn_OpenTextFile(path + "/sub/out.sql", false, true), 0);
    QCOMPARE(dialogs.prompts(), QStringList{"パス名が無効です。"});
  }
};

QTEST_GUILESS_MAIN(TestImpExp)
#include "tst_impexp.moc"
