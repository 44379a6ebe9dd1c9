#include "session/SessionData.h"

#include <QComboBox>

#include "core/RunErr.h"

std::vector<SessionData> gSessionData(1);

void CreateSessions() {
  gSessionData.assign(1, SessionData{});
}

int AppendSession() {
  if (gSessionData.empty()) CreateSessions();
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

bool NoSession() {
  return gSessionData.empty() || !gSessionData[0].OraSession;
}

int LastSessionIndex() {
  return static_cast<int>(gSessionData.size()) - 1;
}

QString SessionLabel(int index) {
  const SessionData& rec = gSessionData[static_cast<std::size_t>(index)];
  return QStringLiteral("Session") + QString::number(index + 1) + QLatin1Char(':') + rec.User +
         QLatin1Char('/') + rec.Host;
}

void mSb_SetSessionList(QComboBox* combo) {
  if (!combo) return;
  const bool wasVisible = combo->isVisibleTo(combo->parentWidget());
  combo->hide();
  combo->clear();
  for (int i = 0; i <= LastSessionIndex(); ++i) combo->addItem(SessionLabel(i));
  combo->setCurrentIndex(LastSessionIndex());
  if (wasVisible || !combo->parentWidget()) combo->show();
}
