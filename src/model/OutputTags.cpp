#include "OutputTags.h"

#include "model/EditedField.h"
#include "model/MetadataDictionary.h"

namespace {
// A field's value as the comparison and the output see it: numbers as the
// integer they start with, 0 and nothing both meaning no value.
QString fieldText(const QVariant& value, bool numeric) {
    if (!value.isValid() || value.isNull()) {
        return QString();
    }
    if (!numeric) {
        return value.toString();
    }
    const qint32 number = MetadataDictionary::isNumber(value)
                              ? qint32(value.toLongLong())
                              : TagList::leadingInteger(value.toString());
    return number != 0 ? QString::number(number) : QString();
}
} // namespace

bool OutputTags::isEditedName(const QString& name) {
    for (const EditedField& field : EditedField::all()) {
        if (TagList::sameName(name, QLatin1String(field.vorbisName))) {
            return true;
        }
    }
    return false;
}

TagList OutputTags::merge(const TagList& source, const MetadataDictionary& input,
                          const MetadataDictionary& output) {
    TagList tags = source;
    for (const EditedField& field : EditedField::all()) {
        const QString key = QLatin1String(field.key);
        const QString name = QLatin1String(field.vorbisName);
        const QString read = fieldText(input.value(key), field.numeric);
        const QString written = fieldText(output.value(key), field.numeric);
        // Unedited, the source's own values pass as they are ("02/10", two
        // artists); a record read before comments were kept has only its field.
        if (read == written && source.contains(name)) {
            continue;
        }
        tags.replace(name, written.isEmpty() ? QStringList() : QStringList{written});
    }
    return tags;
}
