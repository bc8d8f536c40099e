#include "Log.h"

#include <cstdio>

QString Log::withControlsEscaped(const QString& text, bool keepLineBreaks) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar character : text) {
        const bool lineBreak = character == QLatin1Char('\n') || character == QLatin1Char('\t');
        if (character.category() == QChar::Other_Control && !(keepLineBreaks && lineBreak)) {
            shown += QStringLiteral("\\x") +
                     QString::number(character.unicode(), 16).toUpper().rightJustified(2, u'0');
        } else {
            shown += character;
        }
    }
    return shown;
}

void Log::write(const QString& message) {
    // Texts come from file names and tags too: their escapes and bells never
    // reach the terminal; the line breaks the messages are made of do.
    const QByteArray line = withControlsEscaped(message, true).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}
