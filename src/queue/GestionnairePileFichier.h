#pragma once

#include "model/FichierAudio.h"
#include "model/ModelContext.h"
#include "queue/QueueContext.h"

#include <QList>
#include <QSet>
#include <QString>

// The conversion queue: the ordered list of audio files the user added and
// the position of the next file to convert. It adds files and whole folders,
// removes files, counts them, reports progress and rebuilds itself from the
// database at start-up. Lives on the main thread.
class GestionnairePileFichier : public QueueAccess {
public:
    using FileList = QList<FichierAudioPtr>;

    // The observer hears when the queue becomes empty or not; may be null.
    explicit GestionnairePileFichier(QueueObserver* observer = nullptr);
    void setObserver(QueueObserver* observer) { m_observer = observer; }
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

private:
    bool _changerNombreDe(qint64 previousCount);
    void _viderLesTables();
    void rebuildSourceIndex();
    void inheritRoots();

    void tellRemoval(const FileList& leaving);

    QueueObserver* m_observer;
    QueueRemovalListener* m_removalListener = nullptr;
    quint64 m_generation = 0;
    FileList m_fichiersAudio;
    qint64 m_enumeratorIndex = 0;
    QSet<QString> m_sourcePaths;
    // The folder being added: the root of the files it queues.
    QString m_folderRoot;
};
