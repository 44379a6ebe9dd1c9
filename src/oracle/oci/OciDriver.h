#pragma once
// The Oracle client driver: the Oracle Call Interface library loaded at run time.
#include <memory>

#include "oracle/OraInterface.h"

namespace ora::oci {

// A session object, or nullptr when the client library cannot be loaded or lacks a needed call.
std::shared_ptr<OraSession> CreateOciSession();

}  // namespace ora::oci
