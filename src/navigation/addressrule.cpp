#include "addressrule.h"

namespace AddressRule {

EnterAction enterAction(const QString &text)
{
    if (text.count(QLatin1Char('.')) >= 2)
        return EnterAction::Go;
    if (text.toLower().startsWith(QStringLiteral("http://")))
        return EnterAction::Go;
    return EnterAction::Search;
}

} // namespace AddressRule
