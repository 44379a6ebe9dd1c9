// Oracle SQL functions for SQLite: TO_CHAR with format models, TO_DATE, NVL, DECODE, date
// arithmetic and the rest of what a user types into an Oracle console.
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTime>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "core/NumberText.h"
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

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr qint64 DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const qint64 era = (y >= 0 ? y : y - 399) / 400;
  const qint64 yoe = y - era * 400;
  const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Built from its milliseconds, by setting them on a copy of a UTC date-time: the same value as
// from a QDate and a QTime or from fromMSecsSinceEpoch, at a fraction of their cost.
QDateTime WallClockOf(int y, int mo, int d, int msOfDay) {
  static const QDateTime kUtc = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
  QDateTime dt = kUtc;
  dt.setMSecsSinceEpoch(DaysFromCivil(y, mo, d) * 86400000 + msOfDay);
  return dt;
}

}  // namespace

bool ReadStoredDate(const char* s, int n, DateFields* f) {
  if (n != 19) return false;
  // Eight bytes at a time, "YYYY-MM-", "DD hh:mm" and "hh:mm:ss": the separators compared, the
  // other bytes tested as digits together (a byte outside '0' to '9' sets its high bit in the
  // sum or the difference, and no byte carries into another while all are digits).
  static constexpr int kAt[] = {0, 8, 11};
  static constexpr std::uint64_t kSeparator[] = {0xFF0000FF00000000u, 0x0000FF0000FF0000u,
                                                 0x0000FF0000FF0000u};
  static constexpr std::uint64_t kSeparatorText[] = {0x2D00002D00000000u, 0x00003A0000200000u,
                                                     0x00003A00003A0000u};
  constexpr std::uint64_t kZeros = 0x3030303030303030u;
  std::uint64_t bad = 0;
  for (int i = 0; i < 3; ++i) {
    std::uint64_t w;
    std::memcpy(&w, s + kAt[i], sizeof w);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    bad |= (w & kSeparator[i]) ^ kSeparatorText[i];
    const std::uint64_t digits = (w & ~kSeparator[i]) | (kZeros & kSeparator[i]);
    bad |= ((digits + 0x4646464646464646u) | (digits - kZeros)) & 0x8080808080808080u;
  }
  if (bad) return false;
  *f = {D2(s) * 100 + D2(s + 2), D2(s + 5), D2(s + 8), D2(s + 11), D2(s + 14), D2(s + 17)};
  return IsValidDateTime(f->y, f->mo, f->d, f->h, f->mi, f->sec);
}

QDateTime StoredDateTime(const DateFields& f) {
  return WallClockOf(f.y, f.mo, f.d, ((f.h * 60 + f.mi) * 60 + f.sec) * 1000);
}

QDateTime ParseSqlDate(const char* s, int len) {
  // The form the engine stores, most texts a date column holds, is read without the general
  // parse.
  if (DateFields f; ReadStoredDate(s, len, &f)) return StoredDateTime(f);
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
  if (!IsValidDateTime(y, mo, d, h, mi, sec)) return {};
  return WallClockOf(y, mo, d, ((h * 60 + mi) * 60 + sec) * 1000 + ms);
}

QDateTime WallClockSecond(const QDateTime& moment) {
  const QDateTime local = moment.toLocalTime();
  const QTime t = local.time();
  return WallClock(local.date(), QTime(t.hour(), t.minute(), t.second()));
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

void Error(sqlite3_context* ctx, const char* oraText) {
  sqlite3_result_error(ctx, oraText, -1);
}

const char* const kInvalidNumber = "ORA-01722: invalid number";
const char* const kLiteralMismatch = "ORA-01861: literal does not match format string";
const char* const kDateOutOfRange =
    "ORA-01841: (full) year must be between -4713 and +9999, and not be 0";
const char* const kOutOfRange = "ORA-01428: argument is out of range";
const char* const kDivisorIsZero = "ORA-01476: divisor is equal to zero";

// In Oracle the empty string is Null, so a function whose text result is empty gives Null.
void ResultText(sqlite3_context* ctx, const QString& s) {
  if (s.isEmpty()) return sqlite3_result_null(ctx);
  const QByteArray b = s.toUtf8();
  sqlite3_result_text(ctx, b.constData(), int(b.size()), SQLITE_TRANSIENT);
}

// Dates are kept as "YYYY-MM-DD HH:MM:SS" texts, which hold the years 1 to 9999.
bool InDateRange(const QDate& d) {
  return d.isValid() && d.year() >= 1 && d.year() <= 9999;
}

void ResultDate(sqlite3_context* ctx, const QDateTime& dt) {
  if (!dt.isValid()) return sqlite3_result_null(ctx);
  if (!InDateRange(dt.date())) return Error(ctx, kDateOutOfRange);
  ResultText(ctx, SqlDateText(dt));
}

// Empty text reads as Null, as Oracle has no empty string.
bool IsNull(sqlite3_value* v) {
  const int t = sqlite3_value_type(v);
  return t == SQLITE_NULL || (t == SQLITE_TEXT && sqlite3_value_bytes(v) == 0);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i)
    if (IsNull(argv[i])) return true;
  return false;
}

struct Num {
  bool isInt = false;
  qint64 i = 0;
  double d = 0;
};

// A number argument; text must spell a finite number, else the caller raises ORA-01722.
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
      if (ok && std::isfinite(n.d)) return n;
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

// A whole-number argument (position, length, count), truncated and held within +-2^62 so that
// arithmetic on it cannot overflow; positions that far out behave as "beyond the text".
qint64 ClampedWhole(double d) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  if (std::isnan(d)) return 0;
  return qint64(std::clamp(std::trunc(d), -kLimit, kLimit));
}

// NUMBER cannot hold infinity or an undefined result: overflow is ORA-01426, and a result with
// no value (0 raised to a negative power, a root of a negative number) is out of range.
void ResultNumber(sqlite3_context* ctx, double d) {
  if (std::isnan(d)) return Error(ctx, kOutOfRange);
  if (std::isinf(d)) return Error(ctx, "ORA-01426: numeric overflow");
  if (d == std::floor(d) && std::fabs(d) < 9.0e15)
    sqlite3_result_int64(ctx, qint64(d));
  else
    sqlite3_result_double(ctx, d);
}

// A number as Oracle writes it into text: ".5", never an exponent within NUMBER's range.
QString PlainNumber(double d) {
  return ora::NumberText(d, ora::LeadingZero::Drop);
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

// The value and zero-padded width of a numeric date element; nullopt for the named ones.
struct DateNumber {
  qint64 value;
  int width;
};
std::optional<DateNumber> NumericDateElement(const QString& el, const QDate& d, const QTime& t) {
  auto is = [&](const char* name) { return el == QLatin1String(name); };
  if (is("YYYY") || is("RRRR") || is("SYYYY")) return DateNumber{d.year(), 4};
  if (is("YYY")) return DateNumber{d.year() % 1000, 3};
  if (is("YY") || is("RR")) return DateNumber{d.year() % 100, 2};
  if (is("Y")) return DateNumber{d.year() % 10, 1};
  if (is("MM")) return DateNumber{d.month(), 2};
  if (is("DD")) return DateNumber{d.day(), 2};
  if (is("DDD")) return DateNumber{d.dayOfYear(), 3};
  if (is("D")) return DateNumber{d.dayOfWeek() % 7 + 1, 1};
  if (is("HH") || is("HH12")) return DateNumber{(t.hour() + 11) % 12 + 1, 2};
  if (is("HH24")) return DateNumber{t.hour(), 2};
  if (is("MI")) return DateNumber{t.minute(), 2};
  if (is("SS")) return DateNumber{t.second(), 2};
  if (is("SSSSS")) return DateNumber{t.msecsSinceStartOfDay() / 1000, 5};
  if (is("Q")) return DateNumber{(d.month() - 1) / 3 + 1, 1};
  if (is("WW")) return DateNumber{(d.dayOfYear() - 1) / 7 + 1, 2};
  if (is("W")) return DateNumber{(d.day() - 1) / 7 + 1, 1};
  if (is("IW")) return DateNumber{d.weekNumber(), 2};
  if (is("J")) return DateNumber{d.toJulianDay(), 7};
  return std::nullopt;
}

// Names of months and days are blank-padded to nine characters unless FM is on.
QString NamedDateElement(const QString& el, const QDate& d, const QTime& t, Case cs, bool fm) {
  auto padded = [&](const QString& name) { return fm ? name : name.leftJustified(9, u' '); };
  const QString month = QString::fromLatin1(kMonths[d.month() - 1]);
  const QString day = QString::fromLatin1(kDays[d.dayOfWeek() - 1]);
  if (el == QLatin1String("YEAR")) return Cased(QString::number(d.year()), cs);
  if (el == QLatin1String("MON")) return Cased(month.left(3), cs);
  if (el == QLatin1String("MONTH")) return padded(Cased(month, cs));
  if (el == QLatin1String("DY")) return Cased(day.left(3), cs);
  if (el == QLatin1String("DAY")) return padded(Cased(day, cs));
  if (el == QLatin1String("AM") || el == QLatin1String("PM"))
    return Cased(QLatin1String(t.hour() < 12 ? "AM" : "PM"), cs);
  return Cased(QLatin1String(t.hour() < 12 ? "A.M." : "P.M."), cs);
}

bool FormatDate(const QDateTime& dt, const QString& fmt, QString& out) {
  const QDate d = dt.date();
  const QTime t = dt.time();
  bool fm = false;
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
    if (el == QLatin1String("FM")) {
      fm = !fm;
    } else if (const auto num = NumericDateElement(el, d, t)) {
      const QString s = QString::number(num->value);
      out += fm ? s : s.rightJustified(num->width, u'0');
    } else {
      out += NamedDateElement(el, d, t, CaseOf(fmt, i), fm);
    }
    i += int(el.size());
  }
  return true;
}

const char* const kNotNumeric =
    "ORA-01858: a non-numeric character was found where a numeric was expected";
const char* const kFormatNotRecognized = "ORA-01821: date format not recognized";
const char* const kNotAMonth = "ORA-01843: not a valid month";

// A date being read by a format model: the fields read so far and the place in the input. Each
// step returns nullptr when it matched, else the Oracle text of the failure.
class DateReader {
 public:
  explicit DateReader(const QString& in) : in_(in), n_(int(in.size())) {}

  const char* literal(const QString& lit) {
    if (in_.mid(p_, lit.size()) != lit) return kLiteralMismatch;
    p_ += int(lit.size());
    return nullptr;
  }

  // Punctuation matches any run of punctuation or blanks in the input.
  const char* punctuation(QChar c) {
    if (c.isSpace())
      skipBlank();
    else if (p_ < n_ && !in_[p_].isLetterOrNumber())
      ++p_;
    else if (p_ < n_)
      return kLiteralMismatch;
    return nullptr;
  }

  const char* element(const QString& el) {
    if (el == QLatin1String("FM")) return nullptr;
    static const QStringList kYears = {"SYYYY", "YYYY", "RRRR", "YYY", "YY", "RR", "Y"};
    if (kYears.contains(el)) return readYear(el);
    if (el == QLatin1String("MM")) return readNumber(2, mo_, 1, 12, kNotAMonth);
    if (el == QLatin1String("MON") || el == QLatin1String("MONTH")) return readMonthName();
    if (el == QLatin1String("DD"))
      return readNumber(2, d_, 1, 31,
                        "ORA-01847: day of month must be between 1 and last day of month");
    if (el == QLatin1String("DY") || el == QLatin1String("DAY")) {
      skipBlank();
      while (p_ < n_ && in_[p_].isLetter()) ++p_;
      return nullptr;
    }
    if (el == QLatin1String("HH") || el == QLatin1String("HH12")) {
      h12_ = true;
      return readNumber(2, h_, 1, 12, "ORA-01849: hour must be between 1 and 12");
    }
    if (el == QLatin1String("HH24"))
      return readNumber(2, h_, 0, 23, "ORA-01850: hour must be between 0 and 23");
    if (el == QLatin1String("MI"))
      return readNumber(2, mi_, 0, 59, "ORA-01851: minutes must be between 0 and 59");
    if (el == QLatin1String("SS"))
      return readNumber(2, s_, 0, 59, "ORA-01852: seconds must be between 0 and 59");
    if (el == QLatin1String("AM") || el == QLatin1String("PM") || el == QLatin1String("A.M.") ||
        el == QLatin1String("P.M."))
      return readMeridian(int(el.size()));
    if (el == QLatin1String("J")) return readJulian();
    return kFormatNotRecognized;
  }

  const char* finish(QDateTime& result) {
    skipBlank();
    if (p_ < n_) return "ORA-01830: date format picture ends before converting entire input string";
    if (h12_ && pm_ >= 0)
      h_ = (h_ % 12) + (pm_ == 1 ? 12 : 0);
    else if (h12_ && h_ == 12)
      h_ = 0;
    if (y_ < 1 || y_ > 9999) return kDateOutOfRange;
    const QDate first(y_, mo_, 1);
    if (d_ > first.daysInMonth()) return "ORA-01839: date not valid for month specified";
    result = WallClock(QDate(y_, mo_, d_), QTime(h_, mi_, s_));
    return nullptr;
  }

 private:
  void skipBlank() {
    while (p_ < n_ && in_[p_].isSpace()) ++p_;
  }

  // Reads up to maxDigits ASCII digits (a sign only for years); false when none was there.
  bool readInt(int maxDigits, int& v) {
    skipBlank();
    int sign = 1;
    if (p_ < n_ && (in_[p_] == u'-' || in_[p_] == u'+') && maxDigits >= 4)
      sign = in_[p_++] == u'-' ? -1 : 1;
    v = 0;
    int k = 0;
    for (; p_ < n_ && k < maxDigits && in_[p_].unicode() >= '0' && in_[p_].unicode() <= '9'; ++k)
      v = v * 10 + (in_[p_++].unicode() - '0');
    v *= sign;
    return k > 0;
  }

  const char* readNumber(int maxDigits, int& v, int low, int high, const char* outOfRange) {
    if (!readInt(maxDigits, v)) return kNotNumeric;
    return v < low || v > high ? outOfRange : nullptr;
  }

  // YYYY, SYYYY, RRRR, RR, YY, YYY, Y: RR and RRRR given two digits choose the century
  // nearest to 2000; the short forms take the missing digits from the current year.
  const char* readYear(const QString& el) {
    const int start = p_;
    const int year = QDate::currentDate().year();
    const bool full = el.size() == 4 || el == QLatin1String("SYYYY");
    const bool rr = el.startsWith(QLatin1String("RR"));
    int v = 0;
    if (!readInt(full || rr ? 4 : int(el.size()), v)) return kNotNumeric;
    if (rr && p_ - start <= 2)
      y_ = v < 50 ? 2000 + v : 1900 + v;
    else if (full || rr)
      y_ = v;
    else if (el == QLatin1String("YY"))
      y_ = year / 100 * 100 + v;
    else
      y_ = year - year % (el.size() == 3 ? 1000 : 10) + v;
    return nullptr;
  }

  const char* readMonthName() {
    skipBlank();
    for (int m = 0; m < 12; ++m) {
      const QString full = QString::fromLatin1(kMonths[m]);
      for (const QString& name : {full, full.left(3)}) {
        if (in_.mid(p_, name.size()).compare(name, Qt::CaseInsensitive) == 0) {
          mo_ = m + 1;
          p_ += int(name.size());
          return nullptr;
        }
      }
    }
    return kNotAMonth;
  }

  const char* readMeridian(int len) {
    skipBlank();
    const QString w = in_.mid(p_, len).toUpper();
    if (w.startsWith(QLatin1Char('A')))
      pm_ = 0;
    else if (w.startsWith(QLatin1Char('P')))
      pm_ = 1;
    else
      return "ORA-01855: AM/A.M. or PM/P.M. required";
    p_ += len;
    return nullptr;
  }

  const char* readJulian() {
    int j = 0;
    if (!readInt(7, j)) return kNotNumeric;
    QDate::fromJulianDay(j).getDate(&y_, &mo_, &d_);
    return nullptr;
  }

  const QString& in_;
  const int n_;
  int p_ = 0;
  int y_ = QDate::currentDate().year(), mo_ = QDate::currentDate().month(), d_ = 1;
  int h_ = 0, mi_ = 0, s_ = 0;
  int pm_ = -1;  // -1 when no AM/PM was read
  bool h12_ = false;
};

// Reads a date by a format model. Returns nullptr on success, else the Oracle text.
const char* ParseDate(const QString& in, const QString& fmt, QDateTime& result) {
  DateReader reader(in);
  int i = 0;
  const int fn = int(fmt.size());
  while (i < fn) {
    const char* failure = nullptr;
    if (fmt[i] == u'"') {
      const int e = int(fmt.indexOf(QLatin1Char('"'), i + 1));
      if (e < 0) return kFormatNotRecognized;
      failure = reader.literal(fmt.mid(i + 1, e - i - 1));
      i = e + 1;
    } else if (const QString el = MatchElement(fmt, i); !el.isEmpty()) {
      failure = reader.element(el);
      i += int(el.size());
    } else {
      if (fmt[i].unicode() < 0x80 && fmt[i].isLetter()) return kFormatNotRecognized;
      failure = reader.punctuation(fmt[i++]);
    }
    if (failure) return failure;
  }
  return reader.finish(result);
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

// A number format model taken apart: flags, and the digit positions before and after the point.
struct NumberModel {
  bool fm = false, signStart = false, signEnd = false, miEnd = false, dollar = false;
  QString intFmt, decFmt;
  bool hasPoint = false;
  int intPositions = 0, decimals = 0;
};

int DigitPositions(const QString& f) {
  return int(f.count(QLatin1Char('9')) + f.count(QLatin1Char('0')));
}

NumberModel ReadNumberModel(const QString& fmtIn) {
  NumberModel m;
  QString fmt = fmtIn.toUpper();
  auto takeFront = [&](const char* s) {
    if (!fmt.startsWith(QLatin1String(s))) return false;
    fmt.remove(0, qsizetype(std::strlen(s)));
    return true;
  };
  auto takeBack = [&](const char* s) {
    if (!fmt.endsWith(QLatin1String(s))) return false;
    fmt.chop(qsizetype(std::strlen(s)));
    return true;
  };
  m.fm = takeFront("FM");
  m.signStart = takeFront("S");
  m.signEnd = !m.signStart && takeBack("S");
  m.miEnd = takeBack("MI");
  m.dollar = fmt.contains(QLatin1Char('$'));
  fmt.remove(QLatin1Char('$'));
  fmt.replace(QLatin1Char('G'), QLatin1Char(','));
  fmt.replace(QLatin1Char('D'), QLatin1Char('.'));
  const int dot = int(fmt.indexOf(QLatin1Char('.')));
  m.hasPoint = dot >= 0;
  m.intFmt = dot < 0 ? fmt : fmt.left(dot);
  m.decFmt = dot < 0 ? QString() : fmt.mid(dot + 1);
  m.intPositions = DigitPositions(m.intFmt);
  m.decimals = DigitPositions(m.decFmt);
  return m;
}

// The integer digits laid into the positions of the model; a 0 position forces zeros from there
// on, and unused positions and group separators before the first digit become blanks (none
// under FM).
QString IntegerBody(const NumberModel& m, const QString& intDigits) {
  const int zeroStart = int(m.intFmt.indexOf(QLatin1Char('0')));
  QString body;
  int pos = 0;
  bool started = false;
  for (int i = 0; i < m.intFmt.size(); ++i) {
    const QChar c = m.intFmt[i];
    if (c == u'9' || c == u'0') {
      const int k = pos++ - (m.intPositions - int(intDigits.size()));
      if (k >= 0 || (zeroStart >= 0 && i >= zeroStart)) {
        body += k >= 0 ? intDigits[k] : QChar(u'0');
        started = true;
      } else if (!m.fm) {
        body += u' ';
      }
    } else if (c == u',') {
      if (started || !m.fm) body += started ? u',' : u' ';
    } else {
      body += c;
    }
  }
  return body;
}

// Under FM the trailing 9 positions of the fraction drop their zeros.
QString FractionBody(const NumberModel& m, QString dec) {
  if (!m.fm) return dec;
  int keep = int(dec.size());
  for (int fi = int(m.decFmt.size()) - 1;
       keep > 0 && fi >= 0 && m.decFmt[fi] == u'9' && dec[keep - 1] == u'0'; --fi)
    --keep;
  return dec.left(keep);
}

QString FormatNumber(double v, const QString& fmtIn) {
  const NumberModel m = ReadNumberModel(fmtIn);
  const bool neg = v < 0;
  const QString digits = QString::number(std::fabs(v), 'f', m.decimals);
  QString intDigits = digits.section(QLatin1Char('.'), 0, 0);
  if (intDigits == QLatin1String("0")) intDigits.clear();
  if (intDigits.size() > m.intPositions) return QString(fmtIn.size() + 1, QLatin1Char('#'));
  QString body = IntegerBody(m, intDigits);
  if (m.hasPoint)
    body += QLatin1Char('.') + FractionBody(m, digits.section(QLatin1Char('.'), 1, 1));
  // Zero shown by a format without a 0 position: Oracle shows "0".
  const QString shown = body.trimmed();
  if ((shown.isEmpty() || shown == QLatin1String(".")) && intDigits.isEmpty() && m.decimals == 0)
    body = body.left(body.size() - 1) + QLatin1Char('0');
  // Sign and currency go right before the first visible character.
  int first = 0;
  while (first < body.size() && body[first] == u' ') ++first;
  QString lead = m.dollar ? QStringLiteral("$") : QString();
  if (m.signStart)
    lead.prepend(QLatin1Char(neg ? '-' : '+'));
  else if (!m.signEnd && !m.miEnd && neg)
    lead.prepend(QLatin1Char('-'));
  QString r = body.left(first) + lead + body.mid(first);
  if (!m.signStart && !m.signEnd && !m.miEnd && !neg && !m.fm) r.prepend(QLatin1Char(' '));
  if (m.signEnd) r += QLatin1Char(neg ? '-' : '+');
  if (m.miEnd) r += neg ? QStringLiteral("-") : (m.fm ? QString() : QStringLiteral(" "));
  return r;
}

// ---------------------------------------------------------------------------------------------
// The functions.

struct UserData {
  const QString* user;
};

void FnSysdate(sqlite3_context* ctx, int, sqlite3_value**) {
  ResultDate(ctx, WallClockSecond(QDateTime::currentDateTime()));
}

void FnUser(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* u = static_cast<const UserData*>(sqlite3_user_data(ctx));
  ResultText(ctx, *u->user);
}

void FnRowid(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) {
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

// A date moved by a number of days, to the second. A move beyond the calendar gives an invalid
// year that ResultDate reports, without converting a huge day count to an integer.
QDateTime AddDays(const QDateTime& d, double days) {
  constexpr double kCalendarDays = 4000000;  // more than 10,000 years
  if (!(std::fabs(days) < kCalendarDays)) return WallClock(QDate(10000, 1, 1), QTime(0, 0));
  return d.addMSecs(qint64(std::llround(days * 86400.0)) * 1000);
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
    qint64 sum = 0;
    if (a->isInt && n->isInt && !__builtin_add_overflow(a->i, n->i, &sum))
      return sqlite3_result_int64(ctx, sum);
    return ResultNumber(ctx, a->d + n->d);
  }
  if (!n) return Error(ctx, kInvalidNumber);
  ResultDate(ctx, AddDays(*d, n->d));
}

void FnDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  std::optional<QDateTime> a = DateOf(argv[0]);
  if (!a && sqlite3_value_type(argv[0]) == SQLITE_TEXT) a = ParseDefaultDate(Text(argv[0]));
  std::optional<QDateTime> b = DateOf(argv[1]);
  if (!b && sqlite3_value_type(argv[1]) == SQLITE_TEXT) b = ParseDefaultDate(Text(argv[1]));
  if (a && b) return ResultNumber(ctx, double(b->secsTo(*a)) / 86400.0);
  const auto y = NumberOf(argv[1]);
  if (a && y) return ResultDate(ctx, AddDays(*a, -y->d));
  const auto x = NumberOf(argv[0]);
  if (!x || !y) return Error(ctx, kInvalidNumber);
  qint64 difference = 0;
  if (x->isInt && y->isInt && !__builtin_sub_overflow(x->i, y->i, &difference))
    return sqlite3_result_int64(ctx, difference);
  ResultNumber(ctx, x->d - y->d);
}

void FnNvl(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_value(ctx, !IsNull(argv[0]) ? argv[0] : argv[1]);
}

void FnNvl2(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_result_value(ctx, !IsNull(argv[0]) ? argv[1] : argv[2]);
}

bool SameValue(sqlite3_value* a, sqlite3_value* b) {
  // DECODE finds Null equal to Null; an empty text is Null.
  if (IsNull(a) || IsNull(b)) return IsNull(a) && IsNull(b);
  const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
  const bool na = ta == SQLITE_INTEGER || ta == SQLITE_FLOAT;
  const bool nb = tb == SQLITE_INTEGER || tb == SQLITE_FLOAT;
  if (na || nb) {
    const auto x = NumberOf(a), y = NumberOf(b);
    if (x && y) return x->d == y->d;
    return false;
  }
  // An empty blob has no data pointer at all.
  const int n = sqlite3_value_bytes(a);
  return n == sqlite3_value_bytes(b) &&
         (n == 0 || std::memcmp(sqlite3_value_blob(a), sqlite3_value_blob(b), size_t(n)) == 0);
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  if (argc == 1 || IsNull(argv[1])) {
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  if (argc == 1 || IsNull(argv[1])) {
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
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
  if (!ok || std::isnan(d)) return Error(ctx, kInvalidNumber);
  ResultNumber(ctx, d);
}

void FnSubstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  const auto p = NumberOf(argv[1]);
  if (!p) return Error(ctx, kInvalidNumber);
  qint64 pos = ClampedWhole(p->d);
  const qint64 n = s.size();
  if (pos == 0) pos = 1;
  if (pos < 0) pos = n + pos + 1;
  if (pos < 1 || pos > n) return sqlite3_result_null(ctx);
  qint64 len = n - pos + 1;
  if (argc > 2) {
    const auto l = NumberOf(argv[2]);
    if (!l) return Error(ctx, kInvalidNumber);
    len = ClampedWhole(l->d);
    if (len < 1) return sqlite3_result_null(ctx);
  }
  ResultText(ctx, s.mid(pos - 1, len));
}

void FnInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  const QString sub = Text(argv[1]);
  qint64 pos = 1, occ = 1;
  if (argc > 2) {
    const auto p = NumberOf(argv[2]);
    if (!p) return Error(ctx, kInvalidNumber);
    pos = ClampedWhole(p->d);
  }
  if (argc > 3) {
    const auto o = NumberOf(argv[3]);
    if (!o) return Error(ctx, kInvalidNumber);
    occ = ClampedWhole(o->d);
    if (occ < 1) return Error(ctx, kOutOfRange);
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, Text(argv[0]).toUpper());
}

void FnLower(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  ResultText(ctx, Text(argv[0]).toLower());
}

void FnInitcap(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
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
  const qint64 len = ClampedWhole(n->d);
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
    return WallClock(d, QTime(0, 0));
  if (f == QLatin1String("MM") || f == QLatin1String("MON") || f == QLatin1String("MONTH") ||
      f == QLatin1String("RM"))
    return WallClock(QDate(d.year(), d.month(), 1), QTime(0, 0));
  if (f == QLatin1String("YYYY") || f == QLatin1String("YEAR") || f == QLatin1String("YY") ||
      f == QLatin1String("Y") || f == QLatin1String("YYY") || f == QLatin1String("RRRR") ||
      f == QLatin1String("RR") || f == QLatin1String("SYYYY"))
    return WallClock(QDate(d.year(), 1, 1), QTime(0, 0));
  if (f == QLatin1String("Q"))
    return WallClock(QDate(d.year(), (d.month() - 1) / 3 * 3 + 1, 1), QTime(0, 0));
  if (f == QLatin1String("HH") || f == QLatin1String("HH12") || f == QLatin1String("HH24"))
    return WallClock(d, QTime(dt.time().hour(), 0));
  if (f == QLatin1String("MI")) return WallClock(d, QTime(dt.time().hour(), dt.time().minute()));
  if (f == QLatin1String("D") || f == QLatin1String("DY") || f == QLatin1String("DAY"))
    return WallClock(d.addDays(-(d.dayOfWeek() % 7)), QTime(0, 0));
  if (f == QLatin1String("IW")) return WallClock(d.addDays(-(d.dayOfWeek() - 1)), QTime(0, 0));
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
    return TruncDate(d.day() >= 16 ? WallClock(d.addMonths(1), QTime(0, 0)) : dt, f, ok);
  if (f == QLatin1String("YYYY") || f == QLatin1String("YEAR") || f == QLatin1String("YY") ||
      f == QLatin1String("Y") || f == QLatin1String("RRRR") || f == QLatin1String("SYYYY"))
    return TruncDate(d.month() >= 7 ? WallClock(d.addYears(1), QTime(0, 0)) : dt, f, ok);
  if (f == QLatin1String("HH") || f == QLatin1String("HH12") || f == QLatin1String("HH24"))
    return TruncDate(dt.addSecs(1800), f, ok);
  if (f == QLatin1String("MI")) return TruncDate(dt.addSecs(30), f, ok);
  return TruncDate(dt, f, ok);
}

void RoundOrTrunc(sqlite3_context* ctx, int argc, sqlite3_value** argv, bool round) {
  const int t = sqlite3_value_type(argv[0]);
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) return sqlite3_result_null(ctx);
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
    // Beyond 400 places either way a double has nothing left to round.
    places = int(std::clamp<qint64>(ClampedWhole(p->d), -400, 400));
  }
  if (n->isInt && places >= 0) return sqlite3_result_int64(ctx, n->i);
  const double f = std::pow(10.0, places);
  if (!std::isfinite(n->d * f)) return ResultNumber(ctx, n->d);
  if (f == 0) return sqlite3_result_int64(ctx, 0);
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
  // NUMBER holds nothing closer to zero than 1e-130: a smaller divisor is zero, and MOD by zero
  // gives the dividend.
  if (std::fabs(b->d) < 1e-130) return ResultNumber(ctx, a->d);
  // fmod is exact and takes the sign of the dividend, as Oracle's MOD does.
  ResultNumber(ctx, std::fmod(a->d, b->d));
}

QDateTime AddMonths(const QDateTime& dt, int months) {
  const QDate d = dt.date();
  const bool lastDay = d.day() == d.daysInMonth();
  QDate r = QDate(d.year(), d.month(), 1).addMonths(months);
  const int day = lastDay ? r.daysInMonth() : std::min(d.day(), r.daysInMonth());
  r = QDate(r.year(), r.month(), day);
  return WallClock(r, dt.time());
}

void FnAddMonths(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto d = DateArg(ctx, argv[0]);
  if (!d) return;
  const auto n = NumberOf(argv[1]);
  if (!n) return Error(ctx, kInvalidNumber);
  // More months than the calendar spans can only leave it.
  if (!(std::fabs(n->d) < 240000)) return Error(ctx, kDateOutOfRange);
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
  ResultDate(ctx, WallClock(QDate(x.year(), x.month(), x.daysInMonth()), d->time()));
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  if (n->d < 0) return Error(ctx, kOutOfRange);
  ResultNumber(ctx, std::sqrt(n->d));
}

void FnLn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  if (n->d <= 0) return Error(ctx, kOutOfRange);
  sqlite3_result_double(ctx, std::log(n->d));
}

void FnPower(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const auto a = NumberOf(argv[0]), b = NumberOf(argv[1]);
  if (!a || !b) return Error(ctx, kInvalidNumber);
  ResultNumber(ctx, std::pow(a->d, b->d));
}

void FnChr(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  const qint64 v = ClampedWhole(n->d);
  if (v < 0 || v > 0x10FFFF) return Error(ctx, kOutOfRange);
  const char32_t cp = char32_t(v);
  ResultText(ctx, QString::fromUcs4(&cp, 1));
}

void FnAscii(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
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

// REPLACE: a Null search text leaves the text as it is; a Null replacement removes the matches.
void FnReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  QString s = Text(argv[0]);
  if (!IsNull(argv[1]))
    s.replace(Text(argv[1]), argc > 2 && !IsNull(argv[2]) ? Text(argv[2]) : QString());
  ResultText(ctx, s);
}

// TRIM, LTRIM, RTRIM: the characters of the set (a blank unless given) leave the chosen ends.
template <bool Left, bool Right>
void FnTrim(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return sqlite3_result_null(ctx);
  const QString s = Text(argv[0]);
  const QString set = argc > 1 ? Text(argv[1]) : QStringLiteral(" ");
  qsizetype b = 0, e = s.size();
  while (Left && b < e && set.contains(s[b])) ++b;
  while (Right && e > b && set.contains(s[e - 1])) --e;
  ResultText(ctx, s.mid(b, e - b));
}

// The rewriting wraps every divisor in this: Oracle's division never truncates and dividing by
// zero is an error, where SQLite divides integers as integers and gives Null for zero.
void FnDivisor(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const auto n = NumberOf(argv[0]);
  if (!n) return Error(ctx, kInvalidNumber);
  if (n->d == 0) return Error(ctx, kDivisorIsZero);
  sqlite3_result_double(ctx, n->d);
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
  if (IsNull(argv[0])) return sqlite3_result_null(ctx);
  const int n = sqlite3_value_bytes(argv[0]);
  if (n == 0) return sqlite3_result_null(ctx);
  sqlite3_result_int64(ctx, n);
}

struct FunctionEntry {
  const char* name;
  int nArg;
  void (*fn)(sqlite3_context*, int, sqlite3_value**);
  bool deterministic;
};

const FunctionEntry kFunctions[] = {
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
    {"REPLACE", 2, FnReplace, true},
    {"REPLACE", 3, FnReplace, true},
    {"TRIM", 1, FnTrim<true, true>, true},
    {"LTRIM", 1, FnTrim<true, false>, true},
    {"LTRIM", 2, FnTrim<true, false>, true},
    {"RTRIM", 1, FnTrim<false, true>, true},
    {"RTRIM", 2, FnTrim<false, true>, true},
    {"ORA_DIVISOR", 1, FnDivisor, true},
    {"TRANSLATE", 3, FnTranslate, true},
    {"ORA_SYSDATE", 0, FnSysdate, false},
    {"ORA_CONCAT", 2, FnConcat, true},
};

}  // namespace

void RegisterOracleFunctions(sqlite3* db, const QString* user) {
  for (const FunctionEntry& f : kFunctions)
    sqlite3_create_function_v2(db, f.name, f.nArg,
                               f.deterministic ? SQLITE_UTF8 | SQLITE_DETERMINISTIC : SQLITE_UTF8,
                               nullptr, f.fn, nullptr, nullptr, nullptr);
  auto* ud = new UserData{user};
  sqlite3_create_function_v2(db, "ORA_USER", 0, SQLITE_UTF8, ud, FnUser, nullptr, nullptr,
                             [](void* p) { delete static_cast<UserData*>(p); });
}

}  // namespace ora::local
