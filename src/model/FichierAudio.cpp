#include "FichierAudio.h"

#include "model/LocalizedStrings.h"
#include "model/ModelContext.h"
#include "model/OutputTags.h"
#include "model/SourceTagTable.h"
#include "model/SqlText.h"
#include "storage/CocoLite.h"
#include "storage/Log.h"

#include <QFileInfo>
#include <QMutexLocker>

namespace {
const QString kFileName = QStringLiteral("fileName");
const QString kSizeKey = QStringLiteral("NSURLFileSizeKey");
const QString kIconKey = QStringLiteral("NSURLEffectiveIconKey");

quint32 savedIdentifier(const PersistentURLPtr& url) {
    return url ? url->save() : 0;
}

PersistentURLPtr urlFromColumn(const QVariantMap& row, const char* column) {
    const quint32 identifier = row.value(QLatin1String(column)).toUInt();
    return identifier != 0 ? PersistentURL::persistentObjectWithSqliteid(identifier) : nullptr;
}
} // namespace

FichierAudio::FichierAudio()
    : m_inMetadataDict(MetadataDictionary::withType(MetadataDictionary::kInput)),
      m_outMetadataDict(MetadataDictionary::withType(MetadataDictionary::kOutput)) {}

QString FichierAudio::sqliteCreationRequete() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `audioFile` ( `afid` INTEGER PRIMARY KEY, `inaudiourl` INTEGER "
        "REFERENCES `fileURL` , `outaudiourl` INTEGER REFERENCES `fileURL`, `tmpaudiourl` INTEGER "
        "REFERENCES `fileURL`, `tmpimgurl` INTEGER REFERENCES `fileURL`, `userimgurl` INTEGER "
        "REFERENCES `fileURL`, `xtindx`  INTEGER, `audiotype` TEXT, `status` INT, `outname` TEXT, "
        "`imgautofind` INT, `imgsrcttype` INT, `active` INT, `inmetadata` INTEGER REFERENCES "
        "`audioMetadata`, `outmetadata` INTEGER REFERENCES  `audioMetadata` );");
}

QString FichierAudio::sqliteColumnHeadersRequete() {
    return QStringLiteral("`inaudiourl`, `outaudiourl`, `tmpaudiourl`, `tmpimgurl`, "
                          "`userimgurl`, `xtindx`  , `audiotype`, `status`, `outname`, "
                          "`imgautofind`, `imgsrcttype`, `active`, `inmetadata`, `outmetadata`");
}

QString FichierAudio::failureTableCreationRequete() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS `audioFailure` ( `afid` INTEGER PRIMARY KEY, "
                          "`reason` TEXT )");
}

QString FichierAudio::rootTableCreationRequete() {
    return QStringLiteral("CREATE TABLE IF NOT EXISTS `audioRoot` ( `afid` INTEGER PRIMARY KEY, "
                          "`root` TEXT )");
}

QString FichierAudio::failureReasonJoin() {
    return QStringLiteral("SELECT `audioFile`.*, `audioFailure`.`reason` AS `failurereason`, "
                          "`audioRoot`.`root` AS `rootfolder` FROM `audioFile` LEFT JOIN "
                          "`audioFailure` ON `audioFailure`.`afid` = `audioFile`.`afid` LEFT JOIN "
                          "`audioRoot` ON `audioRoot`.`afid` = `audioFile`.`afid`");
}

void FichierAudio::vider() {
    ModelContext::db().inputDBrequest(QStringLiteral("DELETE FROM `audioFile`"));
    ModelContext::db().inputDBrequest(QStringLiteral("DELETE FROM `audioFailure`"));
    ModelContext::db().inputDBrequest(QStringLiteral("DELETE FROM `audioRoot`"));
    SourceTagTable::clear(ModelContext::db());
}

QString FichierAudio::statusName(qint32 status) {
    static const char* const names[] = {
        QT_TRANSLATE_NOOP("Localizable", "kStatusConvAucun"),
        QT_TRANSLATE_NOOP("Localizable", "kStatusConvPret"),
        QT_TRANSLATE_NOOP("Localizable", "kStatusConvEncoursDecodage"),
        QT_TRANSLATE_NOOP("Localizable", "kStatusConvEncoursCodage"),
        QT_TRANSLATE_NOOP("Localizable", "kStatusConvFiniOk"),
        QT_TRANSLATE_NOOP("Localizable", "kStatusConvFiniErreur"),
    };
    if (status < 0 || status > kStatusConvFiniErreur) {
        return QString::number(status);
    }
    return QLatin1String(names[status]);
}

QString FichierAudio::statusLocalizedString() const {
    // A status outside the six is its number, which has no translation.
    return LocalizedStrings::text(statusName(statusConversion()));
}

QString FichierAudio::failureReason() const {
    QMutexLocker lock(&m_reasonMutex);
    return m_failureReason;
}

void FichierAudio::setFailureReason(const QString& reason) {
    QMutexLocker lock(&m_reasonMutex);
    m_failureReason = reason;
}

const TagList& FichierAudio::sourceTags() const {
    if (!m_sourceTags) {
        m_sourceTags =
            sqliteid() != 0 ? SourceTagTable::load(ModelContext::db(), sqliteid()) : TagList();
    }
    return *m_sourceTags;
}

void FichierAudio::loadSourceTags(const QList<FichierAudioPtr>& records) {
    QList<quint32> missing;
    for (const FichierAudioPtr& record : records) {
        if (!record->m_sourceTags && record->sqliteid() != 0) {
            missing << record->sqliteid();
        }
    }
    if (missing.isEmpty()) {
        return;
    }
    const QHash<quint32, TagList> loaded = SourceTagTable::load(ModelContext::db(), missing);
    for (const FichierAudioPtr& record : records) {
        if (!record->m_sourceTags && record->sqliteid() != 0) {
            record->m_sourceTags = loaded.value(record->sqliteid());
        }
    }
}

void FichierAudio::setSourceTags(const TagList& tags) {
    m_sourceTags = tags;
    m_sourceTagsChanged = true;
}

TagList FichierAudio::outputTags() const {
    return OutputTags::merge(sourceTags(), *m_inMetadataDict, *m_outMetadataDict);
}

QVariantMap FichierAudio::patternTags() const {
    QVariantMap tags = m_outMetadataDict->entries();
    const QString albumArtist = sourceTags().first(QStringLiteral("ALBUMARTIST"));
    if (!albumArtist.isEmpty()) {
        tags.insert(QStringLiteral("albumartist"), albumArtist);
    }
    return tags;
}

void FichierAudio::recordFileNames() {
    const QString sourceName = nomElement();
    if (!sourceName.isEmpty()) {
        m_inMetadataDict->insert(kFileName, sourceName);
    }
    if (elementURL()) {
        destinationURL();
    }
    const QString outputName = nomDestination();
    if (!outputName.isEmpty()) {
        m_outMetadataDict->insert(kFileName, outputName);
    }
}

FichierAudioPtr FichierAudio::newSourceRecord(const PersistentURLPtr& url,
                                              const QString& rootFolder,
                                              const std::function<void(FichierAudio&)>& readTags) {
    auto record = std::make_shared<FichierAudio>();
    record->setRootFolder(rootFolder);
    url->setElementType(kElementSourceFlac);
    record->m_audioType = url->extension();
    record->setElementURL(url);
    record->setStatusConversion(kStatusConvPret);
    record->getSourceFileAttributes();
    readTags(*record);
    record->recordFileNames();
    record->setExternalImageIndex(0);
    record->save();
    return record;
}

FichierAudioPtr FichierAudio::finderElementAvecURL(const PersistentURLPtr& url,
                                                   const QString& rootFolder) {
    return newSourceRecord(url, rootFolder, [](FichierAudio& record) {
        // Tags are read whatever the case of the extension: Song.FLAC has tags too.
        MetadataReader* reader = ModelContext::current() != nullptr
                                     ? ModelContext::current()->metadataReader()
                                     : nullptr;
        if (record.m_audioType.compare(QLatin1String("flac"), Qt::CaseInsensitive) == 0 &&
            reader != nullptr) {
            QString error;
            if (!reader->readMetadataFromOriginalFile(&record, &error)) {
                Log::write(QStringLiteral("Erreur lecture metadata :\n%1").arg(error));
            }
        }
    });
}

void FichierAudio::applyReading(const SourceReading& reading) {
    for (const QString& line : reading.logLines) {
        Log::write(line);
    }
    if (!reading.read) {
        if (!reading.error.isEmpty()) {
            Log::write(QStringLiteral("Erreur lecture metadata :\n%1").arg(reading.error));
        }
        return;
    }
    if (!reading.picturePath.isEmpty()) {
        PersistentURLPtr picture = PersistentURL::persistentURLwithURL(reading.picturePath);
        picture->setElementType(kElementTempImage);
        setImageTempURL(picture);
    }
    m_inMetadataDict->addEntries(reading.values);
    m_outMetadataDict->addEntries(reading.values);
    setSourceTags(reading.comments);
}

FichierAudioPtr FichierAudio::avecLecture(const PersistentURLPtr& url, const QString& rootFolder,
                                          const SourceReading& reading) {
    return newSourceRecord(url, rootFolder,
                           [&reading](FichierAudio& record) { record.applyReading(reading); });
}

FichierAudioPtr FichierAudio::persistentObjectWithSqliteDict(const QVariantMap& row) {
    auto record = std::make_shared<FichierAudio>();
    record->setSqliteid(row.value(QStringLiteral("afid")).toUInt());
    if (PersistentURLPtr source = urlFromColumn(row, "inaudiourl")) {
        record->setElementURL(source);
    }
    if (PersistentURLPtr destination = urlFromColumn(row, "outaudiourl")) {
        record->setDestinationURL(destination);
    }
    if (PersistentURLPtr temporary = urlFromColumn(row, "tmpaudiourl")) {
        record->setTempDestinationURL(temporary);
    }
    record->setImageTempURL(urlFromColumn(row, "tmpimgurl"));
    record->m_imageCustomURL = urlFromColumn(row, "userimgurl");
    if (row.contains(QStringLiteral("audiotype"))) {
        record->m_audioType = row.value(QStringLiteral("audiotype")).toString();
    }
    record->setStatusConversion(row.value(QStringLiteral("status")).toInt());
    record->setImageAutoFind(row.value(QStringLiteral("imgautofind")).toInt());
    record->setImageSourceType(row.value(QStringLiteral("imgsrcttype")).toInt());
    record->setIsactive(row.value(QStringLiteral("active")).toInt() != 0);
    MetadataDictionaryPtr input = MetadataDictionary::persistentObjectWithSqliteid(
        row.value(QStringLiteral("inmetadata")).toUInt());
    MetadataDictionaryPtr output = MetadataDictionary::persistentObjectWithSqliteid(
        row.value(QStringLiteral("outmetadata")).toUInt());
    input->insert(QStringLiteral("amdtype"), MetadataDictionary::kInput);
    record->setNomDestination(row.value(QStringLiteral("outname")).toString());
    record->m_inMetadataDict = input;
    record->m_outMetadataDict = output;
    record->getSourceFileAttributes();
    record->recordFileNames();
    record->m_externalImageIndex = row.value(QStringLiteral("xtindx")).toUInt();
    record->m_failureReason = row.value(QStringLiteral("failurereason")).toString();
    record->setRootFolder(row.value(QStringLiteral("rootfolder")).toString());
    return record;
}

void FichierAudio::getSourceFileAttributes() {
    const PersistentURLPtr source = elementURL();
    if (!source) {
        return;
    }
    const QFileInfo info(source->path());
    if (!info.exists()) {
        return;
    }
    m_inMetadataDict->insert(QStringLiteral("NSURLIsDirectoryKey"), info.isDir());
    m_inMetadataDict->insert(kSizeKey, info.size());
    m_inMetadataDict->insert(kIconKey, QVariant::fromValue(Image::fileIcon(source->path())));
}

quint32 FichierAudio::sqlitePreviousId() {
    if (sqliteid() != 0) {
        return sqliteid();
    }
    const quint32 sourceId = savedIdentifier(elementURL());
    if (sourceId == 0) {
        return 0;
    }
    const auto rows = ModelContext::db().outputDBrequest(
        SqlText::fill(u"SELECT `afid` FROM `audioFile` WHERE `inaudiourl` = ?",
                      {SqlText::unsignedNumber(sourceId)}));
    if (!rows.isEmpty()) {
        const quint32 found = rows.last().value(QStringLiteral("afid")).toUInt();
        if (found != 0) {
            setSqliteid(found);
            return found;
        }
    }
    return 0;
}

QString FichierAudio::sqliteInsertUpdateRequete() {
    const QStringList values = {
        SqlText::unsignedNumber(savedIdentifier(elementURL())),
        SqlText::unsignedNumber(savedIdentifier(destinationURL())),
        SqlText::unsignedNumber(savedIdentifier(tempDestinationURL())),
        SqlText::unsignedNumber(savedIdentifier(imageTempURL())),
        SqlText::unsignedNumber(savedIdentifier(m_imageCustomURL)),
        SqlText::unsignedNumber(quint32(m_externalImageIndex & 0xffffffffu)),
        SqlText::text(audioType()),
        SqlText::number(statusConversion()),
        SqlText::text(nomDestination()),
        SqlText::number(imageAutoFind()),
        SqlText::number(imageSourceType()),
        SqlText::number(isactive() ? 1 : 0),
        SqlText::unsignedNumber(m_inMetadataDict->save()),
        SqlText::unsignedNumber(m_outMetadataDict->save()),
    };
    if (sqliteid() != 0) {
        return SqlText::fill(
            u"UPDATE `audioFile` SET `inaudiourl` = ?, `outaudiourl` = ?, `tmpaudiourl` = ?, "
            u"`tmpimgurl` = ?, `userimgurl` = ?, `xtindx` = ?  , `audiotype` = ?, `status` = ?, "
            u"`outname` =?, `imgautofind` = ?, `imgsrcttype` = ?, `active` = ?, `inmetadata` =?, "
            u"`outmetadata` =? WHERE `afid` = ?",
            values + QStringList{SqlText::unsignedNumber(sqliteid())});
    }
    return SqlText::fill(u"INSERT INTO `audioFile` ( ? ) VALUES ( ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                         u"?, ?, ?, ? )",
                         QStringList{sqliteColumnHeadersRequete()} + values);
}

QString FichierAudio::sqliteDeleteRequete() const {
    return SqlText::fill(u"DELETE FROM `audioFile` WHERE  `afid` = ?",
                         {SqlText::unsignedNumber(sqliteid())});
}

quint32 FichierAudio::save() {
    // The row, its URL rows and its metadata rows go to the disk together.
    CocoLite& db = ModelContext::db();
    db.beginTransaction();
    const quint32 previous = sqlitePreviousId();
    if (previous != 0) {
        setSqliteid(previous);
    }
    const QString statement = sqliteInsertUpdateRequete();
    const quint32 inserted = quint32(db.inputDBrequest(statement));
    if (sqliteid() == 0) {
        setSqliteid(inserted);
    }
    bindMetadataRecord(*m_inMetadataDict);
    bindMetadataRecord(*m_outMetadataDict);
    saveFailureReason();
    saveRootFolder();
    saveSourceTags();
    db.commitTransaction();
    return sqliteid();
}

void FichierAudio::saveSourceTags() {
    if (m_sourceTagsChanged && m_sourceTags) {
        SourceTagTable::save(ModelContext::db(), sqliteid(), *m_sourceTags);
        m_sourceTagsChanged = false;
    }
}

void FichierAudio::saveRootFolder() {
    const QString root = rootFolder();
    if (root.isEmpty()) {
        return;
    }
    ModelContext::db().inputDBrequest(
        SqlText::fill(u"INSERT OR REPLACE INTO `audioRoot` ( `afid`, `root` ) VALUES ( ?, ? )",
                      {SqlText::unsignedNumber(sqliteid()), SqlText::text(root)}));
}

void FichierAudio::saveFailureReason() {
    const QString reason = failureReason();
    const QString id = SqlText::unsignedNumber(sqliteid());
    if (reason.isEmpty() || statusConversion() != kStatusConvFiniErreur) {
        ModelContext::db().inputDBrequest(
            SqlText::fill(u"DELETE FROM `audioFailure` WHERE `afid` = ?", {id}));
        return;
    }
    ModelContext::db().inputDBrequest(
        SqlText::fill(u"INSERT OR REPLACE INTO `audioFailure` ( `afid`, `reason` ) VALUES ( ?, ? )",
                      {id, SqlText::text(reason)}));
}

void FichierAudio::bindMetadataRecord(MetadataDictionary& record) {
    if (record.fileid() != sqliteid()) {
        // A record made anew for a source that already has a row takes the
        // place of the old metadata row instead of colliding with it.
        ModelContext::db().inputDBrequest(SqlText::fill(
            u"DELETE FROM `audioMetadata` WHERE `fileid` = ? AND `amdtype` = ? AND `amdid` != ?",
            {SqlText::unsignedNumber(sqliteid()),
             SqlText::value(record.value(QStringLiteral("amdtype"))),
             SqlText::unsignedNumber(record.sqliteid())}));
        record.setFileid(sqliteid());
    }
    record.save();
}

void FichierAudio::deleteUnsharedUrlRow(const PersistentURLPtr& url) {
    if (!url || url->sqlitePreviousId() == 0) {
        return;
    }
    // Another file may use the same row (the same custom image chosen for
    // several files), and an image file stays registered for the files near
    // it: they keep it.
    const QString id = SqlText::unsignedNumber(url->sqliteid());
    const auto users = ModelContext::db().outputDBrequest(SqlText::fill(
        u"SELECT `afid` FROM `audioFile` WHERE `inaudiourl` = ? OR `outaudiourl` = ? OR "
        u"`tmpaudiourl` = ? OR `tmpimgurl` = ? OR `userimgurl` = ? UNION ALL SELECT `furlid` "
        u"FROM `fileURL` WHERE `furlid` = ? AND `ftype` = ? LIMIT 1",
        {id, id, id, id, id, id, SqlText::number(kElementImage)}));
    if (users.isEmpty()) {
        url->supprimerDeLaBase();
    }
}

bool FichierAudio::supprimer2LaPile() {
    CocoLite& db = ModelContext::db();
    db.beginTransaction();
    db.inputDBrequest(sqliteDeleteRequete());
    db.inputDBrequest(SqlText::fill(u"DELETE FROM `audioFailure` WHERE `afid` = ?",
                                    {SqlText::unsignedNumber(sqliteid())}));
    db.inputDBrequest(SqlText::fill(u"DELETE FROM `audioRoot` WHERE `afid` = ?",
                                    {SqlText::unsignedNumber(sqliteid())}));
    SourceTagTable::remove(db, sqliteid());
    const QString metadataDelete = SqlText::fill(
        u"DELETE FROM `audioMetadata` WHERE `fileid` = ? OR `amdid` IN ( ?, ? )",
        {SqlText::unsignedNumber(sqliteid()), SqlText::unsignedNumber(m_inMetadataDict->sqliteid()),
         SqlText::unsignedNumber(m_outMetadataDict->sqliteid())});
    for (const PersistentURLPtr& url :
         {elementURL(), tempDestinationURL(), destinationURL(), imageTempURL(), m_imageCustomURL}) {
        deleteUnsharedUrlRow(url);
    }
    db.inputDBrequest(metadataDelete);
    db.commitTransaction();
    supprimerTempFile();
    supprimerTempImageFile();
    return true;
}

ImagePtr FichierAudio::_imageFromSourceFile() {
    const PersistentURLPtr picture = imageTempURL();
    if (!picture) {
        return nullptr;
    }
    ImagePtr image = Image::byReferencingFile(picture->path(), QStringLiteral("Source flac"));
    // A picture in a format nothing here reads (AVIF, say) cannot become a
    // cover: the automatic choice goes on to the next source.
    if (imageAutoFind() != 0 && !image->canRead()) {
        return nullptr;
    }
    return image;
}

ImagePtr FichierAudio::_imageFromExternalImageFile() {
    const QList<ImagePtr> images = externalImages();
    if (images.isEmpty()) {
        return nullptr;
    }
    if (m_externalImageIndex >= quint64(images.size())) {
        m_externalImageIndex = 0;
    }
    if (imageAutoFind() != 0) {
        setImageSourceType(kImageSourceExternal);
    }
    return images.at(qsizetype(m_externalImageIndex));
}

ImagePtr FichierAudio::_imageFromCustomImageFile() {
    if (!m_imageCustomURL) {
        return Image::named(QStringLiteral("noimage256"));
    }
    ImagePtr image =
        Image::byReferencingFile(m_imageCustomURL->path(), m_imageCustomURL->fileName());
    if (!image->canRead()) {
        Log::write(QStringLiteral("Pas d'image %1").arg(m_imageCustomURL->path()));
        return nullptr;
    }
    return image;
}

ImagePtr FichierAudio::_imageFromFinderIcon() {
    const QVariant icon = m_inMetadataDict->value(kIconKey);
    ImagePtr image = icon.value<ImagePtr>();
    if (image && imageAutoFind() != 0) {
        setImageSourceType(kImageSourceFileIcon);
    }
    return image;
}

ImagePtr FichierAudio::_defaultImage() {
    ImagePtr image = Image::named(QStringLiteral("flac-icon256"));
    if (image && imageAutoFind() != 0) {
        setImageSourceType(kImageSourceDefault);
    }
    return image;
}

ImagePtr FichierAudio::mainPictureCached(bool cached) {
    // A picture registered since (the cover of a folder being added, read
    // after its tracks) may change the automatic choice.
    const bool imagesChanged = m_pictureGeneration != PersistentURL::imageRowsGeneration();
    if (cached && m_mainPicture && !(imagesChanged && imageAutoFind() != 0)) {
        return m_mainPicture;
    }
    m_pictureGeneration = PersistentURL::imageRowsGeneration();
    ImagePtr picture;
    if (imageAutoFind() != 0) {
        picture = _imageFromSourceFile();
        if (!picture) {
            picture = _imageFromExternalImageFile();
        }
        if (!picture) {
            picture = _imageFromFinderIcon();
        }
        if (!picture && !_defaultImage()) {
            Log::write(QStringLiteral("Impossible de trouver une image auto"));
        }
    } else {
        switch (imageSourceType()) {
        case kImageSourceEmbedded:
            picture = _imageFromSourceFile();
            break;
        case kImageSourceExternal:
            picture = _imageFromExternalImageFile();
            break;
        case kImageSourceCustom:
            picture = _imageFromCustomImageFile();
            break;
        case kImageSourceFileIcon:
            picture = _imageFromFinderIcon();
            break;
        case kImageSourceDefault:
            picture = _defaultImage();
            break;
        default:
            Log::write(QStringLiteral("Image Source type %1 non traité")
                           .arg(QString::number(imageSourceType())));
            break;
        }
    }
    m_mainPicture = picture;
    return picture;
}

QList<ImagePtr> FichierAudio::externalImages() {
    if (m_externImages && m_externImagesGeneration == PersistentURL::imageRowsGeneration()) {
        return *m_externImages;
    }
    m_externImagesGeneration = PersistentURL::imageRowsGeneration();
    QList<ImagePtr> images;
    const PersistentURLPtr source = elementURL();
    if (source) {
        for (const auto& [path, name] : imagesNear(source->folderPath())) {
            images.append(Image::byReferencingFile(path, name));
        }
    }
    m_externImages = images;
    return images;
}

QList<QPair<QString, QString>> FichierAudio::imagesNear(const QString& folder) {
    // Files of one folder share the answer until an image row changes.
    static QHash<QString, QList<QPair<QString, QString>>> answers;
    static quint64 generation = ~quint64(0);
    if (generation != PersistentURL::imageRowsGeneration()) {
        answers.clear();
        generation = PersistentURL::imageRowsGeneration();
    }
    const auto found = answers.constFind(folder);
    if (found != answers.constEnd()) {
        return found.value();
    }
    // The file's own folder, the folders below it (Scans/, Artwork/) and its
    // parent (an album's CD1/ and CD2/ share its cover), never further up:
    // one picture in a music folder must not become every album's cover.
    // The folders below are a range of paths, so "%" and "_" in a name stay
    // plain characters.
    QList<QPair<QString, QString>> images;
    const QString parent = QFileInfo(folder).path();
    const auto rows = ModelContext::db().outputDBrequest(SqlText::fill(
        u"SELECT DISTINCT `furlid` FROM `fileURL` WHERE `ftype` = ? AND ( `fdir` = ? OR `fdir` "
        u"= ? OR ( `fdir` >= ? AND `fdir` < ? ) )",
        {SqlText::number(kElementImage), SqlText::text(folder), SqlText::text(parent),
         SqlText::text(folder + QLatin1Char('/')), SqlText::text(folder + QLatin1Char('0'))}));
    for (const QVariantMap& row : rows) {
        const PersistentURLPtr url = PersistentURL::persistentObjectWithSqliteid(
            row.value(QStringLiteral("furlid")).toUInt());
        if (url) {
            images.append({url->path(), url->fileName()});
        }
    }
    answers.insert(folder, images);
    return images;
}
