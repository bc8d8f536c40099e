#pragma once

#include <QString>

// The application's log: one line on standard error per message, the text
// exactly as given, no level prefix.
class Log {
public:
    static void write(const QString& message);
};
