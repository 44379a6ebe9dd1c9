#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "about/frmVersion.h"
#include "app/basFileCommands.h"
#include "common/ScriptedDialogs.h"
#include "platform/Platform.h"

class TestVersion : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() {
    platform::SetSystemInfoProgramForTest(nullptr);
    platform::SetDocumentOpener(nullptr);
  }

  void versionLabel() { QCOMPARE(VersionLabel(1, 5), QString("Ver 1.05")); }

  void systemInformation_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("messages");
    const QStringList none{"現時点ではｼｽﾃﾑ情報を使用できません"};
    QTest::newRow("none found") << QString() << none;
    QTest::newRow("cannot start") << "/nonexistent/msinfo" << none;
    QTest::newRow("started") << "/bin/true" << QStringList();
  }
  void systemInformation() {
    QFETCH(QString, program);
    QFETCH(QStringList, messages);
    ScriptedDialogs dialogs;
    platform::SetSystemInfoProgramForTest([program] { return program; });
    frmVersion dlg;
    dlg.cmdSysInfo->click();
    QCOMPARE(dialogs.prompts(), messages);
  }

  // A new dialog each time; Esc closes it even from a contact box.
  void aboutCommand() {
    QStringList labels;
    for (int i = 0; i < 2; ++i) {
      QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<frmVersion*>(QApplication::activeModalWidget());
        if (!dlg) return;
        labels << dlg->lblVersion->text();
        dlg->lblVersion->setText("changed");
        QTest::keyClick(dlg->txtDesc[0], Qt::Key_Escape);
      });
      AboutCommand();
    }
    const QString label = VersionLabel(QUERNA_VERSION_MAJOR, QUERNA_VERSION_MINOR);
    QCOMPARE(labels, QStringList({label, label}));
  }

  void homePageOpensAndMinimizesTheOwner() {
    QStringList opened;
    platform::SetDocumentOpener([&](const QString& p) {
      opened << p;
      return false;
    });
    ScriptedDialogs dialogs;
    QMainWindow main;
    main.show();
    frmVersion dlg(&main);
    dlg.show();
    dlg.cmdGoHP->click();
    QCOMPARE(opened, QStringList{dlg.txtDesc[3]->text()});
    QTRY_VERIFY(main.isMinimized());
    QVERIFY(dialogs.msgBoxes().isEmpty());
  }
};

QTEST_MAIN(TestVersion)
#include "tst_version.moc"
