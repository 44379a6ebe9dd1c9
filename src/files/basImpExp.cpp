#include "files/basImpExp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <map>
#include <memory>

#include "platform/Platform.h"

namespace {

const QString kSeparator = QStringLiteral("/");
const QString kCrLf = QStringLiteral("\r\n");

// Descriptions of the run-time errors a file operation reports to the user.
const QString kErrFileNotFound = QStringLiteral("ファイルが見つかりません。");
const QString kErrPathNotFound = QStringLiteral("パスが見つかりません。");
const QString kErrPathFileAccess = QStringLiteral("パス名が無効です。");
const QString kErrDeviceIO = QStringLiteral("デバイス I/O エラーです。");

std::map<int, std::unique_ptr<QFile>>& OpenFiles() {
  static std::map<int, std::unique_ptr<QFile>> files;
  return files;
}

// The lowest file number not in use.
int FreeFile() {
  int n = 1;
  for (const auto& entry : OpenFiles()) {
    if (entry.first != n) break;
    ++n;
  }
  return n;
}

QString OpenErrorText(const QString& path) {
  const QFileInfo info(path);
  if (info.exists()) return kErrPathFileAccess;
  const QString parent = mFn_GetParentPath(path, kSeparator);
  return parent.isEmpty() || mFn_IsFolder(parent) ? kErrFileNotFound : kErrPathNotFound;
}

// Creates the missing folders above a file, outermost first, by climbing from the file's folder
// to the deepest one that exists. A folder that cannot be created is reported.
bool CreateFoldersFor(const QString& path) {
  QString d = mFn_GetParentPath(path, kSeparator);
  if (d.isEmpty()) return true;  // the current folder, or the root
  while (!mFn_IsFolder(d)) {
    if (QDir().mkdir(d)) {
      d = mFn_GetParentPath(path, kSeparator);
      continue;
    }
    const QString up = mFn_GetParentPath(d, kSeparator);
    if (!up.isEmpty() && !mFn_IsFolder(up)) {
      d = up;  // its own parent is missing too: create that one first
      continue;
    }
    platform::MsgBox(kErrPathFileAccess, platform::vbOKOnly);
    return false;
  }
  return true;
}

// A byte order mark decides. Without one, valid UTF-8 is taken as UTF-8 only when it holds a
// three- or four-byte sequence, where Japanese lives, or is plain ASCII: text of two-byte
// sequences alone is CP932 from a Japanese Windows machine, whose half-width katakana pairs
// ("ﾃｰ" is C3 B0) happen to be valid UTF-8 too.
QString DecodeScript(const QByteArray& bytes) {
  if (const auto bom = QStringConverter::encodingForData(bytes)) {
    QStringDecoder decoder(*bom, QStringDecoder::Flag::Stateless);
    return decoder(bytes);
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8(bytes);
  const bool ascii =
      std::all_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) < 0x80; });
  const bool longSequence =
      std::any_of(bytes.begin(), bytes.end(), [](char b) { return uchar(b) >= 0xE0; });
  if (!utf8.hasError() && (ascii || longSequence)) return text;
  QStringDecoder cp932("CP932", QStringDecoder::Flag::Stateless);
  if (cp932.isValid()) return cp932(bytes);
  return text;
}

// Only U+0020 counts as a blank.
QString TrimSpaces(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text[begin] == QLatin1Char(' ')) ++begin;
  while (end > begin && text[end - 1] == QLatin1Char(' ')) --end;
  return text.mid(begin, end - begin);
}

// Every line (ended by CR LF, LF or CR, or by the end of the text) followed by CR LF.
QString LinesWithCrLf(const QString& text) {
  QString out;
  out.reserve(text.size() + text.size() / 16 + 2);
  const qsizetype n = text.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const QChar c = text[i];
    if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) continue;
    out += QStringView(text).sliced(start, i - start);
    out += kCrLf;
    if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n')) ++i;
    start = i + 1;
  }
  if (start < n) {
    out += QStringView(text).sliced(start);
    out += kCrLf;
  }
  return out;
}

}  // namespace

QString mFn_ReadSqlFile(const QString& path) {
  const int fileNo = mFn_OpenTextFile(path, true, true);
  if (fileNo == 0) {
    platform::MsgBox(QStringLiteral("ファイルが開けません"), platform::vbOKOnly);
    return QString();
  }
  QFile* file = TextFileByNumber(fileNo);
  const QByteArray bytes = file->readAll();
  const bool failed = file->error() != QFileDevice::NoError;
  CloseTextFile(fileNo);
  if (failed) {
    platform::MsgBox(kErrDeviceIO, platform::vbOKOnly);
    return QString();
  }
  return QStringLiteral("/*   (") + path + QStringLiteral(")   */") + kCrLf +
         TrimSpaces(LinesWithCrLf(DecodeScript(bytes)));
}

int mFn_OpenTextFile(const QString& path, bool read, bool deleteFirst) {
  const int fileNo = FreeFile();
  auto file = std::make_unique<QFile>(path);
  if (read) {
    if (!file->open(QIODevice::ReadOnly)) {
      platform::MsgBox(OpenErrorText(path), platform::vbOKOnly);
      return 0;
    }
  } else {
    if (deleteFirst) QFile::remove(path);
    if (!CreateFoldersFor(path)) return 0;
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
  }
  OpenFiles()[fileNo] = std::move(file);
  if (!read && !mFn_FileExists(path)) {
    CloseTextFile(fileNo);
    return 0;
  }
  return fileNo;
}

QFile* TextFileByNumber(int fileNo) {
  const auto it = OpenFiles().find(fileNo);
  return it == OpenFiles().end() ? nullptr : it->second.get();
}

void CloseTextFile(int fileNo) {
  OpenFiles().erase(fileNo);
}

bool mFn_FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.exists() || info.isDir()) return false;
  const QString absolute = info.absoluteFilePath();
  for (const auto& entry : OpenFiles()) {
    if (QFileInfo(entry.second->fileName()).absoluteFilePath() == absolute) return true;
  }
  QFile probe(path);
  return probe.open(QIODevice::ReadOnly);
}

QString mFn_GetParentPath(const QString& text, const QString& separator) {
  if (separator.isEmpty()) return QString();
  const qsizetype p = text.lastIndexOf(separator);
  return p < 0 ? QString() : text.left(p);
}

bool mFn_IsFolder(const QString& path) {
  return !path.isEmpty() && QFileInfo(path).isDir();
}

int mFn_SplitText(const QString& text, const QString& separator, QStringList& items) {
  items = QStringList{QString()};
  if (text.isEmpty()) return 0;
  // No separator to find: the whole text is the one item.
  if (separator.isEmpty()) {
    items[0] = text;
    return 0;
  }
  items.clear();
  qsizetype start = 0;
  for (;;) {
    const qsizetype pos = text.indexOf(separator, start);
    if (pos < 0) {
      items << text.mid(start);
      break;
    }
    items << text.mid(start, pos - start);
    start = pos + separator.size();
  }
  return static_cast<int>(items.size()) - 1;
}
