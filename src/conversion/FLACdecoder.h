#pragma once

#include "model/FichierAudio.h"
#include "model/ModelContext.h"

#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>

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

private:
    void _tacheFinie(QProcess* process, int exitCode, QProcess::ExitStatus exitStatus);
    void _tacheImpossible(QProcess* process);
    void _echoMessage(const QString& message);
    void failDecoding(const FichierAudioPtr& fichier, const QString& reason);
    void interrompreLaTache();
    void exportEnded(ExportSession& session, const FichierAudioPtr& fichier);
    ExportRequest exportRequest(const FichierAudioPtr& fichier);
    void exportPicture(FichierAudio& fichier, const QString& sourcePath);
    QProcessEnvironment toolEnvironment() const;

    QPointer<QProcess> m_tache;
    std::weak_ptr<FichierAudio> m_fichierActuel;
    bool m_isWorking = false;
    std::shared_ptr<ExportSession> m_exportSession;
};
