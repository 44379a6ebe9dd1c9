#pragma once
// Compact storage of one grid column. Every cell takes one kind byte and one 8-byte slot, held in
// fixed-size chunks so that adding rows one at a time never copies what is already there. The
// slot holds an integer, the bits of a double, a date packed as the 14 digits YYYYMMDDhhmmss, or
// the handle of a text kept as UTF-8 in the column's text arena.
#include <QString>
#include <QVariant>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "grid/BigBlock.h"

class QDateTime;

namespace grid {

enum class CellKind : std::uint8_t {
  Empty = 0,
  Int,      // a whole number
  Double,   // a number shown in its shortest exact decimal form
  NumText,  // a number kept as typed ("1.50"), compared as a number
  Text,
  Date,  // "YYYY/MM/DD hh:mm:ss", kept packed
};

// UTF-8 texts, each preceded by its length as a varint, in chunks that never move.
class TextArena {
 public:
  // Room for a text of utf8Len bytes, which the caller writes at the pointer returned.
  char* Add(qsizetype utf8Len, std::uint64_t* handle);
  std::string_view Get(std::uint64_t handle) const;
  void Clear();
  qint64 BytesReserved() const { return reserved_; }

 private:
  struct Block {
    BlockPtr data;
    std::size_t size = 0;
    std::size_t used = 0;
  };
  std::vector<Block> blocks_;
  qint64 reserved_ = 0;
};

// How one column's cells are edited and shown, in the grid's own codes.
struct CellFormat {
  int cellType = 1;
  int hAlign = 0;
  int charSet = 0;
  int charCase = 1;
  bool multiLine = false;
  bool password = false;
  int maxEditLen = 0;  // 0: no limit
};

class ColumnStore {
 public:
  static constexpr int kChunkBits = 12;
  static constexpr int kChunkRows = 1 << kChunkBits;

  // The grid's column number staggers the row at which the column moves into a new huge block:
  // a fill that touched a new block in every column at the same row would pay for all at once.
  explicit ColumnStore(int column = 0)
      : ownChunks_(kChunksPerBlock + std::size_t(column % 8) * (kChunksPerBlock / 8)) {}

  // Row indexes here are 0-based.
  void Resize(int rows) {
    // A fill adds one row at a time: growing within the chunks already there only moves the end.
    if (rows > rows_ && std::size_t((rows - 1) >> kChunkBits) < chunks_.size())
      rows_ = rows;
    else
      resize(rows);
  }
  int Rows() const { return rows_; }

  CellKind Kind(int row) const { return chunk(row).kind[row & (kChunkRows - 1)]; }
  std::uint64_t Slot(int row) const { return chunk(row).slot[row & (kChunkRows - 1)]; }

  // Stores a value; false for a value that has no text form (the cell is left as it was).
  bool Set(int row, const QVariant& value);
  // Stores text as typed: numbers are recognised in numeric columns, dates in every column.
  void SetText(int row, const QString& text);
  // The same cells as Set() writes for a whole number, a double, a packed date and UTF-8 text,
  // without a QVariant or QString for the common cases.
  void SetInt(int row, qint64 value);
  void SetDouble(int row, double value);
  void SetDate(int row, std::int64_t packed);
  void SetUtf8(int row, std::string_view text);
  void Clear(int row);

  QString Text(int row) const;
  QVariant Value(int row) const;
  // The UTF-8 bytes of a text cell.
  std::string_view Utf8(int row) const { return arena_.Get(Slot(row)); }

  // Width of the widest value, in half-width character cells.
  int WidestText();

  // Puts the cells of rows [first, first + order.size()) in the given order (absolute rows).
  void Reorder(int first, const std::vector<std::uint32_t>& order);

  qint64 MemoryUsed() const;

  CellFormat format;
  QString header;

 private:
  struct Chunk {
    std::uint64_t slot[kChunkRows];
    CellKind kind[kChunkRows];
  };
  // Chunks have allocations of their own until a column holds at least a huge block's worth of
  // them; later ones are cut from huge blocks. A huge block then never leaves more unused than is
  // in use.
  static constexpr std::size_t kChunksPerBlock = kHugeBlock / sizeof(Chunk);
  void resize(int rows);
  std::size_t storageFor(std::size_t chunks) const;
  Chunk* newChunk(std::size_t index);

  const Chunk& chunk(int row) const { return *chunks_[std::size_t(row >> kChunkBits)]; }
  Chunk& chunk(int row) { return *chunks_[std::size_t(row >> kChunkBits)]; }
  void put(int row, CellKind kind, std::uint64_t slot, int width);
  void putText(int row, const QString& text, bool numeric);
  int widthOf(int row) const;

  std::size_t ownChunks_;
  std::vector<Chunk*> chunks_;
  // The own chunks, then the huge blocks.
  std::vector<BlockPtr> storage_;
  TextArena arena_;
  int rows_ = 0;
  int widest_ = 0;
  bool widestStale_ = false;
};

// Display width of a text in half-width cells: East Asian wide characters count two.
int DisplayWidth(const QChar* s, qsizetype n);

// Shortest exact decimal form of a double, as the grid shows numbers.
QString NumberText(double d);
// Its length, mostly found without writing it.
int NumberWidth(double d);

// The packed form of "YYYY/MM/DD hh:mm:ss", or -1 when the text has another form.
std::int64_t PackDateText(const QChar* s, qsizetype n);
// The packed form of a date and time whose year has four digits, or -1.
std::int64_t PackDateTime(const QDateTime& dt);
QString DateText(std::int64_t packed);
// Writes the 19 characters of a packed date.
void WriteDateText(std::int64_t packed, char* out);

}  // namespace grid
