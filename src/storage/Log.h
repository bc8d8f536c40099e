#pragma once

#include <QString>

// The application's log: one line on standard error per message, the text
// as given, no level prefix; control characters other than its own line
// breaks are shown escaped.
class Log {
public:
    static void write(const QString& message);
    // The text with its control characters shown as \xHH; line breaks and
    // tabs kept when asked.
    static QString withControlsEscaped(const QString& text, bool keepLineBreaks);
};
