#pragma once
// The pending run-time error of the user-interface thread. Members of the data access component
// and of the grid never throw: a failing member records its number and description here and
// returns a neutral value, and the caller tests Err() afterwards, the way the program's own code
// tests a pending error after a step that is allowed to fail.
#include <QString>

namespace ora {

struct RunError {
  int Number = 0;
  QString Description;
  bool pending() const { return Number != 0; }
};

// The pending error (number 0 when none).
RunError& Err();
// Records a failure; a later failure replaces an earlier one, as only the last one is reported.
void Raise(int number, const QString& description);
// Clears the pending error.
void ErrClear();

// Numbers of the run-time errors the component and the grid raise themselves.
inline constexpr int kErrObjectRequired = 424;      // a member called on an empty reference
inline constexpr int kErrInvalidProcedureCall = 5;  // a bad argument
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrOutOfRange = 9;
inline constexpr int kErrOraComponent = 440;  // a failure inside the data access component

}  // namespace ora
