#include "MetadataDictionary.h"

#include "model/EditedField.h"

#include <QSet>

#include <bit>

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

const QStringList& MetadataDictionary::commonKeys() {
    static const QStringList keys = [] {
        QStringList common =
            storedKeys() + QStringList{kAmdid, kFileid, kAmdtype, QStringLiteral("fileName"),
                                       QStringLiteral("NSURLFileSizeKey")};
        Q_ASSERT(common.size() <= kCommonCount);
        return common;
    }();
    return keys;
}

int MetadataDictionary::commonIndex(const QString& key) {
    const QStringList& common = commonKeys();
    for (int index = 0; index < common.size(); ++index) {
        if (common.at(index) == key) {
            return index;
        }
    }
    return -1;
}

QVariant MetadataDictionary::value(const QString& key) const {
    const int index = commonIndex(key);
    return index >= 0 ? m_common[index] : m_others.value(key);
}

bool MetadataDictionary::contains(const QString& key) const {
    const int index = commonIndex(key);
    return index >= 0 ? (m_present & (1U << index)) != 0 : m_others.contains(key);
}

void MetadataDictionary::insert(const QString& key, const QVariant& value) {
    const int index = commonIndex(key);
    if (index < 0) {
        m_others.insert(key, value);
        return;
    }
    m_common[index] = value;
    m_present |= 1U << index;
}

void MetadataDictionary::remove(const QString& key) {
    const int index = commonIndex(key);
    if (index < 0) {
        m_others.remove(key);
        return;
    }
    m_common[index] = QVariant();
    m_present &= ~(1U << index);
}

void MetadataDictionary::aggregate(
    const QList<std::pair<const MetadataDictionary*, const MetadataDictionary*>>& files,
    const QVariant& difference, MetadataDictionary& input, MetadataDictionary& output) {
    // Which keys a file has shown so far, and which already differ: those
    // are not compared again.
    quint32 inputSeen = 0;
    quint32 outputSeen = 0;
    quint32 inputDiffers = 0;
    quint32 outputDiffers = 0;
    QSet<QString> otherInputSeen;
    QSet<QString> otherOutputSeen;
    const QStringList& common = commonKeys();
    for (const auto& [fileInput, fileOutput] : files) {
        for (quint32 keys = fileInput->m_present; keys != 0; keys &= keys - 1) {
            const int index = std::countr_zero(keys);
            const quint32 bit = 1U << index;
            const QVariant& value = fileInput->m_common[index];
            if ((inputSeen & bit) == 0) {
                inputSeen |= bit;
                input.insert(common.at(index), value);
            } else if ((inputDiffers & bit) == 0 && !sameValue(input.m_common[index], value)) {
                inputDiffers |= bit;
                input.m_common[index] = difference;
            }
            const QVariant& outputValue = fileOutput->m_common[index];
            if ((outputSeen & bit) != 0) {
                if ((outputDiffers & bit) == 0 && !sameValue(output.m_common[index], outputValue)) {
                    outputDiffers |= bit;
                    output.insert(common.at(index), difference);
                }
            } else if (outputValue.isValid()) {
                outputSeen |= bit;
                output.insert(common.at(index), outputValue);
            }
        }
        for (auto it = fileInput->m_others.constBegin(); it != fileInput->m_others.constEnd();
             ++it) {
            const QString& key = it.key();
            if (!otherInputSeen.contains(key)) {
                otherInputSeen.insert(key);
                input.insert(key, it.value());
            } else if (!sameValue(input.value(key), it.value())) {
                input.insert(key, difference);
            }
            const QVariant outputValue = fileOutput->value(key);
            if (otherOutputSeen.contains(key)) {
                if (!sameValue(output.value(key), outputValue)) {
                    output.insert(key, difference);
                }
            } else if (outputValue.isValid()) {
                otherOutputSeen.insert(key);
                output.insert(key, outputValue);
            }
        }
    }
}

void MetadataDictionary::forEach(
    const std::function<void(const QString& key, const QVariant& value)>& visit) const {
    const QStringList& common = commonKeys();
    for (int index = 0; index < common.size(); ++index) {
        if ((m_present & (1U << index)) != 0) {
            visit(common.at(index), m_common[index]);
        }
    }
    for (auto it = m_others.constBegin(); it != m_others.constEnd(); ++it) {
        visit(it.key(), it.value());
    }
}

QVariantMap MetadataDictionary::entries() const {
    QVariantMap map;
    forEach([&map](const QString& key, const QVariant& value) { map.insert(key, value); });
    return map;
}

QStringList MetadataDictionary::keys() const {
    return entries().keys();
}

quint32 MetadataDictionary::sqliteid() const {
    return value(kAmdid).toUInt();
}

void MetadataDictionary::setSqliteid(quint32 identifier) {
    insert(kAmdid, identifier);
}

quint32 MetadataDictionary::fileid() const {
    return value(kFileid).toUInt();
}

void MetadataDictionary::setFileid(quint32 identifier) {
    insert(kFileid, identifier);
}

void MetadataDictionary::addEntries(const QVariantMap& entries) {
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        insert(it.key(), it.value());
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
