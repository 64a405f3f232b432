#pragma once

#include <QString>

// What a search opens: the engine's search string with the typed words after it.
namespace SearchQuery {

// Only web addresses may stand in front of a query: a "javascript:" or "file:" search string
// would run in, or read from, whatever page is in front.
bool acceptable(const QString &searchString);

// Why a search string was refused, for the add-engine box.
QString refusedMessage(const QString &searchString);

// The search string followed by the words percent-encoded as one query value, so "C++",
// "a&b#c" and "100%" reach the engine as typed.
QString address(const QString &searchString, const QString &words);

} // namespace SearchQuery
