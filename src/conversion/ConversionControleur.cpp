#include "ConversionControleur.h"

#include "conversion/CodecTable.h"
#include "conversion/ConversionJob.h"
#include "conversion/ConvertisseurUIDelegate.h"
#include "conversion/ExportSession.h"
#include "conversion/FlacStreamInfo.h"
#include "conversion/FlacTagReader.h"
#include "conversion/MessageSink.h"
#include "conversion/PublishingJournal.h"
#include "conversion/WorkFolder.h"
#include "model/ModelContext.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"

#include <QFile>
#include <QFileInfo>

ConversionControleur::ConversionControleur(GestionnairePileFichier* queue,
                                           const UserDefaults* defaults, MessageSink* sink,
                                           ExternalTools::Paths tools, QObject* parent)
    : QObject(parent), m_queue(queue), m_defaults(defaults), m_sink(sink),
      m_tools(std::move(tools)) {}

ConversionControleur::~ConversionControleur() {
    // Quitting during a pass stops every job, as the stop button does.
    if (isRunning()) {
        m_delegate = nullptr;
        arreterLaConversion();
    }
    WorkFolder::removeForThisProcess();
}

bool ConversionControleur::isRunning() const {
    return (statusConvertisseur() & ~1) == kStatusConvertisseurDecodage;
}

void ConversionControleur::notifyDelegate() {
    if (m_delegate != nullptr) {
        m_delegate->updateUIavecControleur(this);
    }
}

void ConversionControleur::say(const QString& message) const {
    if (m_sink != nullptr) {
        m_sink->echoUserMessage(message);
    }
}

void ConversionControleur::journal(const QString& path) const {
    if (m_temporaryJournal.isEmpty()) {
        return;
    }
    QFile file(m_temporaryJournal);
    if (file.open(QIODevice::Append)) {
        file.write(path.toUtf8() + '\n');
    }
}

QList<FichierAudioPtr> ConversionControleur::fichiersEnMain() const {
    QList<FichierAudioPtr> files;
    for (ConversionJob* job : m_jobOrder) {
        files << m_jobs.value(job);
    }
    return files;
}

void ConversionControleur::demarrerLaConversion() {
    if (isRunning()) {
        arreterLaConversion();
    }
    m_settings = m_defaults != nullptr ? ConversionSettings::fromDefaults(*m_defaults)
                                       : ConversionSettings();
    m_statusConvertisseur = kStatusConvertisseurDecodage;
    m_passConverted = 0;
    m_passFailed = 0;
    m_passOutputs.clear();
    // The destinations follow the settings the pass started with. A pass
    // starts at the top of the list: files converted already are passed
    // over, and those a stop left ready before the queue's position are not
    // forgotten.
    if (m_queue != nullptr) {
        m_queue->raffraichirDestinationDesFichiers();
        m_queue->remettreAuDebut();
    }
    convertirProchainFichier();
}

QString ConversionControleur::reasonToRefuse(const FichierAudioPtr& fichier) const {
    if (!fichier->originalExists()) {
        const PersistentURLPtr source = fichier->elementURL();
        return QStringLiteral("Fichier %1 absent").arg(source ? source->path() : QString());
    }
    const PersistentURLPtr destination = fichier->destinationURL();
    // An output written earlier in this pass, or being written by another
    // job, is never replaced by another source of the pass, whatever the
    // overwrite setting: that setting is about files from before the pass.
    const auto owner = m_passOutputs.constFind(destination->path());
    if (owner != m_passOutputs.constEnd() && owner.value() != fichier->elementURL()->path()) {
        return QStringLiteral("Le fichier %1 est déjà la sortie de %2")
            .arg(destination->path(), owner.value());
    }
    if (!m_settings.overwrite && destination->exists()) {
        return QStringLiteral("Le fichier %1 existe déjà").arg(destination->fileName());
    }
    return QString();
}

void ConversionControleur::refuse(const FichierAudioPtr& fichier, const QString& reason) {
    fichier->setStatusConversion(kStatusConvFiniErreur);
    fichier->setFailureReason(reason);
    fichier->save();
    ++m_passFailed;
    say(reason);
    if (m_delegate != nullptr) {
        m_delegate->fichierTermine(this, fichier);
    }
}

void ConversionControleur::reserveDestination(const FichierAudioPtr& fichier) {
    m_passOutputs.insert(fichier->destinationURL()->path(), fichier->elementURL()->path());
}

void ConversionControleur::releaseDestination(const FichierAudioPtr& fichier) {
    const PersistentURLPtr destination = fichier->destinationURL();
    const auto owner = m_passOutputs.constFind(destination->path());
    if (owner != m_passOutputs.constEnd() && owner.value() == fichier->elementURL()->path()) {
        m_passOutputs.erase(owner);
    }
}

bool ConversionControleur::convertirProchainFichier() {
    if (!isRunning() || m_queue == nullptr) {
        return false;
    }
    bool started = false;
    while (isRunning() && m_jobs.size() < m_settings.jobs) {
        FichierAudioPtr fichier = m_queue->nextObject();
        // Files already converted without error are not converted again.
        while (fichier && fichier->statusConversion() == kStatusConvFiniOk) {
            fichier = m_queue->nextObject();
        }
        if (!fichier) {
            break;
        }
        const QString refusal = reasonToRefuse(fichier);
        if (!refusal.isEmpty()) {
            refuse(fichier, refusal);
            continue;
        }
        startJob(fichier);
        started = true;
    }
    endPassIfDone();
    if (isRunning()) {
        notifyDelegate();
    }
    return started;
}

void ConversionControleur::endPassIfDone() {
    if (!isRunning() || !m_jobs.isEmpty() || m_queue == nullptr ||
        m_queue->fichierCourant() != nullptr) {
        return;
    }
    m_statusConvertisseur = kStatusConvertisseurFini;
    arreterLaConversion();
    WorkFolder::removeForThisProcess();
    m_queue->remettreAuDebut();
    notifyDelegate();
    say(QStringLiteral("Conversion terminée : %1 convertis, %2 en erreur")
            .arg(m_passConverted)
            .arg(m_passFailed));
}

ExportRequest ConversionControleur::exportRequest(const FichierAudioPtr& fichier) const {
    ExportRequest request;
    request.destinationPath = fichier->destinationURL()->path();
    request.codec = m_settings.codec;
    request.sampleRate = m_settings.sampleRate;
    request.channels = m_settings.channels;
    request.bitRate = m_settings.bitRate;
    request.overwrite = m_settings.overwrite;
    request.preserveModificationTime = m_settings.preserveDate;
    request.sourcePath = fichier->elementURL()->path();
    request.sourceBitsPerSample = fichier->inMetadataDict()->value(QStringLiteral("bps")).toInt();

    if (fichier->sourceTags().isEmpty()) {
        // Queued before its comments were kept: they are read now, so the
        // output still carries them.
        const TagList comments = FlacTagReader::readComments(request.sourcePath);
        if (!comments.isEmpty()) {
            fichier->setSourceTags(comments);
        }
    }
    request.tags = fichier->outputTags();

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
            say(QStringLiteral("Image %1 illisible : pochette non copiée").arg(unreadable));
        }
    }
    return request;
}

QString ConversionControleur::unreadablePictureName(FichierAudio& fichier,
                                                    const ImagePtr& picture) {
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

void ConversionControleur::startJob(const FichierAudioPtr& fichier) {
    reserveDestination(fichier);
    fichier->setStatusConversion(kStatusConvEncoursDecodage);
    if (m_delegate != nullptr) {
        m_delegate->fichierChange(this, fichier);
    }
    const QString source = fichier->elementURL()->path();
    const FlacStreamInfo stream = FlacStreamInfo::read(source);
    JobRequest request;
    request.displayName = fichier->nomElement();
    request.sourcePath = source;
    request.decodedPath =
        WorkFolder::forThisProcess() + QStringLiteral("/%1.aif").arg(++m_jobSerial);
    request.flacPath = m_tools.flac;
    request.flacArguments =
        ConversionJob::decodingArguments(source, request.decodedPath, m_settings.preserveDate,
                                         m_settings.overwrite, m_settings.compression);
    request.exportRequest = exportRequest(fichier);
    request.exportRequest.inputPath = request.decodedPath;
    request.totalSamples = stream.totalSamples;
    request.channels = stream.channels;
    request.bitsPerSample = stream.bitsPerSample;
    request.stallTimeoutMs = m_stallTimeoutMs;
    request.runLimitMs = ConversionJob::decodeTimeLimitMs(stream.totalSamples, stream.sampleRate,
                                                          QFileInfo(source).size());
    // A rate the encoder cannot take is said only when the user chose it, or
    // when the codec has rates of its own (AAC, MP3) that the source misses.
    const OutputCodec* codec = OutputCodec::find(m_settings.codec);
    const bool chosen = m_settings.sampleRate > 0;
    const int askedRate = chosen ? int(m_settings.sampleRate) : stream.sampleRate;
    if (codec != nullptr && askedRate > 0 && (chosen || codec->onlySampleRate == 0)) {
        const int usable = CodecTable::usableSampleRate(*codec, askedRate);
        if (usable != askedRate) {
            say(QStringLiteral("Fréquence de %1 Hz impossible en %2 : conversion à %3 Hz")
                    .arg(QString::number(askedRate), m_settings.codec, QString::number(usable)));
        }
    }
    journal(ExportSession::partialPath(request.exportRequest.destinationPath));

    auto* job = new ConversionJob(request, this);
    m_jobs.insert(job, fichier);
    m_jobOrder.append(job);
    connect(job, &ConversionJob::message, this, [this](const QString& text) { say(text); });
    connect(job, &ConversionJob::encodingStarted, this, [this, job] { commencerEncodage(job); });
    connect(job, &ConversionJob::aboutToPublish, this, [this, job] {
        if (const FichierAudioPtr published = m_jobs.value(job)) {
            PublishingJournal::note(ModelContext::db(), published->sqliteid(),
                                    published->destinationURL()->path());
        }
    });
    connect(job, &ConversionJob::ended, this,
            [this, job](const JobResult& result) { jobEnded(job, result); });
    job->start();
}

void ConversionControleur::commencerEncodage(ConversionJob* job) {
    const FichierAudioPtr fichier = m_jobs.value(job);
    if (!fichier) {
        return;
    }
    m_statusConvertisseur = kStatusConvertisseurCodage;
    fichier->setStatusConversion(kStatusConvEncoursCodage);
    if (m_delegate != nullptr) {
        m_delegate->fichierChange(this, fichier);
    }
    notifyDelegate();
}

void ConversionControleur::jobEnded(ConversionJob* job, const JobResult& result) {
    const FichierAudioPtr fichier = m_jobs.take(job);
    m_jobOrder.removeAll(job);
    job->disconnect(this);
    job->disposeWhenIdle();
    if (!fichier) {
        return;
    }
    switch (result.outcome) {
    case JobResult::Outcome::Converted:
        terminerFichier(fichier, result.notice);
        break;
    case JobResult::Outcome::Failed:
        echouerFichier(fichier, result.reason);
        break;
    case JobResult::Outcome::Stopped:
        releaseDestination(fichier);
        fichier->setStatusConversion(kStatusConvPret);
        break;
    }
    if (isRunning()) {
        m_statusConvertisseur = kStatusConvertisseurDecodage;
        convertirProchainFichier();
    }
}

void ConversionControleur::terminerFichier(const FichierAudioPtr& fichier, const QString& notice) {
    const bool succeeded = fichier->destinationExists();
    if (!succeeded) {
        releaseDestination(fichier);
    }
    fichier->setStatusConversion(succeeded ? kStatusConvFiniOk : kStatusConvFiniErreur);
    ++(succeeded ? m_passConverted : m_passFailed);
    fichier->setFailureReason(succeeded ? QString()
                                        : QStringLiteral("Le fichier %1 est absent")
                                              .arg(fichier->destinationURL()->fileName()));
    if (!notice.isEmpty()) {
        say(notice);
    }
    const QFileInfo output(fichier->destinationURL()->path());
    if (output.exists()) {
        fichier->outMetadataDict()->insert(QStringLiteral("NSURLFileSizeKey"), output.size());
    }
    CocoLite& db = ModelContext::db();
    db.beginTransaction();
    fichier->save();
    PublishingJournal::clear(db, fichier->sqliteid());
    db.commitTransaction();
    if (succeeded && m_settings.deleteSource) {
        QString error;
        const QString source = fichier->elementURL()->path();
        if (!FileManager::removeItem(source, &error)) {
            Log::write(QStringLiteral("Impossible de supprimer %1\n%2").arg(source, error));
        }
    }
    if (m_delegate != nullptr) {
        m_delegate->fichierTermine(this, fichier);
    }
    if (succeeded && m_settings.forgetWhenFinished && m_queue != nullptr) {
        m_queue->supprimerFichierAudio(fichier);
    }
    say(QStringLiteral("Encodage de %1 terminé").arg(fichier->destinationURL()->fileName()));
}

void ConversionControleur::echouerFichier(const FichierAudioPtr& fichier, const QString& reason) {
    ++m_passFailed;
    releaseDestination(fichier);
    fichier->setStatusConversion(kStatusConvFiniErreur);
    if (!reason.isEmpty()) {
        fichier->setFailureReason(reason);
    }
    fichier->save();
    PublishingJournal::clear(ModelContext::db(), fichier->sqliteid());
    if (m_delegate != nullptr) {
        m_delegate->fichierTermine(this, fichier);
    }
}

void ConversionControleur::arreterLaConversion() {
    const QList<ConversionJob*> jobs = std::exchange(m_jobOrder, {});
    const QHash<ConversionJob*, FichierAudioPtr> files = std::exchange(m_jobs, {});
    m_statusConvertisseur = kStatusConvertisseurArrete;
    for (ConversionJob* job : jobs) {
        job->disconnect(this);
        job->stop();
        const FichierAudioPtr fichier = files.value(job);
        const qint32 status = fichier->statusConversion();
        if (status == kStatusConvEncoursDecodage || status == kStatusConvEncoursCodage) {
            releaseDestination(fichier);
            fichier->setStatusConversion(kStatusConvPret);
        }
    }
    if (m_delegate != nullptr) {
        m_delegate->echoUserMessage(QStringLiteral("Conversion Terminée."));
    }
}

float ConversionControleur::pourcent() const {
    if (m_queue == nullptr) {
        return 0.0f;
    }
    // Finished files, plus how far each file in flight is, over every file
    // the pass has taken or will take.
    double inFlight = 0.0;
    for (ConversionJob* job : m_jobOrder) {
        inFlight += job->fraction();
    }
    const double done = m_passConverted + m_passFailed;
    const double total = done + m_jobOrder.size() + filesStillToTake();
    const float percent = total > 0 ? float((done + inFlight) * 100.0 / total) : 0.0f;
    return std::clamp(percent, 0.0f, 100.0f);
}

qint64 ConversionControleur::filesStillToTake() const {
    if (m_queue == nullptr) {
        return 0;
    }
    // The files after the queue's position that a pass converts.
    const auto files = m_queue->fichiersAudio();
    return std::count_if(
        files.cbegin() + std::min(m_queue->enumeratorIndex(), files.size()), files.cend(),
        [](const FichierAudioPtr& file) { return file->statusConversion() != kStatusConvFiniOk; });
}

QString ConversionControleur::passMessage() const {
    const int done = m_passConverted + m_passFailed;
    return QStringLiteral("%1 en cours · %2/%3 terminés · %4 en erreur")
        .arg(m_jobOrder.size())
        .arg(done)
        .arg(done + m_jobOrder.size() + filesStillToTake())
        .arg(m_passFailed);
}

qint32 ConversionControleur::indexFichier() const {
    return m_queue != nullptr ? qint32(m_queue->enumeratorIndex()) : 0;
}
