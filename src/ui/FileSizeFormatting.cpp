#include "FileSizeFormatting.h"

#include <QStringList>

QString FileSizeFormatting::stringWithFileSize(float bytes) {
    static const char* const units[] = {"o", "Ko", "Mo", "Go", "To"};
    constexpr int lastUnit = int(sizeof units / sizeof units[0]) - 1;
    if (bytes == 0.0f) {
        return QStringLiteral("-");
    }
    float value = bytes;
    int divisions = 0;
    while (value > 1024.0f && divisions < lastUnit) {
        value *= 0.0009765625f;
        ++divisions;
    }
    // As French writes it, the units being French: "333,6 Ko" (drawn for
    // every row: no locale look-up).
    QString number = QString::number(double(value), 'f', 1);
    number[number.size() - 2] = QLatin1Char(',');
    return number + QLatin1Char(' ') + QLatin1String(units[divisions]);
}
