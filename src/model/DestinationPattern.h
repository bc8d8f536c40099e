#pragma once

#include <QString>
#include <QVariantMap>

// Output paths built from tags: "%artist%/%album%/%track% - %title%" gives
// "Artist/Album/03 - Title". The fields are %artist% %albumartist% %album%
// %title% %track% %disc% %date% %genre% %filename%; %track% and %disc% are
// two digits at least; a missing artist is "Artiste inconnu", a missing
// album "Album inconnu", a missing title the file's name. Every value is
// made safe as a path component: "/" replaced, control characters (NUL, line
// breaks, escapes) dropped, leading dots and trailing spaces and dots
// removed, each component cut to 255 bytes.
class DestinationPattern {
public:
    static QString defaultPattern();
    // The pattern's fields, in the order they are offered: "%artist%"…
    static const QStringList& fields();
    // The words between % signs of a pattern that are no field, once each.
    static QStringList unknownFields(const QString& pattern);
    // The relative path, extension included, for a file with these tags
    // (keys as the metadata records have them) and this source name.
    static QString expand(const QString& pattern, const QVariantMap& tags,
                          const QString& sourceBaseName, const QString& extension);
    // A text made safe to stand as one path component.
    static QString safeComponent(const QString& text);
    // The text cut to at most that many UTF-8 bytes, at a character boundary.
    static QString cutToBytes(const QString& text, int bytes);
    // A file name any file system takes the length of, without control
    // characters: the part before the extension is cut to fit 255 bytes.
    static QString safeFileName(const QString& name);
    static QString withoutControlCharacters(const QString& text);
    // A path component that FAT, exFAT, NTFS and SMB shares take: ':' as
    // " -", '"' as "'", < > | ? * \ as '_', no control character, no
    // trailing dot or space, a reserved device name (CON, COM1, LPT1…, with
    // or without an extension) prefixed with '_', at most 255 UTF-16 units.
    static QString portableComponent(const QString& text);
    // The same for a file name: the part before the extension is cut.
    static QString portableFileName(const QString& name);
    // Every component of a relative path made portable, the last as a file name.
    static QString portablePath(const QString& relative);
};
