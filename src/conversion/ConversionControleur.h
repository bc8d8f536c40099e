#pragma once

#include "conversion/AlbumLoudness.h"
#include "conversion/ConversionJob.h"
#include "conversion/ConversionSettings.h"
#include "conversion/DiscImageDeletion.h"
#include "conversion/ExternalTools.h"
#include "conversion/LibraryMirror.h"
#include "conversion/LoudnessPrescan.h"
#include "model/FichierAudio.h"
#include "queue/QueueRemovalListener.h"

#include <QHash>
#include <QObject>
#include <QSet>

#include <atomic>
#include <memory>
#include <optional>

class ConversionJob;
class ConvertisseurUIDelegate;
class GestionnairePileFichier;
class MessageSink;
class QueueStore;
class Settings;
struct ExportRequest;
struct JobResult;

// Controller states.
enum StatusConvertisseur : qint32 {
    kStatusConvertisseurInactif = 1,
    kStatusConvertisseurDecodage = 2,
    kStatusConvertisseurCodage = 3,
    kStatusConvertisseurArrete = 4,
    kStatusConvertisseurFini = 5,
};

// Runs a conversion pass over the queue: up to the pass's number of jobs at
// once, files taken in list order, each through a job of its own (decoding,
// export, checks, the source's deletion). It keeps the pass's own position
// and the files it has taken, so files added, removed or sorted during a pass
// never make it take a file twice; it keeps the pass's counts and the files'
// statuses, applies the end of each file (record saved, file forgotten) and
// starts the next as soon as a job ends, until every file is taken or the
// user stops. A file removed from the queue has its job stopped first.
// Lives on the main thread.
class ConversionControleur : public QObject, public QueueRemovalListener {
    Q_OBJECT
public:
    // A pass converts with what the settings say when it starts (none: the
    // defaults of ConversionSettings).
    // Records of what each output was made from go to `records` (none: the
    // queue's store).
    ConversionControleur(GestionnairePileFichier* queue, QueueStore* store,
                         const Settings* settings, MessageSink* sink, ExternalTools::Paths tools,
                         QObject* parent = nullptr, QueueStore* records = nullptr);
    ~ConversionControleur() override;

    // Files refused before the pass (a terminal run's paths) count among
    // its errors.
    void demarrerLaConversion(int refusedBeforehand = 0);
    // Stops every job: each file in hand goes back to ready and its
    // temporaries and partial output go.
    void arreterLaConversion();
    // Fills the free job slots with the next files; true when one started.
    bool convertirProchainFichier();

    // A pass is running.
    bool isRunning() const;
    float pourcent() const;
    qint32 indexFichier() const;
    qint32 statusConvertisseur() const { return m_statusConvertisseur.load(); }
    ConvertisseurUIDelegate* delegate() const { return m_delegate; }
    void setDelegate(ConvertisseurUIDelegate* delegate) { m_delegate = delegate; }
    // The files being converted now, in the order they started.
    QList<FichierAudioPtr> fichiersEnMain() const;
    int jobsInFlight() const { return int(m_jobs.size()); }
    // How the files of the current or last pass ended.
    int passConverted() const { return m_passConverted; }
    int passFailed() const { return m_passFailed; }
    // Files whose output was found in step with their source.
    int passUpToDate() const { return m_passUpToDate; }
    // How a file of the current or last pass ended, and what was done (or,
    // in a dry run, would be done) with its output; none when it has not.
    struct FileEnd {
        JobResult::Outcome outcome;
        ExportSession::Plan plan;
    };
    std::optional<FileEnd> fileEnd(const FichierAudioPtr& fichier) const;
    // The next pass only says what it would do, and writes nothing.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // "2 en cours · 5/12 terminés · 1 en erreur"
    QString passMessage() const;
    // The settings of the current or last pass.
    const ConversionSettings& passSettings() const { return m_settings; }

    const ExternalTools::Paths& tools() const { return m_tools; }
    void setTools(const ExternalTools::Paths& tools) { m_tools = tools; }
    // How long a decode may write nothing before it is taken for hung.
    void setStallTimeoutMs(int milliseconds) { m_stallTimeoutMs = milliseconds; }
    // A file to which every temporary made beside the music is added before
    // it is made, so that what a killed run leaves can be found; by default
    // one in this process's work folder.
    void setTemporaryJournal(const QString& path) { m_temporaryJournal = path; }
    QString temporaryJournal() const;

    // Settles the outputs whose publishing a crash or a stop interrupted:
    // one in place under its name is converted, a partial one goes.
    void settlePendingPublications();

    void fichiersVontQuitterLaPile(const QList<FichierAudioPtr>& fichiers) override;

    // What the export of a file is given: its tags and cover, the pass's
    // conversions.
    ExportRequest exportRequest(const FichierAudioPtr& fichier) const;

signals:
    void passStarted();
    // A file of the pass changed status (taken, decoding, encoding, ended).
    void fileChanged(const FichierAudioPtr& fichier);
    void passEnded(int converted, int failed);

private:
    void notifyDelegate();
    void say(const QString& message) const;
    // Why a file cannot be converted before it is decoded; empty when it can.
    QString reasonToRefuse(const FichierAudioPtr& fichier) const;
    // The next file the pass has not taken, in list order; none at the end.
    FichierAudioPtr nextFileToTake();
    void refuse(const FichierAudioPtr& fichier, const QString& reason);
    void reserveDestination(const FichierAudioPtr& fichier);
    void releaseDestination(const FichierAudioPtr& fichier);
    void startJob(const FichierAudioPtr& fichier);
    void commencerEncodage(ConversionJob* job);
    void jobEnded(ConversionJob* job, const JobResult& result);
    void terminerFichier(const FichierAudioPtr& fichier, const JobResult& result);
    // The output needs nothing; a dry run's file says what it would need.
    void foundUpToDate(const FichierAudioPtr& fichier, const JobResult& result);
    void planned(const FichierAudioPtr& fichier, const JobResult& result);
    void keepRecord(const JobResult& result);
    // A file done (converted or found up to date) is told, and leaves the
    // list when the settings say so.
    void announceDone(const FichierAudioPtr& fichier);
    void noteEnd(const FichierAudioPtr& fichier, const JobResult& result);
    void echouerFichier(const FichierAudioPtr& fichier, const QString& reason);
    void stopped(const FichierAudioPtr& fichier, bool publishing);
    // Stops the jobs at once; files that leave the queue are not told how
    // their jobs ended.
    void stopJobs(const QList<ConversionJob*>& jobs,
                  const QHash<ConversionJob*, FichierAudioPtr>& files, bool leavingQueue);
    void endPassIfDone();
    // Looks, off this thread, at whether the chosen folder's file system
    // takes only portable names; the pass's files start once it is known.
    void probeDestinationFileSystem();
    // With the album's gain applied to the audio, every file's loudness is
    // measured before the first is converted.
    void prescanLoudness();
    void prescanEnded(const QList<std::shared_ptr<const LoudnessScan>>& scans);
    // The key of an output among the pass's: on a file system that ignores
    // case, names that differ only by case are one file.
    QString passKey(const QString& path) const;
    void finishPass();
    // Copies the companions and prunes the outputs of gone sources on a
    // thread of its own, when the pass asks for it; false when it does not.
    bool startMirror();
    void mirrorEnded(const LibraryMirror::Result& result);
    // A track converted with "delete the source": the image goes once every
    // one of its samples is in an output.
    void trackConverted(const FichierAudioPtr& fichier, const JobResult& result);
    // Where a file's folder goes, for the companions beside its outputs.
    void noteFolders(const FichierAudioPtr& fichier);
    qint64 filesStillToTake() const;
    // The picture file a cover should have come from, when it could not be read.
    static QString unreadablePicturePath(FichierAudio& fichier, const ImagePtr& picture);
    // A picture file's bytes as they are, and its type; none for no image.
    static QByteArray pictureBytes(const QString& path, QString* mimeType);

    GestionnairePileFichier* m_queue;
    // The queue's database: its records' ends and the publishing journal.
    QueueStore* m_store;
    QueueStore* m_records;
    const Settings* m_storedSettings;
    MessageSink* m_sink;
    ExternalTools::Paths m_tools;
    std::atomic<qint32> m_statusConvertisseur{kStatusConvertisseurInactif};
    ConvertisseurUIDelegate* m_delegate = nullptr;
    ConversionSettings m_settings;
    QHash<ConversionJob*, FichierAudioPtr> m_jobs;
    QList<ConversionJob*> m_jobOrder;
    // The jobs told to publish: a stop leaves their journal rows to be settled.
    QSet<ConversionJob*> m_publishing;
    // The files this pass took (started, refused or ended), held so that
    // their addresses stay theirs, and where in the list it goes on.
    QHash<const FichierAudio*, FichierAudioPtr> m_taken;
    qint64 m_passPosition = 0;
    quint64 m_queueGeneration = 0;
    // The outputs of this pass and the source each belongs to.
    QHash<QString, QString> m_passOutputs;
    int m_passConverted = 0;
    int m_passFailed = 0;
    int m_passUpToDate = 0;
    bool m_dryRun = false;
    QHash<const FichierAudio*, FileEnd> m_fileEnds;
    // The folders the pass's files were added from, and each source folder
    // with the folder its outputs went to.
    QSet<QString> m_passRoots;
    QHash<QString, QString> m_companionFolders;
    // For a cover.jpg in each output folder: the cover of the first file
    // that went into it, and that file.
    QHash<QString, LibraryMirror::Work::CoverFile> m_folderCovers;
    enum class MirrorState { NotStarted, Running, Done };
    MirrorState m_mirror = MirrorState::NotStarted;
    // The album values of ReplayGain, written once the pass has been
    // through every file.
    AlbumLoudness m_albumLoudness;
    enum class AlbumPhase { NotStarted, Running, Done };
    AlbumPhase m_albumPhase = AlbumPhase::NotStarted;
    LoudnessPrescan m_prescan;
    QList<FichierAudioPtr> m_prescanFiles;
    QStringList m_prescanKeys;
    // Each file's values measured before the pass, the file held so that
    // its address stays its own.
    QHash<const FichierAudio*, std::pair<FichierAudioPtr, ReplayGainValues>> m_prescanned;
    // The tracks of each image converted in this pass, and the deletions
    // of images under way (the pass ends after them).
    QHash<QString, QList<DiscImageDeletion::Converted>> m_convertedTracks;
    int m_imageDeletions = 0;
    bool m_probing = false;
    std::shared_ptr<std::atomic<bool>> m_mirrorCancelled;
    // Gone with the controller: a mirror ending later finds no one to tell.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    quint64 m_jobSerial = 0;
    int m_stallTimeoutMs = 30000;
    QString m_temporaryJournal;
};
