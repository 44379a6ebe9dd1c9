#include "support/basLog.h"

#include <QDate>
#include <QFile>

#include "platform/Platform.h"

namespace {

// Only U+0020 counts as a blank here; tabs and line breaks are text.
bool IsBlankOnly(const QString& text) {
  for (QChar c : text) {
    if (c != QLatin1Char(' ')) return false;
  }
  return true;
}

// Appends the entry whole or not at all. The file is written unbuffered, so a full disk shows
// at the write itself and not later at close; a short write is cut back to the old length.
void Append(const QString& path, const QString& text) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) return;
  const QByteArray bytes = text.toUtf8();
  const qint64 before = f.size();
  if (f.write(bytes) != bytes.size() || !f.flush()) f.resize(before);
  f.close();
}

const QString kCrLf = QStringLiteral("\r\n");

// Every line of a statement ends in CR LF in the history, whether it was typed with LF or CR LF.
QString WithCrLf(QString text) {
  return text.replace(kCrLf, QStringLiteral("\n")).replace(QLatin1Char('\n'), kCrLf);
}

}  // namespace

QString LogFilePath() {
  return platform::ProgramFolder() + QStringLiteral("/Querna.log");
}

QString SqlLogFilePath(const QDate& day) {
  return platform::ProgramFolder() + QStringLiteral("/SQL") +
         day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void mSb_WriteLog(const QString& text, bool isError) {
  if (IsBlankOnly(text)) return;
  const QString line = platform::DateTimeText(platform::Now()) +
                       (isError ? QStringLiteral("-->Err:") : QStringLiteral("-->LOG:")) + text;
  Append(LogFilePath(), line + kCrLf);
}

void mSb_WriteSQLLog(const QString& sql) {
  if (IsBlankOnly(sql)) return;
  const QDateTime start = platform::Now();
  const QDateTime end = platform::Now();
  const QString block = kCrLf + QStringLiteral("/* <--------- START SQL(") +
                        platform::DateTimeText(start) + QStringLiteral(") ---------> */") + kCrLf +
                        WithCrLf(sql) + kCrLf + QStringLiteral("/* <---------- END SQL (") +
                        platform::DateTimeText(end) + QStringLiteral(") ---------> */");
  Append(SqlLogFilePath(end.date()), block + kCrLf);
}
