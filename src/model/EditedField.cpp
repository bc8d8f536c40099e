#include "EditedField.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

namespace {
// A number with its total ("3", "3/12"), and a date of a year, a month or a day.
const char* const kNumberForm = "^\\s*\\d+\\s*(/\\s*\\d+\\s*)?$";
const char* const kDateForm = "^\\s*\\d{4}(-\\d{2}(-\\d{2})?)?\\s*$";

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
        {QT_TRANSLATE_NOOP("Localizable", "artist"), "ARTIST", false, 3, 2, kListArtist, "%artist%",
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("Localizable", "title"), "TITLE", false, 2, 1, kListTitle, "%title%",
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("Localizable", "album"), "ALBUM", false, 4, 3, kListAlbum, "%album%",
         nullptr, nullptr},
        {QT_TRANSLATE_NOOP("Localizable", "date"), "DATE", false, 7, 6, -1, "%date%", kDateForm,
         QT_TRANSLATE_NOOP("VueCtrlrInfoFile",
                           "The date must be a year, such as 2019, 2019-04 or 2019-04-01")},
        {QT_TRANSLATE_NOOP("Localizable", "tracknumber"), "TRACKNUMBER", true, 1, 0, kListTrack,
         "%track%", kNumberForm,
         QT_TRANSLATE_NOOP("VueCtrlrInfoFile",
                           "The track number must be a number, such as 3 or 3/12")},
        {QT_TRANSLATE_NOOP("Localizable", "genre"), "GENRE", false, 6, 4, -1, "%genre%", nullptr,
         nullptr},
        {QT_TRANSLATE_NOOP("Localizable", "discnumber"), "DISCNUMBER", true, 5, 5, -1, "%disc%",
         kNumberForm,
         QT_TRANSLATE_NOOP("VueCtrlrInfoFile",
                           "The disc number must be a number, such as 1 or 1/2")},
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

QString EditedField::refusalFor(const QString& value) const {
    if (valueForm == nullptr || value.trimmed().isEmpty()) {
        return QString();
    }
    const QRegularExpression form{QLatin1String(valueForm)};
    return form.match(value).hasMatch() ? QString()
                                        : QCoreApplication::translate("VueCtrlrInfoFile", formHint);
}

QStringList EditedField::storedKeys() {
    return keysBy(&EditedField::storedColumn);
}

QStringList EditedField::infoKeys() {
    return keysBy(&EditedField::infoRow);
}
