#include "FLACdecoder.h"

#include "conversion/CodecTable.h"
#include "conversion/ConversionContext.h"
#include "conversion/ConversionControleur.h"
#include "conversion/ExportSession.h"
#include "conversion/ExternalTools.h"
#include "conversion/MetaflacOutputParser.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <csignal>

namespace {
constexpr int kMetaflacTimeoutMs = 60000;

ConversionControleur* controller() {
    ConversionContext* context = ConversionContext::current();
    return context != nullptr ? context->controleur() : nullptr;
}

bool isStopped(qint32 state) {
    return state == kStatusConvertisseurInactif || state == kStatusConvertisseurArrete;
}

// The integer a text starts with, as a tag number is read ("3/12" gives 3).
qint32 leadingInteger(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).left(11).toLongLong() : 0;
}

void ensureFolder(const QString& folder) {
    QString error;
    if (!FileManager::ensureDirectory(folder, &error)) {
        Log::write(QStringLiteral("Impossible de créer %1\n%2").arg(folder, error));
    }
}
} // namespace

FLACdecoder::FLACdecoder(QObject* parent)
    : QObject(parent), _pathToFlacExe(ExternalTools::flacPath()),
      _pathToMetaflacExe(ExternalTools::metaflacPath()) {
    m_watchdog.setInterval(250);
    connect(&m_watchdog, &QTimer::timeout, this, &FLACdecoder::watchDecode);
}

qint64 FLACdecoder::decodeTimeLimitMs(const QString& sourcePath) {
    constexpr qint64 kBaseMs = 60000;
    QFile file(sourcePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return kBaseMs;
    }
    // "fLaC", the STREAMINFO block's header, then its sample rate and total
    // sample count at bytes 10 to 17 of the block.
    const QByteArray head = file.read(4 + 4 + 18);
    if (head.size() == 26 && head.startsWith("fLaC")) {
        quint64 packed = 0;
        for (int index = 18; index < 26; ++index) {
            packed = (packed << 8) | quint8(head.at(index));
        }
        const quint64 rate = packed >> 44;
        const quint64 samples = packed & 0xFFFFFFFFFull;
        if (rate > 0 && samples > 0) {
            // Twice the music's own length: flac decodes a hundred times faster.
            return kBaseMs + qint64(samples * 2000 / rate);
        }
    }
    // No length stated: a second per 100 kB, more than any FLAC stream needs.
    return kBaseMs + file.size() / 100;
}

void FLACdecoder::journalTemporary(const QString& path) const {
    if (m_temporaryJournal.isEmpty()) {
        return;
    }
    QFile journal(m_temporaryJournal);
    if (journal.open(QIODevice::Append)) {
        journal.write(path.toUtf8() + '\n');
    }
}

void FLACdecoder::startWatchdog(FichierAudio& fichier) {
    m_watchedOutput = fichier.tempDestinationURL()->path();
    m_runLimitMs = decodeTimeLimitMs(fichier.elementURL()->path());
    m_lastOutputSize = -1;
    m_sinceStart.start();
    m_sinceProgress.start();
    m_watchdog.start();
}

void FLACdecoder::watchDecode() {
    if (!m_tache) {
        m_watchdog.stop();
        return;
    }
    const qint64 size = QFileInfo(m_watchedOutput).size();
    if (size != m_lastOutputSize) {
        m_lastOutputSize = size;
        m_sinceProgress.start();
    }
    QString reason;
    if (m_sinceProgress.elapsed() > m_stallTimeoutMs) {
        reason = QStringLiteral("flac n'a rien écrit depuis %1 s : arrêté")
                     .arg(QString::number(m_stallTimeoutMs / 1000.0, 'g', 3));
    } else if (m_sinceStart.elapsed() > m_runLimitMs) {
        reason = QStringLiteral("flac décode depuis plus de %1 s : arrêté")
                     .arg(QString::number(m_runLimitMs / 1000));
    }
    if (reason.isEmpty()) {
        return;
    }
    // No program holds a pass hostage: the hung process goes, its late end
    // changes nothing, and the pass goes on.
    m_watchdog.stop();
    QProcess* hung = m_tache;
    m_tache = nullptr;
    hung->kill();
    const QString message = QStringLiteral("Erreur Decodage %1").arg(reason);
    _echoMessage(message);
    Log::write(message);
    m_isWorking = false;
    failDecoding(m_fichierActuel.lock(), message);
}

FLACdecoder::~FLACdecoder() {
    m_exportSession.reset();
    if (m_tache) {
        m_tache->disconnect(this);
        m_tache->kill();
        m_tache->waitForFinished(2000);
    }
}

QProcessEnvironment FLACdecoder::toolEnvironment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Tag text comes back in the locale's character set: ask for UTF-8.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

void FLACdecoder::_echoMessage(const QString& message) {
    ConversionContext::echoUserMessage(message);
}

void FLACdecoder::_addPreferenceArguments(QStringList& arguments) const {
    const auto& defaults = UserDefaults::standard();
    arguments << (defaults.boolForKey(QStringLiteral("ConversionPreserverDate"))
                      ? QStringLiteral("--preserve-modtime")
                      : QStringLiteral("--no-preserve-modtime"));
    if (defaults.boolForKey(QStringLiteral("DestinationEcraserExistant"))) {
        arguments << QStringLiteral("--force");
    }
    // The sample rate, bit rate and channel count are the export's business:
    // flac refuses them when decoding. The source is never handed to flac for
    // deletion: it goes only once its output exists.
    const qint64 compression = defaults.integerForKey(QStringLiteral("ConversionCompression"));
    if (compression >= 0) {
        arguments << QStringLiteral("-%1").arg(quint64(compression));
    }
}

QStringList FLACdecoder::decodingArguments(FichierAudio& fichier) const {
    QStringList arguments = {QStringLiteral("-d"), fichier.elementURL()->path(),
                             QStringLiteral("-o"), fichier.tempDestinationURL()->path(),
                             QStringLiteral("-s")};
    _addPreferenceArguments(arguments);
    return arguments;
}

bool FLACdecoder::convertirFichier(const FichierAudioPtr& fichier) {
    if (!fichier || !fichier->elementURL()) {
        Log::write(QStringLiteral("convertirFichier: pas de fichier"));
        _echoMessage(QStringLiteral("Fichier %1 Absent").arg(QStringLiteral("(null)")));
        m_isWorking = false;
        return false;
    }
    _echoMessage(QStringLiteral("Decodage ") + fichier->nomElement());
    m_fichierActuel = fichier;
    m_isWorking = true;
    fichier->setStatusConversion(kStatusConvEncoursDecodage);
    interrompreLaTache();
    auto* process = new QProcess(this);
    fichier->supprimerTempFile();
    const QStringList arguments = decodingArguments(*fichier);
    journalTemporary(fichier->tempDestinationURL()->path());
    journalTemporary(ExportSession::partialPath(fichier->destinationURL()->path()));
    ensureFolder(fichier->destinationURL()->folderPath());
    process->setProcessEnvironment(toolEnvironment());
    connect(process, &QProcess::finished, this,
            [this, process](int exitCode, QProcess::ExitStatus exitStatus) {
                _tacheFinie(process, exitCode, exitStatus);
            });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            QMetaObject::invokeMethod(
                this, [this, process] { _tacheImpossible(process); }, Qt::QueuedConnection);
        }
    });
    m_tache = process;
    if (_pathToFlacExe.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this, process] { _tacheImpossible(process); }, Qt::QueuedConnection);
    } else {
        process->start(_pathToFlacExe, arguments);
        startWatchdog(*fichier);
    }
    return true;
}

void FLACdecoder::_tacheImpossible(QProcess* process) {
    process->deleteLater();
    if (process != m_tache) {
        return;
    }
    m_tache = nullptr;
    m_watchdog.stop();
    const QString message = QStringLiteral("Programme %1 introuvable").arg(QStringLiteral("flac"));
    _echoMessage(message);
    Log::write(message);
    m_isWorking = false;
    failDecoding(m_fichierActuel.lock(), message);
}

void FLACdecoder::_tacheFinie(QProcess* process, int exitCode, QProcess::ExitStatus exitStatus) {
    process->deleteLater();
    // A stopped or replaced process ends late: its end changes nothing.
    if (process != m_tache) {
        return;
    }
    m_tache = nullptr;
    m_watchdog.stop();
    const FichierAudioPtr fichier = m_fichierActuel.lock();
    if (!fichier) {
        Log::write(QStringLiteral("Pas de fichier actuel !!!"));
    }
    if (exitStatus != QProcess::NormalExit || exitCode != 0) {
        QString errorText = QString::fromUtf8(process->readAllStandardError()).trimmed();
        if (exitStatus != QProcess::NormalExit) {
            errorText = (errorText + QStringLiteral("\nflac interrompu")).trimmed();
        }
        const QString message = QStringLiteral("Erreur Decodage %1").arg(errorText);
        _echoMessage(message);
        Log::write(message);
        m_isWorking = false;
        failDecoding(fichier, message);
        return;
    }
    m_isWorking = false;
    if (ConversionControleur* controleur = controller()) {
        if (fichier) {
            controleur->commencerEncodage(fichier);
        } else {
            controleur->echouerFichier(nullptr, QString());
        }
    }
}

void FLACdecoder::failDecoding(const FichierAudioPtr& fichier, const QString& reason) {
    if (ConversionControleur* controleur = controller()) {
        controleur->echouerFichier(fichier, reason);
    } else if (fichier) {
        fichier->setStatusConversion(kStatusConvFiniErreur);
        fichier->setFailureReason(reason);
    }
}

void FLACdecoder::arreterLaConversion() {
    m_isWorking = false;
    if (m_exportSession) {
        m_exportSession->cancelExport();
        m_exportSession.reset();
    }
    interrompreLaTache();
    m_fichierActuel.reset();
}

void FLACdecoder::interrompreLaTache() {
    // The process ends later; its end is then not the held process's, and
    // changes nothing. Only a running child is signalled: the id of a
    // process that never started is 0, and kill(0) would interrupt this
    // program's own process group.
    m_watchdog.stop();
    if (m_tache) {
        const qint64 pid = m_tache->processId();
        if (m_tache->state() != QProcess::NotRunning && pid > 0) {
            ::kill(pid_t(pid), SIGINT);
        }
        m_tache = nullptr;
    }
}

bool FLACdecoder::exportInFlight() const {
    return m_exportSession != nullptr;
}

QString FLACdecoder::picturePath(FichierAudio& fichier) {
    const PersistentURLPtr temporary = fichier.tempDestinationURL();
    const QString source = fichier.elementURL()->path();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(source.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    const QString base = QFileInfo(temporary->pathWithoutExtension()).fileName();
    return temporary->folderPath() + QLatin1Char('/') + base + QLatin1Char('.') + hash +
           QStringLiteral(".jpg");
}

void FLACdecoder::exportPicture(FichierAudio& fichier, const QString& sourcePath) {
    const QString picture = picturePath(fichier);
    journalTemporary(picture);
    ensureFolder(QFileInfo(picture).absolutePath());
    QProcess process;
    process.setProcessEnvironment(toolEnvironment());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(_pathToMetaflacExe,
                  {QStringLiteral("--export-picture-to=") + picture, sourcePath});
    process.waitForFinished(kMetaflacTimeoutMs);
    const bool exported = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                          process.error() == QProcess::UnknownError;
    if (!exported) {
        const QString errorText = QString::fromUtf8(process.readAllStandardError()).trimmed();
        const QString expected =
            QStringLiteral("%1: ERROR: FLAC file has no PICTURE block").arg(sourcePath);
        if (!errorText.isEmpty() && !errorText.contains(expected)) {
            Log::write(QStringLiteral("msgerr :\n%1\n%2").arg(errorText, expected));
        }
        QFile::remove(picture);
        fichier.setImageTempURL(nullptr);
        return;
    }
    if (FileManager::fileExists(picture)) {
        PersistentURLPtr url = PersistentURL::persistentURLwithURL(picture);
        url->setElementType(kElementTempImage);
        fichier.setImageTempURL(url);
    }
}

bool FLACdecoder::readMetadataFromOriginalFile(FichierAudio* fichier, QString* error) {
    _echoMessage(QStringLiteral("Lecture des métadonnées de %1").arg(fichier->nomElement()));
    const QString source = fichier->elementURL()->path();
    QStringList arguments;
    for (const QString& name : MetaflacOutputParser::streamNames()) {
        arguments << QStringLiteral("--show-%1").arg(name);
    }
    for (const QString& name : MetaflacOutputParser::tagNames()) {
        arguments << QStringLiteral("--show-tag=") + name;
    }
    arguments << source;
    QProcess process;
    process.setProcessEnvironment(toolEnvironment());
    if (!_pathToMetaflacExe.isEmpty()) {
        process.start(_pathToMetaflacExe, arguments);
    }
    if (_pathToMetaflacExe.isEmpty() || !process.waitForStarted()) {
        const QString message =
            QStringLiteral("Programme %1 introuvable").arg(QStringLiteral("metaflac"));
        Log::write(message);
        _echoMessage(message);
        return true;
    }
    if (!process.waitForFinished(kMetaflacTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    const QByteArray output = process.readAllStandardOutput();
    const QByteArray errorOutput = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("Impossible de Récupérer Les Métadata\n%1")
                     .arg(QString::fromUtf8(errorOutput));
        return false;
    }
    QStringList extraLines;
    const QVariantMap result = MetaflacOutputParser::parse(output, &extraLines);
    for (const QString& line : std::as_const(extraLines)) {
        // A value can be megabytes long: the log keeps its beginning.
        constexpr int kLoggedLength = 200;
        QString trimmed = line.trimmed();
        if (trimmed.size() > kLoggedLength) {
            trimmed = trimmed.left(kLoggedLength) + QStringLiteral("…");
        }
        if (!trimmed.isEmpty()) {
            Log::write(QStringLiteral("ligne inconnue :\n%1\n").arg(trimmed));
        }
    }
    exportPicture(*fichier, source);
    fichier->inMetadataDict()->addEntries(result);
    fichier->outMetadataDict()->addEntries(result);
    return true;
}

QString FLACdecoder::unreadablePictureName(FichierAudio& fichier, const ImagePtr& picture) {
    // The picture a cover should have come from, when it could not be read.
    if (picture && picture->kind() == Image::Kind::File) {
        return picture->name() == QLatin1String("Source flac") ? fichier.nomElement()
                                                               : picture->name();
    }
    const PersistentURLPtr embedded = fichier.imageTempURL();
    if (embedded && fichier.imageAutoFind() != 0 &&
        !Image::byReferencingFile(embedded->path(), QString())->canRead()) {
        return fichier.nomElement();
    }
    return QString();
}

ExportRequest FLACdecoder::exportRequest(const FichierAudioPtr& fichier) {
    const auto& defaults = UserDefaults::standard();
    ExportRequest request;
    request.inputPath = fichier->tempDestinationURL()->path();
    request.destinationPath = fichier->destinationURL()->path();
    request.codec = defaults.stringForKey(QStringLiteral("ConversionCodec"));
    const auto positive = [&defaults](const char* key) {
        const qint64 value = defaults.integerForKey(QLatin1String(key));
        return value > 0 ? value : qint64(-1);
    };
    request.sampleRate = positive("ConversionFrequence");
    request.channels = positive("ConversionCanaux");
    request.bitRate = positive("ConversionDebit");
    request.overwrite = defaults.boolForKey(QStringLiteral("DestinationEcraserExistant"));
    request.preserveModificationTime =
        defaults.boolForKey(QStringLiteral("ConversionPreserverDate"));
    request.sourcePath = fichier->elementURL()->path();
    request.sourceBitsPerSample = fichier->inMetadataDict()->value(QStringLiteral("bps")).toInt();

    static const QList<QPair<QString, QString>> rows = {
        {QStringLiteral("artist"), QStringLiteral("artist")},
        {QStringLiteral("title"), QStringLiteral("title")},
        {QStringLiteral("album"), QStringLiteral("album")},
        {QStringLiteral("date"), QStringLiteral("date")},
        {QStringLiteral("tracknumber"), QStringLiteral("track")},
        {QStringLiteral("genre"), QStringLiteral("genre")},
        {QStringLiteral("discnumber"), QStringLiteral("disc")}};
    const MetadataDictionaryPtr output = fichier->outMetadataDict();
    for (const auto& row : rows) {
        const QVariant value = output->value(row.first);
        if (!value.isValid()) {
            continue;
        }
        const QString text = value.toString();
        request.tags.append(
            {row.second, row.first.contains(QLatin1String("number"), Qt::CaseInsensitive)
                             ? QString::number(leadingInteger(text))
                             : text});
    }

    const ImagePtr picture = fichier->mainPictureCached(false);
    // A picture file is embedded; the desktop's file icon or the application's
    // own picture only when the user chose it.
    const bool chosen =
        fichier->imageAutoFind() == 0 && (fichier->imageSourceType() == kImageSourceFileIcon ||
                                          fichier->imageSourceType() == kImageSourceDefault);
    if (picture && (picture->kind() == Image::Kind::File || chosen)) {
        request.coverData = fichier->mainPictureCached(true)->coverData(&request.coverMimeType);
    }
    if (request.coverData.isEmpty()) {
        Log::write(QStringLiteral("%1 n'a pas d'image").arg(fichier->description()));
        const QString unreadable = unreadablePictureName(*fichier, picture);
        if (!unreadable.isEmpty()) {
            _echoMessage(
                QStringLiteral("Image %1 illisible : pochette non copiée").arg(unreadable));
        }
    }
    return request;
}

bool FLACdecoder::writeMetadataToDestinationFile(const FichierAudioPtr& fichier, QString* error) {
    ConversionControleur* controleur = controller();
    if (controleur == nullptr || controleur->statusConvertisseur() != kStatusConvertisseurCodage) {
        return false;
    }
    const PersistentURLPtr destination = fichier->destinationURL();
    _echoMessage(QStringLiteral("Encodage de %1").arg(destination->fileName()));
    const QString codec = UserDefaults::standard().stringForKey(QStringLiteral("ConversionCodec"));
    CodecTable::Entry entry;
    if (!CodecTable::lookup(codec, &entry)) {
        *error = QStringLiteral("Codec %1 inconnu").arg(codec);
        return false;
    }
    if (destination->exists() &&
        !UserDefaults::standard().boolForKey(QStringLiteral("DestinationEcraserExistant"))) {
        *error = QStringLiteral("Le fichier %1 existe déjà").arg(destination->fileName());
        return false;
    }
    ensureFolder(destination->folderPath());
    const ExportRequest request = exportRequest(fichier);
    const int sourceRate = fichier->inMetadataDict()->value(QStringLiteral("sample-rate")).toInt();
    const int askedRate = request.sampleRate > 0 ? int(request.sampleRate) : sourceRate;
    if (entry.lossyEncoder != nullptr && askedRate > 0) {
        const int usable = CodecTable::nearestSampleRate(entry.lossyEncoder, askedRate);
        if (usable != askedRate) {
            _echoMessage(QStringLiteral("Fréquence de %1 Hz impossible en %2 : conversion à %3 Hz")
                             .arg(QString::number(askedRate), codec, QString::number(usable)));
        }
    }
    auto session = std::make_shared<ExportSession>(request);
    m_exportSession = session;
    session->exportAsynchronously(
        [this, fichier](ExportSession& ended) { exportEnded(ended, fichier); });
    return true;
}

void FLACdecoder::exportEnded(ExportSession& session, const FichierAudioPtr& fichier) {
    ConversionControleur* controleur = controller();
    if (controleur == nullptr || isStopped(controleur->statusConvertisseur())) {
        return;
    }
    ExportSession* ended = &session;
    const QString name = QFileInfo(session.request().destinationPath).fileName();
    QString message;
    if (session.status() == ExportSession::Status::Completed) {
        message = QStringLiteral("Encodage de %1 terminé").arg(name);
        session.performOnThreadOfAndWait(this, [this, ended, fichier] {
            ConversionControleur* current = controller();
            if (current == nullptr || isStopped(current->statusConvertisseur()) ||
                m_exportSession.get() != ended) {
                return;
            }
            fichier->setStatusConversion(kStatusConvFiniOk);
            current->terminerFichier(fichier);
        });
    } else if (session.status() == ExportSession::Status::Failed) {
        message = QStringLiteral("Encodage de %1 impossible").arg(name);
        Log::write(
            QStringLiteral("%1 export failed\n%2")
                .arg(QString::number(controleur->statusConvertisseur()), session.errorText()));
        const QString reason = message + QLatin1Char('\n') + session.errorText();
        session.performOnThreadOfAndWait(this, [this, ended, fichier, reason] {
            ConversionControleur* current = controller();
            if (current == nullptr || isStopped(current->statusConvertisseur()) ||
                m_exportSession.get() != ended) {
                return;
            }
            current->echouerFichier(fichier, reason);
        });
    }
    QMetaObject::invokeMethod(
        this,
        [this, ended, message] {
            if (m_exportSession.get() == ended) {
                m_exportSession.reset();
            }
            if (!message.isEmpty()) {
                _echoMessage(message);
            }
        },
        Qt::QueuedConnection);
}
