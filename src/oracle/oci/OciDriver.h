#pragma once
// The Oracle client driver: the Oracle Call Interface library loaded at run time.
#include <memory>

#include "oracle/OraInterface.h"

namespace ora::oci {

// A session object, or nullptr when the client library cannot be loaded or lacks a needed call.
std::shared_ptr<OraSession> CreateOciSession();

// Breaks off a fetch that is waiting on the server ("SQL中断" while rows are read): the result
// set being read ends at the rows it already has, without a server error. Does nothing when no
// fetch is waiting. Call it on the user-interface thread.
void BreakRunningFetch();

}  // namespace ora::oci
