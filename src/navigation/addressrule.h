#pragma once

#include <QString>

namespace AddressRule {

enum class EnterAction { Go, Search };

// Enter in the address box: two or more full stops, or "http://" at the start in any letter
// case, open the text as an address; anything else is searched for. Nothing is trimmed.
EnterAction enterAction(const QString &text);

} // namespace AddressRule
