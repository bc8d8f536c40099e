#pragma once

#include <QString>

// Byte counts as the views show them: one decimal and a French unit.
class FileSizeFormatting {
public:
    static QString stringWithFileSize(float bytes);
};
