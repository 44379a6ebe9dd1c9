#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/basLogout.h"
#include "app/basMain.h"
#include "app/frmMain.h"
#include "common/ConsoleControls.h"
#include "common/DropFiles.h"
#include "common/FakeDriver.h"
#include "common/ScriptedDialogs.h"
#include "common/TestEnv.h"
#include "console/SqlEditor.h"
#include "console/frmQuerna.h"
#include "grid/vaSpread.h"
#include "support/basFunctions.h"
#include "support/basLog.h"

namespace {

const QDateTime kT0(QDate(2024, 5, 1), QTime(10, 0, 0));
const QString kEnterSql = QStringLiteral("ＳＱＬ文を入力してください");
const QString kBad = QStringLiteral("ORA-00933: SQL command not properly ended");
// An error position that stands for a statement stopped by Ctrl+Z while it runs.
constexpr int kStopped = -2;

class StatusRecorder : public QObject {
 public:
  explicit StatusRecorder(QLineEdit* status) : status_(status) { status->installEventFilter(this); }
  QStringList texts;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && (texts.isEmpty() || texts.last() != status_->text()))
      texts << status_->text();
    return false;
  }

 private:
  QLineEdit* status_;
};

QString ResultText(bool limited, int rows, int seconds) {
  return (limited ? QStringLiteral("表示件数制限付きで ") : QString()) + QString::number(rows) +
         QStringLiteral(" 件あります。（検索時間：") + QString::number(seconds) +
         QStringLiteral(" 秒）");
}

QString History() {
  return QString::fromUtf8(TestEnv::readFile(SqlLogFilePath(kT0.date())));
}

}  // namespace

class TestConsole : public QObject {
  Q_OBJECT

  std::unique_ptr<TestEnv> env;
  std::unique_ptr<ScriptedDialogs> dlg;
  std::unique_ptr<fake::FakeDriver> driver;
  std::shared_ptr<fake::DatabaseLog> dbLog;
  frmQuerna* console = nullptr;

  void setLimit(const char* item) { gfrmMain->menuItem(QLatin1String(item))->trigger(); }

  void run(const QString& sql) {
    ed()->setPlainText(sql);
    QTest::mouseClick(Ctl<QPushButton>(console, "cmdSQL_Exec"), Qt::LeftButton);
  }

  SqlEditor* ed() { return Ctl<SqlEditor>(console, "txtSQL"); }
  vaSpread* grid() { return Ctl<vaSpread>(console, "vspData"); }
  QLineEdit* statusBox() { return Ctl<QLineEdit>(console, "txtStatus"); }

  void select(int start, int end) {
    QTextCursor c = ed()->textCursor();
    c.setPosition(start);
    c.setPosition(end, QTextCursor::KeepAnchor);
    ed()->setTextCursor(c);
  }

  frmQuerna* newConsole() {
    gfrmMain->mnuWindowNewWindow_Click();
    return gfrmMain->ActiveConsole();
  }

 private slots:
  void initTestCase() {
    env = std::make_unique<TestEnv>();
    gfrmMain = new frmMain;
    gfrmMain->show();
    gfrmMain->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(gfrmMain));
  }

  void cleanupTestCase() {
    delete gfrmMain;
    env.reset();
  }

  void init() {
    dlg = std::make_unique<ScriptedDialogs>();
    CreateSessions();
    driver = std::make_unique<fake::FakeDriver>();
    dbLog = driver->logOn();
    driver->addAnswer(QStringLiteral("select * from t3"), {.rows = 3});
    driver->addAnswer(QStringLiteral("select * from t250"), {.rows = 250});
    driver->addAnswer(QStringLiteral("select * from empty"), {.rows = 0});
    driver->addAnswer(QStringLiteral("select * from dberr"), {.rows = 3, .dbErrAfterFetch = 3113});
    driver->addAnswer(QStringLiteral("select * from sesserr"),
                      {.rows = 3, .sessionErrAfterFetch = 3114});
    driver->addAnswer(QStringLiteral("delete from t"), {.noResult = true});
    platform::SetNow(kT0);
    QFile::remove(SqlLogFilePath(kT0.date()));
    setLimit("mnuDispRecLimit100");
    console = newConsole();
    QVERIFY(console);
  }

  void cleanup() {
    mSb_UnloadConsoles();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CreateSessions();
    driver.reset();
    dlg.reset();
  }

  void failuresKeepTheGridAndWriteNoHistory_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("errPos");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("gridKept");

    const QString jp = QStringLiteral("select 名前, 給料 from 社員 whre 1=1");
    const int jpPos = static_cast<int>(jp.indexOf(QStringLiteral("whre")));
    const QString noTable = QStringLiteral("ORA-00942: table or view does not exist");
    const int crit = platform::vbCritical, excl = platform::vbExclamation;
    const auto row = [](const char* tag, const QString& sql, int errPos, const QString& prompt,
                        int style, bool gridKept = true) {
      QTest::newRow(tag) << sql << errPos << prompt << style << gridKept;
    };
    const QString where = QStringLiteral("\r\n\r\n%1文字目あたりが間違っています。").arg(jpPos);
    row("error after Japanese text", jp, jpPos, kBad + where, 0);
    row("blank statement", "   \n  ", -1, kEnterSql, excl);
    row("error without position", "select * from t whre 1=1", 0, kBad, crit);
    row("unknown table", "select * from nosuch", -1, noTable, crit);
    row("no rows", "select * from empty", -1, "データはありませんでした", excl);
    row("writing statement", "delete from t", -1, "現バージョンでは対応していないSQL文です", excl);
    row("stopped while running", "select * from slow", kStopped, ora::kOraUserCancelText, crit);
    row("database error after fetch", "select * from dberr", -1,
        "データベースエラーが発生しました。", crit, false);
    row("session error after fetch", "select * from sesserr", -1,
        "セッションエラーが発生しました。", crit, false);
  }

  void failuresKeepTheGridAndWriteNoHistory() {
    QFETCH(QString, sql);
    QFETCH(int, errPos);
    QFETCH(QString, prompt);
    QFETCH(int, style);
    QFETCH(bool, gridKept);
    if (errPos >= 0) driver->addAnswer(sql, {.errNumber = 933, .errText = kBad, .errPos = errPos});
    setLimit("mnuDispRecLimitNot");
    run(QStringLiteral("select * from t250"));
    ed()->setPlainText(sql);
    select(2, 2);
    dlg->clear();
    QFile::remove(SqlLogFilePath(kT0.date()));
    // Ctrl+Z arrives while the statement waits, as window messages are let through.
    const auto stop = [this] {
      QTimer::singleShot(0, this,
                         [this] { QTest::keyClick(ed(), Qt::Key_Z, Qt::ControlModifier); });
    };
    if (errPos == kStopped) driver->addAnswer(sql, {.waitsForBreak = true, .onWait = stop});

    const qsizetype calls = dbLog->calls.size();
    QTest::mouseClick(Ctl<QPushButton>(console, "cmdSQL_Exec"), Qt::LeftButton);

    QCOMPARE(dlg->prompts(), QStringList{prompt});
    QCOMPARE(dlg->msgBoxes()[0].style, style);
    QCOMPARE(dbLog->breaks, errPos == kStopped ? 1 : 0);
    if (sql.trimmed().isEmpty()) QCOMPARE(dbLog->calls.size(), calls);
    if (!sql.trimmed().isEmpty()) QCOMPARE(statusBox()->text(), QString());
    if (gridKept) QCOMPARE(grid()->MaxRows(), 250);
    QCOMPARE(ed()->textCursor().position(), errPos > 0 ? errPos : 2);
    QVERIFY(History().isEmpty());
  }

  // A new console waits for a statement, then shows every status in order; the record limit holds
  // for consoles opened after it was chosen.
  void successShowsEveryStatusInOrder_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("seconds");
    QTest::newRow("header only") << "mnuDispRecLimit0" << 0 << 0;
    QTest::newRow("hundred") << "mnuDispRecLimit100" << 100 << 2;
    QTest::newRow("no limit") << "mnuDispRecLimitNot" << 250 << 3;
  }
  void successShowsEveryStatusInOrder() {
    QFETCH(QString, item);
    QFETCH(int, rows);
    QFETCH(int, seconds);
    fake::Answer a{.rows = 250};
    a.onRow = [rows, seconds](int row) {
      if (row == rows - 1) platform::SetNow(kT0.addSecs(seconds));
    };
    driver->addAnswer(QStringLiteral("select * from t250"), a);
    setLimit(item.toLatin1().constData());
    console = newConsole();
    QCOMPARE(statusBox()->text(), kEnterSql);
    StatusRecorder rec(statusBox());
    run(QStringLiteral("select * from t250"));
    QCOMPARE(
        rec.texts,
        QStringList({QStringLiteral("初期処理中．．．"),
                     QStringLiteral("オラクルへＳＱＬを発行しました。しばらくお待ちください．．．"),
                     QStringLiteral("結果を調査中です．．．"), QString(),
                     QStringLiteral("データ読み込み中...(中止＝Ctrl+Z)"),
                     ResultText(rows < 250, rows, seconds)}));
    QCOMPARE(dbLog->calls, QStringList({QStringLiteral("BeginTrans"),
                                        QStringLiteral("CreateDynaset 0 select * from t250"),
                                        QStringLiteral("RollBack")}));
    QCOMPARE(grid()->MaxRows(), rows);
    QCOMPARE(grid()->CellText(2, 0), QStringLiteral("NAME"));
    QVERIFY(grid()->hasFocus());
    QVERIFY(dlg->msgBoxes().isEmpty());
    QVERIFY(History().contains(QStringLiteral("select * from t250")));
  }

  void actionDuringTheFill_data() {
    QTest::addColumn<bool>("close");
    QTest::newRow("second run") << false;
    QTest::newRow("closing") << true;
  }
  void actionDuringTheFill() {
    QFETCH(bool, close);
    fake::Answer a{.rows = 250};
    QPointer<QMdiSubWindow> sub = qobject_cast<QMdiSubWindow*>(console->parentWidget());
    int busy = 0;
    a.onRow = [&](int row) {
      if (row == 10 && close) sub->close();
      if (row != 10 || close) return;
      busy = console->mFn_SetListDataSQL(QStringLiteral("select * from t3"));
      ed()->setPlainText(QStringLiteral("select * from t3"));
      QTest::mouseClick(Ctl<QPushButton>(console, "cmdSQL_Exec"), Qt::LeftButton);
      QTest::mouseClick(Ctl<QPushButton>(console, "cmdClear"), Qt::LeftButton);
    };
    driver->addAnswer(QStringLiteral("select * from t250"), a);
    setLimit("mnuDispRecLimitNot");
    QPointer<frmQuerna> guard(console);
    run(QStringLiteral("select * from t250"));
    QVERIFY(guard);
    QCOMPARE(grid()->MaxRows(), close ? 11 : 250);
    QVERIFY(dlg->msgBoxes().isEmpty());
    if (close) QTRY_VERIFY(!sub);
    QVERIFY(!guard == close);
    if (close) return;
    QCOMPARE(busy, int(frmQuerna::kBusy));
    QCOMPARE(dbLog->calls.filter(QStringLiteral("CreateDynaset")).size(), 1);
    QCOMPARE(statusBox()->text(), ResultText(false, 250, 0));
  }

  // While a statement waits, no other console starts one on the same session; Ctrl+Z ends it.
  void sessionBusyWhileItsStatementWaits() {
    frmQuerna* other = newConsole();
    int busy = 0;
    const auto wait = [this, other, &busy] {
      QTimer::singleShot(0, this, [this, other, &busy] {
        busy = other->mFn_SetListDataSQL(QStringLiteral("select * from t3"));
        QTest::keyClick(ed(), Qt::Key_Z, Qt::ControlModifier);
      });
    };
    driver->addAnswer(QStringLiteral("select * from slow"),
                      {.waitsForBreak = true, .onWait = wait});
    QCOMPARE(console->mFn_SetListDataSQL(QStringLiteral("select * from slow")), -1);
    QCOMPARE(busy, int(frmQuerna::kBusy));
    QCOMPARE(dbLog->statements, QStringList{QStringLiteral("select * from slow")});
  }

  void setListDataSQLReportsTheOutcome_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("prompt");
    QTest::newRow("beyond 16 bits") << "select * from t40000" << 40000 << QString();
    QTest::newRow("no rows") << "select * from empty" << 0 << QString();
    QTest::newRow("no result set") << "delete from t" << 0 << QString();
    QTest::newRow("server error") << "select * from nosuch" << -1 << QString();
    QTest::newRow("database error")
        << "select * from dberr" << -1 << "データベースエラーが発生しました。";
  }

  void setListDataSQLReportsTheOutcome() {
    QFETCH(QString, sql);
    QFETCH(int, result);
    QFETCH(QString, prompt);
    driver->addAnswer(QStringLiteral("select * from t40000"), {.rows = 40000});
    setLimit("mnuDispRecLimitNot");
    QCOMPARE(console->mFn_SetListDataSQL(sql), result);
    QCOMPARE(statusBox()->text(), result > 0 ? ResultText(false, result, 0) : QString());
    QCOMPARE(dlg->prompts(), prompt.isEmpty() ? QStringList() : QStringList{prompt});
    QVERIFY(!dbLog->calls.contains(QStringLiteral("BeginTrans")));
    QVERIFY(History().isEmpty());
    if (result > 0) QCOMPARE(grid()->MaxRows(), result);
  }

  // "[" and "]" mark the editor's selection.
  void editorKeys_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("clipboard");  // "<image>" for a picture only
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("clipboardAfter");
    const auto row = [](const char* tag, const char* before, const char* clip, Qt::Key key,
                        const char* after, const char* clipAfter) {
      QTest::newRow(tag) << QString(before) << QString(clip) << int(key) << QString(after)
                         << QString(clipAfter);
    };
    row("paste line breaks", "A[]B", "x\r\ny", Qt::Key_V, "Ax\ny[]B", "x\r\ny");
    row("paste without text", "A[B]CDEF", "<image>", Qt::Key_V, "A[B]CDEF", "");
    row("cut selection", "A[BC]DEF", "old", Qt::Key_X, "A[]DEF", "BC");
  }
  void editorKeys() {
    QFETCH(QString, before);
    QFETCH(QString, clipboard);
    QFETCH(int, key);
    QFETCH(QString, after);
    QFETCH(QString, clipboardAfter);
    QClipboard* clip = QGuiApplication::clipboard();
    if (clipboard == QStringLiteral("<image>"))
      clip->setImage(QImage(4, 4, QImage::Format_Mono));
    else
      clip->setText(clipboard);
    ed()->setPlainText(QString(before).remove('[').remove(']'));
    select(int(before.indexOf('[')), int(before.indexOf(']')) - 1);
    ed()->setFocus();
    QTest::keyClick(ed(), static_cast<Qt::Key>(key), Qt::ControlModifier);
    const QTextCursor c = ed()->textCursor();
    QCOMPARE(ed()->toPlainText().insert(c.selectionEnd(), ']').insert(c.selectionStart(), '['),
             after);
    QCOMPARE(clip->text(), clipboardAfter);
  }

  void menuKeysReachTheMenuFromTheEditor() {
    SqlEditor* editor = ed();
    editor->setFocus();
    QTest::keyClicks(editor, QStringLiteral("select * from t3"));
    gblnFetching = true;
    QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!gblnFetching);
    QCOMPARE(editor->toPlainText(), QStringLiteral("select * from t3"));
    run(QStringLiteral("select * from t3"));
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_F3);
    QTRY_COMPARE(statusBox()->text(), kEnterSql);
    QVERIFY(editor->toPlainText().isEmpty());
    QCOMPARE(grid()->MaxRows(), 0);
    QVERIFY(editor->hasFocus());
  }

  void droppingFiles() {
    const QString a = env->folder() + QStringLiteral("/a.sql");
    const QString b = env->folder() + QStringLiteral("/b.sql");
    for (const QString& path : {a, b}) QVERIFY(TestEnv::writeFile(path, "select * from t3\r\n"));

    ed()->setPlainText(QStringLiteral("old text"));
    QVERIFY(!DropOnto(ed()->viewport(), {}, QStringLiteral("dragged text")));
    QCOMPARE(ed()->toPlainText(), QStringLiteral("old text"));

    QVERIFY(DropOnto(ed()->viewport(), {QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)}));
    QCOMPARE(ed()->toPlainText(), QStringLiteral("/*   (%1)   */\nselect * from t3\n").arg(a));

    QVERIFY(DropOnto(ed()->viewport(), {QUrl::fromLocalFile(env->folder() + "/missing.sql")}));
    QCOMPARE(dlg->prompts().last(), QStringLiteral("ファイルの読み込みに失敗しました"));
    QCOMPARE(dlg->msgBoxes().last().style, platform::vbOKOnly | platform::vbCritical);
    QVERIFY(ed()->toPlainText().isEmpty());
  }

  // A console made active again lists a session added meanwhile and selects the newest.
  void activationSelectsTheNewestSession() {
    driver->logOn(QStringLiteral("SYSTEM"), QStringLiteral("DB2"));
    frmQuerna* second = newConsole();
    const auto box = [](frmQuerna* f) { return Ctl<QComboBox>(f, "cmbSessionData"); };
    QCOMPARE(box(second)->currentIndex(), 1);
    auto* sub1 = qobject_cast<QMdiSubWindow*>(console->parentWidget());
    auto* sub2 = qobject_cast<QMdiSubWindow*>(second->parentWidget());
    gfrmMain->mdiArea()->setActiveSubWindow(sub1);
    box(console)->setCurrentIndex(0);
    gfrmMain->mdiArea()->setActiveSubWindow(sub2);
    driver->logOn(QStringLiteral("HR"), QStringLiteral("DB3"));
    gfrmMain->mdiArea()->setActiveSubWindow(sub1);
    QCOMPARE(box(console)->currentText(), QStringLiteral("Session3:HR/DB3"));
  }

  void headerClicksSortAndFitWidths() {
    setLimit("mnuDispRecLimit100");
    run(QStringLiteral("select * from t250"));
    vaSpread* g = grid();
    for (const char* first : {"151", "250", "151"}) {
      emit g->Click(1, 0);
      QCOMPARE(g->CellText(1, 1), QLatin1String(first));
    }
    QCOMPARE(g->ColWidth(1), g->MaxTextColWidth(1));
    emit g->Click(2, 0);
    QCOMPARE(g->CellText(2, 1), QStringLiteral("N0"));
    QCOMPARE(g->CellText(2, 100), QStringLiteral("N6"));
    const QString before = g->CellText(1, 1);
    emit g->Click(1, 3);
    emit g->Click(0, 0);
    QCOMPARE(g->CellText(1, 1), before);
  }
  // The grid and the status box follow the window's size; the grid never shrinks below its size.
  void resizeGrowsTheGridAndKeepsItWhenTooSmall() {
    auto* sub = qobject_cast<QMdiSubWindow*>(console->parentWidget());
    sub->resize(800, 600);
    QCOMPARE(grid()->width(), ed()->width());
    QCOMPARE(statusBox()->width(), ed()->width());
    const int height = grid()->height();
    const int gap = statusBox()->y() - grid()->geometry().bottom();
    QCOMPARE(gap, qRound(50 * grid()->logicalDpiY() / 1440.0) + 1);  // 50 twips between them
    sub->resize(800, 700);
    QCOMPARE(grid()->height(), height + 100);
    sub->resize(800, grid()->y() + 20);
    QCOMPARE(grid()->height(), height + 100);
    QCOMPARE(statusBox()->y() - grid()->geometry().bottom(), gap);
  }
};

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
