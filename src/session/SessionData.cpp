#include "session/SessionData.h"

#include <QComboBox>

#include "core/RunErr.h"

std::vector<SessionData> gSessionData(1);

void mSb_CreateSessions() {
  gSessionData.assign(1, SessionData{});
}

int mSb_AppendSession() {
  if (gSessionData.empty()) mSb_CreateSessions();
  if (!gSessionData[0].OraSession) return 0;
  mSb_PackSessions();
  gSessionData.push_back(SessionData{});
  return static_cast<int>(gSessionData.size()) - 1;
}

void mSb_PackSessions() {
  std::vector<SessionData> live;
  for (const SessionData& rec : gSessionData) {
    if (rec.OraSession) live.push_back(rec);
  }
  gSessionData.assign(1, SessionData{});
  if (!live.empty()) gSessionData = std::move(live);
}

void mSb_ResetSession(int index) {
  if (index < 0 || index >= static_cast<int>(gSessionData.size())) {
    ora::ErrClear();
    return;
  }
  SessionData& rec = gSessionData[static_cast<std::size_t>(index)];
  if (rec.OraSession) rec.OraSession->LastServerErrReset();
  if (rec.OraDatabase) rec.OraDatabase->LastServerErrReset();
  if (rec.OraDynaset) rec.OraDynaset->Close();
  rec.OraDynaset.reset();
  ora::ErrClear();
}

bool mFn_NoSession() {
  return gSessionData.empty() || !gSessionData[0].OraSession;
}

int mFn_SessionUBound() {
  return static_cast<int>(gSessionData.size()) - 1;
}

QString mFn_SessionLabel(int index) {
  const SessionData& rec = gSessionData[static_cast<std::size_t>(index)];
  return QStringLiteral("Session") + QString::number(index + 1) + QLatin1Char(':') + rec.User +
         QLatin1Char('/') + rec.Host;
}

void mSb_SetSessionList(QComboBox* combo) {
  if (!combo) return;
  const bool wasVisible = combo->isVisibleTo(combo->parentWidget());
  combo->hide();
  combo->clear();
  for (int i = 0; i <= mFn_SessionUBound(); ++i) combo->addItem(mFn_SessionLabel(i));
  combo->setCurrentIndex(mFn_SessionUBound());
  if (wasVisible || !combo->parentWidget()) combo->show();
}
