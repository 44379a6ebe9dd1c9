#include "grid/ColumnStore.h"

#include <QDateTime>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/NumberText.h"

namespace grid {

namespace {

constexpr std::size_t kFirstBlock = 4096;

bool IsWide(char16_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
         (c >= 0xFFE0 && c <= 0xFFE6);
}

// Bytes the UTF-8 form takes; a lone surrogate becomes U+FFFD.
qsizetype Utf8Length(const QChar* s, qsizetype n) {
  qsizetype len = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c < 0x80) {
      len += 1;
    } else if (c < 0x800) {
      len += 2;
    } else if (QChar::isHighSurrogate(c) && i + 1 < n &&
               QChar::isLowSurrogate(s[i + 1].unicode())) {
      len += 4;
      ++i;
    } else {
      len += 3;
    }
  }
  return len;
}

char* EncodeUtf8(const QChar* s, qsizetype n, char* out) {
  for (qsizetype i = 0; i < n; ++i) {
    char32_t c = s[i].unicode();
    if (c < 0x80) {
      *out++ = char(c);
      continue;
    }
    if (c < 0x800) {
      *out++ = char(0xC0 | (c >> 6));
      *out++ = char(0x80 | (c & 0x3F));
      continue;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1].unicode())) {
      c = QChar::surrogateToUcs4(char16_t(c), s[++i].unicode());
      *out++ = char(0xF0 | (c >> 18));
      *out++ = char(0x80 | ((c >> 12) & 0x3F));
      *out++ = char(0x80 | ((c >> 6) & 0x3F));
      *out++ = char(0x80 | (c & 0x3F));
      continue;
    }
    if (QChar::isSurrogate(c)) c = 0xFFFD;
    *out++ = char(0xE0 | (c >> 12));
    *out++ = char(0x80 | ((c >> 6) & 0x3F));
    *out++ = char(0x80 | (c & 0x3F));
  }
  return out;
}

int VarintLength(std::uint64_t v) {
  int n = 1;
  while (v >= 0x80) {
    v >>= 7;
    ++n;
  }
  return n;
}

bool IsDigit(QChar c) {
  return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// "-?(0|[1-9][0-9]{0,17})": a whole number whose text the grid gives back unchanged.
bool ParseCanonicalInt(const QString& t, qint64* out) {
  const qsizetype sign = t.startsWith(QLatin1Char('-')) ? 1 : 0;
  const qsizetype digits = t.size() - sign;
  if (digits < 1 || digits > 18) return false;
  if (t[sign] == QLatin1Char('0') && (digits > 1 || sign)) return false;
  qint64 v = 0;
  for (qsizetype i = sign; i < t.size(); ++i) {
    if (!IsDigit(t[i])) return false;
    v = v * 10 + (t[i].unicode() - u'0');
  }
  *out = sign ? -v : v;
  return true;
}

// A decimal number as a user or a driver writes it: sign, digits, point, exponent.
bool ParseDecimal(const QString& t, double* out) {
  if (t.isEmpty() || t.size() > 400) return false;
  QByteArray latin;
  latin.reserve(t.size());
  for (QChar c : t) {
    const char16_t u = c.unicode();
    if (!((u >= u'0' && u <= u'9') || u == u'+' || u == u'-' || u == u'.' || u == u'e' ||
          u == u'E'))
      return false;
    latin.append(char(u));
  }
  const char* p = latin.constData();
  const char* end = p + latin.size();
  if (*p == '+') ++p;
  if (p == end || *p == 'e' || *p == 'E') return false;
  const auto r = std::from_chars(p, end, *out, std::chars_format::general);
  return r.ec == std::errc() && r.ptr == end;
}

// One byte and one display cell per character: the common case, measured without branches.
bool IsSingleLineAscii(const QChar* s, qsizetype n) {
  bool plain = true;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i].unicode();
    plain &= c < 0x80 && c != u'\r' && c != u'\n';
  }
  return plain;
}

// Whether eight bytes are all ASCII other than CR and LF, one display cell each.
bool IsPlainAsciiWord(const unsigned char* p) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHigh = 0x8080808080808080u;
  std::uint64_t w;
  std::memcpy(&w, p, sizeof w);
  auto hasZeroByte = [](std::uint64_t x) { return ((x - kOnes) & ~x & kHigh) != 0; };
  return (w & kHigh) == 0 && !hasZeroByte(w ^ (kOnes * '\n')) && !hasZeroByte(w ^ (kOnes * '\r'));
}

#ifdef __SSE2__
// The same test for sixteen bytes, where the processor has the instructions for it.
bool IsPlainAscii16(const unsigned char* p) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i breaks =
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
  return _mm_movemask_epi8(_mm_or_si128(v, breaks)) == 0;
}
#endif

// Display width of well-formed UTF-8 text as DisplayWidth counts it, or -1 for bytes that are not
// (overlong forms, encoded surrogates, beyond U+10FFFF, cut sequences).
int Utf8DisplayWidth(std::string_view s) {
  int widest = 0;
  int line = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    // Long runs of plain ASCII, the bulk of most texts, go a word at a time.
    if (*p < 0x80) {
#ifdef __SSE2__
      for (; end - p >= 16 && IsPlainAscii16(p); p += 16) line += 16;
#endif
      for (; end - p >= 8 && IsPlainAsciiWord(p); p += 8) line += 8;
      if (p == end) break;
    }
    const unsigned char b = *p++;
    if (b < 0x80) {
      if (b == '\r' || b == '\n') {
        widest = std::max(widest, line);
        line = 0;
      } else {
        ++line;
      }
      continue;
    }
    // Three bytes, as kana and kanji take, are read together.
    if ((b & 0xF0u) == 0xE0u) {
      if (end - p < 2 || ((p[0] ^ 0x80u) | (p[1] ^ 0x80u)) >= 0x40u) return -1;
      const unsigned c = (b & 0x0Fu) << 12 | (p[0] & 0x3Fu) << 6 | (p[1] & 0x3Fu);
      if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) return -1;
      p += 2;
      line += IsWide(char16_t(c)) ? 2 : 1;
      continue;
    }
    // Two or four: the lead byte gives the number of continuation bytes, 10xxxxxx each, and the
    // top bits.
    unsigned c;
    int more;
    if (b >= 0xC2 && b <= 0xDF) {
      c = b & 0x1Fu;
      more = 1;
    } else if (b >= 0xF0 && b <= 0xF4) {
      c = b & 0x07u;
      more = 3;
    } else {
      return -1;
    }
    if (end - p < more) return -1;
    unsigned notContinuation = 0;
    for (int i = 0; i < more; ++i) {
      const unsigned t = p[i];
      notContinuation |= (t & 0xC0u) ^ 0x80u;
      c = (c << 6) | (t & 0x3Fu);
    }
    p += more;
    if (notContinuation || (more == 3 && (c < 0x10000 || c > 0x10FFFF))) return -1;
    line += c >= 0x10000 || IsWide(char16_t(c)) ? 2 : 1;
  }
  return std::max(widest, line);
}

int IntWidth(qint64 v) {
  std::uint64_t u = v < 0 ? 0 - std::uint64_t(v) : std::uint64_t(v);
  int n = v < 0 ? 2 : 1;
  for (; u >= 10; u /= 10) ++n;
  return n;
}

int FormattedWidth(double d) {
  char buf[40];
  return int(std::to_chars(buf, buf + sizeof buf, d).ptr - buf);
}

// The widest shortest form a double of at least 1 and below 1e15 can have, sign aside: 17
// significant digits and a point.
constexpr int kWidestMidDouble = 18;

bool IsMidDouble(double a) {
  return a >= 1 && a < 1e15;
}

}  // namespace

int NumberWidth(double d) {
  const double a = std::fabs(d);
  if (IsMidDouble(a)) {
    const int sign = std::signbit(d) ? 1 : 0;
    const auto [intDigits, scale] = ora::FifteenDigitsOf(a);
    if (a == std::floor(a)) {
      // A whole number: to_chars writes "1e+05" when that is shorter than "100000".
      int significant = intDigits;
      for (double t = a; significant > 1 && std::fmod(t, 10) == 0; t /= 10) --significant;
      const int scientific = significant + (significant > 1 ? 1 : 0) + 4;
      return sign + std::min(intDigits, scientific);
    }
    // Every decimal of up to 15 digits gives back a double of its own. So when the 15-digit
    // decimal nearest the value gives the value back, as a NUMBER's does, no shorter decimal
    // does: that one less its trailing zeros is the shortest form, which to_chars writes
    // without an exponent from 1 up.
    const double digits = std::nearbyint(a * scale);
    if (intDigits < 15 && digits / scale == a) {
      int decimals = 15 - intDigits;
      for (auto u = std::uint64_t(digits); u % 10 == 0; u /= 10) --decimals;
      return sign + intDigits + 1 + decimals;
    }
  }
  return FormattedWidth(d);
}

int DisplayWidth(const QChar* s, qsizetype n) {
  int widest = 0;
  int line = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = s[i].unicode();
    if (c == u'\r' || c == u'\n') {
      widest = std::max(widest, line);
      line = 0;
      continue;
    }
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1].unicode())) {
      ++i;
      line += 2;
      continue;
    }
    line += IsWide(c) ? 2 : 1;
  }
  return std::max(widest, line);
}

QString NumberText(double d) {
  char buf[40];
  const auto r = std::to_chars(buf, buf + sizeof buf, d);
  return QString::fromLatin1(buf, r.ptr - buf);
}

std::int64_t PackDateText(const QChar* s, qsizetype n) {
  if (n != 19) return -1;
  static constexpr char kPattern[] = "0000/00/00 00:00:00";
  std::int64_t packed = 0;
  for (int i = 0; i < 19; ++i) {
    if (kPattern[i] == '0') {
      if (!IsDigit(s[i])) return -1;
      packed = packed * 10 + (s[i].unicode() - u'0');
    } else if (s[i].unicode() != char16_t(kPattern[i])) {
      return -1;
    }
  }
  return packed;
}

std::int64_t PackDateTime(const QDateTime& dt) {
  int y = 0, m = 0, d = 0;
  dt.date().getDate(&y, &m, &d);
  if (y < 1 || y > 9999) return -1;
  const int s = dt.time().msecsSinceStartOfDay() / 1000;
  return ((((std::int64_t(y) * 100 + m) * 100 + d) * 100 + s / 3600) * 100 + s / 60 % 60) * 100 +
         s % 60;
}

void WriteDateText(std::int64_t packed, char* out) {
  static constexpr char kPattern[] = "0000/00/00 00:00:00";
  for (int i = 18; i >= 0; --i) {
    if (kPattern[i] == '0') {
      out[i] = char('0' + packed % 10);
      packed /= 10;
    } else {
      out[i] = kPattern[i];
    }
  }
}

QString DateText(std::int64_t packed) {
  char buf[19];
  WriteDateText(packed, buf);
  return QString::fromLatin1(buf, 19);
}

char* TextArena::Add(qsizetype utf8Len, std::uint64_t* handle) {
  const std::size_t need = std::size_t(VarintLength(std::uint64_t(utf8Len)) + utf8Len);
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < need) {
    const std::size_t grown =
        blocks_.empty() ? kFirstBlock : std::min(blocks_.back().size * 2, kHugeBlock);
    Block b;
    b.size = std::max(grown, need);
    b.data = AllocateBlock(b.size);
    reserved_ += qint64(b.size);
    blocks_.push_back(std::move(b));
  }
  Block& b = blocks_.back();
  *handle = (std::uint64_t(blocks_.size() - 1) << 32) | b.used;
  char* out = b.data.get() + b.used;
  std::uint64_t v = std::uint64_t(utf8Len);
  while (v >= 0x80) {
    *out++ = char(0x80 | (v & 0x7F));
    v >>= 7;
  }
  *out++ = char(v);
  b.used += need;
  return out;
}

std::string_view TextArena::Get(std::uint64_t handle) const {
  const Block& b = blocks_[std::size_t(handle >> 32)];
  const char* p = b.data.get() + (handle & 0xFFFFFFFFu);
  std::uint64_t len = 0;
  int shift = 0;
  while (std::uint8_t(*p) & 0x80) {
    len |= std::uint64_t(std::uint8_t(*p++) & 0x7F) << shift;
    shift += 7;
  }
  len |= std::uint64_t(std::uint8_t(*p++)) << shift;
  return {p, std::size_t(len)};
}

void TextArena::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  reserved_ = 0;
}

std::size_t ColumnStore::storageFor(std::size_t chunks) const {
  if (chunks <= ownChunks_) return chunks;
  return ownChunks_ + (chunks - ownChunks_ + kChunksPerBlock - 1) / kChunksPerBlock;
}

ColumnStore::Chunk* ColumnStore::newChunk(std::size_t index) {
  if (storage_.size() < storageFor(index + 1))
    storage_.push_back(AllocateBlock(index < ownChunks_ ? sizeof(Chunk) : kHugeBlock));
  char* at = index < ownChunks_
                 ? storage_[index].get()
                 : storage_[ownChunks_ + (index - ownChunks_) / kChunksPerBlock].get() +
                       (index - ownChunks_) % kChunksPerBlock * sizeof(Chunk);
  Chunk* c = new (at) Chunk;
  // Only the kinds need clearing: a slot is read only after its kind was written.
  std::memset(c->kind, 0, sizeof(Chunk::kind));
  return c;
}

void ColumnStore::resize(int rows) {
  rows = std::max(rows, 0);
  if (rows == 0) {
    chunks_.clear();
    chunks_.shrink_to_fit();
    storage_.clear();
    storage_.shrink_to_fit();
    arena_.Clear();
    rows_ = 0;
    widest_ = 0;
    widestStale_ = false;
    return;
  }
  const std::size_t chunksNeeded = std::size_t((rows - 1) >> kChunkBits) + 1;
  if (rows < rows_) {
    chunks_.resize(chunksNeeded);
    storage_.resize(storageFor(chunksNeeded));
    // A later Resize upwards must find the cells beyond the end empty.
    Chunk& last = *chunks_.back();
    const int from = rows & (kChunkRows - 1);
    if (from != 0) std::memset(last.kind + from, 0, std::size_t(kChunkRows - from));
    widestStale_ = true;
  } else {
    while (chunks_.size() < chunksNeeded) chunks_.push_back(newChunk(chunks_.size()));
  }
  rows_ = rows;
}

void ColumnStore::put(int row, CellKind kind, std::uint64_t slot, int width) {
  Chunk& c = chunk(row);
  const int i = row & (kChunkRows - 1);
  c.kind[i] = kind;
  c.slot[i] = slot;
  if (width > widest_) widest_ = width;
}

void ColumnStore::Clear(int row) {
  put(row, CellKind::Empty, 0, 0);
}

void ColumnStore::putText(int row, const QString& text, bool numeric) {
  const QChar* s = text.constData();
  const qsizetype n = text.size();
  if (n == 0) {
    Clear(row);
    return;
  }
  const std::int64_t date = PackDateText(s, n);
  if (date >= 0) {
    put(row, CellKind::Date, std::uint64_t(date), 19);
    return;
  }
  CellKind kind = CellKind::Text;
  if (numeric) {
    qint64 i = 0;
    double d = 0;
    if (ParseCanonicalInt(text, &i)) {
      put(row, CellKind::Int, std::uint64_t(i), int(n));
      return;
    }
    if (ParseDecimal(text, &d)) {
      if (NumberText(d) == text) {
        put(row, CellKind::Double, std::bit_cast<std::uint64_t>(d), int(n));
        return;
      }
      kind = CellKind::NumText;
    }
  }
  std::uint64_t handle = 0;
  if (IsSingleLineAscii(s, n)) {
    char* out = arena_.Add(n, &handle);
    for (qsizetype i = 0; i < n; ++i) out[i] = char(s[i].unicode());
    put(row, kind, handle, int(n));
    return;
  }
  EncodeUtf8(s, n, arena_.Add(Utf8Length(s, n), &handle));
  put(row, kind, handle, DisplayWidth(s, n));
}

void ColumnStore::SetInt(int row, qint64 value) {
  put(row, CellKind::Int, std::uint64_t(value), IntWidth(value));
}

void ColumnStore::SetDouble(int row, double d) {
  if (d == 0) d = 0;  // -0 shows and sorts as 0
  // Only a value that could be wider than the widest so far needs measuring.
  const bool mayWiden =
      !IsMidDouble(std::fabs(d)) || widest_ < kWidestMidDouble + (std::signbit(d) ? 1 : 0);
  put(row, CellKind::Double, std::bit_cast<std::uint64_t>(d), mayWiden ? NumberWidth(d) : 0);
}

void ColumnStore::SetDate(int row, std::int64_t packed) {
  put(row, CellKind::Date, std::uint64_t(packed), 19);
}

void ColumnStore::SetUtf8(int row, std::string_view text) {
  const qsizetype n = qsizetype(text.size());
  // Numeric columns, texts that may read as dates and malformed bytes take the QString route.
  const bool maybeDate = n == 19 && text[4] == '/' && text[7] == '/';
  const int width = format.charSet == 3 || maybeDate ? -1 : Utf8DisplayWidth(text);
  if (width < 0) {
    putText(row, QString::fromUtf8(text.data(), n), format.charSet == 3);
    return;
  }
  if (n == 0) {
    Clear(row);
    return;
  }
  std::uint64_t handle = 0;
  std::memcpy(arena_.Add(n, &handle), text.data(), std::size_t(n));
  put(row, CellKind::Text, handle, width);
}

void ColumnStore::SetText(int row, const QString& text) {
  putText(row, text, format.charSet == 3);
}

bool ColumnStore::Set(int row, const QVariant& value) {
  if (!value.isValid() || value.isNull()) {
    Clear(row);
    return true;
  }
  switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar: {
      const qint64 v = value.toLongLong();
      put(row, CellKind::Int, std::uint64_t(v), IntWidth(v));
      return true;
    }
    case QMetaType::ULongLong:
    case QMetaType::ULong: {
      const qulonglong v = value.toULongLong();
      if (v <= qulonglong(std::numeric_limits<qint64>::max())) {
        put(row, CellKind::Int, v, IntWidth(qint64(v)));
        return true;
      }
      [[fallthrough]];
    }
    case QMetaType::Double:
    case QMetaType::Float:
      SetDouble(row, value.toDouble());
      return true;
    case QMetaType::QString:
      putText(row, *static_cast<const QString*>(value.constData()), format.charSet == 3);
      return true;
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
      const QDateTime dt = value.toDateTime();
      if (!dt.isValid()) {
        Clear(row);
        return true;
      }
      const std::int64_t packed = PackDateTime(dt);
      if (packed >= 0)
        put(row, CellKind::Date, std::uint64_t(packed), 19);
      else
        putText(row, dt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")), format.charSet == 3);
      return true;
    }
    default:
      if (!value.canConvert<QString>()) return false;
      putText(row, value.toString(), format.charSet == 3);
      return true;
  }
}

QString ColumnStore::Text(int row) const {
  const std::uint64_t slot = Slot(row);
  switch (Kind(row)) {
    case CellKind::Empty:
      return QString();
    case CellKind::Int:
      return QString::number(qint64(slot));
    case CellKind::Double:
      return NumberText(std::bit_cast<double>(slot));
    case CellKind::Date:
      return DateText(std::int64_t(slot));
    case CellKind::NumText:
    case CellKind::Text: {
      const std::string_view s = arena_.Get(slot);
      return QString::fromUtf8(s.data(), qsizetype(s.size()));
    }
  }
  return QString();
}

QVariant ColumnStore::Value(int row) const {
  switch (Kind(row)) {
    case CellKind::Int:
      return QVariant(qlonglong(Slot(row)));
    case CellKind::Double:
      return QVariant(std::bit_cast<double>(Slot(row)));
    default:
      return QVariant(Text(row));
  }
}

int ColumnStore::widthOf(int row) const {
  if (Kind(row) == CellKind::Empty) return 0;
  const QString t = Text(row);
  return DisplayWidth(t.constData(), t.size());
}

int ColumnStore::WidestText() {
  if (widestStale_) {
    widest_ = 0;
    for (int r = 0; r < rows_; ++r) widest_ = std::max(widest_, widthOf(r));
    widestStale_ = false;
  }
  return widest_;
}

void ColumnStore::Reorder(int first, const std::vector<std::uint32_t>& order) {
  std::vector<std::uint64_t> values(order.size());
  std::vector<CellKind> kinds(order.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    values[i] = Slot(int(order[i]));
    kinds[i] = Kind(int(order[i]));
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    const int row = first + int(i);
    Chunk& c = chunk(row);
    c.slot[row & (kChunkRows - 1)] = values[i];
    c.kind[row & (kChunkRows - 1)] = kinds[i];
  }
}

qint64 ColumnStore::MemoryUsed() const {
  const std::size_t own = std::min(storage_.size(), ownChunks_);
  const std::size_t storage = own * sizeof(Chunk) + (storage_.size() - own) * kHugeBlock;
  return qint64(chunks_.capacity() * sizeof(Chunk*) + storage_.capacity() * sizeof(BlockPtr) +
                storage) +
         arena_.BytesReserved() + qint64(sizeof(*this));
}

}  // namespace grid
