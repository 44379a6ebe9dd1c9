#pragma once
// Connecting one new session and telling the user why a connection failed.
#include <QString>
#include <QStringList>

// The first index whose item equals the text exactly (case-sensitive), -1 when none does.
int mFn_FindInList(const QStringList& list, const QString& text);

// The information hint shown after the server's text for the logon failures whose cause is
// well known (6413, 12224, 12500); nothing for any other number.
void mSb_ShowLogonHint(int errorNumber);

// A saved history with one more value at its end, never starting with ",".
QString AppendToHistory(const QString& history, const QString& text);

// Fills the record a new logon takes (AppendSession) and opens the database on it. On
// failure the reason has been shown, the record is blank again and the pending error is clear.
bool ConnectSession(const QString& user, const QString& pass, const QString& host);
