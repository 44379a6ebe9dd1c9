#pragma once
// The program-wide session table: one record per open logon, live records first in logon order,
// never empty. A session is its index; no session is open exactly when record 0 has no
// OraSession.
#include <QString>
#include <memory>
#include <vector>

#include "oracle/OraInterface.h"

class QComboBox;

struct SessionData {
  QString Host;
  QString User;
  QString Pass;
  std::shared_ptr<ora::OraSession> OraSession;
  std::shared_ptr<ora::OraDatabase> OraDatabase;
  std::shared_ptr<ora::OraDynaset> OraDynaset;
};

extern std::vector<SessionData> gSessionData;

// Sizes the table to one blank record.
void CreateSessions();
// The record a new logon fills: record 0 when no session is open, else a new last record after
// packing. Returns its index.
int AppendSession();
// Rebuilds the table with only the live records, in their order (one blank record when none).
void mSb_PackSessions();
// Clears the server error state of the record's session and database and closes its result set.
void mSb_ResetSession(int index);
// True when no session is open (record 0 holds no session object).
bool NoSession();
// The upper bound of the table (its size less one), as the selectors and loops use it.
int LastSessionIndex();

// Refills a session selector with one "Session<n>:<User>/<Host>" item per record of the session
// table, and selects the last one.
void mSb_SetSessionList(QComboBox* combo);
// The label of record index of the session table.
QString SessionLabel(int index);
