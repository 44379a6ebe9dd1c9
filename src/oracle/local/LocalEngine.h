#pragma once
// The local engine: SQLite dressed as an Oracle instance.
#include <memory>

#include "oracle/OraInterface.h"

namespace ora::local {

// A session object of the local engine; OpenDatabase picks DEMO or a SQLite file by its host.
std::shared_ptr<OraSession> CreateLocalSession();

}  // namespace ora::local
