#include "FichierAudio.h"

#include "model/LocalizedStrings.h"
#include "model/OutputTags.h"
#include "model/QueueStore.h"
#include "storage/Log.h"

#include <QFileInfo>

namespace {
const QString kFileName = QStringLiteral("fileName");
const QString kSizeKey = QStringLiteral("NSURLFileSizeKey");

} // namespace

FichierAudio::FichierAudio(QueueStore* store)
    : m_store(store), m_inMetadataDict(MetadataDictionary::withType(MetadataDictionary::kInput)),
      m_outMetadataDict(MetadataDictionary::withType(MetadataDictionary::kOutput)) {}

quint32 FichierAudio::save() {
    return m_store != nullptr ? m_store->saveFile(*this) : sqliteid();
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
    return m_failureReason;
}

void FichierAudio::setFailureReason(const QString& reason) {
    m_failureReason = reason;
}

bool FichierAudio::sourceTagsStored() const {
    return !m_sourceTags && sqliteid() != 0 && m_store != nullptr;
}

TagList FichierAudio::sourceTags() const {
    if (m_sourceTags) {
        return *m_sourceTags;
    }
    return sourceTagsStored() ? m_store->sourceTags(sqliteid()) : TagList();
}

void FichierAudio::forEachSourceTags(const QList<FichierAudioPtr>& records,
                                     const std::function<void(const TagList&)>& visit) {
    QList<quint32> stored;
    QueueStore* store = nullptr;
    for (const FichierAudioPtr& record : records) {
        stored << (record->sourceTagsStored() ? record->sqliteid() : 0);
        store = record->sourceTagsStored() ? record->m_store : store;
    }
    if (store == nullptr) {
        for (const FichierAudioPtr& record : records) {
            visit(record->sourceTags());
        }
        return;
    }
    QueueStore::forEachSourceTagSet(
        store->connection(), stored,
        [&records, &stored, &visit](qsizetype index, const TagList& comments) {
            visit(stored.at(index) != 0 ? comments : records.at(index)->sourceTags());
            return true;
        });
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

void FichierAudio::setImageTrack(const ImageTrack& track) {
    m_imageTrack = track;
    setNomDestination(QString());
    setDestinationURL(nullptr);
    recordFileNames();
}

QString FichierAudio::sourceBaseName() const {
    if (m_imageTrack) {
        return !m_imageTrack->name.isEmpty()
                   ? m_imageTrack->name
                   : FinderElement::sourceBaseName() +
                         QStringLiteral(" - %1").arg(m_imageTrack->number, 2, 10, QLatin1Char('0'));
    }
    return FinderElement::sourceBaseName();
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

FichierAudioPtr FichierAudio::newSourceRecord(QueueStore& store, const PersistentURLPtr& url,
                                              const std::shared_ptr<const DestinationRules>& rules,
                                              const QString& rootFolder,
                                              const std::function<void(FichierAudio&)>& readTags) {
    auto record = std::make_shared<FichierAudio>(&store);
    record->setDestinationRules(rules);
    record->setRootFolder(rootFolder);
    url->setElementType(kElementSourceFlac);
    record->setElementURL(url);
    record->setStatusConversion(kStatusConvPret);
    record->getSourceFileAttributes();
    readTags(*record);
    record->recordFileNames();
    record->setExternalImageIndex(0);
    record->save();
    return record;
}

FichierAudioPtr
FichierAudio::finderElementAvecURL(QueueStore& store, const PersistentURLPtr& url,
                                   const std::shared_ptr<const DestinationRules>& rules,
                                   const QString& rootFolder, MetadataReader* reader) {
    return newSourceRecord(store, url, rules, rootFolder, [reader, &url](FichierAudio& record) {
        // Tags are read whatever the case of the extension: Song.FLAC has tags too.
        if (url->extension().compare(QLatin1String("flac"), Qt::CaseInsensitive) == 0 &&
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

FichierAudioPtr FichierAudio::avecLecture(QueueStore& store, const PersistentURLPtr& url,
                                          const std::shared_ptr<const DestinationRules>& rules,
                                          const QString& rootFolder, const SourceReading& reading,
                                          const std::optional<ImageTrack>& track) {
    return newSourceRecord(store, url, rules, rootFolder, [&reading, &track](FichierAudio& record) {
        record.applyReading(reading);
        // Known before the first save: the track's row is its own.
        record.m_imageTrack = track;
    });
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
    m_inMetadataDict->insert(kSizeKey, info.size());
}

bool FichierAudio::supprimer2LaPile() {
    if (m_store != nullptr) {
        m_store->removeFile(*this);
    }
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
    const PersistentURLPtr source = elementURL();
    ImagePtr image = source && source->exists() ? Image::fileIcon(source->path()) : nullptr;
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
    const quint64 imageRows = m_store != nullptr ? m_store->imageRowsGeneration() : 0;
    const bool imagesChanged = m_pictureGeneration != imageRows;
    if (cached && m_mainPicture && !(imagesChanged && imageAutoFind() != 0)) {
        return m_mainPicture;
    }
    m_pictureGeneration = imageRows;
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
    const quint64 imageRows = m_store != nullptr ? m_store->imageRowsGeneration() : 0;
    if (m_externImages && m_externImagesGeneration == imageRows) {
        return *m_externImages;
    }
    m_externImagesGeneration = imageRows;
    QList<ImagePtr> images;
    const PersistentURLPtr source = elementURL();
    if (source && m_store != nullptr) {
        for (const auto& [path, name] : m_store->imagesNear(source->folderPath())) {
            images.append(Image::byReferencingFile(path, name));
        }
    }
    m_externImages = images;
    return images;
}
