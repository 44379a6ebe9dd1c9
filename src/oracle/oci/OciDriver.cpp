#include "oracle/oci/OciDriver.h"

namespace ora::oci {

// Replaced by the driver itself; until then no Oracle session can be created.
std::shared_ptr<OraSession> CreateOciSession() { return nullptr; }

}  // namespace ora::oci
