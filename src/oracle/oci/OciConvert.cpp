#include "oracle/oci/OciConvert.h"

#include <QTimeZone>
#include <algorithm>

#include "oracle/OraInterface.h"
#include "oracle/oci/OciApi.h"

namespace ora::oci {

QDateTime DecodeOracleDate(const unsigned char* b) {
  const int year = (b[0] - 100) * 100 + (b[1] - 100);
  const QDate date(year, b[2], b[3]);
  const QTime time(b[4] - 1, b[5] - 1, b[6] - 1);
  if (!date.isValid() || !time.isValid()) return {};
  const QDateTime local(date, time);
  if (local.date() == date && local.time() == time) return local;
  return QDateTime(date, time, QTimeZone::utc());
}

bool EncodeOracleDate(const QDateTime& value, unsigned char* b) {
  if (!value.isValid()) return false;
  const QDate d = value.date();
  const QTime t = value.time();
  if (d.year() < -4712 || d.year() > 9999) return false;
  // Integer division truncates toward zero, which is how both halves of a BC year are stored.
  b[0] = static_cast<unsigned char>(d.year() / 100 + 100);
  b[1] = static_cast<unsigned char>(d.year() % 100 + 100);
  b[2] = static_cast<unsigned char>(d.month());
  b[3] = static_cast<unsigned char>(d.day());
  b[4] = static_cast<unsigned char>(t.hour() + 1);
  b[5] = static_cast<unsigned char>(t.minute() + 1);
  b[6] = static_cast<unsigned char>(t.second() + 1);
  return true;
}

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

QVariant NumberTextToValue(const QByteArray& raw) {
  const QByteArray text = raw.trimmed();
  const QVariant asText = QString::fromUtf8(raw);
  qsizetype i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  // The value is digits x 10^exponent.
  QByteArray digits;
  long long exponent = 0;
  bool seenDigit = false;
  while (i < text.size() && IsDigit(text[i])) {
    digits += text[i++];
    seenDigit = true;
  }
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      digits += text[i++];
      --exponent;
      seenDigit = true;
    }
  }
  if (!seenDigit) return asText;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) expNegative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) return asText;
    long long e = 0;
    while (i < text.size() && IsDigit(text[i]) && e < 100000) e = e * 10 + (text[i++] - '0');
    exponent += expNegative ? -e : e;
  }
  if (i != text.size()) return asText;

  qsizetype lead = 0;
  while (lead < digits.size() && digits[lead] == '0') ++lead;
  digits.remove(0, lead);
  while (!digits.isEmpty() && digits.endsWith('0')) {
    digits.chop(1);
    ++exponent;
  }
  if (digits.isEmpty()) return QVariant(qlonglong(0));
  // Oracle numbers stay within 10^±130, so the plain form below is never absurdly long.
  if (exponent > 200 || exponent < -200) return asText;

  const QByteArray sign = negative ? QByteArray("-") : QByteArray();
  if (exponent >= 0) {
    const QByteArray integer = sign + digits + QByteArray(exponent, '0');
    bool ok = false;
    const qlonglong v = integer.toLongLong(&ok);
    if (ok) return QVariant(v);
  }
  if (digits.size() <= 15) {
    return QVariant((sign + digits + 'e' + QByteArray::number(exponent)).toDouble());
  }
  QByteArray plain;
  if (exponent >= 0) {
    plain = digits + QByteArray(exponent, '0');
  } else if (digits.size() > -exponent) {
    const qsizetype point = digits.size() + exponent;
    plain = digits.left(point) + '.' + digits.mid(point);
  } else {
    plain = "0." + QByteArray(-exponent - digits.size(), '0') + digits;
  }
  return QVariant(QString::fromLatin1(sign + plain));
}

int ByteOffsetToCharOffset(const QByteArray& utf8, int byteOffset) {
  qsizetype off = std::clamp<qsizetype>(byteOffset, 0, utf8.size());
  // Step back over continuation bytes to the start of the character the offset falls in.
  while (off > 0 && off < utf8.size() && (static_cast<unsigned char>(utf8[off]) & 0xC0) == 0x80)
    --off;
  return static_cast<int>(QString::fromUtf8(utf8.constData(), off).size());
}

QString FirstKeyword(const QString& sql) {
  qsizetype i = 0;
  const qsizetype n = sql.size();
  while (i < n) {
    const QChar c = sql[i];
    if (c.isSpace() || c == QLatin1Char('(')) {
      ++i;
    } else if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
      while (i < n && sql[i] != QLatin1Char('\n')) ++i;
    } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
      const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
      i = end < 0 ? n : end + 2;
    } else {
      break;
    }
  }
  qsizetype j = i;
  while (j < n && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_'))) ++j;
  return sql.mid(i, j - i).toUpper();
}

bool IsQueryStatement(int statementType, const QString& sql) {
  return statementType == OCI_STMT_SELECT || FirstKeyword(sql) == QLatin1String("WITH");
}

int ComponentTypeCode(int describeCode) {
  switch (describeCode) {
    case SQLT_RDD:
      return ORATYPE_ROWID;
    case SQLT_LAB:
      return ORATYPE_MLSLABEL;
    case SQLT_DATE:
      return ORATYPE_DATE;
    default:
      return describeCode;
  }
}

namespace {

bool IsNameChar(QChar c) {
  return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
         c == QLatin1Char('#');
}

// The closing delimiter of a q'<d>...<d>' quote.
QChar QuoteCloser(QChar open) {
  switch (open.unicode()) {
    case '[':
      return QLatin1Char(']');
    case '{':
      return QLatin1Char('}');
    case '<':
      return QLatin1Char('>');
    case '(':
      return QLatin1Char(')');
    default:
      return open;
  }
}

}  // namespace

QStringList PlaceholderNames(const QString& sql) {
  QStringList names;
  const qsizetype n = sql.size();
  qsizetype i = 0;
  while (i < n) {
    const QChar c = sql[i];
    const bool atWordStart = i == 0 || !IsNameChar(sql[i - 1]);
    if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
      while (i < n && sql[i] != QLatin1Char('\n')) ++i;
    } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
      const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
      i = end < 0 ? n : end + 2;
    } else if (atWordStart && (c == QLatin1Char('q') || c == QLatin1Char('Q')) && i + 2 < n &&
               sql[i + 1] == QLatin1Char('\'')) {
      const QString closer = QString(QuoteCloser(sql[i + 2])) + QLatin1Char('\'');
      const qsizetype end = sql.indexOf(closer, i + 3);
      i = end < 0 ? n : end + 2;
    } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
      // A doubled quote inside a literal closes and reopens it, which this loop handles alike.
      const qsizetype end = sql.indexOf(c, i + 1);
      i = end < 0 ? n : end + 1;
    } else if (c == QLatin1Char(':') && i + 1 < n && IsNameChar(sql[i + 1])) {
      qsizetype j = i + 1;
      while (j < n && IsNameChar(sql[j])) ++j;
      const QString name = sql.mid(i + 1, j - i - 1);
      if (!names.contains(name, Qt::CaseInsensitive)) names << name;
      i = j;
    } else {
      ++i;
    }
  }
  return names;
}

}  // namespace ora::oci
