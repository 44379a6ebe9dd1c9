#include "core/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ora {

namespace {

constexpr int kMaxDigits = 38;
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                   1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14};
// Powers of ten from -38 up to 37 are written out in full.
constexpr int kLowestPositional = -38;
constexpr int kHighestPositional = 37;

bool IsDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

// Rounds half up to the most digits a NUMBER holds; a carry out of the first digit raises the
// exponent.
void RoundToNumberDigits(QByteArray& digits, int& exponent) {
  if (digits.size() <= kMaxDigits) return;
  const bool up = digits[kMaxDigits] >= '5';
  digits.truncate(kMaxDigits);
  if (!up) return;
  int i = kMaxDigits - 1;
  while (i >= 0 && digits[i] == '9') digits[i--] = '0';
  if (i >= 0) {
    ++digits[i];
    return;
  }
  digits.prepend('1');
  digits.truncate(kMaxDigits);
  ++exponent;
}

// digits: the significant digits, the first one non-zero; exponent: the power of ten of the
// first digit.
QString Compose(bool negative, QByteArray digits, int exponent, LeadingZero zero) {
  RoundToNumberDigits(digits, exponent);
  while (digits.endsWith('0')) digits.chop(1);
  if (digits.isEmpty()) return QStringLiteral("0");
  QByteArray out = negative ? QByteArray("-") : QByteArray();
  if (exponent < kLowestPositional || exponent > kHighestPositional) {
    out += digits.left(1);
    if (digits.size() > 1) out += '.' + digits.mid(1);
    QByteArray power = QByteArray::number(std::abs(exponent));
    if (power.size() < 2) power.prepend('0');
    out += (exponent < 0 ? "E-" : "E+") + power;
  } else if (exponent < 0) {
    if (zero == LeadingZero::Keep) out += '0';
    out += '.' + QByteArray(-exponent - 1, '0') + digits;
  } else if (exponent + 1 >= digits.size()) {
    out += digits + QByteArray(exponent + 1 - int(digits.size()), '0');
  } else {
    out += digits.left(exponent + 1) + '.' + digits.mid(exponent + 1);
  }
  return QString::fromLatin1(out);
}

}  // namespace

QString NumberText(double value, LeadingZero zero) {
  if (std::isnan(value)) return QStringLiteral("Nan");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
  if (value == 0) return QStringLiteral("0");
  // "-d.dddddddddddddde-xxx": the first 15 significant digits, correctly rounded.
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const char* p = buf;
  const bool negative = *p == '-';
  if (negative) ++p;
  QByteArray digits(p, 1);
  digits.append(p + 2, 14);
  const int exponent = std::atoi(QByteArray(p + 17, int(r.ptr - p - 17)).constData());
  return Compose(negative, digits, exponent, zero);
}

FifteenDigits FifteenDigitsOf(double magnitude) {
  int whole = 1;
  for (double p = 10; p <= magnitude; p *= 10) ++whole;
  return {whole, kPowersOfTen[15 - whole]};
}

double RoundedNumber(double value) {
  if (!std::isfinite(value) || value == 0) return value;
  const double magnitude = std::fabs(value);
  if (magnitude >= 1 && magnitude < 1e15) {
    // Fast route: scale to 15 digits before the point and round there. The product is the
    // double nearest the exact one, so it lies on the same side of every half but may land on a
    // half itself; only then is the exact rounding below needed. The division gives the double
    // nearest the rounded decimal, as reading the decimal back would.
    const double scale = FifteenDigitsOf(magnitude).scale;
    const double scaled = magnitude * scale;
    if (scaled - std::floor(scaled) != 0.5)
      return std::copysign(std::nearbyint(scaled) / scale, value);
  }
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  double rounded = value;
  std::from_chars(buf, r.ptr, rounded, std::chars_format::scientific);
  return rounded;
}

QString DecimalText(const QString& decimal, LeadingZero zero) {
  const QString t = decimal.trimmed();
  qsizetype i = 0;
  const qsizetype n = t.size();
  bool negative = false;
  if (i < n && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
  QByteArray digits;
  int pointAt = 0;  // digits before the decimal point
  while (i < n && IsDigit(t[i])) {
    digits += char(t[i++].unicode());
    ++pointAt;
  }
  if (i < n && t[i] == u'.')
    for (++i; i < n && IsDigit(t[i]); ++i) digits += char(t[i].unicode());
  if (digits.isEmpty()) return decimal;
  int power = 0;
  if (i < n && (t[i] == u'E' || t[i] == u'e')) {
    ++i;
    bool powerNegative = false;
    if (i < n && (t[i] == u'-' || t[i] == u'+')) powerNegative = t[i++] == u'-';
    if (i == n || !IsDigit(t[i])) return decimal;
    for (; i < n && IsDigit(t[i]); ++i)
      if (power < 100000) power = power * 10 + (t[i].unicode() - u'0');
    if (powerNegative) power = -power;
  }
  if (i != n || digits.size() > 100000) return decimal;
  qsizetype lead = 0;
  while (lead < digits.size() && digits[lead] == '0') ++lead;
  digits.remove(0, lead);
  return Compose(negative, digits, pointAt - int(lead) - 1 + power, zero);
}

}  // namespace ora
