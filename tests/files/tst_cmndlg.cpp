#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "common/ScriptedDialogs.h"
#include "files/basCmnDlg.h"

namespace {

const QChar NUL(u'\0');

// Runs work on the file dialog once it is up, from inside its own event loop.
void OnFileDialog(std::function<void(QFileDialog*)> work) {
  QTimer::singleShot(0, [work] {
    QFileDialog* dlg = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); },
            5000))
      return;
    work(dlg);
    if (dlg->isVisible()) dlg->reject();
  });
}

QStringList Listed(QFileDialog* dlg, const QString& folder) {
  auto* model = dlg->findChild<QFileSystemModel*>();
  QStringList names;
  if (!model) return names;
  const QModelIndex dir = model->index(folder);
  for (int row = 0; row < model->rowCount(dir); ++row)
    names << model->fileName(model->index(row, 0, dir));
  names.sort();
  return names;
}

}  // namespace

class TestCmnDlg : public QObject {
  Q_OBJECT
 private slots:
  void requestCarriesCallersValues_data() {
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("pairs");
    QTest::addColumn<QString>("answer");
    const QStringList all{"すべてのﾌｧｲﾙ(*.*)", "*.*"};
    QTest::newRow("open, one entry") << false << QString("SQLﾌｧｲﾙ(*.SQL)") + NUL + "*.SQL"
                                     << QStringList{"SQLﾌｧｲﾙ(*.SQL)", "*.SQL"} << "/tmp/a b/x.sql";
    QTest::newRow("open, trailing NULs") << false << QString("ログ") + NUL + "*.LOG" + NUL + NUL
                                         << QStringList{"ログ", "*.LOG"} << "/tmp/x.log";
    QTest::newRow("save, two entries")
        << true << QString("SQL") + NUL + "*.sql;*.txt" + NUL + "全部" + NUL + "*.*"
        << QStringList{"SQL", "*.sql;*.txt", "全部", "*.*"} << "/tmp/y.sql";
    QTest::newRow("empty filter, cancelled") << false << QString() << all << QString();
    QTest::newRow("description only") << true << QString("説明だけ") << all << "/tmp/z";
  }
  void requestCarriesCallersValues() {
    QFETCH(bool, save);
    QFETCH(QString, filter);
    QFETCH(QStringList, pairs);
    QFETCH(QString, answer);
    ScriptedDialogs dlg;
    dlg.answerFileDialog(answer);
    QWidget owner;
    const QString title = QStringLiteral("SQLﾌｧｲﾙからSQL文をｲﾝﾎﾟｰﾄ");
    const QString got = save ? mFn_ShowSaveDialog(&owner, title, "/tmp", filter)
                             : mFn_ShowOpenDialog(&owner, title, "/tmp", filter);
    QCOMPARE(got, answer);
    const platform::FileDialogRequest r = dlg.fileDialogs().value(0);
    QCOMPARE(r.save, save);
    QCOMPARE(r.title, title);
    QCOMPARE(r.initialFolder, QString("/tmp"));
    QCOMPARE(r.filters, pairs);
    QVERIFY(r.fileMustExist);
    QCOMPARE(r.owner, &owner);
    QVERIFY(dlg.msgBoxes().isEmpty());
  }

  void realDialogMatchesRegardlessOfCase_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("shownType");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("*.SQL") << QString("SQLﾌｧｲﾙ(*.SQL)") + NUL + "*.SQL"
                           << "SQLﾌｧｲﾙ(*.SQL)"
                           << QStringList{"UPPER.SQL", "mixed.Sql", "query.sql"};
    QTest::newRow("*.log") << QString("ログ") + NUL + "*.log"
                           << "ログ" << QStringList{"SQL20010406.LOG"};
    QTest::newRow("default") << QString() << "すべてのﾌｧｲﾙ(*.*)"
                             << QStringList{"Makefile",  "SQL20010406.LOG", "UPPER.SQL",
                                            "mixed.Sql", "notes.txt",       "query.sql"};
  }
  void realDialogMatchesRegardlessOfCase() {
    QFETCH(QString, filter);
    QFETCH(QString, shownType);
    QFETCH(QStringList, listed);
    QTemporaryDir dir;
    for (const char* name :
         {"query.sql", "UPPER.SQL", "mixed.Sql", "notes.txt", "Makefile", "SQL20010406.LOG"})
      QVERIFY(QFile(dir.filePath(QString::fromUtf8(name))).open(QIODevice::WriteOnly));
    QStringList seen;
    QString typeText;
    OnFileDialog([&](QFileDialog* dlg) {
      // The folder is read in the background; give it time to list everything it will list.
      if (QTest::qWaitFor([&] { return Listed(dlg, dir.path()).size() >= listed.size(); }, 5000))
        QTest::qWait(100);
      seen = Listed(dlg, dir.path());
      if (auto* types = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        typeText = types->currentText();
    });
    QCOMPARE(mFn_ShowOpenDialog(nullptr, "t", dir.path(), filter), QString());
    QCOMPARE(seen, listed);
    QCOMPARE(typeText, shownType);
  }
};

QTEST_MAIN(TestCmnDlg)
#include "tst_cmndlg.moc"
