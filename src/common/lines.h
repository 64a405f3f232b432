#pragma once

#include <QStringList>

namespace Lines {

// Which terminators end a line. Terminators are never part of a line, and a final
// terminator does not start an empty last line.
enum class Ends {
    CrOrCrLf, // a lone LF stays inside the line (link files)
    CrCrLfOrLf, // a lone LF ends a line too (files people edit with any editor)
};

QStringList split(const QString &text, Ends ends);

} // namespace Lines
