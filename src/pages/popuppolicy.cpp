#include "popuppolicy.h"

PopupPolicy &PopupPolicy::instance()
{
    static PopupPolicy policy;
    return policy;
}

void PopupPolicy::allow(const QString &site)
{
    m_allowed.insert(site);
}
