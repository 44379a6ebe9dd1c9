#include "oracle/oci/OciConvert.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <charconv>

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

// A number as sign, significant digits (no leading or trailing zeros; empty for zero) and a
// power of ten: the value is digits x 10^exponent.
struct Decimal {
  bool negative = false;
  QByteArray digits;
  long long exponent = 0;
};

// Reads ".5", "-12.25", "1.5E+20" (a comma is taken as the decimal sign too); false for text that
// is not a number.
bool ParseDecimal(const QByteArray& raw, Decimal& d) {
  const QByteArray text = raw.trimmed();
  qsizetype i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) d.negative = text[i++] == '-';
  bool seenDigit = false;
  while (i < text.size() && IsDigit(text[i])) {
    d.digits += text[i++];
    seenDigit = true;
  }
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    ++i;
    while (i < text.size() && IsDigit(text[i])) {
      d.digits += text[i++];
      --d.exponent;
      seenDigit = true;
    }
  }
  if (!seenDigit) return false;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    ++i;
    bool expNegative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) expNegative = text[i++] == '-';
    if (i >= text.size() || !IsDigit(text[i])) return false;
    long long e = 0;
    while (i < text.size() && IsDigit(text[i]) && e < 100000) e = e * 10 + (text[i++] - '0');
    d.exponent += expNegative ? -e : e;
  }
  if (i != text.size()) return false;
  qsizetype lead = 0;
  while (lead < d.digits.size() && d.digits[lead] == '0') ++lead;
  d.digits.remove(0, lead);
  while (!d.digits.isEmpty() && d.digits.endsWith('0')) {
    d.digits.chop(1);
    ++d.exponent;
  }
  return true;
}

}  // namespace

QVariant NumberTextToValue(const QByteArray& raw) {
  const QVariant asText = QString::fromUtf8(raw);
  Decimal d;
  if (!ParseDecimal(raw, d)) return asText;
  const QByteArray& digits = d.digits;
  const long long exponent = d.exponent;
  if (digits.isEmpty()) return QVariant(qlonglong(0));
  // Oracle numbers stay within 10^±130, so the plain form below is never absurdly long.
  if (exponent > 200 || exponent < -200) return asText;

  const QByteArray sign = d.negative ? QByteArray("-") : QByteArray();
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

bool EncodeOracleNumber(const QString& text, unsigned char* vnu) {
  Decimal d;
  if (!ParseDecimal(text.toUtf8(), d)) return false;
  if (d.digits.isEmpty()) {
    vnu[0] = 1;
    vnu[1] = 0x80;
    return true;
  }
  // Base-100 digits line up with the decimal point: pad to an even count on both sides.
  QByteArray digits = d.digits;
  long long intDigits = digits.size() + d.exponent;
  if (intDigits % 2 != 0) {
    digits.prepend('0');
    ++intDigits;
  }
  if (digits.size() % 2 != 0) digits.append('0');
  const long long exponent = intDigits / 2 - 1;
  const qsizetype pairs = digits.size() / 2;
  if (pairs > 20 || exponent < -65 || exponent > 62) return false;
  int n = 1;
  vnu[n++] = static_cast<unsigned char>(d.negative ? 62 - exponent : 193 + exponent);
  for (qsizetype p = 0; p < pairs; ++p) {
    const int m = (digits[2 * p] - '0') * 10 + (digits[2 * p + 1] - '0');
    vnu[n++] = static_cast<unsigned char>(d.negative ? 101 - m : m + 1);
  }
  // A negative number shorter than the longest ends with 102.
  if (d.negative && pairs < 20) vnu[n++] = 102;
  vnu[0] = static_cast<unsigned char>(n - 1);
  return true;
}

double WidenFloat(float value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  return QByteArray(buf, r.ptr - buf).toDouble();
}

int ByteOffsetToCharOffset(const QByteArray& utf8, int byteOffset) {
  qsizetype off = std::clamp<qsizetype>(byteOffset, 0, utf8.size());
  // Step back over continuation bytes to the start of the character the offset falls in.
  while (off > 0 && off < utf8.size() && (static_cast<unsigned char>(utf8[off]) & 0xC0) == 0x80)
    --off;
  return static_cast<int>(QString::fromUtf8(utf8.constData(), off).size());
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

// The statement with every comment and quoted text (literals, q-quotes, quoted identifiers)
// blanked out, so that a scan for words finds only code; positions are kept.
QString CodeOnly(const QString& sql) {
  QString code = sql;
  const qsizetype n = sql.size();
  qsizetype i = 0;
  auto blank = [&](qsizetype from, qsizetype to) {
    for (qsizetype k = from; k < std::min(to, n); ++k) code[k] = QLatin1Char(' ');
    i = std::min(to, n);
  };
  while (i < n) {
    const QChar c = sql[i];
    const bool atWordStart = i == 0 || !IsNameChar(sql[i - 1]);
    if (c == QLatin1Char('-') && i + 1 < n && sql[i + 1] == QLatin1Char('-')) {
      const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
      blank(i, end < 0 ? n : end);
    } else if (c == QLatin1Char('/') && i + 1 < n && sql[i + 1] == QLatin1Char('*')) {
      const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
      blank(i, end < 0 ? n : end + 2);
    } else if (atWordStart && (c == QLatin1Char('q') || c == QLatin1Char('Q')) && i + 2 < n &&
               sql[i + 1] == QLatin1Char('\'')) {
      const QString closer = QString(QuoteCloser(sql[i + 2])) + QLatin1Char('\'');
      const qsizetype end = sql.indexOf(closer, i + 3);
      blank(i, end < 0 ? n : end + 2);
    } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
      // A doubled quote inside a literal closes and reopens it, which this loop handles alike.
      const qsizetype end = sql.indexOf(c, i + 1);
      blank(i, end < 0 ? n : end + 1);
    } else {
      ++i;
    }
  }
  return code;
}

}  // namespace

QString FirstKeyword(const QString& sql) {
  const QString code = CodeOnly(sql);
  qsizetype i = 0;
  const qsizetype n = code.size();
  while (i < n && (code[i].isSpace() || code[i] == QLatin1Char('('))) ++i;
  qsizetype j = i;
  while (j < n && (code[j].isLetterOrNumber() || code[j] == QLatin1Char('_'))) ++j;
  return code.mid(i, j - i).toUpper();
}

StatementKind ClassifyStatement(int statementType, const QString& sql) {
  if (statementType == OCI_STMT_SELECT) return StatementKind::Query;
  const QString word = FirstKeyword(sql);
  if (word == QLatin1String("WITH") || (statementType == OCI_STMT_UNKNOWN && word == "SELECT"))
    return StatementKind::Query;
  if (statementType != OCI_STMT_UNKNOWN) return StatementKind::NotQuery;
  // The first words of Oracle's other statements. A parse of any of them may run it (a DDL
  // statement runs when parsed), so they are refused without asking the server.
  static const QStringList kOtherStatements{
      "ADMINISTER", "ALTER",     "ANALYZE", "ASSOCIATE", "AUDIT",     "BEGIN",        "CALL",
      "COMMENT",    "COMMIT",    "CREATE",  "DECLARE",   "DELETE",    "DISASSOCIATE", "DROP",
      "EXPLAIN",    "FLASHBACK", "GRANT",   "INSERT",    "LOCK",      "MERGE",        "NOAUDIT",
      "PURGE",      "RENAME",    "REVOKE",  "ROLLBACK",  "SAVEPOINT", "SET",          "TRUNCATE",
      "UPDATE",     "EXEC",      "EXECUTE"};
  return kOtherStatements.contains(word) ? StatementKind::NotQuery : StatementKind::Unknown;
}

int ForUpdatePosition(const QString& sql) {
  static const QRegularExpression forUpdate(QStringLiteral("\\bFOR\\s+UPDATE\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = forUpdate.match(CodeOnly(sql));
  return m.hasMatch() ? static_cast<int>(m.capturedStart()) : -1;
}

int ComponentTypeCode(int describeCode) {
  switch (describeCode) {
    case SQLT_RDD:
      return ORATYPE_ROWID;
    case SQLT_LAB:
      return ORATYPE_MLSLABEL;
    case SQLT_DATE:
      return ORATYPE_DATE;
    case SQLT_IBFLOAT:
    case SQLT_IBDOUBLE:
      return ORATYPE_NUMBER;
    case SQLT_TIMESTAMP:
    case SQLT_TIMESTAMP_TZ:
    case SQLT_TIMESTAMP_LTZ:
    case SQLT_INTERVAL_YM:
    case SQLT_INTERVAL_DS:
    case SQLT_CLOB:
      return ORATYPE_VARCHAR2;
    default:
      return describeCode;
  }
}

QStringList PlaceholderNames(const QString& sql) {
  const QString code = CodeOnly(sql);
  QStringList names;
  const qsizetype n = code.size();
  for (qsizetype i = 0; i + 1 < n; ++i) {
    if (code[i] != QLatin1Char(':') || !IsNameChar(code[i + 1])) continue;
    qsizetype j = i + 1;
    while (j < n && IsNameChar(code[j])) ++j;
    const QString name = code.mid(i + 1, j - i - 1);
    if (!names.contains(name, Qt::CaseInsensitive)) names << name;
    i = j - 1;
  }
  return names;
}

}  // namespace ora::oci
