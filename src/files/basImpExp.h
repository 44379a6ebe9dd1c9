#pragma once
// Small text file and text utilities: opening text files by file number, file and folder tests,
// the parent of a path, reading a SQL script, splitting a separated text. Paths use "/".
#include <QString>
#include <QStringList>

class QFile;

// Reads a whole SQL script: the header line "/*   (<path>)   */", CR LF, then the file's lines,
// each followed by CR LF, with spaces trimmed at both ends of the whole. A byte order mark decides
// the encoding; else a script is UTF-8 when it is valid UTF-8 holding a three- or four-byte
// sequence or nothing above 0x7F, and CP932 otherwise. A file that cannot be opened or read is
// reported by message box and gives the empty text.
QString mFn_ReadSqlFile(const QString& path);

// Opens a text file under a new file number: for reading (a failure is reported by message box),
// or for writing after deleting it first (when asked) and creating any missing folders. Returns
// the file number, or 0 on failure.
int mFn_OpenTextFile(const QString& path, bool read, bool deleteFirst);
// The open file behind a file number (nullptr when the number is not open).
QFile* TextFileByNumber(int fileNo);
// Closes a file number; an unknown number is ignored.
void CloseTextFile(int fileNo);

// True when the path names a file that can be opened for reading (or that this program has open).
bool mFn_FileExists(const QString& path);
// The text before the last separator, or the empty text when there is none.
QString mFn_GetParentPath(const QString& text, const QString& separator);
// True when the path names a folder.
bool mFn_IsFolder(const QString& path);
// Splits the text at every separator into items (a trailing separator gives a last, empty item;
// the empty text gives one empty item). Returns the index of the last item.
int mFn_SplitText(const QString& text, const QString& separator, QStringList& items);
