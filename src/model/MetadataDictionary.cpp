#include "MetadataDictionary.h"

#include "model/ModelContext.h"
#include "model/SqlText.h"
#include "storage/CocoLite.h"

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
    static const QStringList keys = {QStringLiteral("tracknumber"), QStringLiteral("title"),
                                     QStringLiteral("artist"),      QStringLiteral("album"),
                                     QStringLiteral("genre"),       QStringLiteral("discnumber"),
                                     QStringLiteral("date"),        QStringLiteral("sample-rate"),
                                     QStringLiteral("bps"),         QStringLiteral("channels")};
    return keys;
}

QString MetadataDictionary::sqliteCreationRequete() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `audioMetadata` ( `amdid` INTEGER PRIMARY KEY, `fileid` INT  "
        "REFERENCES `audioFile`, `amdtype` INT, `tracknumber` INTEGER, `title` TEXT, `artist` "
        "TEXT, `album` TEXT, `genre` TEXT, `discnumber` INT, `date` TEXT, `sample-rate` INT, "
        "`bps` INT, `channels` INT, UNIQUE(`fileid`, `amdtype` ) );");
}

QString MetadataDictionary::sqliteColumnHeadersRequete() {
    return QStringLiteral("`fileid`, `amdtype`, `tracknumber`, `title`, `artist`, `album`, "
                          "`genre`, `discnumber`, `date`, `sample-rate`, `bps`, `channels`");
}

void MetadataDictionary::vider() {
    ModelContext::db().inputDBrequest(QStringLiteral("DELETE FROM `audioMetadata`"));
}

MetadataDictionaryPtr MetadataDictionary::persistentObjectWithSqliteid(quint32 identifier) {
    auto record = std::make_shared<MetadataDictionary>();
    const auto rows = ModelContext::db().outputDBrequest(SqlText::fill(
        u"SELECT * FROM `audioMetadata` WHERE `amdid` = ?", {SqlText::unsignedNumber(identifier)}));
    if (!rows.isEmpty()) {
        record->addEntries(rows.last());
    }
    record->setSqliteid(identifier);
    return record;
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

QString MetadataDictionary::storedValue(const QString& key) const {
    if (!m_entries.contains(key)) {
        static const QStringList numericKeys = {
            QStringLiteral("tracknumber"), QStringLiteral("discnumber"),
            QStringLiteral("sample-rate"), QStringLiteral("bps"),
            QStringLiteral("channels"),    kAmdtype};
        return numericKeys.contains(key) ? QStringLiteral("0") : SqlText::text(QString());
    }
    return SqlText::value(m_entries.value(key));
}

QString MetadataDictionary::sqliteInsertUpdateRequete() {
    QStringList values = {SqlText::number(qint32(fileid())), storedValue(kAmdtype)};
    for (const QString& key : storedKeys()) {
        values.append(storedValue(key));
    }
    if (sqliteid() != 0) {
        values.append(SqlText::unsignedNumber(sqliteid()));
        return SqlText::fill(
            u"UPDATE `audioMetadata` SET `fileid` =?,`amdtype`= ?,  `tracknumber` = ? , `title` = "
            u"?, `artist` =? , `album` = ? , `genre` = ? , `discnumber` = ? , `date`  = ?, "
            u"`sample-rate`  = ?, `bps` = ? , `channels` = ? WHERE `amdid` = ?",
            values);
    }
    values.prepend(sqliteColumnHeadersRequete());
    return SqlText::fill(u"INSERT OR REPLACE INTO `audioMetadata` ( ? ) VALUES ( ?, ?, ?, ?, ?, "
                         u"?, ?, ?, ?, ?, ?, ? )",
                         values);
}

QString MetadataDictionary::sqliteDeleteRequete() const {
    return SqlText::fill(u"DELETE FROM `audioMetadata` WHERE  `amdid` = ?",
                         {SqlText::unsignedNumber(sqliteid())});
}

quint32 MetadataDictionary::sqlitePreviousId() {
    if (sqliteid() != 0) {
        return sqliteid();
    }
    const auto rows = ModelContext::db().outputDBrequest(
        SqlText::fill(u"SELECT `amdid` FROM `audioMetadata` WHERE `fileid` = ? AND `amdtype` = ?",
                      {SqlText::unsignedNumber(fileid()), storedValue(kAmdtype)}));
    if (!rows.isEmpty()) {
        const quint32 found = rows.last().value(kAmdid).toUInt();
        if (found != 0) {
            setSqliteid(found);
            return found;
        }
    }
    return 0;
}

quint32 MetadataDictionary::save() {
    const quint32 previous = sqlitePreviousId();
    if (previous != 0) {
        setSqliteid(previous);
    }
    const quint32 inserted =
        quint32(ModelContext::db().inputDBrequest(sqliteInsertUpdateRequete()));
    if (sqliteid() == 0) {
        setSqliteid(inserted);
    }
    return sqliteid();
}

void MetadataDictionary::supprimerDeLaBase() {
    ModelContext::db().inputDBrequest(sqliteDeleteRequete());
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
