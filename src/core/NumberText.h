#pragma once
// The text a NUMBER value shows as, the same for both drivers: positional notation for every
// magnitude a NUMBER normally holds (1e-38 up to below 1e38, up to 38 significant digits), and
// exponent notation only beyond that.
#include <QString>

namespace ora {

// The grid writes "0.5"; TO_CHAR and concatenation write ".5" as Oracle does.
enum class LeadingZero { Keep, Drop };

// A binary double, rounded to 15 significant digits so that the representation error of
// decimal arithmetic (0.1 + 0.2) never shows.
QString NumberText(double value, LeadingZero zero = LeadingZero::Keep);
// The double nearest to the value NumberText shows: the value rounded to 15 significant digits.
double RoundedNumber(double value);

// A magnitude from 1 up to 1e15 written with 15 significant digits: how many come before the
// point, and the power of ten that brings the others before it too.
struct FifteenDigits {
  int whole;
  double scale;
};
FifteenDigits FifteenDigitsOf(double magnitude);

// A decimal text as a driver delivers it ("-1.5E-7", "12345678901234567890"); every digit up to
// 38 is kept. Text that is not a decimal number comes back unchanged.
QString DecimalText(const QString& decimal, LeadingZero zero = LeadingZero::Keep);

}  // namespace ora
