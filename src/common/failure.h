#pragma once

#include <QString>
#include <stdexcept>

// A failed step: carries the description the user is shown. Handlers catch it and
// decide, by their own rule, whether to report it, pass it over or end the program.
class Failure : public std::runtime_error
{
public:
    enum class Kind { General, ElementMissing };

    explicit Failure(const QString &description, Kind kind = Kind::General);

    QString description() const { return m_description; }
    Kind kind() const { return m_kind; }

private:
    QString m_description;
    Kind m_kind;
};
