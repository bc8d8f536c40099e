// Byte counts of every value a float can hold format into a number and one
// of the five units, or "-".
#include "ui/FileSizeFormatting.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(float)) {
        return 0;
    }
    float bytes = 0;
    std::memcpy(&bytes, data, sizeof bytes);
    const QString text = FileSizeFormatting::stringWithFileSize(bytes);
    if (text == QLatin1String("-")) {
        return bytes == 0.0f ? 0 : (std::abort(), 0);
    }
    const QString unit = text.section(QLatin1Char(' '), -1);
    static const QStringList units = {QStringLiteral("o"), QStringLiteral("Ko"),
                                      QStringLiteral("Mo"), QStringLiteral("Go"),
                                      QStringLiteral("To")};
    if (!units.contains(unit) || text.contains(QLatin1Char(','))) {
        std::abort();
    }
    return 0;
}
