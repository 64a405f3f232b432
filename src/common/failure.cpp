#include "failure.h"

Failure::Failure(const QString &description, Kind kind)
    : std::runtime_error(description.toStdString())
    , m_description(description)
    , m_kind(kind)
{
}
