#include "oracle/local/LocalEngine.h"

namespace ora::local {

// Replaced by the engine itself; until then no local session can be created.
std::shared_ptr<OraSession> CreateLocalSession() { return nullptr; }

}  // namespace ora::local
