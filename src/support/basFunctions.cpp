#include "support/basFunctions.h"

#include "core/RunErr.h"

bool gblnFetching = false;

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
