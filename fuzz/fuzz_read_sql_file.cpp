// Fuzz target for the script reader: any bytes written to a file must come back as the header
// line and a text in which every line ends with CR LF, decoded as UTF-8 when the bytes are UTF-8
// by the reader's rule, with no message box shown for a readable file.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "files/basImpExp.h"
#include "platform/Platform.h"

namespace {

QString g_path;

bool LineEndsAreCrLf(QStringView body) {
  for (qsizetype i = 0; i < body.size(); ++i) {
    if (body[i] == QLatin1Char('\r') && (i + 1 >= body.size() || body[i + 1] != QLatin1Char('\n')))
      return false;
    if (body[i] == QLatin1Char('\n') && (i == 0 || body[i - 1] != QLatin1Char('\r'))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static QTemporaryDir dir;
  if (!dir.isValid()) std::abort();
  g_path = dir.filePath(QStringLiteral("script.sql"));
  // A readable file never asks anything; a message box here is a finding.
  platform::SetDialogHandler(
      {[](const platform::MsgBoxCall&) -> int { std::abort(); }, {}, {}, {}});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  {
    QFile f(g_path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
  }
  const QString text = mFn_ReadSqlFile(g_path);
  const QString header = QStringLiteral("/*   (") + g_path + QStringLiteral(")   */\r\n");
  if (!text.startsWith(header)) std::abort();
  const QStringView body = QStringView(text).sliced(header.size());
  if (!LineEndsAreCrLf(body)) std::abort();
  if (!body.isEmpty() && !body.endsWith(QLatin1String("\r\n"))) std::abort();
  if (body.startsWith(QLatin1Char(' ')) || body.endsWith(QLatin1Char(' '))) std::abort();

  // Valid UTF-8 holding a three- or four-byte sequence, or nothing above 0x7F, is read as UTF-8
  // (two-byte sequences alone may be Shift_JIS half-width katakana): without line breaks or edge
  // spaces it comes back unchanged, with one CR LF added.
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = utf8(bytes);
  bool wide = false;
  bool high = false;
  for (const char c : bytes) {
    high = high || (static_cast<unsigned char>(c) >= 0x80);
    wide = wide || (static_cast<unsigned char>(c) >= 0xE0);
  }
  if (!utf8.hasError() && (wide || !high) && !decoded.isEmpty() &&
      !decoded.contains(QLatin1Char('\r')) && !decoded.contains(QLatin1Char('\n')) &&
      !decoded.startsWith(QLatin1Char(' ')) && !decoded.endsWith(QLatin1Char(' ')) &&
      body != decoded + QStringLiteral("\r\n"))
    std::abort();
  return 0;
}
