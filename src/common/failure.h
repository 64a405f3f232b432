#pragma once

#include <QString>
#include <optional>
#include <stdexcept>

// A failed step: carries the description the user is shown. Browsers and stores throw it; a
// handler runs each step through attempt() and decides by its own rule whether to report the
// failure, pass it over or end the program.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &description);

    QString description() const { return m_description; }

private:
    QString m_description;
};

// Runs one step and gives its failure as a value: the one place where a failing step is caught,
// so the handler can skip it and run the rest.
template <typename Step> std::optional<Failure> attempt(Step &&step)
{
    try {
        step();
    } catch (const Failure &failure) {
        return failure;
    } catch (const std::exception &e) {
        return Failure(QString::fromLocal8Bit(e.what()));
    }
    return std::nullopt;
}
