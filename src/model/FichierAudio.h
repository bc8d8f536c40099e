#pragma once

#include "model/Fichier.h"
#include "model/Image.h"
#include "model/MetadataDictionary.h"
#include "model/ModelContext.h"

#include <QList>
#include <QPair>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class FichierAudio;
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

// One FLAC file of the queue, stored as a row of `audioFile`: its status, the
// tags read from it and the tags to write, the files its conversion touches
// and the choice of its cover picture.
class FichierAudio : public Fichier {
public:
    FichierAudio();

    // A new record for a FLAC source, its tags read, already saved; the
    // root is the folder it was added from (none: it was added on its own).
    static FichierAudioPtr finderElementAvecURL(const PersistentURLPtr& url,
                                                const QString& rootFolder = QString());
    // The same from what was read of the source beforehand (off the main
    // thread): no tool runs here.
    static FichierAudioPtr avecLecture(const PersistentURLPtr& url, const QString& rootFolder,
                                       const SourceReading& reading);
    // Puts what was read of the source into the record.
    void applyReading(const SourceReading& reading);
    static FichierAudioPtr persistentObjectWithSqliteDict(const QVariantMap& row);
    static QString sqliteCreationRequete();
    // Why a file's last conversion failed, and the folder it was added
    // from, in tables of their own beside `audioFile`, whose columns stay
    // as stored databases have them.
    static QString failureTableCreationRequete();
    static QString rootTableCreationRequete();
    // The rows of `audioFile` with each one's failure reason and root folder
    // as two more columns.
    static QString failureReasonJoin();
    static QString sqliteColumnHeadersRequete();
    static void vider();
    static QString statusName(qint32 status);

    QString sqliteInsertUpdateRequete() override;
    QString sqliteDeleteRequete() const override;
    quint32 save() override;
    quint32 sqlitePreviousId() override;
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

    qint32 statusConversion() const { return m_statusConversion.load(); }
    void setStatusConversion(qint32 status) { m_statusConversion.store(status); }
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
    // Every comment read from the source; loaded from the database when first
    // asked for, stored with the record's next save once set.
    const TagList& sourceTags() const;
    void setSourceTags(const TagList& tags);
    // Loads the comments of the records that have not loaded theirs, in one
    // query: a large selection asks for them all at once.
    static void loadSourceTags(const QList<FichierAudioPtr>& records);
    // What the output receives: the source's comments, the edited fields' values
    // in place of theirs.
    TagList outputTags() const;

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
    static FichierAudioPtr newSourceRecord(const PersistentURLPtr& url, const QString& rootFolder,
                                           const std::function<void(FichierAudio&)>& readTags);
    // The image files registered near a folder: their paths and names.
    static QList<QPair<QString, QString>> imagesNear(const QString& folder);
    void bindMetadataRecord(MetadataDictionary& record);
    void deleteUnsharedUrlRow(const PersistentURLPtr& url);
    void saveFailureReason();
    void saveRootFolder();
    void saveSourceTags();

protected:
    QVariantMap patternTags() const override;

private:
    std::atomic<qint32> m_statusConversion{kStatusConvAucun};
    ImagePtr m_mainPicture;
    QString m_audioType;
    MetadataDictionaryPtr m_inMetadataDict;
    MetadataDictionaryPtr m_outMetadataDict;
    PersistentURLPtr m_imageCustomURL;
    quint64 m_externalImageIndex = 0;
    std::optional<QList<ImagePtr>> m_externImages;
    // The image rows the cached pictures were worked out from.
    quint64 m_externImagesGeneration = 0;
    quint64 m_pictureGeneration = 0;
    mutable QMutex m_reasonMutex;
    QString m_failureReason;
    mutable std::optional<TagList> m_sourceTags;
    bool m_sourceTagsChanged = false;
};
