#pragma once
// Oracle's arithmetic on SQLite: a division never truncates and a zero divisor is ORA-01476 (the
// divisor goes through ORA_DIVISOR), and a text literal used as a number goes through TO_NUMBER,
// so 'abc' + 1 is ORA-01722 instead of 1.
#include <vector>

#include "oracle/local/SqlRewrite.h"

namespace ora::local {

// Runs on the rewritten statement's tokens, after every other rewriting.
void RewriteNumberOperators(std::vector<Token>& tokens);

}  // namespace ora::local
