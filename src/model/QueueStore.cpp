#include "QueueStore.h"

#include "model/EditedField.h"
#include "storage/CocoLite.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QThread>

#include <cmath>

namespace {
// The locations' columns written by a save, in order.
const QString kUrlColumns = QStringLiteral(
    "`furl`, `fname`, `fdir`, `fext`, `isdir`, `futi`, `datemodif`, `fsize`, `ftype`, `active`");
const QString kFileColumns = QStringLiteral(
    "`inaudiourl`, `outaudiourl`, `tmpaudiourl`, `tmpimgurl`, `userimgurl`, `xtindx`, "
    "`audiotype`, `status`, `outname`, `imgautofind`, `imgsrcttype`, `active`, `inmetadata`, "
    "`outmetadata`");
const QString kAmdtype = QStringLiteral("amdtype");

QString placeholders(int count) {
    QStringList marks;
    for (int index = 0; index < count; ++index) {
        marks << QStringLiteral("?");
    }
    return marks.join(QStringLiteral(", "));
}

// The tag sets' columns, each followed by "separator": "`fileid`, `amdtype`"
// and then every stored key.
QString metadataColumns(const QString& separator) {
    QStringList columns = {QStringLiteral("`fileid`"), QStringLiteral("`amdtype`")};
    for (const QString& key : MetadataDictionary::storedKeys()) {
        columns << QLatin1Char('`') + key + QLatin1Char('`');
    }
    return columns.join(separator + QStringLiteral(", ")) + separator;
}

// A tag set's stored value of a key: a number column holds 0 and a text
// column "" for a key the set lacks.
QVariant storedValue(const MetadataDictionary& record, const QString& key) {
    if (record.contains(key)) {
        return record.value(key);
    }
    // Beside the edited fields, the columns are numbers (type, stream facts).
    const EditedField* field = EditedField::byKey(key);
    const bool numeric = field == nullptr || field->numeric;
    return numeric ? QVariant(0) : QVariant(QStringLiteral(""));
}

// The first schema: locations, files and their two tag sets.
void createFirstTables(CocoLite& db) {
    db.inputDBrequest(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `fileURL` ( `furlid` INTEGER PRIMARY KEY, `furl` TEXT UNIQUE, "
        "`fname` TEXT, `fdir` TEXT, `fext` TEXT, `isdir` INT, `futi` TEXT, `fsize` INT, `ftype` "
        "INT, `datemodif` INT, `active` INT )"));
    db.inputDBrequest(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `audioFile` ( `afid` INTEGER PRIMARY KEY, `inaudiourl` INTEGER "
        "REFERENCES `fileURL` , `outaudiourl` INTEGER REFERENCES `fileURL`, `tmpaudiourl` INTEGER "
        "REFERENCES `fileURL`, `tmpimgurl` INTEGER REFERENCES `fileURL`, `userimgurl` INTEGER "
        "REFERENCES `fileURL`, `xtindx`  INTEGER, `audiotype` TEXT, `status` INT, `outname` TEXT, "
        "`imgautofind` INT, `imgsrcttype` INT, `active` INT, `inmetadata` INTEGER REFERENCES "
        "`audioMetadata`, `outmetadata` INTEGER REFERENCES  `audioMetadata` )"));
    db.inputDBrequest(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `audioMetadata` ( `amdid` INTEGER PRIMARY KEY, `fileid` INT  "
        "REFERENCES `audioFile`, `amdtype` INT, `tracknumber` INTEGER, `title` TEXT, `artist` "
        "TEXT, `album` TEXT, `genre` TEXT, `discnumber` INT, `date` TEXT, `sample-rate` INT, "
        "`bps` INT, `channels` INT, UNIQUE(`fileid`, `amdtype` ) )"));
}

// Failure reasons and root folders, in tables of their own so that the
// first tables keep their columns.
void createFailureAndRootTables(CocoLite& db) {
    db.inputDBrequest(QStringLiteral("CREATE TABLE IF NOT EXISTS `audioFailure` ( `afid` INTEGER "
                                     "PRIMARY KEY, `reason` TEXT )"));
    db.inputDBrequest(QStringLiteral("CREATE TABLE IF NOT EXISTS `audioRoot` ( `afid` INTEGER "
                                     "PRIMARY KEY, `root` TEXT )"));
}

// Every comment of the sources, the publishing journal, and the indexes that
// looking a source up and finding the images near a file need.
void createTagAndPublishingTables(CocoLite& db) {
    db.inputDBrequest(
        QStringLiteral("CREATE TABLE IF NOT EXISTS `audioTag` ( `afid` INTEGER, `position` "
                       "INTEGER, `name` TEXT, `value` TEXT, PRIMARY KEY ( `afid`, `position` ) )"));
    db.inputDBrequest(QStringLiteral("CREATE TABLE IF NOT EXISTS `audioPublishing` ( `afid` "
                                     "INTEGER PRIMARY KEY, `destination` TEXT, `partial` TEXT )"));
    db.inputDBrequest(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS `audioFile_inaudiourl` ON `audioFile` (`inaudiourl`)"));
    db.inputDBrequest(
        QStringLiteral("CREATE INDEX IF NOT EXISTS `fileURL_ftype` ON `fileURL` (`ftype`)"));
}

// Every location column of the files indexed: removing a file asks whether
// another one still uses each of its locations, and a picture's folder is
// looked up among the pictures of one type.
void indexEveryLocationColumn(CocoLite& db) {
    for (const char* column : {"outaudiourl", "tmpaudiourl", "tmpimgurl", "userimgurl"}) {
        db.inputDBrequest(QStringLiteral("CREATE INDEX IF NOT EXISTS `audioFile_%1` ON `audioFile` "
                                         "(`%1`)")
                              .arg(QLatin1String(column)));
    }
    db.inputDBrequest(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS `fileURL_ftype_fdir` ON `fileURL` (`ftype`, `fdir`)"));
    // It serves every look-up by type the older index served.
    db.inputDBrequest(QStringLiteral("DROP INDEX IF EXISTS `fileURL_ftype`"));
}

// The identifier a query of one row and column answers; 0 for none.
quint32 firstIdentifier(CocoLite& db, const QString& sql, const QVariantList& values) {
    quint32 found = 0;
    db.forEachRow(sql, values, [&found](const QVariantList& row) {
        if (found == 0) {
            found = row.at(0).toUInt();
        }
    });
    return found;
}

// A list of identifiers as one bound value: a statement takes it whatever
// its length, through json_each().
QString identifierList(const QList<quint32>& identifiers) {
    QStringList numbers;
    numbers.reserve(identifiers.size());
    for (const quint32 identifier : identifiers) {
        numbers << QString::number(identifier);
    }
    return QLatin1Char('[') + numbers.join(QLatin1Char(',')) + QLatin1Char(']');
}
} // namespace

QueueStore::QueueStore(CocoLite& database) : m_database(database) {}

void QueueStore::assertMainThread() const {
    Q_ASSERT(QCoreApplication::instance() == nullptr ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
}

int QueueStore::schemaVersion() {
    return m_database.outputDBrequest(QStringLiteral("PRAGMA user_version"))
        .value(0)
        .value(QStringLiteral("user_version"))
        .toInt();
}

bool QueueStore::hasColumn(const QString& table, const QString& column) {
    for (const QVariantMap& row : m_database.outputDBrequest(
             QStringLiteral("SELECT `name` FROM pragma_table_info(?)"), {table})) {
        if (row.value(QStringLiteral("name")).toString() == column) {
            return true;
        }
    }
    return false;
}

namespace {
// Queued files that are tracks of a disc image: which samples of the image.
void createTrackTable(CocoLite& db) {
    db.inputDBrequest(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `audioTrack` ( `afid` INTEGER PRIMARY KEY, `number` INT, "
        "`first` INTEGER, `end` INTEGER, `name` TEXT, `sheet` TEXT, `encoding` TEXT )"));
}
// What each published output was made from, by output path. Sizes and
// times in nanoseconds pass the 32 bits an integer column is read back
// with: they are kept as decimal text. The sources'
// column is indexed for the outputs of a folder's sources.
void createOutputRecordTable(CocoLite& db) {
    db.inputDBrequest(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `outputRecord` ( `output` TEXT PRIMARY KEY, `source` TEXT, "
        "`kind` INT, `sourceSize` TEXT, `sourceModified` TEXT, `audio` TEXT, `tags` TEXT, "
        "`encoding` TEXT, `outputSize` TEXT, `outputModified` TEXT )"));
    db.inputDBrequest(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS `outputRecordSource` ON `outputRecord` ( `source` )"));
}

const QString kOutputRecordColumns = QStringLiteral(
    "`output`, `source`, `kind`, `sourceSize`, `sourceModified`, `audio`, `tags`, `encoding`, "
    "`outputSize`, `outputModified`");

OutputRecord outputRecordFromRow(const QVariantMap& row) {
    OutputRecord record;
    record.output = row.value(QStringLiteral("output")).toString();
    record.source = row.value(QStringLiteral("source")).toString();
    record.kind = OutputRecord::Kind(row.value(QStringLiteral("kind")).toLongLong());
    record.sourceSize = row.value(QStringLiteral("sourceSize")).toLongLong();
    record.sourceModifiedNs = row.value(QStringLiteral("sourceModified")).toLongLong();
    record.audioSignature = row.value(QStringLiteral("audio")).toString();
    record.tagsFingerprint = row.value(QStringLiteral("tags")).toString();
    record.encodingFingerprint = row.value(QStringLiteral("encoding")).toString();
    record.outputSize = row.value(QStringLiteral("outputSize")).toLongLong();
    record.outputModifiedNs = row.value(QStringLiteral("outputModified")).toLongLong();
    return record;
}

// The paths under a folder are those from "folder/" to before "folder0"
// ('0' follows '/'): a range the index serves, unlike LIKE.
QVariantList underFolder(const QString& folder) {
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    return {base + QLatin1Char('/'), base + QLatin1Char('0')};
}
} // namespace

void QueueStore::migrateStep(int from) {
    switch (from) {
    case 0:
        createFirstTables(m_database);
        break;
    case 1:
        createFailureAndRootTables(m_database);
        break;
    case 2:
        createTagAndPublishingTables(m_database);
        break;
    case 3:
        // Versions before this one marked every file 3 whatever tables it
        // had: make sure of each, and of the journal's partial-file column.
        createFirstTables(m_database);
        createFailureAndRootTables(m_database);
        createTagAndPublishingTables(m_database);
        if (!hasColumn(QStringLiteral("audioPublishing"), QStringLiteral("partial"))) {
            m_database.inputDBrequest(
                QStringLiteral("ALTER TABLE `audioPublishing` ADD COLUMN `partial` TEXT"));
        }
        break;
    case 4:
        indexEveryLocationColumn(m_database);
        break;
    case 5:
        createTrackTable(m_database);
        break;
    case 6:
        createOutputRecordTable(m_database);
        break;
    default:
        break;
    }
}

void QueueStore::migrate() {
    assertMainThread();
    // A file from a later version is left as it is: its extra tables and
    // columns are not ours to touch.
    for (int version = schemaVersion(); version < kSchemaVersion; ++version) {
        m_database.beginTransaction();
        migrateStep(version);
        // PRAGMA takes no bound value; the version is a number of ours.
        m_database.inputDBrequest(QStringLiteral("PRAGMA user_version = %1").arg(version + 1));
        m_database.commitTransaction();
    }
}

void QueueStore::beginTransaction() {
    m_database.beginTransaction();
}

void QueueStore::commitTransaction() {
    m_database.commitTransaction();
}

quint32 QueueStore::storedUrlId(PersistentURL& url) {
    if (url.sqliteid() != 0) {
        return url.sqliteid();
    }
    const quint32 found = firstIdentifier(
        m_database, QStringLiteral("SELECT `furlid` FROM `fileURL` WHERE `furl` = ?"),
        {url.path()});
    if (found != 0) {
        url.setSqliteid(found);
    }
    return found;
}

quint32 QueueStore::saveUrl(PersistentURL& url) {
    assertMainThread();
    // One look at the disk for all the row says of the file.
    const QFileInfo info(url.path());
    if (!info.exists()) {
        // A location stored once keeps its row while its file is away (an
        // unplugged drive): the row is what links a queued file to its source.
        return url.sqliteid();
    }
    storedUrlId(url);
    if (url.elementType() == kElementImage) {
        ++m_imageRowsGeneration;
    }
    static const QMimeDatabase mimeDatabase;
    const QString typeIdentifier =
        mimeDatabase.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name();
    const bool isDirectory = info.isDir();
    const QDateTime modified = info.lastModified();
    const double seconds = modified.isValid()
                               ? std::round(double(modified.toMSecsSinceEpoch()) / 1000.0) -
                                     PersistentURL::referenceDateOffset()
                               : 0.0;
    QVariantList values = {url.path(),          QFileInfo(url.pathWithoutExtension()).fileName(),
                           url.folderPath(),    url.extension(),
                           isDirectory ? 1 : 0, typeIdentifier,
                           qint64(seconds),     isDirectory ? qint64(0) : info.size(),
                           url.elementType(),   url.isactive() ? 1 : 0};
    if (url.sqliteid() != 0) {
        values << url.sqliteid();
        m_database.inputDBrequest(
            QStringLiteral("UPDATE `fileURL` SET `furl` = ?, `fname` = ?, `fdir` = ?, `fext` = ?, "
                           "`isdir` = ?, `futi` = ?, `datemodif` = ?, `fsize` = ?, `ftype` = ?, "
                           "`active` = ? WHERE `furlid` = ?"),
            values);
        return url.sqliteid();
    }
    url.setSqliteid(quint32(
        m_database.inputDBrequest(QStringLiteral("INSERT OR REPLACE INTO `fileURL` ( ") +
                                      kUrlColumns + QStringLiteral(" ) VALUES ( ") +
                                      placeholders(int(values.size())) + QStringLiteral(" )"),
                                  values)));
    return url.sqliteid();
}

PersistentURLPtr QueueStore::loadUrl(quint32 identifier) {
    PersistentURLPtr url;
    m_database.forEachRow(
        QStringLiteral("SELECT `furl`, `ftype`, `active` FROM `fileURL` WHERE `furlid` = ?"),
        {identifier}, [&url, identifier](const QVariantList& row) {
            url = urlFromRow(row.at(0).toString(), row.at(1).toInt(), row.at(2).toInt() != 0,
                             identifier);
        });
    return url;
}

PersistentURLPtr QueueStore::urlFromRow(const QString& path, qint32 type, bool active,
                                        quint32 identifier) {
    // The row says all there is to know: the file system is not looked at.
    PersistentURLPtr url = PersistentURL::persistentURLforPath(path);
    url->setElementType(type);
    url->setIsactive(active);
    url->setSqliteid(identifier);
    return url;
}

void QueueStore::deleteUrl(const PersistentURL& url) {
    ++m_imageRowsGeneration;
    m_database.inputDBrequest(QStringLiteral("DELETE FROM `fileURL` WHERE `furlid` = ?"),
                              {url.sqliteid()});
}

QList<QPair<QString, QString>> QueueStore::imagesNear(const QString& folder) {
    if (m_imagesNearGeneration != m_imageRowsGeneration) {
        m_imagesNear.clear();
        m_imagesNearGeneration = m_imageRowsGeneration;
    }
    const auto found = m_imagesNear.constFind(folder);
    if (found != m_imagesNear.constEnd()) {
        return found.value();
    }
    // The file's own folder, the folders below it (Scans/, Artwork/) and its
    // parent (an album's CD1/ and CD2/ share its cover), never further up:
    // one picture in a music folder must not become every album's cover.
    // The folders below are a range of paths, so "%" and "_" in a name stay
    // plain characters.
    QList<QPair<QString, QString>> images;
    const QString parent = QFileInfo(folder).path();
    m_database.forEachRow(
        QStringLiteral("SELECT `furl` FROM `fileURL` WHERE `ftype` = ? AND ( `fdir` = ? OR `fdir` "
                       "= ? OR ( `fdir` >= ? AND `fdir` < ? ) ) ORDER BY `furlid`"),
        {qint32(kElementImage), folder, parent, folder + QLatin1Char('/'),
         folder + QLatin1Char('0')},
        [&images](const QVariantList& row) {
            const QString path = row.at(0).toString();
            images.append({path, QFileInfo(path).fileName()});
        });
    m_imagesNear.insert(folder, images);
    return images;
}

quint32 QueueStore::storedMetadataId(MetadataDictionary& record) {
    if (record.sqliteid() != 0) {
        return record.sqliteid();
    }
    const quint32 found = firstIdentifier(
        m_database,
        QStringLiteral("SELECT `amdid` FROM `audioMetadata` WHERE `fileid` = ? AND `amdtype` = ?"),
        {record.fileid(), storedValue(record, kAmdtype)});
    if (found != 0) {
        record.setSqliteid(found);
    }
    return found;
}

quint32 QueueStore::saveMetadata(MetadataDictionary& record) {
    assertMainThread();
    storedMetadataId(record);
    QVariantList values = {qint32(record.fileid()), storedValue(record, kAmdtype)};
    for (const QString& key : MetadataDictionary::storedKeys()) {
        values << storedValue(record, key);
    }
    if (record.sqliteid() != 0) {
        values << record.sqliteid();
        static const QString update = QStringLiteral("UPDATE `audioMetadata` SET ") +
                                      metadataColumns(QStringLiteral(" = ?")) +
                                      QStringLiteral(" WHERE `amdid` = ?");
        m_database.inputDBrequest(update, values);
        return record.sqliteid();
    }
    record.setSqliteid(quint32(
        m_database.inputDBrequest(QStringLiteral("INSERT OR REPLACE INTO `audioMetadata` ( ") +
                                      metadataColumns(QString()) + QStringLiteral(" ) VALUES ( ") +
                                      placeholders(int(values.size())) + QStringLiteral(" )"),
                                  values)));
    return record.sqliteid();
}

MetadataDictionaryPtr QueueStore::loadMetadata(quint32 identifier) {
    auto record = std::make_shared<MetadataDictionary>();
    const auto rows = m_database.outputDBrequest(
        QStringLiteral("SELECT * FROM `audioMetadata` WHERE `amdid` = ?"), {identifier});
    if (!rows.isEmpty()) {
        record->addEntries(rows.last());
    }
    record->setSqliteid(identifier);
    return record;
}

void QueueStore::deleteMetadata(const MetadataDictionary& record) {
    m_database.inputDBrequest(QStringLiteral("DELETE FROM `audioMetadata` WHERE `amdid` = ?"),
                              {record.sqliteid()});
}

quint32 QueueStore::savedUrlId(const PersistentURLPtr& url) {
    return url ? saveUrl(*url) : 0;
}

quint32 QueueStore::storedFileId(FichierAudio& record) {
    if (record.sqliteid() != 0) {
        return record.sqliteid();
    }
    const quint32 sourceId = savedUrlId(record.elementURL());
    if (sourceId == 0) {
        return 0;
    }
    // The tracks of a disc image share its location: each has its row.
    const std::optional<ImageTrack>& track = record.imageTrack();
    const quint32 found =
        track
            ? firstIdentifier(m_database,
                              QStringLiteral("SELECT f.`afid` FROM `audioFile` f JOIN `audioTrack` "
                                             "t ON t.`afid` = f.`afid` WHERE f.`inaudiourl` = ? "
                                             "AND t.`number` = ?"),
                              {sourceId, track->number})
            : firstIdentifier(m_database,
                              QStringLiteral("SELECT f.`afid` FROM `audioFile` f WHERE "
                                             "f.`inaudiourl` = ? AND NOT EXISTS ( SELECT 1 FROM "
                                             "`audioTrack` t WHERE t.`afid` = f.`afid` )"),
                              {sourceId});
    if (found != 0) {
        record.setSqliteid(found);
    }
    return found;
}

quint32 QueueStore::saveFile(FichierAudio& record) {
    assertMainThread();
    // The row, its location rows and its tag rows go to the disk together.
    m_database.beginTransaction();
    storedFileId(record);
    QVariantList values = {
        savedUrlId(record.elementURL()),
        savedUrlId(record.destinationURL()),
        savedUrlId(record.tempDestinationURL()),
        savedUrlId(record.imageTempURL()),
        savedUrlId(record.imageCustomURL()),
        quint32(record.externalImageIndex() & 0xffffffffu),
        record.audioType(),
        record.statusConversion(),
        record.nomDestination(),
        record.imageAutoFind(),
        record.imageSourceType(),
        record.isactive() ? 1 : 0,
        saveMetadata(*record.inMetadataDict()),
        saveMetadata(*record.outMetadataDict()),
    };
    if (record.sqliteid() != 0) {
        values << record.sqliteid();
        m_database.inputDBrequest(
            QStringLiteral("UPDATE `audioFile` SET `inaudiourl` = ?, `outaudiourl` = ?, "
                           "`tmpaudiourl` = ?, `tmpimgurl` = ?, `userimgurl` = ?, `xtindx` = ?, "
                           "`audiotype` = ?, `status` = ?, `outname` = ?, `imgautofind` = ?, "
                           "`imgsrcttype` = ?, `active` = ?, `inmetadata` = ?, `outmetadata` = ? "
                           "WHERE `afid` = ?"),
            values);
    } else {
        record.setSqliteid(quint32(
            m_database.inputDBrequest(QStringLiteral("INSERT INTO `audioFile` ( ") + kFileColumns +
                                          QStringLiteral(" ) VALUES ( ") +
                                          placeholders(int(values.size())) + QStringLiteral(" )"),
                                      values)));
    }
    bindMetadataRecord(record, *record.inMetadataDict());
    bindMetadataRecord(record, *record.outMetadataDict());
    saveFailureReason(record);
    saveRootFolder(record);
    saveImageTrack(record);
    if (record.m_sourceTagsChanged && record.m_sourceTags) {
        saveSourceTags(record.sqliteid(), *record.m_sourceTags);
        record.m_sourceTagsChanged = false;
        // Read again when asked for: a library's comments stay on the disk.
        record.m_sourceTags.reset();
    }
    m_database.commitTransaction();
    return record.sqliteid();
}

void QueueStore::saveImageTrack(const FichierAudio& record) {
    const std::optional<ImageTrack>& track = record.imageTrack();
    if (!track) {
        return;
    }
    m_database.inputDBrequest(
        QStringLiteral("INSERT OR REPLACE INTO `audioTrack` ( `afid`, `number`, `first`, `end`, "
                       "`name`, `sheet`, `encoding` ) VALUES ( ?, ?, ?, ?, ?, ?, ? )"),
        {record.sqliteid(), track->number, track->firstSample, track->endSample, track->name,
         track->sheetPath, track->sheetEncoding});
}

void QueueStore::bindMetadataRecord(FichierAudio& file, MetadataDictionary& record) {
    if (record.fileid() != file.sqliteid()) {
        // A record made anew for a source that already has a row takes the
        // place of the old tag row instead of colliding with it.
        m_database.inputDBrequest(
            QStringLiteral("DELETE FROM `audioMetadata` WHERE `fileid` = ? "
                           "AND `amdtype` = ? AND `amdid` != ?"),
            {file.sqliteid(), storedValue(record, kAmdtype), record.sqliteid()});
        record.setFileid(file.sqliteid());
        // Saved once already, under its old file.
        saveMetadata(record);
    }
}

void QueueStore::saveRootFolder(const FichierAudio& record) {
    const QString root = record.rootFolder();
    if (root.isEmpty()) {
        return;
    }
    m_database.inputDBrequest(
        QStringLiteral("INSERT OR REPLACE INTO `audioRoot` ( `afid`, `root` ) VALUES ( ?, ? )"),
        {record.sqliteid(), root});
}

void QueueStore::saveFailureReason(const FichierAudio& record) {
    const QString reason = record.failureReason();
    if (reason.isEmpty() || record.statusConversion() != kStatusConvFiniErreur) {
        m_database.inputDBrequest(QStringLiteral("DELETE FROM `audioFailure` WHERE `afid` = ?"),
                                  {record.sqliteid()});
        return;
    }
    m_database.inputDBrequest(
        QStringLiteral(
            "INSERT OR REPLACE INTO `audioFailure` ( `afid`, `reason` ) VALUES ( ?, ? )"),
        {record.sqliteid(), reason});
}

void QueueStore::deleteUnsharedUrlRows(const QList<quint32>& identifiers) {
    // Another file may use the same row (the same custom image chosen for
    // several files), and an image file stays registered for the files near
    // it: they keep it. Each question is one indexed look-up.
    m_database.inputDBrequest(
        QStringLiteral(
            "DELETE FROM `fileURL` WHERE `furlid` IN ( SELECT `value` FROM json_each(?) ) AND "
            "`ftype` IS NOT ? AND NOT EXISTS ( SELECT 1 FROM `audioFile` WHERE `inaudiourl` = "
            "`furlid` ) AND NOT EXISTS ( SELECT 1 FROM `audioFile` WHERE `outaudiourl` = `furlid` "
            ") "
            "AND NOT EXISTS ( SELECT 1 FROM `audioFile` WHERE `tmpaudiourl` = `furlid` ) AND NOT "
            "EXISTS ( SELECT 1 FROM `audioFile` WHERE `tmpimgurl` = `furlid` ) AND NOT EXISTS ( "
            "SELECT 1 FROM `audioFile` WHERE `userimgurl` = `furlid` )"),
        {identifierList(identifiers), qint32(kElementImage)});
    ++m_imageRowsGeneration;
}

void QueueStore::removeFile(FichierAudio& record) {
    removeFiles({&record});
}

void QueueStore::removeFiles(const QList<FichierAudio*>& records) {
    assertMainThread();
    QList<quint32> files;
    QList<quint32> tagSets;
    QList<quint32> locations;
    for (FichierAudio* record : records) {
        files << record->sqliteid();
        tagSets << record->inMetadataDict()->sqliteid() << record->outMetadataDict()->sqliteid();
        for (const PersistentURLPtr& url :
             {record->elementURL(), record->tempDestinationURL(), record->destinationURL(),
              record->imageTempURL(), record->imageCustomURL()}) {
            if (url && storedUrlId(*url) != 0) {
                locations << url->sqliteid();
            }
        }
    }
    const QString fileList = identifierList(files);
    m_database.beginTransaction();
    for (const char* table : {"audioFile", "audioFailure", "audioRoot", "audioTag", "audioTrack"}) {
        m_database.inputDBrequest(
            QStringLiteral("DELETE FROM `%1` WHERE `afid` IN ( SELECT `value` FROM json_each(?) )")
                .arg(QLatin1String(table)),
            {fileList});
    }
    m_database.inputDBrequest(
        QStringLiteral("DELETE FROM `audioMetadata` WHERE `fileid` IN ( SELECT `value` FROM "
                       "json_each(?) ) OR `amdid` IN ( SELECT `value` FROM json_each(?) )"),
        {fileList, identifierList(tagSets)});
    deleteUnsharedUrlRows(locations);
    m_database.commitTransaction();
}

namespace {
// The start-up statement: each queued file's row with its five locations and
// its two tag sets joined, so that rows are read one at a time and nothing is
// kept but the records. Its columns, in order:
enum LoadColumn : int {
    kLoadAfid,
    kLoadStatus,
    kLoadAutoFind,
    kLoadPictureSource,
    kLoadActive,
    kLoadOutputName,
    kLoadExternalIndex,
    kLoadFailure,
    kLoadRoot,
    kLoadInputSet,
    kLoadOutputSet,
    kLoadLocations,
};
// Then, for each location column: its identifier, path, type, active flag
// and size.
const char* const kLocationColumns[] = {"inaudiourl", "outaudiourl", "tmpaudiourl", "tmpimgurl",
                                        "userimgurl"};
constexpr int kLocationWidth = 5;
constexpr int kLocationCount = 5;
constexpr int kLoadTagSets = kLoadLocations + kLocationCount * kLocationWidth;

// A tag set's columns in the start-up statement.
QStringList tagSetColumns() {
    return QStringList{QStringLiteral("amdid"), QStringLiteral("fileid"), kAmdtype} +
           MetadataDictionary::storedKeys();
}

const QString& loadStatement() {
    static const QString statement = [] {
        QStringList columns = {"f.`afid`",        "f.`status`",     "f.`imgautofind`",
                               "f.`imgsrcttype`", "f.`active`",     "f.`outname`",
                               "f.`xtindx`",      "fail.`reason`",  "root.`root`",
                               "f.`inmetadata`",  "f.`outmetadata`"};
        QString joins;
        for (int index = 0; index < kLocationCount; ++index) {
            const QString alias = QStringLiteral("l%1").arg(index);
            for (const char* column : {"furlid", "furl", "ftype", "active"}) {
                columns << QStringLiteral("%1.`%2`").arg(alias, QLatin1String(column));
            }
            // Read as a real: integers come back as their low 32 bits, and a
            // disc image can pass 2 GiB.
            columns << QStringLiteral("CAST(%1.`fsize` AS REAL)").arg(alias);
            joins += QStringLiteral(" LEFT JOIN `fileURL` %1 ON %1.`furlid` = f.`%2`")
                         .arg(alias, QLatin1String(kLocationColumns[index]));
        }
        const QList<QPair<QString, QString>> tagSets = {{"t0", "inmetadata"},
                                                        {"t1", "outmetadata"}};
        for (const auto& [alias, column] : tagSets) {
            for (const QString& key : tagSetColumns()) {
                columns << QStringLiteral("%1.`%2`").arg(alias, key);
            }
            joins += QStringLiteral(" LEFT JOIN `audioMetadata` %1 ON %1.`amdid` = f.`%2`")
                         .arg(alias, column);
        }
        // Then the track of a disc image the file is, if it is one; sample
        // positions read as reals, past 32 bits in a long image.
        columns << QStringLiteral("tr.`afid`") << QStringLiteral("tr.`number`")
                << QStringLiteral("CAST(tr.`first` AS REAL)")
                << QStringLiteral("CAST(tr.`end` AS REAL)") << QStringLiteral("tr.`name`")
                << QStringLiteral("tr.`sheet`") << QStringLiteral("tr.`encoding`");
        joins += QStringLiteral(" LEFT JOIN `audioTrack` tr ON tr.`afid` = f.`afid`");
        return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
               QStringLiteral(" FROM `audioFile` f LEFT JOIN `audioFailure` fail ON fail.`afid` "
                              "= f.`afid` LEFT JOIN `audioRoot` root ON root.`afid` = f.`afid`") +
               joins + QStringLiteral(" WHERE f.`active` = 1 ORDER BY f.`afid`");
    }();
    return statement;
}

// A tag set from its columns of a start-up row; a column that is NULL is a
// key the set lacks.
MetadataDictionaryPtr tagSetFromRow(const QVariantList& row, int first, quint32 identifier) {
    auto record = std::make_shared<MetadataDictionary>();
    const QStringList columns = tagSetColumns();
    for (int index = 0; index < columns.size(); ++index) {
        const QVariant& value = row.at(first + index);
        if (value.isValid()) {
            record->insert(columns.at(index), value);
        }
    }
    record->setSqliteid(identifier);
    return record;
}
} // namespace

FichierAudioPtr QueueStore::fileFromRow(const QVariantList& row) {
    auto record = std::make_shared<FichierAudio>(this);
    record->setSqliteid(row.at(kLoadAfid).toUInt());
    // The track first: the stored output name and destination go over
    // those it works out.
    const int track = kLoadTagSets + 2 * int(tagSetColumns().size());
    if (row.at(track).isValid()) {
        record->setImageTrack({row.at(track + 1).toInt(), qint64(row.at(track + 2).toDouble()),
                               qint64(row.at(track + 3).toDouble()), row.at(track + 4).toString(),
                               row.at(track + 5).toString(), row.at(track + 6).toString()});
    }
    PersistentURLPtr locations[kLocationCount];
    for (int index = 0; index < kLocationCount; ++index) {
        const int first = kLoadLocations + index * kLocationWidth;
        const quint32 identifier = row.at(first).toUInt();
        if (identifier != 0) {
            locations[index] = urlFromRow(row.at(first + 1).toString(), row.at(first + 2).toInt(),
                                          row.at(first + 3).toInt() != 0, identifier);
        }
    }
    if (locations[0]) {
        record->setElementURL(locations[0]);
    }
    if (locations[1]) {
        record->setDestinationURL(locations[1]);
    }
    if (locations[2]) {
        record->setTempDestinationURL(locations[2]);
    }
    record->setImageTempURL(locations[3]);
    record->setImageCustomURL(locations[4]);
    record->setStatusConversion(row.at(kLoadStatus).toInt());
    record->setImageAutoFind(row.at(kLoadAutoFind).toInt());
    record->setImageSourceType(row.at(kLoadPictureSource).toInt());
    record->setIsactive(row.at(kLoadActive).toInt() != 0);
    const int setWidth = int(tagSetColumns().size());
    MetadataDictionaryPtr input = tagSetFromRow(row, kLoadTagSets, row.at(kLoadInputSet).toUInt());
    MetadataDictionaryPtr output =
        tagSetFromRow(row, kLoadTagSets + setWidth, row.at(kLoadOutputSet).toUInt());
    input->insert(kAmdtype, MetadataDictionary::kInput);
    // The size the source had when it was queued: start-up does not look at
    // every file on the disk.
    const QVariant size = row.at(kLoadLocations + kLocationWidth - 1);
    if (locations[0] && size.isValid()) {
        input->insert(QStringLiteral("NSURLFileSizeKey"), qint64(size.toDouble()));
    }
    record->setNomDestination(row.at(kLoadOutputName).toString());
    record->setInMetadataDict(input);
    record->setOutMetadataDict(output);
    record->recordFileNames();
    record->setExternalImageIndex(row.at(kLoadExternalIndex).toUInt());
    record->setFailureReason(row.at(kLoadFailure).toString());
    record->setRootFolder(row.at(kLoadRoot).toString());
    return record;
}

QList<FichierAudioPtr> QueueStore::loadFiles() {
    assertMainThread();
    QList<FichierAudioPtr> files;
    m_database.forEachRow(loadStatement(), {}, [this, &files](const QVariantList& row) {
        files.append(fileFromRow(row));
    });
    return files;
}

void QueueStore::clear() {
    assertMainThread();
    ++m_imageRowsGeneration;
    m_database.beginTransaction();
    for (const char* table : {"audioFile", "audioFailure", "audioRoot", "audioTag", "audioTrack",
                              "audioMetadata", "fileURL"}) {
        m_database.inputDBrequest(QStringLiteral("DELETE FROM `%1`").arg(QLatin1String(table)));
    }
    m_database.commitTransaction();
}

TagList QueueStore::sourceTags(quint32 afid) {
    assertMainThread();
    TagList tags;
    forEachSourceTagSet(m_database, {afid}, [&tags](qsizetype, const TagList& comments) {
        tags = comments;
        return true;
    });
    return tags;
}

void QueueStore::forEachSourceTagSet(
    CocoLite& connection, const QList<quint32>& afids,
    const std::function<bool(qsizetype index, const TagList& comments)>& visit) {
    constexpr qsizetype kPerQuery = 500;
    for (qsizetype first = 0; first < afids.size(); first += kPerQuery) {
        const QList<quint32> part = afids.mid(first, kPerQuery);
        // Hundreds of thousands of rows for a large selection: read by
        // position.
        QHash<quint32, TagList> read;
        connection.forEachRow(
            QStringLiteral("SELECT `afid`, `name`, `value` FROM `audioTag` WHERE `afid` IN ( "
                           "SELECT `value` FROM json_each(?) ) ORDER BY `afid`, `position`"),
            {identifierList(part)}, [&read](const QVariantList& row) {
                read[row.at(0).toUInt()].append(row.at(1).toString(), row.at(2).toString());
            });
        for (qsizetype index = 0; index < part.size(); ++index) {
            if (!visit(first + index, read.value(part.at(index)))) {
                return;
            }
        }
    }
}

void QueueStore::saveSourceTags(quint32 afid, const TagList& tags) {
    assertMainThread();
    m_database.beginTransaction();
    m_database.inputDBrequest(QStringLiteral("DELETE FROM `audioTag` WHERE `afid` = ?"), {afid});
    qint64 position = 0;
    for (const TagList::Entry& entry : tags.entries()) {
        m_database.inputDBrequest(QStringLiteral("INSERT INTO `audioTag` ( `afid`, `position`, "
                                                 "`name`, `value` ) VALUES ( ?, ?, ?, ? )"),
                                  {afid, position++, entry.name, entry.value});
    }
    m_database.commitTransaction();
}

void QueueStore::notePublication(quint32 afid, const QString& destination, const QString& partial) {
    m_database.inputDBrequest(QStringLiteral("INSERT OR REPLACE INTO `audioPublishing` ( `afid`, "
                                             "`destination`, `partial` ) VALUES ( ?, ?, ? )"),
                              {afid, destination, partial});
}

void QueueStore::forgetPublication(quint32 afid) {
    m_database.inputDBrequest(QStringLiteral("DELETE FROM `audioPublishing` WHERE `afid` = ?"),
                              {afid});
}

QList<QueueStore::Publication> QueueStore::pendingPublications() {
    QList<Publication> rows;
    for (const QVariantMap& row :
         m_database.outputDBrequest(QStringLiteral("SELECT * FROM `audioPublishing`"))) {
        rows.append({row.value(QStringLiteral("afid")).toUInt(),
                     row.value(QStringLiteral("destination")).toString(),
                     row.value(QStringLiteral("partial")).toString()});
    }
    return rows;
}

OutputRecord QueueStore::outputRecord(const QString& output) {
    const QList<QVariantMap> rows = m_database.outputDBrequest(
        QStringLiteral("SELECT * FROM `outputRecord` WHERE `output` = ?"), {output});
    return rows.isEmpty() ? OutputRecord() : outputRecordFromRow(rows.first());
}

void QueueStore::saveOutputRecord(const OutputRecord& record) {
    m_database.inputDBrequest(
        QStringLiteral("INSERT OR REPLACE INTO `outputRecord` ( %1 ) VALUES ( ?, ?, ?, ?, ?, ?, "
                       "?, ?, ?, ? )")
            .arg(kOutputRecordColumns),
        {record.output, record.source, qint64(record.kind), QString::number(record.sourceSize),
         QString::number(record.sourceModifiedNs), record.audioSignature, record.tagsFingerprint,
         record.encodingFingerprint, QString::number(record.outputSize),
         QString::number(record.outputModifiedNs)});
}

void QueueStore::forgetOutputRecord(const QString& output) {
    m_database.inputDBrequest(QStringLiteral("DELETE FROM `outputRecord` WHERE `output` = ?"),
                              {output});
}

QList<OutputRecord> QueueStore::outputRecordsFromFolder(const QString& folder) {
    QList<OutputRecord> records;
    for (const QVariantMap& row : m_database.outputDBrequest(
             QStringLiteral("SELECT * FROM `outputRecord` WHERE `source` >= ? AND `source` < ?"),
             underFolder(folder))) {
        records << outputRecordFromRow(row);
    }
    return records;
}

QList<OutputRecord> QueueStore::companionRecordsIn(const QString& folder) {
    QList<OutputRecord> records;
    QVariantList range = underFolder(folder);
    range << qint64(OutputRecord::Kind::Companion);
    for (const QVariantMap& row : m_database.outputDBrequest(
             QStringLiteral("SELECT * FROM `outputRecord` WHERE `output` >= ? AND `output` < ? "
                            "AND `kind` = ?"),
             range)) {
        records << outputRecordFromRow(row);
    }
    return records;
}
