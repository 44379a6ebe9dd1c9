// The sample database DEMO: the classic demo schema of departments, employees, salary grades and
// bonuses, owned by SCOTT, with the accounts SCOTT/TIGER and SYSTEM/MANAGER (the DBA).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "oracle/local/LocalInternal.h"

namespace ora::local {

namespace {

const char* const kDemoScript = R"SQL(
CREATE TABLE DEPT (
  DEPTNO NUMBER(2) NOT NULL,
  DNAME VARCHAR2(14),
  LOC VARCHAR2(13)
);
CREATE UNIQUE INDEX PK_DEPT ON DEPT (DEPTNO);
CREATE TABLE EMP (
  EMPNO NUMBER(4) NOT NULL,
  ENAME VARCHAR2(10),
  JOB VARCHAR2(9),
  MGR NUMBER(4),
  HIREDATE DATE,
  SAL NUMBER(7,2),
  COMM NUMBER(7,2),
  DEPTNO NUMBER(2) REFERENCES DEPT (DEPTNO)
);
CREATE UNIQUE INDEX PK_EMP ON EMP (EMPNO);
CREATE INDEX EMP_DEPTNO_IX ON EMP (DEPTNO);
CREATE INDEX EMP_ENAME_IX ON EMP (ENAME);
CREATE TABLE BONUS (
  ENAME VARCHAR2(10),
  JOB VARCHAR2(9),
  SAL NUMBER,
  COMM NUMBER
);
CREATE TABLE SALGRADE (
  GRADE NUMBER,
  LOSAL NUMBER,
  HISAL NUMBER
);
INSERT INTO DEPT VALUES (10, 'ACCOUNTING', 'NEW YORK');
INSERT INTO DEPT VALUES (20, 'RESEARCH', 'DALLAS');
INSERT INTO DEPT VALUES (30, 'SALES', 'CHICAGO');
INSERT INTO DEPT VALUES (40, 'OPERATIONS', 'BOSTON');
INSERT INTO EMP VALUES (7369, 'SMITH', 'CLERK', 7902, '1980-12-17 00:00:00', 800, NULL, 20);
INSERT INTO EMP VALUES (7499, 'ALLEN', 'SALESMAN', 7698, '1981-02-20 00:00:00', 1600, 300, 30);
INSERT INTO EMP VALUES (7521, 'WARD', 'SALESMAN', 7698, '1981-02-22 00:00:00', 1250, 500, 30);
INSERT INTO EMP VALUES (7566, 'JONES', 'MANAGER', 7839, '1981-04-02 00:00:00', 2975, NULL, 20);
INSERT INTO EMP VALUES (7654, 'MARTIN', 'SALESMAN', 7698, '1981-09-28 00:00:00', 1250, 1400, 30);
INSERT INTO EMP VALUES (7698, 'BLAKE', 'MANAGER', 7839, '1981-05-01 00:00:00', 2850, NULL, 30);
INSERT INTO EMP VALUES (7782, 'CLARK', 'MANAGER', 7839, '1981-06-09 00:00:00', 2450, NULL, 10);
INSERT INTO EMP VALUES (7788, 'SCOTT', 'ANALYST', 7566, '1987-04-19 00:00:00', 3000, NULL, 20);
INSERT INTO EMP VALUES (7839, 'KING', 'PRESIDENT', NULL, '1981-11-17 00:00:00', 5000, NULL, 10);
INSERT INTO EMP VALUES (7844, 'TURNER', 'SALESMAN', 7698, '1981-09-08 00:00:00', 1500, 0, 30);
INSERT INTO EMP VALUES (7876, 'ADAMS', 'CLERK', 7788, '1987-05-23 00:00:00', 1100, NULL, 20);
INSERT INTO EMP VALUES (7900, 'JAMES', 'CLERK', 7698, '1981-12-03 00:00:00', 950, NULL, 30);
INSERT INTO EMP VALUES (7902, 'FORD', 'ANALYST', 7566, '1981-12-03 00:00:00', 3000, NULL, 20);
INSERT INTO EMP VALUES (7934, 'MILLER', 'CLERK', 7782, '1982-01-23 00:00:00', 1300, NULL, 10);
INSERT INTO SALGRADE VALUES (1, 700, 1200);
INSERT INTO SALGRADE VALUES (2, 1201, 1400);
INSERT INTO SALGRADE VALUES (3, 1401, 2000);
INSERT INTO SALGRADE VALUES (4, 2001, 3000);
INSERT INTO SALGRADE VALUES (5, 3001, 9999);
CREATE TABLE HELP (
  TOPIC VARCHAR2(50) NOT NULL,
  SEQ NUMBER NOT NULL,
  INFO VARCHAR2(80)
);
CREATE UNIQUE INDEX HELP_TOPIC_SEQ ON HELP (TOPIC, SEQ);
INSERT INTO HELP VALUES ('DEMO', 1, 'The sample database of the Querna local engine.');
INSERT INTO HELP VALUES ('DEMO', 2, 'SCOTT/TIGER owns DEPT, EMP, BONUS and SALGRADE.');
INSERT INTO HELP VALUES ('DEMO', 3, 'SYSTEM/MANAGER is the DBA and may query the DBA_ and V$ views.');
INSERT INTO HELP VALUES ('SELECT', 1, 'SELECT column, ... FROM table WHERE condition ORDER BY column');
INSERT INTO HELP VALUES ('DUAL', 1, 'SELECT SYSDATE FROM DUAL shows the date of the server.');
CREATE VIEW EMP_DEPT AS SELECT E.EMPNO, E.ENAME, E.JOB, E.SAL, D.DEPTNO, D.DNAME, D.LOC
  FROM EMP E, DEPT D WHERE E.DEPTNO = D.DEPTNO;
CREATE TABLE QUERNA_ACCOUNTS (
  USERNAME TEXT NOT NULL PRIMARY KEY,
  PASSWORD TEXT NOT NULL,
  IS_DBA INTEGER NOT NULL
);
INSERT INTO QUERNA_ACCOUNTS VALUES ('SCOTT', 'TIGER', 0);
INSERT INTO QUERNA_ACCOUNTS VALUES ('SYSTEM', 'MANAGER', 1);
CREATE TABLE QUERNA_OWNERS (
  OBJECT_NAME TEXT NOT NULL PRIMARY KEY,
  OWNER TEXT NOT NULL
);
INSERT INTO QUERNA_OWNERS VALUES ('DEPT', 'SCOTT');
INSERT INTO QUERNA_OWNERS VALUES ('EMP', 'SCOTT');
INSERT INTO QUERNA_OWNERS VALUES ('BONUS', 'SCOTT');
INSERT INTO QUERNA_OWNERS VALUES ('SALGRADE', 'SCOTT');
INSERT INTO QUERNA_OWNERS VALUES ('EMP_DEPT', 'SCOTT');
INSERT INTO QUERNA_OWNERS VALUES ('HELP', 'SYSTEM');
)SQL";

}  // namespace

bool CreateDemoDatabase(const QString& path, QString* error) {
  // Built beside the target and renamed into place, so a reader never sees half a database.
  const QString tmp = path + QStringLiteral(".%1.tmp").arg(QCoreApplication::applicationPid());
  QFile::remove(tmp);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(QFile::encodeName(tmp).constData(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
    if (error) *error = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close_v2(db);
    return false;
  }
  const QByteArray script = QByteArray("BEGIN;") + kDemoScript +
                            QByteArray("PRAGMA user_version = ") +
                            QByteArray::number(kDemoSchemaVersion) + ";COMMIT;";
  char* msg = nullptr;
  const int rc = sqlite3_exec(db, script.constData(), nullptr, nullptr, &msg);
  if (rc != SQLITE_OK) {
    if (error) *error = QString::fromUtf8(msg ? msg : "?");
    sqlite3_free(msg);
    sqlite3_close_v2(db);
    QFile::remove(tmp);
    return false;
  }
  sqlite3_close_v2(db);
  QFile::remove(path);
  if (!QFile::rename(tmp, path)) {
    QFile::remove(tmp);
    if (QFileInfo(path).isFile()) return true;  // another process made it first
    if (error) *error = QStringLiteral("cannot write %1").arg(path);
    return false;
  }
  return true;
}

}  // namespace ora::local
