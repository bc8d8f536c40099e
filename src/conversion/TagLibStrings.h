#pragma once

#include <QString>

#include <taglib/tstring.h>

// Text between Qt and TagLib, always as UTF-8.
class TagLibStrings {
public:
    static TagLib::String toTagLib(const QString& text) {
        return TagLib::String(text.toStdString(), TagLib::String::UTF8);
    }
    static QString fromTagLib(const TagLib::String& text) {
        return QString::fromStdString(text.to8Bit(true));
    }
};
