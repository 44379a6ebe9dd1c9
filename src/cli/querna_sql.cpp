// querna-sql: runs SQL statements on a session of the program's own component and prints each
// result as text, the values formatted exactly as the console's grid shows them.
#include <QApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <vector>

#include "cli/SqlScript.h"
#include "core/RunErr.h"
#include "grid/vaSpread.h"
#include "oracle/OraFactory.h"
#include "support/basFunctions.h"

namespace {

constexpr const char* kUsage =
    "usage: querna-sql [--csv] user/password@host [-e \"statement\"]... [script-file]\n"
    "  Runs the statements given with -e, else those of the script file, else those read from\n"
    "  standard input (a statement ends at ';' at the end of a line or at a line holding only\n"
    "  '/'), and prints each result as tab-separated text (--csv: CSV) with a header line.\n";

// The grid reuses its one row; its text store is started afresh now and then so that a long
// result does not keep every value it has printed.
constexpr int kRowsPerStoreReset = 4096;

void Write(FILE* stream, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

bool ReportServerError(const std::shared_ptr<ora::OraDatabase>& db, int statementNo) {
  if (db->LastServerErr() == 0) return false;
  Write(stderr, db->LastServerErrText() + QLatin1Char('\n'));
  const int pos = db->LastServerErrPos();
  Write(stderr, QStringLiteral("statement %1").arg(statementNo) +
                    (pos > 0 ? QStringLiteral(", character %1").arg(pos) : QString()) +
                    QLatin1Char('\n'));
  return true;
}

// Writes the result of one statement; false when it failed (the reason is on standard error).
bool RunStatement(const std::shared_ptr<ora::OraSession>& session,
                  const std::shared_ptr<ora::OraDatabase>& db, const QString& sql, int statementNo,
                  cli::OutputFormat format) {
  session->BeginTrans();
  const std::shared_ptr<ora::OraDynaset> dyn = mFn_CreateDynaset(db, sql, 1);
  session->RollBack();
  ora::ErrClear();
  if (ReportServerError(db, statementNo)) return false;
  if (!dyn) {
    Write(
        stderr,
        QStringLiteral("現バージョンでは対応していないSQL文です\nstatement %1\n").arg(statementNo));
    return false;
  }

  // Columns are set up and values written by the console's own routine, into a grid that is
  // never shown, so every value prints as the grid would show it.
  vaSpread grid;
  std::vector<ora::OraField*> fields;
  ora::OraFields& all = dyn->Fields();
  QStringList header;
  for (int i = 0; i < all.Count(); ++i) {
    ora::OraField* f = all.Item(i);
    if (!f) continue;
    fields.push_back(f);
    header << f->Name();
  }
  auto setUpColumns = [&] {
    grid.SetMaxCols(0);
    grid.SetMaxCols(int(fields.size()));
    grid.SetMaxRows(1);
    for (std::size_t c = 0; c < fields.size(); ++c) {
      grid.SetCol(int(c) + 1);
      grid.SetRow(-1);
      mSb_SetCellByOraType(&grid, fields[c], true);
    }
    ora::ErrClear();
  };
  setUpColumns();
  Write(stdout, cli::FormatRow(header, format));

  ora::RunError cellError;
  QStringList values;
  for (int row = 1; !dyn->IsEOF() && !ora::Err().pending(); ++row) {
    if (row % kRowsPerStoreReset == 0) setUpColumns();
    values.clear();
    grid.SetRow(1);
    for (std::size_t c = 0; c < fields.size(); ++c) {
      grid.SetCol(int(c) + 1);
      grid.SetText(QString());
      mSb_SetCellByOraType(&grid, fields[c], false);
      if (ora::Err().pending()) cellError = ora::Err();
      ora::ErrClear();
      values << grid.CellText(int(c) + 1, 1);
    }
    Write(stdout, cli::FormatRow(values, format));
    dyn->MoveNext();
  }
  if (ora::Err().pending()) cellError = ora::Err();
  ora::ErrClear();
  std::fflush(stdout);
  if (ReportServerError(db, statementNo)) return false;
  if (cellError.pending()) {
    Write(stderr, QStringLiteral("エラー番号：%1\n%2\nstatement %3\n")
                      .arg(cellError.Number)
                      .arg(cellError.Description)
                      .arg(statementNo));
    return false;
  }
  return true;
}

// Qt's own notices about the hidden display (no runtime folder and the like) are not the
// script's business; its output on standard error is the runner's messages alone.
void QuietQtNotices(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) Write(stderr, message + QLatin1Char('\n'));
}

int Usage() {
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // The grid that formats values is never shown: no display is needed.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietQtNotices);
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Querna"));
  QApplication::setOrganizationName(QStringLiteral("Querna"));

  cli::OutputFormat format = cli::OutputFormat::Tabs;
  QString logonText;
  QString scriptFile;
  QStringList statements;
  bool fromOptions = false;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QLatin1String("--csv")) {
      format = cli::OutputFormat::Csv;
    } else if (a == QLatin1String("-e")) {
      if (++i >= args.size()) return Usage();
      statements << cli::SplitStatements(args[i]);
      fromOptions = true;
    } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (logonText.isEmpty()) {
      logonText = a;
    } else if (scriptFile.isEmpty()) {
      scriptFile = a;
    } else {
      return Usage();
    }
  }
  cli::Logon logon;
  if (!cli::ParseLogon(logonText, &logon)) return Usage();
  if (!fromOptions) {
    QFile file;
    const bool opened = scriptFile.isEmpty()
                            ? file.open(stdin, QIODevice::ReadOnly)
                            : (file.setFileName(scriptFile), file.open(QIODevice::ReadOnly));
    if (!opened) {
      Write(stderr, QStringLiteral("cannot read %1\n").arg(scriptFile));
      return 2;
    }
    statements = cli::SplitStatements(QString::fromUtf8(file.readAll()));
  }

  const std::shared_ptr<ora::OraSession> session = ora::CreateOraSession(logon.host);
  if (!session) {
    Write(stderr, QStringLiteral("オラクルクライアントがインストールされていません\n"));
    return 2;
  }
  const std::shared_ptr<ora::OraDatabase> db =
      session->OpenDatabase(logon.host, logon.user + QLatin1Char('/') + logon.password, 0);
  if (!db) {
    if (session->LastServerErr() != 0)
      Write(stderr, session->LastServerErrText() + QLatin1Char('\n'));
    else
      Write(stderr, QStringLiteral("エラー番号：%1\n%2\n")
                        .arg(ora::Err().Number)
                        .arg(ora::Err().Description));
    return 2;
  }

  int status = 0;
  for (qsizetype i = 0; i < statements.size(); ++i) {
    if (!RunStatement(session, db, statements[i], int(i) + 1, format)) {
      status = 1;
      break;
    }
  }
  db->Close();
  return status;
}
