#pragma once

#include "model/DestinationRules.h"
#include "model/FichierAudio.h"
#include "model/QueueAccess.h"
#include "queue/QueueRemovalListener.h"
#include "storage/BackgroundRemoval.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

class QueueStore;

// The conversion queue: the ordered list of audio files the user added and
// the position of the next file to convert. It adds files and whole folders,
// removes files, counts them, reports progress and rebuilds itself from its
// store at start-up; every change is told by a signal as it happens. Lives
// on the main thread.
class GestionnairePileFichier : public QObject, public QueueAccess {
    Q_OBJECT
public:
    using FileList = QList<FichierAudioPtr>;

    // Files join through the store; the reader reads the tags of a file
    // added by path (none: not read).
    explicit GestionnairePileFichier(QueueStore& store, MetadataReader* reader = nullptr,
                                     QObject* parent = nullptr);
    QueueStore& store() { return m_store; }
    // Told before files leave the queue; may be null.
    void setRemovalListener(QueueRemovalListener* listener) { m_removalListener = listener; }
    // Changes whenever files join, leave or move: positions taken before
    // are no longer valid.
    quint64 generation() const { return m_generation; }

    void loadFromSqlite();
    // Answers the number of queued files after the addition, or -1 when the
    // queue is empty.
    qint32 ajouterUnDossier(const QString& path);
    void ajouterUnFichier(const QString& path) override;
    // Queues a FLAC file whose tags were read beforehand (on a worker
    // thread); false when it is queued already or is no file.
    bool ajouterFichierLu(const QString& path, const QString& root, const SourceReading& reading);
    // The tracks of a disc image read again (its sheet in another
    // encoding): each queued track takes its new tags and name, edits
    // included. Answers how many rows changed.
    int relirePistes(const QString& imagePath, const SourceReading& reading);
    // Queues a file that cannot be converted (a cue sheet whose audio is
    // nowhere) as a row in error saying why; false when it is queued already.
    bool ajouterFichierEnErreur(const QString& path, const QString& root, const QString& reason);
    static bool isFlacPath(const QString& path);
    // A picture file the queue registers for covers, by its extension.
    static bool isImagePath(const QString& path);
    bool isQueuedPath(const QString& path) const;
    // The same for a path already made canonical.
    bool isQueued(const QString& canonicalPath) const;
    void supprimerLesFichiersDansLindex(const QList<qint64>& positions, bool finishedOnly);
    void supprimerFichierAudio(const FichierAudioPtr& record);

    FichierAudioPtr nextObject();
    FichierAudioPtr fichierCourant() const;
    void remettreAuDebut() { m_enumeratorIndex = 0; }
    float pourcent() const;
    qint64 countOfFichiersAudio() const { return m_fichiersAudio.size(); }
    qint64 countOfPretsFichiersAudio() const;
    // How many files a pass would convert: every file not yet converted.
    qint64 countOfFichiersAConvertir() const;
    void reinitialiserEtatFichiers();
    // The same for the files at these positions only.
    void reinitialiserFichiers(const QList<qint64>& positions);
    void raffraichirDestinationDesFichiers();
    // The rules every file's destination is worked out by, from now on; the
    // files not being converted take them at once.
    void setDestinationRules(const DestinationRules& rules);
    const DestinationRules& destinationRules() const { return *m_rules; }
    // The same without working any destination out: each file does when
    // it is next asked for it, or when a pass starts.
    void adoptDestinationRules(const DestinationRules& rules);

    FileList fichiersAudio() const override { return m_fichiersAudio; }
    // The record at a position, none outside the list.
    FichierAudioPtr fichierAt(qint64 position) const {
        return position >= 0 && position < m_fichiersAudio.size() ? m_fichiersAudio.at(position)
                                                                  : nullptr;
    }
    // Stores a re-ordered list (the file list's sorting); the index stays.
    void setFichiersAudio(const FileList& list);
    qint64 enumeratorIndex() const { return m_enumeratorIndex; }

    // The path every way of adding resolves a file to before it is queued.
    static QString canonicalPath(const QString& path);

    // Files that leave take what their conversion left beside their
    // destination with them, and their exported picture once no queued file
    // shares it; removed on a thread of the queue's. While held (files are
    // being read, and may take up a picture again), the pictures wait.
    void holdPictureRemoval(bool held);
    // The exported pictures the queued files use.
    QSet<QString> picturesInUse() const;
    // Removes files on the queue's removal thread.
    BackgroundRemoval& removal() { return m_removal; }

signals:
    // The list became empty, or stopped being so.
    void laListeContientDesFichiers(bool contientDesFichiers);
    // Files joined at these positions (the end of the list).
    void filesInserted(qint64 first, qint64 last);
    // Files left from these positions of the list as it was, in order.
    void filesRemoved(const QList<qint64>& positions);
    // The list was re-ordered or replaced as a whole.
    void filesReset();
    // The file at this position changed (status, tags, destination).
    void fileChanged(qint64 position);

private:
    void appendRecord(const FichierAudioPtr& record, const QString& path);
    void assertMainThread() const;
    bool _changerNombreDe(qint64 previousCount);
    void _viderLesTables();
    void rebuildSourceIndex();
    void inheritRoots();

    void tellRemoval(const FileList& leaving);
    void removeLeftoversOf(const FileList& leaving);
    void removeUnusedPictures(const QStringList& pictures);

    QueueStore& m_store;
    MetadataReader* m_reader;
    std::shared_ptr<const DestinationRules> m_rules;
    QueueRemovalListener* m_removalListener = nullptr;
    quint64 m_generation = 0;
    FileList m_fichiersAudio;
    qint64 m_enumeratorIndex = 0;
    // How many rows each source has: a disc image has one per track.
    QHash<QString, int> m_sourcePaths;
    // The folder being added: the root of the files it queues.
    QString m_folderRoot;
    bool m_picturesHeld = false;
    QStringList m_heldPictures;
    // Declared last: its destructor waits for the removals.
    BackgroundRemoval m_removal;
};
