#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "platform/HelpWindow.h"
#include "platform/Platform.h"

using platform::HelpCommand;
using platform::HelpWindow;

namespace {

QString ShippedHelp() {
  return qEnvironmentVariable("QUERNA_SOURCE_DIR") + QStringLiteral("/resources/Querna.hlp");
}

const char* kSmallHelp = R"(<html><head><style>h2 { color: red; }</style></head><body>
<h1>Title</h1><p>before any topic</p>
<h2 id="one" data-keywords="Alpha,ベータ、ガンマ">First &amp; best</h2><p>apple text</p>
<h2 data-keywords="" id="two">Second</h2><p>banana <a href="#one">first</a></p>
</body><h2 id="late">After body</h2></html>)";

}  // namespace

class TestPlatform : public QObject {
  Q_OBJECT
 private slots:
  void init() { platform::SetHelpFile(std::nullopt); }

  void parseSplitsTopicsAtHeadings() {
    QString css;
    const QList<platform::HelpTopic> topics = platform::ParseHelp(kSmallHelp, &css);
    QCOMPARE(css.trimmed(), QString("h2 { color: red; }"));
    QCOMPARE(topics.size(), 2);
    QCOMPARE(topics[0].id, QString("one"));
    QCOMPARE(topics[0].title, QString("First & best"));
    QCOMPARE(topics[0].keywords, (QStringList{"Alpha", "ベータ", "ガンマ"}));
    QVERIFY(topics[0].text.contains("apple text"));
    QVERIFY(!topics[0].text.contains("banana"));
    QVERIFY(!topics[0].text.contains("before any topic"));
    QCOMPARE(topics[1].id, QString("two"));
    QVERIFY(topics[1].keywords.isEmpty());
    QVERIFY(!topics[1].text.contains("After body"));
  }

  void shippedHelpIsWhole() {
    const QString html = QString::fromUtf8(TestEnv::readFile(ShippedHelp()));
    QVERIFY2(!html.isEmpty(), qPrintable(ShippedHelp()));
    const QList<platform::HelpTopic> topics = platform::ParseHelp(html);
    QVERIFY(topics.size() >= 10);
    QStringList ids;
    for (const auto& t : topics) {
      QVERIFY2(!t.id.isEmpty() && !t.title.isEmpty() && !t.keywords.isEmpty(), qPrintable(t.title));
      QVERIFY2(!ids.contains(t.id), qPrintable(t.id));
      ids << t.id;
    }
    static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
    for (auto it = link.globalMatch(html); it.hasNext();) {
      const QString target = it.next().captured(1);
      QVERIFY2(ids.contains(target), qPrintable("broken link #" + target));
    }
  }

  void searchFindsTopics_data() {
    QTest::addColumn<QString>("term");
    QTest::addColumn<QString>("topic");
    // Case, full-width and half-width forms, and a word found only in a topic's text.
    const char* rows[][2] = {{"scott", "logon"},    {"ＴＩＧＥＲ", "logon"}, {"ﾊﾞｲﾝﾄﾞ変数", "bind"},
                             {"ZEPH.ini", "files"}, {"中断", "limit"},       {"ひな形", "console"}};
    for (const auto& r : rows) QTest::newRow(r[0]) << QString(r[0]) << QString(r[1]);
  }
  void searchFindsTopics() {
    QFETCH(QString, term);
    QFETCH(QString, topic);
    ScriptedDialogs dialogs;
    HelpWindow w;
    w.Open(ShippedHelp(), HelpCommand::Search);
    w.txtSearch->setText(term);
    QVERIFY2(w.lstFound->count() > 0, qPrintable(term));
    QTest::keyClick(w.txtSearch, Qt::Key_Return);
    QCOMPARE(w.Topics()[w.CurrentTopic()].id, topic);
  }

  // Search asked for over an open window brings that window back, its box emptied.
  void openingShowsContentsOrSearch() {
    ScriptedDialogs dialogs;
    QWidget owner;
    HelpWindow* w = platform::ShowHelp(&owner, ShippedHelp(), HelpCommand::Contents);
    QVERIFY(QTest::qWaitForWindowActive(w));
    QCOMPARE(w->lstContents->count(), w->Topics().size());
    QVERIFY(w->lstContents->hasFocus());
    w->lstContents->setCurrentRow(3);
    QCOMPARE(w->CurrentTopic(), 3);
    QVERIFY(w->txtTopic->toPlainText().contains(w->Topics()[3].title));

    w->txtSearch->setText("F5");
    QCOMPARE(platform::ShowHelp(&owner, ShippedHelp(), HelpCommand::Search), w);
    QVERIFY(w->txtSearch->text().isEmpty());
    QTRY_VERIFY(w->txtSearch->hasFocus());
    QVERIFY(w->lstFound->count() > w->Topics().size());
    QVERIFY(dialogs.msgBoxes().isEmpty());
    delete w;
  }

  // A missing file is reported inside the window, not by a message box.
  void missingFileAndLinks() {
    ScriptedDialogs dialogs;
    QTemporaryDir dir;
    const QString file = dir.path() + "/Querna.hlp";
    HelpWindow w;
    w.Open(file, HelpCommand::Contents);
    QCOMPARE(w.lstContents->count(), 0);
    QVERIFY(w.txtTopic->toPlainText().contains(file));
    QVERIFY(dialogs.msgBoxes().isEmpty());
    QVERIFY(TestEnv::writeFile(file, kSmallHelp));
    QStringList opened;
    platform::SetDocumentOpener([&](const QString& p) {
      opened << p;
      return true;
    });
    w.Open(file, HelpCommand::Contents);
    w.ShowTopic(1);
    emit w.txtTopic->anchorClicked(QUrl("#one"));
    QCOMPARE(w.CurrentTopic(), 0);
    QCOMPARE(w.lstContents->currentRow(), 0);
    emit w.txtTopic->anchorClicked(QUrl("https://querna.example.org/"));
    QCOMPARE(opened, QStringList{"https://querna.example.org/"});
    QCOMPARE(w.CurrentTopic(), 0);
    platform::SetDocumentOpener(nullptr);
  }

  // A store left readable by everyone (by an older build, say) is made private at the next save.
  void settingsStore() {
    TestEnv env;
    QVERIFY(TestEnv::writeFile(env.settingsFile(), {}));
    QFile::setPermissions(env.settingsFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ReadOther);
    platform::SaveSetting("ZEPH", "Logon", "User", "SCOTT,");
    QCOMPARE(QFile::permissions(env.settingsFile()),
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
    platform::SaveSetting("ZEPH", "Settings", "MainLeft", "1234");
    platform::DeleteSetting("ZEPH", "Logon");
    QCOMPARE(platform::GetSetting("ZEPH", "Settings", "MainLeft"), QString("1234"));
    {  // A batch holds its writes, which reads see, and saves the file once at its end.
      platform::SettingsBatch batch;
      platform::SaveSetting("ZEPH", "Logon", "StartUser", "B");
      QCOMPARE(platform::GetSetting("ZEPH", "Logon", "StartUser"), QString("B"));
      QVERIFY(!TestEnv::readFile(env.settingsFile()).contains("StartUser"));
    }
    QVERIFY(TestEnv::readFile(env.settingsFile()).contains("StartUser=B"));
  }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
