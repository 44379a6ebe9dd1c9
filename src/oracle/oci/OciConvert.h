#pragma once
// Conversions between what the Oracle client hands over and what the component's callers see.
// None of them talks to a server.
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace ora::oci {

// Oracle's 7-byte DATE (century+100, year+100, month, day, hour+1, minute+1, second+1). An
// invalid QDateTime when the bytes do not form a date. The fields are kept as stored: the value is
// in local time, or in UTC when local time has no such moment (a daylight-saving gap).
QDateTime DecodeOracleDate(const unsigned char* bytes);
// The reverse, from the value's own date and time fields; false for a year Oracle cannot hold.
bool EncodeOracleDate(const QDateTime& value, unsigned char* bytes);

// A NUMBER as the server writes it in text (".5", "-12.25", "1.5E+20"; a comma is taken as the
// decimal sign too) as a value that keeps every digit: qlonglong for an integer that fits, double
// when 15 significant digits or fewer, otherwise a QString of the plain decimal digits. Text that
// is not a number is returned unchanged as a QString.
QVariant NumberTextToValue(const QByteArray& text);

// A decimal number in text (as NumberTextToValue reads it) as Oracle's variable-length NUMBER
// (SQLT_VNU: a length byte, then the exponent byte and the base-100 digits, 22 bytes at most), so a
// bound number never depends on the session's decimal sign. False when the text is not a number or
// the number has more digits or a larger exponent than NUMBER holds; the caller then sends text.
bool EncodeOracleNumber(const QString& text, unsigned char* vnu);

// A BINARY_FLOAT as the double whose shortest text is the float's own (1.1f gives 1.1, not
// 1.100000023841858), so the grid shows what the server would print.
double WidenFloat(float value);

// The server counts error offsets in bytes of the UTF-8 statement; the console counts characters
// (UTF-16 units, as QString does). An offset inside a character counts that character as not yet
// reached; an offset past the end is clamped to the end.
int ByteOffsetToCharOffset(const QByteArray& utf8, int byteOffset);

// Only queries are run, so that nothing is ever changed by accident. A reported SELECT is a query,
// and so is a text that begins with WITH (a query with a subquery factoring clause, which not
// every client version reports as SELECT). A client reports type 0 when it cannot tell, for
// example for a statement that starts with a comment or a parenthesis: then the first keyword
// decides, and a first word that begins no Oracle statement at all is Unknown, which the server
// may parse (without running it) to report the syntax error and its position.
enum class StatementKind { Query, NotQuery, Unknown };
StatementKind ClassifyStatement(int statementType, const QString& sql);

// The first keyword of a statement in upper case, past blanks, comments and opening parentheses.
QString FirstKeyword(const QString& sql);

// Where FOR UPDATE starts in a statement (outside quotes and comments), or -1. Such a query locks
// its rows, and the rollback that follows every statement would end its fetch.
int ForUpdatePosition(const QString& sql);

// The component's type code for a describe code, chosen so that the grid shows every value it
// can: ROWID (104) is 11, the label type (105) is 106 and an ANSI DATE (184) is 12, as the
// component reports them; BINARY_FLOAT and BINARY_DOUBLE are numbers (2); TIMESTAMP (with and
// without time zone), INTERVAL and CLOB/NCLOB arrive as text and are reported as VARCHAR2 (1).
int ComponentTypeCode(int describeCode);

// The names of the placeholders of a statement (":NAME" or ":1"), each once, in order of first
// appearance, as written (without the colon). Text in quotes and comments is skipped.
QStringList PlaceholderNames(const QString& sql);

}  // namespace ora::oci
