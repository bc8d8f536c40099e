#include "MetadataDictionary.h"

#include "model/EditedField.h"

namespace {
const QString kAmdid = QStringLiteral("amdid");
const QString kFileid = QStringLiteral("fileid");
const QString kAmdtype = QStringLiteral("amdtype");
} // namespace

MetadataDictionaryPtr MetadataDictionary::withType(qint32 amdtype) {
    auto record = std::make_shared<MetadataDictionary>();
    record->insert(kAmdtype, amdtype);
    return record;
}

const QStringList& MetadataDictionary::storedKeys() {
    static const QStringList keys =
        EditedField::storedKeys() + QStringList{QStringLiteral("sample-rate"),
                                                QStringLiteral("bps"), QStringLiteral("channels")};
    return keys;
}

quint32 MetadataDictionary::sqliteid() const {
    return m_entries.value(kAmdid).toUInt();
}

void MetadataDictionary::setSqliteid(quint32 identifier) {
    m_entries.insert(kAmdid, identifier);
}

quint32 MetadataDictionary::fileid() const {
    return m_entries.value(kFileid).toUInt();
}

void MetadataDictionary::setFileid(quint32 identifier) {
    m_entries.insert(kFileid, identifier);
}

void MetadataDictionary::addEntries(const QVariantMap& entries) {
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        m_entries.insert(it.key(), it.value());
    }
}

bool MetadataDictionary::isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool MetadataDictionary::sameValue(const QVariant& left, const QVariant& right) {
    if (!left.isValid() || !right.isValid()) {
        return left.isValid() == right.isValid();
    }
    const bool leftText = left.typeId() == QMetaType::QString;
    const bool rightText = right.typeId() == QMetaType::QString;
    if (leftText || rightText) {
        return leftText && rightText && left.toString() == right.toString();
    }
    if (isNumber(left) || isNumber(right)) {
        return isNumber(left) && isNumber(right) && left.toDouble() == right.toDouble();
    }
    return left == right;
}

QVariant MetadataDictionary::shownNumber(const QVariant& value) {
    if (!value.isValid() || value.isNull() || (isNumber(value) && value.toLongLong() == 0) ||
        value.toString().trimmed() == QLatin1String("0")) {
        return QString();
    }
    return value;
}
