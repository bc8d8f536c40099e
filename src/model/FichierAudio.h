#pragma once

#include "model/Fichier.h"
#include "model/Image.h"
#include "model/ImageTrack.h"
#include "model/MetadataDictionary.h"
#include "model/MetadataReader.h"
#include "model/SourceReading.h"

#include <QList>
#include <QPair>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class FichierAudio;
class QueueStore;
using FichierAudioPtr = std::shared_ptr<FichierAudio>;

// Conversion status of an audio file.
enum StatusConversion : qint32 {
    kStatusConvAucun = 0,
    kStatusConvPret = 1,
    kStatusConvEncoursDecodage = 2,
    kStatusConvEncoursCodage = 3,
    kStatusConvFiniOk = 4,
    kStatusConvFiniErreur = 5,
};

// Where the cover picture comes from.
enum ImageSourceType : qint32 {
    kImageSourceEmbedded = 0,
    kImageSourceExternal = 1,
    kImageSourceCustom = 2,
    kImageSourceFileIcon = 3,
    kImageSourceDefault = 4,
};

// One FLAC file of the queue: its status, the tags read from it and the
// tags to write, the files its conversion touches and the choice of its
// cover picture. Plain data that its store reads and writes; it keeps the
// store it came from (none for a record never stored) to save itself again.
// Lives on the main thread; a pass's jobs get copies of what they need.
class FichierAudio : public Fichier {
public:
    explicit FichierAudio(QueueStore* store = nullptr);

    // A new record for a FLAC source, its tags read by the reader (none:
    // not read), already saved; the root is the folder it was added from
    // (none: it was added on its own).
    static FichierAudioPtr
    finderElementAvecURL(QueueStore& store, const PersistentURLPtr& url,
                         const std::shared_ptr<const DestinationRules>& rules = nullptr,
                         const QString& rootFolder = QString(), MetadataReader* reader = nullptr);
    // The same from what was read of the source beforehand (off the main
    // thread): no tool runs here.
    static FichierAudioPtr avecLecture(QueueStore& store, const PersistentURLPtr& url,
                                       const std::shared_ptr<const DestinationRules>& rules,
                                       const QString& rootFolder, const SourceReading& reading,
                                       const std::optional<ImageTrack>& track = std::nullopt);
    // Puts what was read of the source into the record.
    void applyReading(const SourceReading& reading);
    static QString statusName(qint32 status);

    // Stores the record in its store; answers its row identifier.
    virtual quint32 save();
    bool supprimer2LaPile() override;
    qint32 elementType() const override { return kElementSourceFlac; }

    QString statusLocalizedString() const;
    // The cover picture; with cached true the last one worked out is answered
    // when there is one.
    virtual ImagePtr mainPictureCached(bool cached);
    // Pictures registered in the database near the source, worked out again
    // once an image row has changed.
    virtual QList<ImagePtr> externalImages();
    void getSourceFileAttributes();

    qint32 statusConversion() const { return m_statusConversion; }
    void setStatusConversion(qint32 status) { m_statusConversion = status; }
    QString audioType() const { return QStringLiteral("flac"); }
    MetadataDictionaryPtr inMetadataDict() const { return m_inMetadataDict; }
    void setInMetadataDict(const MetadataDictionaryPtr& record) { m_inMetadataDict = record; }
    MetadataDictionaryPtr outMetadataDict() const { return m_outMetadataDict; }
    void setOutMetadataDict(const MetadataDictionaryPtr& record) { m_outMetadataDict = record; }
    virtual PersistentURLPtr imageCustomURL() const { return m_imageCustomURL; }
    virtual void setImageCustomURL(const PersistentURLPtr& url) { m_imageCustomURL = url; }
    virtual quint64 externalImageIndex() { return m_externalImageIndex; }
    virtual void setExternalImageIndex(quint64 index) { m_externalImageIndex = index; }
    // Why the last conversion failed; stored with the record's next save.
    QString failureReason() const;
    void setFailureReason(const QString& reason);
    // Every comment read from the source; read from the database each time
    // it is asked for (a library's comments are not kept in memory), kept
    // from when it is set until the record's next save stores it.
    TagList sourceTags() const;
    void setSourceTags(const TagList& tags);
    // Whether the comments are the store's, not kept by the record.
    bool sourceTagsStored() const;
    // Each record's comments in order, a few hundred records read per query.
    static void forEachSourceTags(const QList<FichierAudioPtr>& records,
                                  const std::function<void(const TagList&)>& visit);
    // What the output receives: the source's comments, the edited fields' values
    // in place of theirs.
    TagList outputTags() const;
    // For a track of a disc image: which track; none for a whole file. The
    // output's name and destination follow the track.
    const std::optional<ImageTrack>& imageTrack() const { return m_imageTrack; }
    void setImageTrack(const ImageTrack& track);

protected:
    ImagePtr cachedPicture() const { return m_mainPicture; }
    void setCachedPicture(const ImagePtr& picture) { m_mainPicture = picture; }

private:
    ImagePtr _imageFromSourceFile();
    ImagePtr _imageFromExternalImageFile();
    ImagePtr _imageFromCustomImageFile();
    ImagePtr _imageFromFinderIcon();
    ImagePtr _defaultImage();
    void recordFileNames();
    // A new record for a source, its tags read by readTags, saved.
    static FichierAudioPtr newSourceRecord(QueueStore& store, const PersistentURLPtr& url,
                                           const std::shared_ptr<const DestinationRules>& rules,
                                           const QString& rootFolder,
                                           const std::function<void(FichierAudio&)>& readTags);
    friend class QueueStore;

protected:
    QVariantMap patternTags() const override;
    // A track's own name; the source's for a whole file.
    QString sourceBaseName() const override;

private:
    QueueStore* m_store;
    qint32 m_statusConversion = kStatusConvAucun;
    ImagePtr m_mainPicture;
    MetadataDictionaryPtr m_inMetadataDict;
    MetadataDictionaryPtr m_outMetadataDict;
    PersistentURLPtr m_imageCustomURL;
    quint64 m_externalImageIndex = 0;
    std::optional<QList<ImagePtr>> m_externImages;
    // The image rows the cached pictures were worked out from.
    quint64 m_externImagesGeneration = 0;
    quint64 m_pictureGeneration = 0;
    QString m_failureReason;
    std::optional<TagList> m_sourceTags;
    std::optional<ImageTrack> m_imageTrack;
    bool m_sourceTagsChanged = false;
};
