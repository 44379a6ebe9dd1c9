// Oracle SQL functions for SQLite: TO_CHAR with format models, TO_DATE, NVL, DECODE, date
// arithmetic and the rest of what a user types into an Oracle console.
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

#include "oracle/local/LocalInternal.h"

namespace ora::local {

// ---------------------------------------------------------------------------------------------
// Date texts as SQLite keeps them: "YYYY-MM-DD HH:MM:SS".

namespace {

inline bool Dig(char c) {
  return c >= '0' && c <= '9';
}
inline int D2(const char* p) {
  return (p[0] - '0') * 10 + (p[1] - '0');
}

}  // namespace

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
qint64 DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const qint64 era = (y >= 0 ? y : y - 399) / 400;
  const qint64 yoe = y - era * 400;
  const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return kDays[m - 1];
}

// The local offset from UTC. Asking Qt for the local time of each value consults the time zone
// rules every time, which costs far more than reading a row; when the zone keeps one offset all
// year (no daylight saving) that offset serves every date, else each day's offset is looked up
// once.
int LocalOffsetOfDay(qint64 days) {
  static const int kConstant = [] {
    const int year = QDate::currentDate().year();
    const int o = QDateTime(QDate(year, 1, 15), QTime(12, 0)).offsetFromUtc();
    for (const QDate& d : {QDate(year, 7, 15), QDate(2000, 1, 15), QDate(2000, 7, 15),
                           QDate(1980, 1, 15), QDate(1980, 7, 15)})
      if (QDateTime(d, QTime(12, 0)).offsetFromUtc() != o) return INT_MIN;
    return o;
  }();
  if (kConstant != INT_MIN) return kConstant;
  thread_local QHash<qint64, int> offsets;
  auto it = offsets.constFind(days);
  if (it != offsets.constEnd()) return *it;
  const int off = QDateTime(QDate::fromJulianDay(days + 2440588), QTime(12, 0)).offsetFromUtc();
  if (offsets.size() > 200000) offsets.clear();
  offsets.insert(days, off);
  return off;
}

QDateTime MakeLocal(qint64 days, qint64 msOfDay) {
  const int off = LocalOffsetOfDay(days);
  const qint64 ms = days * 86400000 + msOfDay;
  if (off == 0) return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
  return QDateTime::fromMSecsSinceEpoch(ms - qint64(off) * 1000, Qt::OffsetFromUTC, off);
}

}  // namespace

QDateTime ParseSqlDate(const char* s, int len) {
  while (len > 0 && (s[len - 1] == ' ' || s[len - 1] == 'Z')) --len;
  if (len < 10 || !Dig(s[0]) || !Dig(s[1]) || !Dig(s[2]) || !Dig(s[3])) return {};
  const char sep = s[4];
  if ((sep != '-' && sep != '/') || s[7] != sep || !Dig(s[5]) || !Dig(s[6]) || !Dig(s[8]) ||
      !Dig(s[9]))
    return {};
  const int y = D2(s) * 100 + D2(s + 2), mo = D2(s + 5), d = D2(s + 8);
  int h = 0, mi = 0, sec = 0, ms = 0;
  if (len > 10) {
    if ((s[10] != ' ' && s[10] != 'T') || len < 16 || !Dig(s[11]) || !Dig(s[12]) || s[13] != ':' ||
        !Dig(s[14]) || !Dig(s[15]))
      return {};
    h = D2(s + 11);
    mi = D2(s + 14);
    int p = 16;
    if (len > 16) {
      if (s[16] != ':' || len < 19 || !Dig(s[17]) || !Dig(s[18])) return {};
      sec = D2(s + 17);
      p = 19;
      if (p < len && s[p] == '.') {
        ++p;
        int scale = 100;
        while (p < len && Dig(s[p])) {
          ms += (s[p] - '0') * scale;
          scale /= 10;
          ++p;
        }
      }
    }
    if (p != len) return {};
  }
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 ||
      sec > 59)
    return {};
  return MakeLocal(DaysFromCivil(y, mo, d), ((h * 60 + mi) * 60 + sec) * 1000LL + ms);
}

// A local date-time, built without a time zone lookup per value.
QDateTime LocalDateTime(const QDate& date, const QTime& time) {
  if (!date.isValid() || !time.isValid()) return {};
  return MakeLocal(date.toJulianDay() - 2440588, time.msecsSinceStartOfDay());
}

QDateTime ParseSqlDate(const QString& s) {
  const QByteArray b = s.trimmed().toUtf8();
  return ParseSqlDate(b.constData(), int(b.size()));
}

QString SqlDateText(const QDateTime& dt) {
  return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace {

// ---------------------------------------------------------------------------------------------
// Helpers for arguments and results.

QString Text(sqlite3_value* v) {
  return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                           sqlite3_value_bytes(v));
}

void ResultText(sqlite3_context* ctx, const QString& s) {
  const QByteArray b = s.toUtf8();
  sqlite3_result_text(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

void ResultDate(sqlite3_context* ctx, const QDateTime& dt) {
  if (!dt.isValid()) {
    sqlite3_result_null(ctx);
    return;
  }
  ResultText(ctx, SqlDateText(dt));
}

void Error(sqlite3_context* ctx, const char* oraText) {
  sqlite3_result_error(ctx, oraText, -1);
}

const char* const kInvalidNumber = "ORA-01722: invalid number";
const char* const kLiteralMismatch = "ORA-01861: literal does not match format string";

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  return false;
}

struct Num {
  bool isInt = false;
  qint64 i = 0;
  double d = 0;
};

std::optional<Num> NumberOf(sqlite3_value* v) {
  Num n;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      n.isInt = true;
      n.i = sqlite3_value_int64(v);
      n.d = double(n.i);
      return n;
    case SQLITE_FLOAT:
      n.d = sqlite3_value_double(v);
      return n;
    case SQLITE_TEXT: {
      const QString s = Text(v).trimmed();
      bool ok = false;
      n.i = s.toLongLong(&ok);
      if (ok) {
        n.isInt = true;
        n.d = double(n.i);
        return n;
      }
      n.d = s.toDouble(&ok);
      if (ok) return n;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

void ResultNumber(sqlite3_context* ctx, double d) {
  if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.0e15)
    sqlite3_result_int64(ctx, qint64(d));
  else
    sqlite3_result_double(ctx, d);
}

std::optional<QDateTime> DateOf(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return std::nullopt;
  const QDateTime dt =
      ParseSqlDate(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
  if (!dt.isValid()) return std::nullopt;
  return dt;
}

// ---------------------------------------------------------------------------------------------
// Date format models.

const char* const kMonths[] = {"JANUARY",   "FEBRUARY", "MARCH",    "APRIL",
                               "MAY",       "JUNE",     "JULY",     "AUGUST",
                               "SEPTEMBER", "OCTOBER",  "NOVEMBER", "DECEMBER"};
const char* const kDays[] = {"MONDAY", "TUESDAY",  "WEDNESDAY", "THURSDAY",
                             "FRIDAY", "SATURDAY", "SUNDAY"};

enum class Case { Upper, Capital, Lower };

QString Cased(const QString& s, Case c) {
  switch (c) {
    case Case::Upper:
      return s.toUpper();
    case Case::Lower:
      return s.toLower();
    default:
      return s.left(1).toUpper() + s.mid(1).toLower();
  }
}

Case CaseOf(const QString& fmt, int at) {
  const QChar a = fmt[at];
  const QChar b = at + 1 < fmt.size() ? fmt[at + 1] : a;
  if (a.isLower()) return Case::Lower;
  if (b.isLower()) return Case::Capital;
  return Case::Upper;
}

const char* const kDateElements[] = {
    "SSSSS", "SYYYY", "YYYY", "RRRR", "MONTH", "HH24", "HH12", "A.M.", "P.M.", "YEAR", "YYY",
    "MON",   "DAY",   "DDD",  "YY",   "RR",    "MM",   "DD",   "DY",   "HH",   "MI",   "SS",
    "AM",    "PM",    "FM",   "WW",   "IW",    "Y",    "D",    "J",    "Q",    "W"};

QString MatchElement(const QString& fmt, int at) {
  for (const char* e : kDateElements) {
    const int n = int(std::strlen(e));
    if (fmt.mid(at, n).compare(QLatin1String(e), Qt::CaseInsensitive) == 0)
      return QString::fromLatin1(e);
  }
  return {};
}

bool FormatDate(const QDateTime& dt, const QString& fmt, QString& out) {
  const QDate d = dt.date();
  const QTime t = dt.time();
  bool fm = false;
  auto num = [&](qint64 v, int width) {
    QString s = QString::number(v);
    if (!fm && s.size() < width) s = QString(width - s.size(), QLatin1Char('0')) + s;
    out += s;
  };
  int i = 0;
  const int n = int(fmt.size());
  while (i < n) {
    const QChar c = fmt[i];
    if (c == u'"') {
      const int e = int(fmt.indexOf(QLatin1Char('"'), i + 1));
      if (e < 0) return false;
      out += fmt.mid(i + 1, e - i - 1);
      i = e + 1;
      continue;
    }
    const QString el = MatchElement(fmt, i);
    if (el.isEmpty()) {
      if (c.unicode() < 0x80 && c.isLetter()) return false;
      out += c;
      ++i;
      continue;
    }
    const Case cs = CaseOf(fmt, i);
    const int len = int(el.size());
    if (el == QLatin1String("FM")) {
      fm = !fm;
    } else if (el == QLatin1String("YYYY") || el == QLatin1String("RRRR") ||
               el == QLatin1String("SYYYY")) {
      num(d.year(), 4);
    } else if (el == QLatin1String("YYY")) {
      num(d.year() % 1000, 3);
    } else if (el == QLatin1String("YY") || el == QLatin1String("RR")) {
      num(d.year() % 100, 2);
    } else if (el == QLatin1String("Y")) {
      num(d.year() % 10, 1);
    } else if (el == QLatin1String("YEAR")) {
      out += Cased(QString::number(d.year()), cs);
    } else if (el == QLatin1String("MM")) {
      num(d.month(), 2);
    } else if (el == QLatin1String("MON")) {
      out += Cased(QString::fromLatin1(kMonths[d.month() - 1]).left(3), cs);
    } else if (el == QLatin1String("MONTH")) {
      QString m = Cased(QString::fromLatin1(kMonths[d.month() - 1]), cs);
      if (!fm) m = m.leftJustified(9, QLatin1Char(' '));
      out += m;
    } else if (el == QLatin1String("DD")) {
      num(d.day(), 2);
    } else if (el == QLatin1String("DDD")) {
      num(d.dayOfYear(), 3);
    } else if (el == QLatin1String("D")) {
      num(d.dayOfWeek() % 7 + 1, 1);
    } else if (el == QLatin1String("DY")) {
      out += Cased(QString::fromLatin1(kDays[d.dayOfWeek() - 1]).left(3), cs);
    } else if (el == QLatin1String("DAY")) {
      QString m = Cased(QString::fromLatin1(kDays[d.dayOfWeek() - 1]), cs);
      if (!fm) m = m.leftJustified(9, QLatin1Char(' '));
      out += m;
    } else if (el == QLatin1String("HH") || el == QLatin1String("HH12")) {
      const int h = t.hour() % 12;
      num(h == 0 ? 12 : h, 2);
    } else if (el == QLatin1String("HH24")) {
      num(t.hour(), 2);
    } else if (el == QLatin1String("MI")) {
      num(t.minute(), 2);
    } else if (el == QLatin1String("SS")) {
      num(t.second(), 2);
    } else if (el == QLatin1String("SSSSS")) {
      num(t.msecsSinceStartOfDay() / 1000, 5);
    } else if (el == QLatin1String("AM") || el == QLatin1String("PM")) {
      out += Cased(QLatin1String(t.hour() < 12 ? "AM" : "PM"), cs);
    } else if (el == QLatin1String("A.M.") || el == QLatin1String("P.M.")) {
      out += Cased(QLatin1String(t.hour() < 12 ? "A.M." : "P.M."), cs);
    } else if (el == QLatin1String("Q")) {
      num((d.month() - 1) / 3 + 1, 1);
    } else if (el == QLatin1String("WW")) {
      num((d.dayOfYear() - 1) / 7 + 1, 2);
    } else if (el == QLatin1String("W")) {
      num((d.day() - 1) / 7 + 1, 1);
    } else if (el == QLatin1String("IW")) {
      num(d.weekNumber(), 2);
    } else if (el == QLatin1String("J")) {
      num(d.toJulianDay(), 7);
    }
    i += len;
  }
  return true;
}

// Reads a date by a format model. Returns an empty string on success, else the Oracle text.
const char* ParseDate(const QString& in, const QString& fmt, QDateTime& result) {
  const QDate today = QDate::currentDate();
  int y = today.year(), mo = today.month(), d = 1, h = 0, mi = 0, s = 0;
  int pm = -1;
  bool h12 = false;
  int p = 0;
  const int n = int(in.size());
  auto skipBlank = [&] {
    while (p < n && in[p].isSpace()) ++p;
  };
  auto readInt = [&](int maxDigits, int& v) -> bool {
    skipBlank();
    int k = 0;
    int sign = 1;
    if (p < n && (in[p] == u'-' || in[p] == u'+') && maxDigits >= 4) {
      sign = in[p] == u'-' ? -1 : 1;
      ++p;
    }
    v = 0;
    while (p < n && k < maxDigits && in[p].isDigit() && in[p].unicode() < 0x80) {
      v = v * 10 + (in[p].unicode() - '0');
      ++p;
      ++k;
    }
    v *= sign;
    return k > 0;
  };
  int i = 0;
  const int fn = int(fmt.size());
  while (i < fn) {
    const QChar c = fmt[i];
    if (c == u'"') {
      const int e = int(fmt.indexOf(QLatin1Char('"'), i + 1));
      if (e < 0) return "ORA-01821: date format not recognized";
      const QString lit = fmt.mid(i + 1, e - i - 1);
      if (in.mid(p, lit.size()) != lit) return kLiteralMismatch;
      p += int(lit.size());
      i = e + 1;
      continue;
    }
    const QString el = MatchElement(fmt, i);
    if (el.isEmpty()) {
      if (c.unicode() < 0x80 && c.isLetter()) return "ORA-01821: date format not recognized";
      // Punctuation matches any run of punctuation or blanks in the input.
      if (c.isSpace()) {
        skipBlank();
      } else if (p < n && !in[p].isLetterOrNumber()) {
        ++p;
      } else if (p < n) {
        return kLiteralMismatch;
      }
      ++i;
      continue;
    }
    const int len = int(el.size());
    i += len;
    if (el == QLatin1String("FM")) continue;
    if (el == QLatin1String("YYYY") || el == QLatin1String("RRRR") ||
        el == QLatin1String("SYYYY")) {
      const int start = p;
      if (!readInt(4, y))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (el == QLatin1String("RRRR") && p - start <= 2) y = y < 50 ? 2000 + y : 1900 + y;
    } else if (el == QLatin1String("YY")) {
      if (!readInt(2, y))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      y += today.year() / 100 * 100;
    } else if (el == QLatin1String("RR")) {
      const int start = p;
      if (!readInt(4, y))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (p - start <= 2) y = y < 50 ? 2000 + y : 1900 + y;
    } else if (el == QLatin1String("YYY") || el == QLatin1String("Y")) {
      int v = 0;
      if (!readInt(len, v))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      y = today.year() - today.year() % (len == 3 ? 1000 : 10) + v;
    } else if (el == QLatin1String("MM")) {
      if (!readInt(2, mo))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (mo < 1 || mo > 12) return "ORA-01843: not a valid month";
    } else if (el == QLatin1String("MON") || el == QLatin1String("MONTH")) {
      skipBlank();
      int found = -1;
      for (int m = 0; m < 12 && found < 0; ++m) {
        const QString full = QString::fromLatin1(kMonths[m]);
        if (in.mid(p, full.size()).compare(full, Qt::CaseInsensitive) == 0) {
          found = m;
          p += int(full.size());
        } else if (in.mid(p, 3).compare(full.left(3), Qt::CaseInsensitive) == 0) {
          found = m;
          p += 3;
        }
      }
      if (found < 0) return "ORA-01843: not a valid month";
      mo = found + 1;
    } else if (el == QLatin1String("DD")) {
      if (!readInt(2, d))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (d < 1 || d > 31) return "ORA-01847: day of month must be between 1 and last day of month";
    } else if (el == QLatin1String("DY") || el == QLatin1String("DAY")) {
      skipBlank();
      while (p < n && in[p].isLetter()) ++p;
    } else if (el == QLatin1String("HH") || el == QLatin1String("HH12")) {
      if (!readInt(2, h))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (h < 1 || h > 12) return "ORA-01849: hour must be between 1 and 12";
      h12 = true;
    } else if (el == QLatin1String("HH24")) {
      if (!readInt(2, h))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (h > 23) return "ORA-01850: hour must be between 0 and 23";
    } else if (el == QLatin1String("MI")) {
      if (!readInt(2, mi))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (mi > 59) return "ORA-01851: minutes must be between 0 and 59";
    } else if (el == QLatin1String("SS")) {
      if (!readInt(2, s))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      if (s > 59) return "ORA-01852: seconds must be between 0 and 59";
    } else if (el == QLatin1String("AM") || el == QLatin1String("PM") ||
               el == QLatin1String("A.M.") || el == QLatin1String("P.M.")) {
      skipBlank();
      const QString w = in.mid(p, len).toUpper();
      if (w.startsWith(QLatin1Char('A')))
        pm = 0;
      else if (w.startsWith(QLatin1Char('P')))
        pm = 1;
      else
        return "ORA-01855: AM/A.M. or PM/P.M. required";
      p += len;
    } else if (el == QLatin1String("J")) {
      int j = 0;
      if (!readInt(7, j))
        return "ORA-01858: a non-numeric character was found where a numeric was expected";
      const QDate jd = QDate::fromJulianDay(j);
      y = jd.year();
      mo = jd.month();
      d = jd.day();
    } else {
      return "ORA-01821: date format not recognized";
    }
  }
  skipBlank();
  if (p < n) return "ORA-01830: date format picture ends before converting entire input string";
  if (h12 && pm >= 0)
    h = (h % 12) + (pm == 1 ? 12 : 0);
  else if (h12 && h == 12)
    h = 0;
  const QDate date(y, mo, 1);
  if (!date.isValid())
    return "ORA-01841: (full) year must be between -4713 and +9999, and not be 0";
  if (d > date.daysInMonth()) return "ORA-01839: date not valid for month specified";
  result = QDateTime(QDate(y, mo, d), QTime(h, mi, s));
  return nullptr;
}

// Dates typed without a format model: the ISO forms and Oracle's DD-MON-RR.
std::optional<QDateTime> ParseDefaultDate(const QString& s) {
  QDateTime dt = ParseSqlDate(s);
  if (dt.isValid()) return dt;
  for (const char* f : {"DD-MON-RR", "DD-MON-YYYY HH24:MI:SS", "YYYY/MM/DD HH24:MI:SS",
                        "YYYY/MM/DD", "YYYYMMDD", "RR-MM-DD"}) {
    if (!ParseDate(s, QString::fromLatin1(f), dt)) return dt;
  }
  return std::nullopt;
}

std::optional<QDateTime> DateArg(sqlite3_context* ctx, sqlite3_value* v) {
  if (auto d = DateOf(v)) return d;
  if (sqlite3_value_type(v) == SQLITE_TEXT)
    if (auto d = ParseDefaultDate(Text(v))) return d;
  Error(ctx, kLiteralMismatch);
  return std::nullopt;
}

// ---------------------------------------------------------------------------------------------
// Number format models.

bool IsNumberFormat(const QString& fmt) {
  QString f = fmt.toUpper();
  f.remove(QStringLiteral("FM"));
  if (f.isEmpty()) return false;
  bool digit = false;
  for (const QChar c : f) {
    if (c == u'9' || c == u'0')
      digit = true;
    else if (!QStringLiteral(",.$SMIGDLBPRVEX ").contains(c))
      return false;
  }
  return digit;
}

QString PlainNumber(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e15) return QString::number(qint64(v));
  QString s = QString::number(v, 'g', 15);
  if (s.contains(QLatin1Char('e'))) return s.toUpper();
  if (s.startsWith(QLatin1String("0.")))
    s = s.mid(1);
  else if (s.startsWith(QLatin1String("-0.")))
    s = QLatin1Char('-') + s.mid(2);
  return s;
}

QString FormatNumber(double v, const QString& fmtIn) {
  QString fmt = fmtIn.toUpper();
  bool fm = false;
  if (fmt.startsWith(QLatin1String("FM"))) {
    fm = true;
    fmt = fmt.mid(2);
  }
  bool signStart = false, signEnd = false, miEnd = false, dollar = false;
  if (fmt.startsWith(QLatin1Char('S'))) {
    signStart = true;
    fmt = fmt.mid(1);
  } else if (fmt.endsWith(QLatin1Char('S'))) {
    signEnd = true;
    fmt.chop(1);
  }
  if (fmt.endsWith(QLatin1String("MI"))) {
    miEnd = true;
    fmt.chop(2);
  }
  if (fmt.contains(QLatin1Char('$'))) {
    dollar = true;
    fmt.remove(QLatin1Char('$'));
  }
  fmt.replace(QLatin1Char('G'), QLatin1Char(','));
  fmt.replace(QLatin1Char('D'), QLatin1Char('.'));
  const int dot = int(fmt.indexOf(QLatin1Char('.')));
  const QString intFmt = dot < 0 ? fmt : fmt.left(dot);
  const QString decFmt = dot < 0 ? QString() : fmt.mid(dot + 1);
  int decimals = 0;
  for (QChar c : decFmt)
    if (c == u'9' || c == u'0') ++decimals;
  int intPositions = 0;
  for (QChar c : intFmt)
    if (c == u'9' || c == u'0') ++intPositions;
  const bool neg = v < 0;
  const double a = std::fabs(v);
  QString digits = QString::number(a, 'f', decimals);
  QString intDigits = digits.section(QLatin1Char('.'), 0, 0);
  const QString decDigits = digits.section(QLatin1Char('.'), 1, 1);
  if (intDigits == QLatin1String("0")) intDigits.clear();
  if (intDigits.size() > intPositions) return QString(fmtIn.size() + 1, QLatin1Char('#'));
  const int zeroStart = int(intFmt.indexOf(QLatin1Char('0')));
  QString body;
  int pos = 0;  // digit position index from the left
  bool started = false;
  for (int i = 0; i < intFmt.size(); ++i) {
    const QChar c = intFmt[i];
    if (c == u'9' || c == u'0') {
      const int k = pos - (intPositions - int(intDigits.size()));
      if (k >= 0) {
        body += intDigits[k];
        started = true;
      } else if (zeroStart >= 0 && i >= zeroStart) {
        body += QLatin1Char('0');
        started = true;
      } else if (!fm) {
        body += QLatin1Char(' ');
      }
      ++pos;
    } else if (c == u',') {
      if (started)
        body += QLatin1Char(',');
      else if (!fm)
        body += QLatin1Char(' ');
    } else {
      body += c;
    }
  }
  if (dot >= 0) {
    QString dec = decDigits;
    if (fm) {
      // trailing 9 positions drop their zeros
      int keep = int(dec.size());
      int fi = int(decFmt.size()) - 1;
      while (keep > 0 && fi >= 0 && decFmt[fi] == u'9' && dec[keep - 1] == u'0') {
        --keep;
        --fi;
      }
      dec = dec.left(keep);
    }
    body += QLatin1Char('.') + dec;
  }
  if (body.trimmed().isEmpty() || body.trimmed() == QLatin1String(".")) {
    // zero shown by a format without 0: Oracle shows "0"
    if (intDigits.isEmpty() && decimals == 0) body = body.left(body.size() - 1) + QLatin1Char('0');
  }
  // Sign and currency go right before the first visible character.
  int first = 0;
  while (first < body.size() && body[first] == u' ') ++first;
  QString lead = dollar ? QStringLiteral("$") : QString();
  if (signStart)
    lead = (neg ? QStringLiteral("-") : QStringLiteral("+")) + lead;
  else if (!signEnd && !miEnd && neg)
    lead = QLatin1Char('-') + lead;
  QString r = body.left(first) + lead + body.mid(first);
  if (!signStart && !signEnd && !miEnd && !neg && !fm) r = QLatin1Char(' ') + r;
  if (signEnd) r += QLatin1Char(neg ? '-' : '+');
  if (miEnd) r += neg ? QStringLiteral("-") : (fm ? QString() : QStringLiteral(" "));
  return r;
}

// ---------------------------------------------------------------------------------------------
// The functions.

struct UserData {
  const QString* user;
};

void FnSysdate(sqlite3_context* ctx, int, sqlite3_value**) {
  const QDateTime now = QDateTime::currentDateTime();
  ResultDate(ctx, QDateTime(now.date(),
                            QTime(now.time().hour(), now.time().minute(), now.time().second())));
}

void FnUser(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* u = static_cast<const UserData*>(sqlite3_user_data(ctx));
  ResultText(ctx, *u->user);
}

void FnRowid(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  quint64 v = quint64(sqlite3_value_int64(argv[0]));
  char buf[19];
  for (int i = 17; i >= 0; --i) {
    buf[i] = kAlphabet[v & 63];
    v >>= 6;
  }
  buf[18] = 0;
  sqlite3_result_text(ctx, buf, 18, SQLITE_TRANSIENT);
}

// The rewriting turns date + n, date - n and date - date into these two functions when it
// judges an operand to be a date. When the operands turn out to be plain numbers after all (a
// numeric column that shares its name with a date column elsewhere), they are added or
// subtracted as numbers, so a wrong guess never changes a result.
void FnDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<QDateTime> d = DateOf(argv[0]);
  if (!d && sqlite3_value_type(argv[0]) == SQLITE_TEXT) d = ParseDefaultDate(Text(argv[0]));
  const auto n = NumberOf(argv[1]);
  if (!d) {
    const auto a = NumberOf(argv[0]);
    if (!a || !n) return Error(ctx, kInvalidNumber);
    if (a->isInt && n->isInt) return sqlite3_result_int64(ctx, a->i + n->i);
    return ResultNumber(ctx, a->d + n->d);
  }
  if (!n) return Error(ctx, kInvalidNumber);
  ResultDate(ctx, d->addMSecs(qint64(std::llround(n->d * 86400.0)) * 1000));
}

void FnDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<QDateTime> a = DateOf(argv[0]);
  if (!a && sqlite3_value_type(argv[0]) == SQLITE_TEXT) a = ParseDefaultDate(Text(argv[0]));
  std::optional<QDateTime> b = DateOf(argv[1]);
  if (!b && sqlite3_value_type(argv[1]) == SQLITE_TEXT) b = ParseDefaultDate(Text(argv[1]));
  if (a && b) return ResultNumber(ctx, double(b->secsTo(*a)) / 86400.0);
  const auto y = NumberOf(argv[1]);
  if (a && y) return ResultDate(ctx, a->addMSecs(-qint64(std::llround(y->d * 86400.0)) * 1000));
  const auto x = NumberOf(argv[0]);
  if (!x || !y) return Error(ctx, kInvalidNumber);
  if (x->isInt && y->isInt) return sqlite3_result_int64(ctx, x->i - y->i);
  ResultNumber(ctx, x->d - y->d);
}

void FnNvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) != SQLITE_NULL ? argv[0] : argv[1]);
}

void FnNvl2(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) != SQLITE_NULL ? argv[1] : argv[2]);
}

bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (ta == SQLITE_NULL || tb == SQLITE_NULL) return ta == tb;
  const bool na = ta == SQLITE_INTEGER || ta == SQLITE_FLOAT;
  const bool nb = tb == SQLITE_INTEGER || tb == SQLITE_FLOAT;
  if (na || nb) {
    const auto x = NumberOf(a), y = NumberOf(b);
    if (x && y) return x->d == y->d;
    return false;
  }
  return sqlite3_value_bytes(a) == sqlite3_value_bytes(b) &&
         std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b),
                     size_t(sqlite3_value_bytes(a))) == 0;
}

void FnDecode(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (argc < 3) return Error(ctx, "ORA-00938: not enough arguments for function");
  int i = 1;
  for (; i + 1 < argc; i += 2) {
    if (SameValue(argv[0], argv[i])) return sqlite3_result_value(ctx, argv[i + 1]);
  }
  if (i < argc) return sqlite3_result_value(ctx, argv[i]);
  sqlite3_result_null(ctx);
}

void FnToChar(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (argc == 1 || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    if (t == SQLITE_INTEGER) return ResultText(ctx, QString::number(sqlite3_value_int64(argv[0])));
    if (t == SQLITE_FLOAT) return ResultText(ctx, PlainNumber(sqlite3_value_double(argv[0])));
    return sqlite3_result_value(ctx, argv[0]);
  }
  const QString fmt = Text(argv[1]);
  if (IsNumberFormat(fmt)) {
    const auto n = NumberOf(argv[0]);
    if (!n) return Error(ctx, kInvalidNumber);
    return ResultText(ctx, FormatNumber(n->d, fmt));
  }
  if (t != SQLITE_TEXT) return Error(ctx, "ORA-01481: invalid number format model");
  const auto d = DateArg(ctx, argv[0]);
  if (!d) return;
  QString out;
  if (!FormatDate(*d, fmt, out)) return Error(ctx, "ORA-01821: date format not recognized");
  ResultText(ctx, out);
}

void FnToDate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  if (argc == 1 || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    const auto d = ParseDefaultDate(s);
    if (!d) return Error(ctx, kLiteralMismatch);
    return ResultDate(ctx, *d);
  }
  QDateTime dt;
  if (const char* e = ParseDate(s, Text(argv[1]), dt)) return Error(ctx, e);
  ResultDate(ctx, dt);
}

void FnToNumber(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) return sqlite3_result_value(ctx, argv[0]);
  QString s = Text(argv[0]).trimmed();
  if (argc >= 2) {
    s.remove(QLatin1Char(','));
    s.remove(QLatin1Char('$'));
    s = s.trimmed();
  }
  bool ok = false;
  const qlonglong ll = s.toLongLong(&ok);
  if (ok) return sqlite3_result_int64(ctx, ll);
  const double d = s.toDouble(&ok);
  if (!ok || s.isEmpty()) return Error(ctx, kInvalidNumber);
  ResultNumber(ctx, d);
}

void FnSubstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  const auto p = NumberOf(argv[1]);
  if (!p) return Error(ctx, kInvalidNumber);
  qint64 pos = qint64(std::trunc(p->d));
  const qint64 n = s.size();
  if (pos == 0) pos = 1;
  if (pos < 0) pos = n + pos + 1;
  if (pos < 1 || pos > n) return sqlite3_result_null(ctx);
  qint64 len = n - pos + 1;
  if (argc > 2) {
    const auto l = NumberOf(argv[2]);
    if (!l) return Error(ctx, kInvalidNumber);
    len = qint64(std::trunc(l->d));
    if (len < 1) return sqlite3_result_null(ctx);
  }
  const QString r = s.mid(pos - 1, len);
  if (r.isEmpty()) return sqlite3_result_null(ctx);
  ResultText(ctx, r);
}

void FnInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  const QString sub = Text(argv[1]);
  qint64 pos = 1, occ = 1;
  if (argc > 2) {
    const auto p = NumberOf(argv[2]);
    if (!p) return Error(ctx, kInvalidNumber);
    pos = qint64(p->d);
  }
  if (argc > 3) {
    const auto o = NumberOf(argv[3]);
    if (!o) return Error(ctx, kInvalidNumber);
    occ = qint64(o->d);
    if (occ < 1) return Error(ctx, "ORA-01428: argument is out of range");
  }
  if (pos == 0 || sub.isEmpty()) return sqlite3_result_int64(ctx, 0);
  if (pos > 0) {
    qsizetype at = pos - 1;
    for (qint64 k = 0; k < occ; ++k) {
      at = s.indexOf(sub, at);
      if (at < 0) return sqlite3_result_int64(ctx, 0);
      if (k + 1 < occ) ++at;
    }
    return sqlite3_result_int64(ctx, at + 1);
  }
  qsizetype at = s.size() + pos;
  for (qint64 k = 0; k < occ; ++k) {
    if (at < 0) return sqlite3_result_int64(ctx, 0);
    at = s.lastIndexOf(sub, at);
    if (at < 0) return sqlite3_result_int64(ctx, 0);
    if (k + 1 < occ) --at;
  }
  sqlite3_result_int64(ctx, at + 1);
}

void FnLength(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (t == SQLITE_BLOB) return sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
  QString s;
  if (t == SQLITE_FLOAT)
    s = PlainNumber(sqlite3_value_double(argv[0]));
  else
    s = Text(argv[0]);
  if (s.isEmpty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, s.size());
}

void FnUpper(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, Text(argv[0]).toUpper());
}

void FnLower(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, Text(argv[0]).toLower());
}

void FnInitcap(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  QString s = Text(argv[0]);
  bool start = true;
  for (QChar& c : s) {
    if (c.isLetterOrNumber()) {
      c = start ? c.toUpper() : c.toLower();
      start = false;
    } else {
      start = true;
    }
  }
  ResultText(ctx, s);
}

void Pad(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool left) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  QString s = sqlite3_value_type(argv[0]) == SQLITE_FLOAT
                  ? PlainNumber(sqlite3_value_double(argv[0]))
                  : Text(argv[0]);
  const auto n = NumberOf(argv[1]);
  if (!n) return Error(ctx, kInvalidNumber);
  const qint64 len = qint64(n->d);
  if (len < 1 || len > 32767) return sqlite3_result_null(ctx);
  const QString pad = argc > 2 ? Text(argv[2]) : QStringLiteral(" ");
  if (pad.isEmpty()) return sqlite3_result_null(ctx);
  if (s.size() >= len) return ResultText(ctx, s.left(len));
  QString fill;
  while (fill.size() < len - s.size()) fill += pad;
  fill.truncate(len - s.size());
  ResultText(ctx, left ? fill + s : s + fill);
}
void FnLpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Pad(ctx, argc, argv, true);
}
void FnRpad(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Pad(ctx, argc, argv, false);
}

QDateTime TruncDate(const QDateTime& dt, const QString& fmtIn, bool* ok) {
  const QString f = fmtIn.toUpper().trimmed();
  const QDate d = dt.date();
  *ok = true;
  if (f.isEmpty() || f == QLatin1String("DD") || f == QLatin1String("DDD") ||
      f == QLatin1String("J"))
    return QDateTime(d, QTime(0, 0));
  if (f == QLatin1String("MM") || f == QLatin1String("MON") || f == QLatin1String("MONTH") ||
      f == QLatin1String("RM"))
    return QDateTime(QDate(d.year(), d.month(), 1), QTime(0, 0));
  if (f == QLatin1String("YYYY") || f == QLatin1String("YEAR") || f == QLatin1String("YY") ||
      f == QLatin1String("Y") || f == QLatin1String("YYY") || f == QLatin1String("RRRR") ||
      f == QLatin1String("RR") || f == QLatin1String("SYYYY"))
    return QDateTime(QDate(d.year(), 1, 1), QTime(0, 0));
  if (f == QLatin1String("Q"))
    return QDateTime(QDate(d.year(), (d.month() - 1) / 3 * 3 + 1, 1), QTime(0, 0));
  if (f == QLatin1String("HH") || f == QLatin1String("HH12") || f == QLatin1String("HH24"))
    return QDateTime(d, QTime(dt.time().hour(), 0));
  if (f == QLatin1String("MI")) return QDateTime(d, QTime(dt.time().hour(), dt.time().minute()));
  if (f == QLatin1String("D") || f == QLatin1String("DY") || f == QLatin1String("DAY"))
    return QDateTime(d.addDays(-(d.dayOfWeek() % 7)), QTime(0, 0));
  if (f == QLatin1String("IW")) return QDateTime(d.addDays(-(d.dayOfWeek() - 1)), QTime(0, 0));
  *ok = false;
  return {};
}

QDateTime RoundDate(const QDateTime& dt, const QString& fmtIn, bool* ok) {
  const QString f = fmtIn.toUpper().trimmed();
  const QDate d = dt.date();
  if (f.isEmpty() || f == QLatin1String("DD") || f == QLatin1String("DDD") ||
      f == QLatin1String("J"))
    return TruncDate(dt.time().hour() >= 12 ? dt.addDays(1) : dt, QString(), ok);
  if (f == QLatin1String("MM") || f == QLatin1String("MON") || f == QLatin1String("MONTH"))
    return TruncDate(d.day() >= 16 ? QDateTime(d.addMonths(1), QTime(0, 0)) : dt, f, ok);
  if (f == QLatin1String("YYYY") || f == QLatin1String("YEAR") || f == QLatin1String("YY") ||
      f == QLatin1String("Y") || f == QLatin1String("RRRR") || f == QLatin1String("SYYYY"))
    return TruncDate(d.month() >= 7 ? QDateTime(d.addYears(1), QTime(0, 0)) : dt, f, ok);
  if (f == QLatin1String("HH") || f == QLatin1String("HH12") || f == QLatin1String("HH24"))
    return TruncDate(dt.addSecs(1800), f, ok);
  if (f == QLatin1String("MI")) return TruncDate(dt.addSecs(30), f, ok);
  return TruncDate(dt, f, ok);
}

void RoundOrTrunc(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool round) {
  const int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL || (argc > 1 && sqlite3_value_type(argv[1]) == SQLITE_NULL))
    return sqlite3_result_null(ctx);
  if (t == SQLITE_TEXT) {
    if (auto dt = DateOf(argv[0])) {
      bool ok = false;
      const QString f = argc > 1 ? Text(argv[1]) : QString();
      const QDateTime r = round ? RoundDate(*dt, f, &ok) : TruncDate(*dt, f, &ok);
      if (!ok) return Error(ctx, "ORA-01898: too many precision specifiers");
      return ResultDate(ctx, r);
    }
  }
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  int places = 0;
  if (argc > 1) {
    const auto p = NumberOf(argv[1]);
    if (!p) return Error(ctx, kInvalidNumber);
    places = int(p->d);
  }
  if (n->isInt && places >= 0) return sqlite3_result_int64(ctx, n->i);
  const double f = std::pow(10.0, places);
  double r;
  if (round) {
    // round half away from zero, after removing representation error such as 1.005 * 100
    const double scaled = QString::number(n->d * f, 'f', 9).toDouble();
    r = std::round(scaled) / f;
  } else {
    r = std::trunc(n->d * f) / f;
  }
  if (places <= 0) return ResultNumber(ctx, r);
  sqlite3_result_double(ctx, r);
}
void FnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  RoundOrTrunc(ctx, argc, argv, true);
}
void FnTrunc(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  RoundOrTrunc(ctx, argc, argv, false);
}

void FnMod(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto a = NumberOf(argv[0]), b = NumberOf(argv[1]);
  if (!a || !b) return Error(ctx, kInvalidNumber);
  if (a->isInt && b->isInt) {
    if (b->i == 0) return sqlite3_result_int64(ctx, a->i);
    if (b->i == -1) return sqlite3_result_int64(ctx, 0);
    return sqlite3_result_int64(ctx, a->i % b->i);
  }
  if (b->d == 0) return ResultNumber(ctx, a->d);
  ResultNumber(ctx, a->d - b->d * std::trunc(a->d / b->d));
}

QDateTime AddMonths(const QDateTime& dt, int months) {
  const QDate d = dt.date();
  const bool lastDay = d.day() == d.daysInMonth();
  QDate r = QDate(d.year(), d.month(), 1).addMonths(months);
  const int day = lastDay ? r.daysInMonth() : std::min(d.day(), r.daysInMonth());
  r = QDate(r.year(), r.month(), day);
  return QDateTime(r, dt.time());
}

void FnAddMonths(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto d = DateArg(ctx, argv[0]);
  if (!d) return;
  const auto n = NumberOf(argv[1]);
  if (!n) return Error(ctx, kInvalidNumber);
  ResultDate(ctx, AddMonths(*d, int(std::trunc(n->d))));
}

void FnMonthsBetween(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto a = DateArg(ctx, argv[0]);
  if (!a) return;
  const auto b = DateArg(ctx, argv[1]);
  if (!b) return;
  const QDate x = a->date(), y = b->date();
  const int months = (x.year() - y.year()) * 12 + (x.month() - y.month());
  const bool lastX = x.day() == x.daysInMonth(), lastY = y.day() == y.daysInMonth();
  if (x.day() == y.day() || (lastX && lastY)) return sqlite3_result_int64(ctx, months);
  const double secsX = a->time().msecsSinceStartOfDay() / 1000.0;
  const double secsY = b->time().msecsSinceStartOfDay() / 1000.0;
  const double frac = ((x.day() - y.day()) + (secsX - secsY) / 86400.0) / 31.0;
  sqlite3_result_double(ctx, months + frac);
}

void FnLastDay(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto d = DateArg(ctx, argv[0]);
  if (!d) return;
  const QDate x = d->date();
  ResultDate(ctx, QDateTime(QDate(x.year(), x.month(), x.daysInMonth()), d->time()));
}

void FnNextDay(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto d = DateArg(ctx, argv[0]);
  if (!d) return;
  const QString w = Text(argv[1]).trimmed().toUpper();
  int target = -1;
  for (int i = 0; i < 7; ++i)
    if (w.size() >= 2 && QString::fromLatin1(kDays[i]).startsWith(w)) target = i + 1;
  if (target < 0) return Error(ctx, "ORA-01846: not a valid day of the week");
  int add = target - d->date().dayOfWeek();
  if (add <= 0) add += 7;
  ResultDate(ctx, d->addDays(add));
}

int Compare(sqlite3_value* a, sqlite3_value* b) {
  const auto x = NumberOf(a), y = NumberOf(b);
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  if (x && y && (ta != SQLITE_TEXT || tb != SQLITE_TEXT)) return x->d < y->d ? -1 : x->d > y->d;
  const QString s = Text(a), t = Text(b);
  return s < t ? -1 : s > t;
}

void Extreme(sqlite3_context* ctx, int argc, sqlite3_value** argv, int sign) {
  if (argc == 0) return Error(ctx, "ORA-00938: not enough arguments for function");
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  int best = 0;
  for (int i = 1; i < argc; ++i)
    if (Compare(argv[i], argv[best]) * sign > 0) best = i;
  sqlite3_result_value(ctx, argv[best]);
}
void FnGreatest(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Extreme(ctx, argc, argv, 1);
}
void FnLeast(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Extreme(ctx, argc, argv, -1);
}

template <double (*F)(double)>
void Math1(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  ResultNumber(ctx, F(n->d));
}
double Sign(double v) {
  return v > 0 ? 1 : v < 0 ? -1 : 0;
}
double Ceil(double v) {
  return std::ceil(v);
}
double Floor(double v) {
  return std::floor(v);
}
double Exp(double v) {
  return std::exp(v);
}

void FnSqrt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  if (n->d < 0) return Error(ctx, "ORA-01428: argument is out of range");
  ResultNumber(ctx, std::sqrt(n->d));
}

void FnLn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  if (n->d <= 0) return Error(ctx, "ORA-01428: argument is out of range");
  sqlite3_result_double(ctx, std::log(n->d));
}

void FnPower(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto a = NumberOf(argv[0]), b = NumberOf(argv[1]);
  if (!a || !b) return Error(ctx, kInvalidNumber);
  ResultNumber(ctx, std::pow(a->d, b->d));
}

void FnChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  const qint64 v = qint64(n->d);
  if (v < 0 || v > 0x10FFFF) return Error(ctx, "ORA-01428: argument is out of range");
  const char32_t cp = char32_t(v);
  ResultText(ctx, QString::fromUcs4(&cp, 1));
}

void FnAscii(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  if (s.isEmpty()) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, s.toUcs4().value(0));
}

// CONCAT and ||: a Null operand reads as an empty text, numbers as Oracle writes them.
void FnConcat(sqlite3_context* ctx, int, sqlite3_value** argv) {
  QByteArray out;
  bool allNull = true;
  for (int i = 0; i < 2; ++i) {
    switch (sqlite3_value_type(argv[i])) {
      case SQLITE_NULL:
        break;
      case SQLITE_FLOAT:
        out += PlainNumber(sqlite3_value_double(argv[i])).toUtf8();
        allNull = false;
        break;
      default:
        out.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[i])),
                   sqlite3_value_bytes(argv[i]));
        allNull = false;
        break;
    }
  }
  if (allNull || out.isEmpty()) return sqlite3_result_null(ctx);
  sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

void FnReplace2(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  QString s = Text(argv[0]);
  if (sqlite3_value_type(argv[1]) != SQLITE_NULL) s.remove(Text(argv[1]));
  ResultText(ctx, s);
}

void FnTranslate(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]), from = Text(argv[1]), to = Text(argv[2]);
  QString r;
  for (QChar c : s) {
    const qsizetype i = from.indexOf(c);
    if (i < 0)
      r += c;
    else if (i < to.size())
      r += to[i];
  }
  if (r.isEmpty()) return sqlite3_result_null(ctx);
  ResultText(ctx, r);
}

void FnLengthb(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const int n = sqlite3_value_bytes(argv[0]);
  if (n == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, n);
}

}  // namespace

void RegisterOracleFunctions(sqlite3* db, const QString* user) {
  static const int kDet = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  struct Fn {
    const char* name;
    int nArg;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool det;
  };
  static const Fn kFns[] = {
      {"ORA_DATE_ADD", 2, FnDateAdd, true},
      {"ORA_DATE_DIFF", 2, FnDateDiff, true},
      {"ORA_ROWID", 1, FnRowid, true},
      {"NVL", 2, FnNvl, true},
      {"NVL2", 3, FnNvl2, true},
      {"DECODE", -1, FnDecode, true},
      {"TO_CHAR", 1, FnToChar, true},
      {"TO_CHAR", 2, FnToChar, true},
      {"TO_CHAR", 3, FnToChar, true},
      {"TO_DATE", 1, FnToDate, true},
      {"TO_DATE", 2, FnToDate, true},
      {"TO_DATE", 3, FnToDate, true},
      {"TO_NUMBER", 1, FnToNumber, true},
      {"TO_NUMBER", 2, FnToNumber, true},
      {"TO_NUMBER", 3, FnToNumber, true},
      {"SUBSTR", 2, FnSubstr, true},
      {"SUBSTR", 3, FnSubstr, true},
      {"INSTR", 2, FnInstr, true},
      {"INSTR", 3, FnInstr, true},
      {"INSTR", 4, FnInstr, true},
      {"LENGTH", 1, FnLength, true},
      {"LENGTHB", 1, FnLengthb, true},
      {"UPPER", 1, FnUpper, true},
      {"LOWER", 1, FnLower, true},
      {"INITCAP", 1, FnInitcap, true},
      {"LPAD", 2, FnLpad, true},
      {"LPAD", 3, FnLpad, true},
      {"RPAD", 2, FnRpad, true},
      {"RPAD", 3, FnRpad, true},
      {"ROUND", 1, FnRound, true},
      {"ROUND", 2, FnRound, true},
      {"TRUNC", 1, FnTrunc, true},
      {"TRUNC", 2, FnTrunc, true},
      {"MOD", 2, FnMod, true},
      {"ADD_MONTHS", 2, FnAddMonths, true},
      {"MONTHS_BETWEEN", 2, FnMonthsBetween, true},
      {"LAST_DAY", 1, FnLastDay, true},
      {"NEXT_DAY", 2, FnNextDay, true},
      {"GREATEST", -1, FnGreatest, true},
      {"LEAST", -1, FnLeast, true},
      {"CEIL", 1, Math1<Ceil>, true},
      {"FLOOR", 1, Math1<Floor>, true},
      {"SIGN", 1, Math1<Sign>, true},
      {"EXP", 1, Math1<Exp>, true},
      {"SQRT", 1, FnSqrt, true},
      {"LN", 1, FnLn, true},
      {"POWER", 2, FnPower, true},
      {"CHR", 1, FnChr, true},
      {"ASCII", 1, FnAscii, true},
      {"CONCAT", 2, FnConcat, true},
      {"REPLACE", 2, FnReplace2, true},
      {"TRANSLATE", 3, FnTranslate, true},
      {"ORA_SYSDATE", 0, FnSysdate, false},
      {"ORA_CONCAT", 2, FnConcat, true},
  };
  for (const Fn& f : kFns)
    sqlite3_create_function_v2(db, f.name, f.nArg, f.det ? kDet : SQLITE_UTF8, nullptr, f.fn,
                               nullptr, nullptr, nullptr);
  auto* ud = new UserData{user};
  sqlite3_create_function_v2(db, "ORA_USER", 0, SQLITE_UTF8, ud, FnUser, nullptr, nullptr,
                             [](void* p) { delete static_cast<UserData*>(p); });
}

}  // namespace ora::local
