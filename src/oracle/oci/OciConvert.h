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

// The server counts error offsets in bytes of the UTF-8 statement; the console counts characters
// (UTF-16 units, as QString does). An offset inside a character counts that character as not yet
// reached; an offset past the end is clamped to the end.
int ByteOffsetToCharOffset(const QByteArray& utf8, int byteOffset);

// Only queries are run, so that nothing is ever changed by accident: the statement type the
// client reports must be SELECT, or the text must begin with WITH (a query with a subquery
// factoring clause, which not every client version reports as SELECT).
bool IsQueryStatement(int statementType, const QString& sql);

// The first keyword of a statement in upper case, past blanks, comments and opening parentheses.
QString FirstKeyword(const QString& sql);

// The component's type code for a describe code: a ROWID describes as 104 and is reported as 11,
// the label type describes as 105 and is reported as 106, an ANSI DATE (184) as a DATE (12).
int ComponentTypeCode(int describeCode);

// The names of the placeholders of a statement (":NAME" or ":1"), each once, in order of first
// appearance, as written (without the colon). Text in quotes and comments is skipped.
QStringList PlaceholderNames(const QString& sql);

}  // namespace ora::oci
