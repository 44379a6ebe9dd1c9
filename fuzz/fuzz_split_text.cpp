// Fuzz target for splitting a separated text: joining the items again with the separator gives
// the text back, and the result is always the index of the last item.
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "files/basImpExp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 8192) return 0;
  // The first byte gives the separator's length (0 to 3 characters taken from the input's start).
  const qsizetype sepLen = data[0] % 4;
  const QString all =
      QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
  const QString separator = all.left(sepLen);
  const QString text = all.mid(sepLen);

  QStringList items{QStringLiteral("stale")};
  const int last = mFn_SplitText(text, separator, items);
  if (items.isEmpty() || last != items.size() - 1) std::abort();
  if (text.isEmpty() && (items.size() != 1 || !items[0].isEmpty())) std::abort();
  if (separator.isEmpty() && items != QStringList{text}) std::abort();
  if (!separator.isEmpty()) {
    if (items.join(separator) != text) std::abort();
    for (const QString& item : items)
      if (item.contains(separator)) std::abort();
  }
  return 0;
}
