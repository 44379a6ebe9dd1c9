#include "core/RunErr.h"

namespace ora {

RunError& Err() {
  thread_local RunError pending;
  return pending;
}

void Raise(int number, const QString& description) {
  Err().Number = number;
  Err().Description = description;
}

void ErrClear() {
  Err() = RunError{};
}

}  // namespace ora
