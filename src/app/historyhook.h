#pragma once

#include "browser.h"

class History;

namespace HistoryHook {

// Browsers from `factory` that tell `history` about every page they finish loading and
// every later title of it.
BrowserFactory recording(History *history, BrowserFactory factory);

} // namespace HistoryHook
