#pragma once

#include "model/FichierAudio.h"
#include "model/ModelContext.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <memory>

class ExportSession;
struct ExportRequest;

// The conversion engine's worker: decodes one file at a time with `flac`
// into a hidden AIFF file, encodes it with its tags and cover into the
// destination, and reads the tags and picture of FLAC files as they are added.
class FLACdecoder : public QObject, public MetadataReader {
    Q_OBJECT
public:
    explicit FLACdecoder(QObject* parent = nullptr);
    ~FLACdecoder() override;

    // Launches the decoding of the file; true when it was handed over.
    bool convertirFichier(const FichierAudioPtr& fichier);
    void arreterLaConversion();
    bool isWorking() const { return m_isWorking; }

    bool readMetadataFromOriginalFile(FichierAudio* fichier, QString* error) override;
    // Starts the export of a decoded file; false with the reason when it
    // cannot start.
    bool writeMetadataToDestinationFile(const FichierAudioPtr& fichier, QString* error);
    // Whether an export is under way or its end not yet handled.
    bool exportInFlight() const;

    // The decoding arguments for a file, as they are passed to `flac`.
    QStringList decodingArguments(FichierAudio& fichier) const;
    void _addPreferenceArguments(QStringList& arguments) const;
    // The hidden picture exported from a source, unique to that source.
    static QString picturePath(FichierAudio& fichier);

    QString _pathToFlacExe;
    QString _pathToMetaflacExe;

    // A decode that writes nothing for this long is taken for hung and
    // killed (30 s; tests shorten it).
    void setStallTimeoutMs(int milliseconds) { m_stallTimeoutMs = milliseconds; }
    // The longest a decode of that source may run, however it progresses:
    // generous, from the length the FLAC stream states.
    static qint64 decodeTimeLimitMs(const QString& sourcePath);
    // A file to which the path of every temporary file is added before the
    // file is made, so that what a killed run leaves can be found; none by
    // default.
    void setTemporaryJournal(const QString& path) { m_temporaryJournal = path; }

private:
    void _tacheFinie(QProcess* process, int exitCode, QProcess::ExitStatus exitStatus);
    void _tacheImpossible(QProcess* process);
    void _echoMessage(const QString& message);
    void failDecoding(const FichierAudioPtr& fichier, const QString& reason);
    void interrompreLaTache();
    void startWatchdog(FichierAudio& fichier);
    void journalTemporary(const QString& path) const;
    void watchDecode();
    void exportEnded(ExportSession& session, const FichierAudioPtr& fichier);
    ExportRequest exportRequest(const FichierAudioPtr& fichier);
    static QString unreadablePictureName(FichierAudio& fichier, const ImagePtr& picture);
    void exportPicture(FichierAudio& fichier, const QString& sourcePath);
    QProcessEnvironment toolEnvironment() const;

    QPointer<QProcess> m_tache;
    std::weak_ptr<FichierAudio> m_fichierActuel;
    bool m_isWorking = false;
    std::shared_ptr<ExportSession> m_exportSession;
    QTimer m_watchdog;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceProgress;
    qint64 m_lastOutputSize = -1;
    qint64 m_runLimitMs = 0;
    int m_stallTimeoutMs = 30000;
    QString m_watchedOutput;
    QString m_temporaryJournal;
};
