#include "support/basFunctions.h"

#include <QComboBox>

#include "core/RunErr.h"
#include "session/SessionData.h"

std::shared_ptr<ora::OraDynaset> mFn_CreateDynaset(const std::shared_ptr<ora::OraDatabase>& db,
                                                   const QString& sql, int mode) {
  if (!db) {
    ora::ErrClear();
    return nullptr;
  }
  const int options = mode == 1 ? (ora::ORADYN_READONLY | ora::ORADYN_NOCACHE) : 0;
  db->LastServerErrReset();
  std::shared_ptr<ora::OraDynaset> result = db->CreateDynaset(sql, options);
  if (ora::Err().pending() || db->LastServerErr() != 0) result.reset();
  ora::ErrClear();
  return result;
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
