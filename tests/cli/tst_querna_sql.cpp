// querna-sql as a script or a shell uses it: the built program, run on DEMO in a private folder.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestQuernaSql : public QObject {
  Q_OBJECT
 private slots:
  void run_data();
  void run();

 private:
  QTemporaryDir home_;
};

void TestQuernaSql::run_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("out");
  QTest::addColumn<QString>("errPart");
  QTest::addColumn<int>("status");

  const QString logon = QStringLiteral("scott/tiger@DEMO");
  const auto row = [](const char* name, const QStringList& args, const QString& input,
                      const QString& out, const QString& errPart, int status) {
    QTest::newRow(name) << args << input << out << errPart << status;
  };
  row("tabs",
      {logon, "-e",
       "select ename, sal, hiredate from emp where empno in (7839, 7369) order by sal"},
      "",
      "ENAME\tSAL\tHIREDATE\nSMITH\t800\t1980/12/17 00:00:00\nKING\t5000\t1981/11/17 00:00:00\n",
      "", 0);
  row("csv quoting", {"--csv", logon, "-e", "select 'a,b' x, 'say \"hi\"' y, null z from dual"}, "",
      "X,Y,Z\n\"a,b\",\"say \"\"hi\"\"\",\n", "", 0);
  row("tab inside a value is quoted", {logon, "-e", "select 'a' || chr(9) || 'b' v from dual"}, "",
      "V\n\"a\tb\"\n", "", 0);
  row("several -e, no rows",
      {logon, "-e", "select dname from dept where deptno = 10", "-e",
       "select dname from dept where 1 = 0"},
      "", "DNAME\nACCOUNTING\nDNAME\n", "", 0);
  row("stdin: ';' and '/' end statements", {logon},
      "select 1 a from dual;\nselect 2 b\n  from dual\n/\n\n", "A\n1\nB\n2\n", "", 0);
  row("error stops the script", {logon},
      "select 1 a from dual;\nselect x from nosuch;\nselect 3 c from dual;\n", "A\n1\n",
      "ORA-00942", 1);
  row("error position", {logon, "-e", "select * from nosuch"}, "", "", "statement 1, character 14",
      1);
  row("statement that is not a query", {logon, "-e", "delete from emp"}, "", "",
      "現バージョンでは対応していないSQL文です", 1);
  row("wrong password", {"scott/wrong@DEMO", "-e", "select 1 from dual"}, "", "", "ORA-01017", 2);
  row("no host", {"scott/tiger", "-e", "select 1 from dual"}, "", "", "usage", 2);
}

void TestQuernaSql::run() {
  QFETCH(QStringList, args);
  QFETCH(QString, input);
  QFETCH(QString, out);
  QFETCH(QString, errPart);
  QFETCH(int, status);

  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", home_.path());
  env.insert("XDG_DATA_HOME", home_.path() + "/data");
  env.insert("XDG_CONFIG_HOME", home_.path() + "/config");
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(QUERNA_SQL_PATH), args);
  QVERIFY(p.waitForStarted());
  p.write(input.toUtf8());
  p.closeWriteChannel();
  QVERIFY(p.waitForFinished(60000));
  const QString stdErr = QString::fromUtf8(p.readAllStandardError());
  QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()), out);
  QVERIFY2(stdErr.contains(errPart), qPrintable(stdErr));
  QCOMPARE(p.exitCode(), status);
}

QTEST_GUILESS_MAIN(TestQuernaSql)
#include "tst_querna_sql.moc"
