#include "EditedField.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
QStringList keysBy(int EditedField::*position) {
    QList<EditedField> fields = EditedField::all();
    std::sort(fields.begin(), fields.end(), [position](const auto& left, const auto& right) {
        return left.*position < right.*position;
    });
    QStringList keys;
    for (const EditedField& field : fields) {
        keys << QLatin1String(field.key);
    }
    return keys;
}
} // namespace

const QList<EditedField>& EditedField::all() {
    // The keys are also the source texts of the information view's labels.
    static const QList<EditedField> fields = {
        {QT_TRANSLATE_NOOP("Localizable", "artist"), "ARTIST", false, 3, 2,
         EditedField::kListArtist, "%artist%"},
        {QT_TRANSLATE_NOOP("Localizable", "title"), "TITLE", false, 2, 1, EditedField::kListTitle,
         "%title%"},
        {QT_TRANSLATE_NOOP("Localizable", "album"), "ALBUM", false, 4, 3, EditedField::kListAlbum,
         "%album%"},
        {QT_TRANSLATE_NOOP("Localizable", "date"), "DATE", false, 7, 6, -1, "%date%"},
        {QT_TRANSLATE_NOOP("Localizable", "tracknumber"), "TRACKNUMBER", true, 1, 0,
         EditedField::kListTrack, "%track%"},
        {QT_TRANSLATE_NOOP("Localizable", "genre"), "GENRE", false, 6, 4, -1, "%genre%"},
        {QT_TRANSLATE_NOOP("Localizable", "discnumber"), "DISCNUMBER", true, 5, 5, -1, "%disc%"},
    };
    return fields;
}

const EditedField* EditedField::byKey(const QString& key) {
    for (const EditedField& field : all()) {
        if (key == QLatin1String(field.key)) {
            return &field;
        }
    }
    return nullptr;
}

QStringList EditedField::storedKeys() {
    return keysBy(&EditedField::storedColumn);
}

QStringList EditedField::infoKeys() {
    return keysBy(&EditedField::infoRow);
}
