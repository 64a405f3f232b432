#include "failure.h"

Failure::Failure(const QString &description)
    : std::runtime_error(description.toStdString())
    , m_description(description)
{
}
