#pragma once

#include "model/FichierAudio.h"
#include "model/MetadataDictionary.h"
#include "model/OutputRecord.h"
#include "model/PersistentURL.h"
#include "model/TagList.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

class CocoLite;

// The queue's database: every table, every column and every statement of
// it. Values are bound, never written into a statement's text. The records
// are plain data that this store reads and writes; a file's record keeps a
// pointer to the store it came from so that it can be saved again. The
// schema is brought to this version's by numbered steps at start-up.
// Lives on the main thread, as the records do.
class QueueStore {
public:
    // The schema this version writes (PRAGMA user_version).
    static constexpr int kSchemaVersion = 7;

    explicit QueueStore(CocoLite& database);
    QueueStore(const QueueStore&) = delete;
    QueueStore& operator=(const QueueStore&) = delete;

    CocoLite& database() { return m_database; }

    // Creates the tables of an empty file, or brings an older file's schema
    // to this version's, one numbered step after another; rows are kept.
    void migrate();
    int schemaVersion();
    // The step that brings a file at version `from` to `from + 1`.
    void migrateStep(int from);

    void beginTransaction();
    void commitTransaction();

    // Locations (`fileURL`). A location is stored only once its file exists.
    quint32 saveUrl(PersistentURL& url);
    // The stored row of this location's path, 0 when it has none.
    quint32 storedUrlId(PersistentURL& url);
    PersistentURLPtr loadUrl(quint32 identifier);
    void deleteUrl(const PersistentURL& url);
    // Changes whenever an image file's row is written or deleted, so what was
    // read of those rows can be kept until then.
    quint64 imageRowsGeneration() const { return m_imageRowsGeneration; }
    // The image files registered near a folder: their paths and names.
    QList<QPair<QString, QString>> imagesNear(const QString& folder);

    // Tag sets (`audioMetadata`).
    quint32 saveMetadata(MetadataDictionary& record);
    // The row that stands for the same file and type, 0 when there is none.
    quint32 storedMetadataId(MetadataDictionary& record);
    MetadataDictionaryPtr loadMetadata(quint32 identifier);
    void deleteMetadata(const MetadataDictionary& record);

    // Queued files (`audioFile` and the tables beside it: failure reasons,
    // root folders, source comments).
    quint32 saveFile(FichierAudio& record);
    // Removes the file's rows and the location rows only it used.
    void removeFile(FichierAudio& record);
    // The same for many files, in one transaction and a few statements
    // whatever their number.
    void removeFiles(const QList<FichierAudio*>& records);
    // The active files, in their stored order.
    QList<FichierAudioPtr> loadFiles();
    // Empties every table of the queue.
    void clear();

    TagList sourceTags(quint32 afid);
    // Each file's comments in the order of the identifiers, a few hundred
    // files read per query, over that connection (another thread's own, or
    // the store's); a file without a row (0) gets none. The visit answers
    // false to stop.
    static void
    forEachSourceTagSet(CocoLite& connection, const QList<quint32>& afids,
                        const std::function<bool(qsizetype index, const TagList& comments)>& visit);
    // The store's own connection, for forEachSourceTagSet on the main thread.
    CocoLite& connection() { return m_database; }
    void saveSourceTags(quint32 afid, const TagList& tags);

    // Outputs being published (`audioPublishing`): a row is written before
    // the output takes its name; one found later is a publishing that a
    // crash or a stop interrupted.
    struct Publication {
        quint32 afid = 0;
        QString destination;
        // Empty in a row written before partial files had names of their own.
        QString partial;
    };
    void notePublication(quint32 afid, const QString& destination, const QString& partial);
    void forgetPublication(quint32 afid);
    QList<Publication> pendingPublications();

    // What each output a pass published was made from (`outputRecord`),
    // kept whatever happens to the queue's rows.
    OutputRecord outputRecord(const QString& output);
    void saveOutputRecord(const OutputRecord& record);
    void forgetOutputRecord(const QString& output);
    // The records of outputs made from sources under that folder.
    QList<OutputRecord> outputRecordsFromFolder(const QString& folder);
    // The records of companion files in that output folder.
    QList<OutputRecord> companionRecordsIn(const QString& folder);

private:
    // A queued file from a row of the start-up statement.
    FichierAudioPtr fileFromRow(const QVariantList& row);
    quint32 savedUrlId(const PersistentURLPtr& url);
    quint32 storedFileId(FichierAudio& record);
    void bindMetadataRecord(FichierAudio& file, MetadataDictionary& record);
    void saveFailureReason(const FichierAudio& record);
    void saveRootFolder(const FichierAudio& record);
    void saveImageTrack(const FichierAudio& record);
    // Deletes the location rows among these that no queued file uses any
    // more; a picture's row stays, for the files near it.
    void deleteUnsharedUrlRows(const QList<quint32>& identifiers);
    static PersistentURLPtr urlFromRow(const QString& path, qint32 type, bool active,
                                       quint32 identifier);
    bool hasColumn(const QString& table, const QString& column);
    void assertMainThread() const;

    CocoLite& m_database;
    quint64 m_imageRowsGeneration = 0;
    // Files of one folder share the images near it until an image row changes.
    QHash<QString, QList<QPair<QString, QString>>> m_imagesNear;
    quint64 m_imagesNearGeneration = ~quint64(0);
};
