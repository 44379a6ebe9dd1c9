// The fast rounding of a NUMBER to the digits it shows must give the very double that writing
// its 15 digits and reading them back gives, also for values a hair from a rounding tie.
#include <QTest>
#include <charconv>
#include <cmath>
#include <random>

#include "core/NumberText.h"

namespace {

double ByText(double value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  double back = 0;
  std::from_chars(buf, r.ptr, back, std::chars_format::scientific);
  return back;
}

}  // namespace

class TestNumberText : public QObject {
  Q_OBJECT
 private slots:
  void roundedNumberMatchesTheText() {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> exponent(-3, 16);
    for (int i = 0; i < 300000; ++i) {
      double v = std::pow(10.0, exponent(rng));
      // Every third value lies next to a tie of its 15th digit, one or two steps either side.
      if (i % 3 == 0) {
        const int whole = std::max(1, int(std::floor(std::log10(v))) + 1);
        const double scale = std::pow(10.0, 15 - std::min(whole, 15));
        v = (std::floor(v * scale) + 0.5) / scale;
        for (int step = int(rng() % 5) - 2; step != 0; step += step < 0 ? 1 : -1)
          v = std::nextafter(v, step < 0 ? 0.0 : HUGE_VAL);
      }
      if (i % 2) v = -v;
      QVERIFY2(ora::RoundedNumber(v) == ByText(v), qPrintable(QString::number(v, 'g', 17)));
    }
  }
};

QTEST_MAIN(TestNumberText)
#include "tst_numbertext.moc"
