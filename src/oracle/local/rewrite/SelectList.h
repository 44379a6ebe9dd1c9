#pragma once
// The select list of the outermost query as Oracle shows it: headings and value kinds.
#include "oracle/local/rewrite/Expressions.h"

namespace ora::local::rewrite {

// src is the statement as typed; headings of expressions are cut from it.
QList<SelectItem> ReadSelectList(const Seq& s, const QString& src, const ExprScanner& scan);

// The outermost query as a PlainSelect, its places given as source token indexes; s is the tree
// the SQLite text is made of.
PlainSelect ReadPlainSelect(const Seq& s, const std::function<bool(const QString&)>& isAggregate);

}  // namespace ora::local::rewrite
