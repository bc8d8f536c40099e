#include "ConversionControleur.h"

#include "conversion/CodecTable.h"
#include "conversion/ConversionJob.h"
#include "conversion/ConvertisseurUIDelegate.h"
#include "conversion/ExportSession.h"
#include "conversion/FlacStreamInfo.h"
#include "conversion/FlacTagReader.h"
#include "conversion/MessageSink.h"
#include "conversion/OutputFingerprint.h"
#include "conversion/PublishingJournal.h"
#include "conversion/TemporaryJournal.h"
#include "conversion/WorkFolder.h"
#include "model/QueueStore.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"
#include "storage/FileIdentity.h"
#include "storage/FileManager.h"
#include "storage/FileSystemKind.h"
#include "storage/Log.h"
#include "storage/ThreadHandoff.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QThreadPool>
#include <QTimer>

namespace {
constexpr int kCleanUpGraceMs = 500;

} // namespace

ConversionControleur::ConversionControleur(GestionnairePileFichier* queue, QueueStore* store,
                                           const Settings* settings, MessageSink* sink,
                                           ExternalTools::Paths tools, QObject* parent,
                                           QueueStore* records)
    : QObject(parent), m_queue(queue), m_store(store),
      m_records(records != nullptr ? records : store), m_storedSettings(settings), m_sink(sink),
      m_tools(std::move(tools)), m_albumLoudness(*QThreadPool::globalInstance()),
      m_prescan(*QThreadPool::globalInstance()) {
    if (m_queue != nullptr) {
        m_queue->setRemovalListener(this);
    }
    connect(&m_prescan, &LoudnessPrescan::finished, this, &ConversionControleur::prescanEnded);
    connect(&m_albumLoudness, &AlbumLoudness::message, this,
            [this](const QString& text) { say(text); });
    connect(&m_albumLoudness, &AlbumLoudness::rewritten, this,
            [this](const JobResult& result) { keepRecord(result); });
    connect(&m_albumLoudness, &AlbumLoudness::finished, this, [this] {
        if (m_albumPhase == AlbumPhase::Running) {
            m_albumPhase = AlbumPhase::Done;
            endPassIfDone();
        }
    });
}

ConversionControleur::~ConversionControleur() {
    // Quitting during a pass stops every job, as the stop button does.
    if (isRunning()) {
        m_delegate = nullptr;
        arreterLaConversion();
    }
    if (m_queue != nullptr) {
        m_queue->setRemovalListener(nullptr);
    }
    // Stopped sessions clean up on their own threads: a moment is given them
    // to remove what they made, never more, for a destination may stall.
    ExportSession::waitForAll(kCleanUpGraceMs);
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

QString ConversionControleur::temporaryJournal() const {
    return m_temporaryJournal.isEmpty() ? WorkFolder::journalForThisProcess() : m_temporaryJournal;
}

QList<FichierAudioPtr> ConversionControleur::fichiersEnMain() const {
    QList<FichierAudioPtr> files;
    for (ConversionJob* job : m_jobOrder) {
        files << m_jobs.value(job);
    }
    return files;
}

void ConversionControleur::demarrerLaConversion(int refusedBeforehand) {
    if (isRunning()) {
        arreterLaConversion();
    }
    settlePendingPublications();
    m_settings = m_storedSettings != nullptr ? ConversionSettings::fromSettings(*m_storedSettings)
                                             : ConversionSettings();
    m_settings.dryRun = m_dryRun;
    m_statusConvertisseur = kStatusConvertisseurDecodage;
    m_passConverted = 0;
    m_passFailed = refusedBeforehand;
    m_passUpToDate = 0;
    m_fileEnds.clear();
    m_passRoots.clear();
    m_companionFolders.clear();
    m_folderCovers.clear();
    m_convertedTracks.clear();
    m_mirror = MirrorState::NotStarted;
    m_albumLoudness.clear();
    m_albumPhase = AlbumPhase::NotStarted;
    m_passOutputs.clear();
    m_taken.clear();
    // A pass starts at the top of the list: files converted already are
    // passed over, and those a stop left ready are not forgotten.
    m_passPosition = 0;
    if (m_queue != nullptr) {
        m_queueGeneration = m_queue->generation();
        // The destinations follow the settings the pass started with.
        m_queue->setDestinationRules(m_settings.destination);
    }
    emit passStarted();
    m_prescanned.clear();
    if (m_settings.replayGain == ReplayGainMode::Scan && m_settings.applyGain == ApplyGain::Album &&
        !m_settings.dryRun) {
        prescanLoudness();
    }
    if (m_settings.portableNamesWhenNeeded && m_settings.destination.usesChosenFolder() &&
        !m_settings.destination.portableNames) {
        probeDestinationFileSystem();
        return;
    }
    convertirProchainFichier();
}

void ConversionControleur::probeDestinationFileSystem() {
    m_probing = true;
    ThreadHandoff::start(
        *QThreadPool::globalInstance(),
        [this, folder = m_settings.destination.chosenFolder, alive = std::weak_ptr<int>(m_alive)] {
            const bool portable = FileSystemKind::takesOnlyPortableNames(folder);
            ThreadHandoff::handOver();
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, portable, alive] {
                    ThreadHandoff::takeOver();
                    if (alive.expired() || !m_probing) {
                        return;
                    }
                    m_probing = false;
                    if (portable && isRunning()) {
                        m_settings.destination.portableNames = true;
                        if (m_queue != nullptr) {
                            m_queue->setDestinationRules(m_settings.destination);
                        }
                    }
                    convertirProchainFichier();
                },
                Qt::QueuedConnection);
        });
}

void ConversionControleur::prescanLoudness() {
    QList<LoudnessPrescan::Item> items;
    QStringList keys;
    m_prescanFiles.clear();
    for (qint64 index = 0; m_queue != nullptr && index < m_queue->countOfFichiersAudio(); ++index) {
        const FichierAudioPtr fichier = m_queue->fichierAt(index);
        if (fichier->statusConversion() == kStatusConvFiniOk || !fichier->elementURL()) {
            continue;
        }
        LoudnessPrescan::Item item;
        item.path = fichier->elementURL()->path();
        keys << AlbumLoudness::albumKey(fichier->outputTags(), item.path);
        if (const std::optional<ImageTrack>& track = fichier->imageTrack()) {
            item.firstSample = track->firstSample;
            item.endSample = track->endSample;
        }
        items << item;
        m_prescanFiles << fichier;
    }
    say(items.size() == 1 ? QStringLiteral("Mesure du volume d'un fichier avant sa conversion")
                          : QStringLiteral("Mesure du volume de %1 fichiers avant leur conversion")
                                .arg(items.size()));
    m_prescanKeys = keys;
    m_prescan.start(items);
}

void ConversionControleur::prescanEnded(const QList<std::shared_ptr<const LoudnessScan>>& scans) {
    const QList<FichierAudioPtr> files = std::exchange(m_prescanFiles, {});
    const QList<ReplayGainValues> values = AlbumLoudness::valuesByAlbum(m_prescanKeys, scans);
    for (qsizetype index = 0; index < files.size() && index < values.size(); ++index) {
        m_prescanned.insert(files[index].get(), {files[index], values[index]});
    }
    convertirProchainFichier();
}

QString ConversionControleur::passKey(const QString& path) const {
    return m_settings.destination.portableNames ? path.toCaseFolded() : path;
}

FichierAudioPtr ConversionControleur::nextFileToTake() {
    if (m_queue->generation() != m_queueGeneration) {
        // Files joined, left or moved: the list is looked through again from
        // the top, and what this pass took is passed over.
        m_queueGeneration = m_queue->generation();
        m_passPosition = 0;
    }
    while (m_passPosition < m_queue->countOfFichiersAudio()) {
        FichierAudioPtr fichier = m_queue->fichierAt(m_passPosition++);
        // Files already converted without error are not converted again.
        if (!m_taken.contains(fichier.get()) && fichier->statusConversion() != kStatusConvFiniOk) {
            return fichier;
        }
    }
    return nullptr;
}

QString ConversionControleur::reasonToRefuse(const FichierAudioPtr& fichier) const {
    const PersistentURLPtr source = fichier->elementURL();
    const PersistentURLPtr destination = fichier->destinationURL();
    if (!source || !destination) {
        return QStringLiteral("Fichier %1 absent").arg(source ? source->path() : QString());
    }
    // A sheet whose audio is nowhere, an image whose sheet cannot be used:
    // they wait, in error, for the user to put them right.
    const std::optional<ImageTrack>& track = fichier->imageTrack();
    const bool sheet =
        QFileInfo(source->path()).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0;
    if ((track && track->isUnusableSheet()) || sheet) {
        return fichier->failureReason().isEmpty()
                   ? QStringLiteral("%1 n'est pas un fichier FLAC").arg(source->path())
                   : fichier->failureReason();
    }
    // An output written earlier in this pass, or being written by another
    // job, is never replaced by another source of the pass, whatever the
    // overwrite setting: that setting is about files from before the pass.
    // Whether the source is there and the destination free is for the job
    // to see, off this thread.
    const auto owner = m_passOutputs.constFind(passKey(destination->path()));
    if (owner != m_passOutputs.constEnd() && owner.value() != source->path()) {
        return QStringLiteral("Le fichier %1 est déjà la sortie de %2")
            .arg(destination->path(), owner.value());
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
    emit fileChanged(fichier);
}

void ConversionControleur::reserveDestination(const FichierAudioPtr& fichier) {
    m_passOutputs.insert(passKey(fichier->destinationURL()->path()), fichier->elementURL()->path());
}

void ConversionControleur::releaseDestination(const FichierAudioPtr& fichier) {
    const PersistentURLPtr destination = fichier->destinationURL();
    const auto owner = m_passOutputs.constFind(passKey(destination->path()));
    if (owner != m_passOutputs.constEnd() && owner.value() == fichier->elementURL()->path()) {
        m_passOutputs.erase(owner);
    }
}

bool ConversionControleur::convertirProchainFichier() {
    if (!isRunning() || m_queue == nullptr || m_probing || m_prescan.isRunning()) {
        return false;
    }
    bool started = false;
    while (isRunning() && m_jobs.size() < m_settings.jobs) {
        const FichierAudioPtr fichier = nextFileToTake();
        if (!fichier) {
            break;
        }
        m_taken.insert(fichier.get(), fichier);
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
        m_queue->generation() != m_queueGeneration ||
        m_passPosition < m_queue->countOfFichiersAudio() || m_mirror == MirrorState::Running ||
        m_imageDeletions > 0 || m_albumPhase == AlbumPhase::Running) {
        return;
    }
    if (m_albumPhase == AlbumPhase::NotStarted) {
        m_albumPhase = AlbumPhase::Done;
        if (m_albumLoudness.start(m_settings.jobs)) {
            m_albumPhase = AlbumPhase::Running;
            return;
        }
    }
    if (m_mirror == MirrorState::NotStarted && startMirror()) {
        return;
    }
    finishPass();
}

void ConversionControleur::finishPass() {
    m_statusConvertisseur = kStatusConvertisseurFini;
    arreterLaConversion();
    WorkFolder::removeForThisProcess();
    notifyDelegate();
    const QString upToDate =
        m_passUpToDate > 0 ? QStringLiteral(", %1 à jour").arg(m_passUpToDate) : QString();
    say(QStringLiteral("Conversion terminée : %1%2, %3 en erreur")
            .arg(m_passConverted == 1 ? QStringLiteral("1 converti")
                                      : QStringLiteral("%1 convertis").arg(m_passConverted),
                 upToDate)
            .arg(m_passFailed));
}

void ConversionControleur::trackConverted(const FichierAudioPtr& fichier, const JobResult& result) {
    const std::optional<ImageTrack>& track = fichier->imageTrack();
    if (!track || !m_settings.deleteSource || result.plan != ExportSession::Plan::Convert ||
        !result.sourceIdentity.exists()) {
        return;
    }
    const QString image = fichier->elementURL()->path();
    QList<DiscImageDeletion::Converted>& converted = m_convertedTracks[image];
    converted.append({track->firstSample, track->endSample, result.sourceIdentity});
    ++m_imageDeletions;
    ThreadHandoff::start(*QThreadPool::globalInstance(), [this, image, sheet = track->sheetPath,
                                                          tracks = converted,
                                                          alive = std::weak_ptr<int>(m_alive)] {
        const QString said = DiscImageDeletion::deleteIfWhole(image, sheet, tracks);
        ThreadHandoff::handOver();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, said, alive] {
                ThreadHandoff::takeOver();
                if (alive.expired()) {
                    return;
                }
                --m_imageDeletions;
                if (!said.isEmpty()) {
                    say(said);
                }
                endPassIfDone();
            },
            Qt::QueuedConnection);
    });
}

void ConversionControleur::noteFolders(const FichierAudioPtr& fichier) {
    const PersistentURLPtr source = fichier->elementURL();
    const PersistentURLPtr destination = fichier->destinationURL();
    if (!source || !destination) {
        return;
    }
    if (!fichier->rootFolder().isEmpty()) {
        m_passRoots.insert(fichier->rootFolder());
    }
    const QString outputFolder = QFileInfo(destination->path()).absolutePath();
    if (m_settings.copyCompanions &&
        m_settings.destination.kind == DestinationKind::TreeInChosenFolder) {
        m_companionFolders.insert(QFileInfo(source->path()).absolutePath(), outputFolder);
    }
    if (m_settings.coverFile && !m_folderCovers.contains(outputFolder)) {
        if (const ImagePtr picture = fichier->mainPictureCached(true)) {
            QString mimeType;
            const QByteArray cover = picture->coverData(&mimeType);
            if (!cover.isEmpty()) {
                m_folderCovers.insert(outputFolder, {outputFolder, source->path(), cover});
            }
        }
    }
}

bool ConversionControleur::startMirror() {
    m_mirror = MirrorState::Done;
    const bool companions = !m_companionFolders.isEmpty() || !m_folderCovers.isEmpty();
    const bool prune = m_settings.pruneOrphans && m_settings.destination.usesChosenFolder() &&
                       !m_passRoots.isEmpty();
    if (!companions && !prune) {
        return false;
    }
    LibraryMirror::Work work;
    work.dryRun = m_settings.dryRun;
    work.companionPatterns = m_settings.companionPatterns;
    work.destinationFolder = m_settings.destination.chosenFolder;
    // The records of each output folder, read once however many source
    // folders or covers go into it.
    QSet<QString> outputFolders;
    for (auto folder = m_companionFolders.cbegin(); folder != m_companionFolders.cend(); ++folder) {
        work.companionFolders << qMakePair(folder.key(), folder.value());
        outputFolders.insert(folder.value());
    }
    work.coverMaxSide = m_settings.coverMaxSide;
    for (const LibraryMirror::Work::CoverFile& cover : std::as_const(m_folderCovers)) {
        work.coverFiles << cover;
        outputFolders.insert(cover.outputFolder);
    }
    for (const QString& folder : std::as_const(outputFolders)) {
        work.companionRecords << m_records->companionRecordsIn(folder);
    }
    if (prune) {
        for (const QString& root : std::as_const(m_passRoots)) {
            work.pruneCandidates << m_records->outputRecordsFromFolder(root);
        }
    }
    m_mirror = MirrorState::Running;
    m_mirrorCancelled = std::make_shared<std::atomic<bool>>(false);
    say(QStringLiteral("Mise en ordre de la copie…"));
    ThreadHandoff::start(*QThreadPool::globalInstance(), [this, work, cancelled = m_mirrorCancelled,
                                                          alive = std::weak_ptr<int>(m_alive)] {
        const LibraryMirror::Result result = LibraryMirror::run(work, cancelled.get());
        ThreadHandoff::handOver();
        // Told on the main thread, where the controller alone is deleted.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, result, alive] {
                ThreadHandoff::takeOver();
                if (!alive.expired()) {
                    mirrorEnded(result);
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

void ConversionControleur::mirrorEnded(const LibraryMirror::Result& result) {
    if (!m_settings.dryRun) {
        m_store->beginTransaction();
        for (const OutputRecord& record : result.recorded) {
            m_records->saveOutputRecord(record);
        }
        for (const QString& output : result.forgotten) {
            m_records->forgetOutputRecord(output);
        }
        m_store->commitTransaction();
    }
    for (const QString& line : result.lines) {
        say(line);
    }
    for (const QString& error : result.errors) {
        ++m_passFailed;
        say(error);
    }
    if (m_mirror == MirrorState::Running) {
        m_mirror = MirrorState::Done;
        endPassIfDone();
    }
}

ExportRequest ConversionControleur::exportRequest(const FichierAudioPtr& fichier) const {
    ExportRequest request;
    request.destinationPath = fichier->destinationURL()->path();
    request.codec = m_settings.codec;
    request.sampleRate = m_settings.sampleRate;
    request.maxSampleRate = m_settings.maxSampleRate;
    request.maxBits = m_settings.maxBits;
    request.channels = m_settings.channels;
    request.quality = m_settings.quality;
    request.overwrite = m_settings.existing == ExistingOutput::Replace;
    request.update = m_settings.existing == ExistingOutput::Update;
    request.dryRun = m_settings.dryRun;
    request.encodingFingerprint = m_settings.encodingFingerprint();
    request.preserveModificationTime = m_settings.preserveDate;
    request.sourcePath = fichier->elementURL()->path();
    request.sourceBitsPerSample = fichier->inMetadataDict()->value(QStringLiteral("bps")).toInt();

    if (fichier->sourceTags().isEmpty()) {
        // Queued before its comments were kept: they are read now, so the
        // output still carries them.
        const TagList comments = FlacTagReader::readComments(request.sourcePath, m_tools.metaflac);
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
        const QString unreadable = unreadablePicturePath(*fichier, picture);
        const OutputCodec* codec = OutputCodec::find(m_settings.codec);
        if (!unreadable.isEmpty() && codec != nullptr &&
            codec->cover == OutputCodec::Cover::VorbisPicture) {
            // An Ogg picture block takes any kind of image: one this program
            // cannot open (AVIF, say) goes in as it is.
            request.coverData = pictureBytes(unreadable, &request.coverMimeType);
        }
        if (request.coverData.isEmpty()) {
            Log::write(QStringLiteral("%1 n'a pas d'image").arg(fichier->description()));
        }
        if (request.coverData.isEmpty() && !unreadable.isEmpty()) {
            const PersistentURLPtr embedded = fichier->imageTempURL();
            const QString name = embedded && unreadable == embedded->path()
                                     ? fichier->nomElement()
                                     : QFileInfo(unreadable).fileName();
            say(QStringLiteral("Image %1 illisible : pochette non copiée").arg(name));
        }
    }
    request.replayGain = m_settings.replayGain;
    request.applyGain = m_settings.applyGain;
    if (const auto prescanned = m_prescanned.constFind(fichier.get());
        prescanned != m_prescanned.cend()) {
        request.knownLoudness = prescanned->second;
    }
    request.id3Version = m_settings.id3Version;
    request.coverMaxSide = m_settings.coverMaxSide;
    request.tagsFingerprint = OutputFingerprint::tags(request.tags, request.coverData);
    const OutputCodec* output = OutputCodec::find(m_settings.codec);
    if (request.id3Version == 3 && output != nullptr && output->tags == OutputCodec::Tags::Id3) {
        // Another tag version is another output's tags.
        request.tagsFingerprint += QStringLiteral("|id3v2.3");
    }
    if (request.replayGain == ReplayGainMode::None) {
        request.tagsFingerprint += QStringLiteral("|no replaygain");
    }
    if (request.coverMaxSide > 0 && !request.coverData.isEmpty()) {
        request.tagsFingerprint += QStringLiteral("|cover %1").arg(request.coverMaxSide);
    }
    if (request.replayGain == ReplayGainMode::Scan) {
        request.tagsFingerprint = OutputFingerprint::withMeasuredLoudness(request.tagsFingerprint);
    }
    if (const std::optional<ImageTrack>& track = fichier->imageTrack()) {
        request.firstSample = track->firstSample;
        request.endSample = track->endSample;
    }
    return request;
}

QString ConversionControleur::unreadablePicturePath(FichierAudio& fichier,
                                                    const ImagePtr& picture) {
    // The picture a cover should have come from, when it could not be read.
    const PersistentURLPtr embedded = fichier.imageTempURL();
    if (picture && picture->kind() == Image::Kind::File) {
        return picture->name() == QLatin1String("Source flac") && embedded ? embedded->path()
                                                                           : picture->location();
    }
    if (embedded && fichier.imageAutoFind() != 0 &&
        !Image::byReferencingFile(embedded->path(), QString())->canRead()) {
        return embedded->path();
    }
    return QString();
}

QByteArray ConversionControleur::pictureBytes(const QString& path, QString* mimeType) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    const QByteArray bytes = file.readAll();
    const QMimeType type = QMimeDatabase().mimeTypeForData(bytes);
    if (!type.name().startsWith(QLatin1String("image/"))) {
        return QByteArray();
    }
    *mimeType = type.name();
    return bytes;
}

void ConversionControleur::startJob(const FichierAudioPtr& fichier) {
    reserveDestination(fichier);
    fichier->setStatusConversion(kStatusConvEncoursDecodage);
    if (m_delegate != nullptr) {
        m_delegate->fichierChange(this, fichier);
    }
    emit fileChanged(fichier);
    JobRequest request;
    request.displayName = fichier->nomElement();
    request.sourcePath = fichier->elementURL()->path();
    request.workFolder = WorkFolder::forThisProcess();
    request.serial = ++m_jobSerial;
    request.flacPath = m_tools.flac;
    request.preserveDate = m_settings.preserveDate;
    request.overwrite = m_settings.existing == ExistingOutput::Replace;
    request.compression = m_settings.compression;
    request.exportRequest = exportRequest(fichier);
    request.exportRequest.deleteSource = m_settings.deleteSource;
    request.exportRequest.temporaryJournal = temporaryJournal();
    if (request.exportRequest.update) {
        request.exportRequest.record =
            m_records->outputRecord(request.exportRequest.destinationPath);
    }
    request.stallTimeoutMs = m_stallTimeoutMs;
    if (const std::optional<ImageTrack>& track = fichier->imageTrack()) {
        request.firstSample = track->firstSample;
        request.endSample = track->endSample;
        // The image holds the other tracks too: a track never deletes it,
        // but its output is on the disk before the image may go.
        request.exportRequest.deleteSource = false;
        request.exportRequest.syncOutput = m_settings.deleteSource;
    }

    auto* job = new ConversionJob(request, this);
    m_jobs.insert(job, fichier);
    m_jobOrder.append(job);
    connect(job, &ConversionJob::message, this, [this](const QString& text) { say(text); });
    connect(job, &ConversionJob::encodingStarted, this, [this, job] { commencerEncodage(job); });
    connect(job, &ConversionJob::aboutToPublish, this, [this, job](const QString& partial) {
        if (const FichierAudioPtr published = m_jobs.value(job)) {
            m_publishing.insert(job);
            m_store->notePublication(published->sqliteid(), published->destinationURL()->path(),
                                     partial);
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
    emit fileChanged(fichier);
    notifyDelegate();
}

void ConversionControleur::jobEnded(ConversionJob* job, const JobResult& result) {
    const FichierAudioPtr fichier = m_jobs.take(job);
    m_jobOrder.removeAll(job);
    const bool publishing = m_publishing.remove(job);
    job->disconnect(this);
    job->disposeWhenIdle();
    if (!fichier) {
        return;
    }
    // Measured before the pass: the album values went in with the audio.
    if (m_settings.replayGain == ReplayGainMode::Scan && !m_settings.dryRun &&
        m_prescanned.isEmpty()) {
        m_albumLoudness.noteEnded(job->request().exportRequest, result);
    }
    switch (result.outcome) {
    case JobResult::Outcome::Converted:
        terminerFichier(fichier, result);
        break;
    case JobResult::Outcome::Failed:
        echouerFichier(fichier, result.reason);
        break;
    case JobResult::Outcome::Stopped:
        stopped(fichier, publishing);
        break;
    case JobResult::Outcome::UpToDate:
        foundUpToDate(fichier, result);
        break;
    case JobResult::Outcome::Planned:
        planned(fichier, result);
        break;
    }
    if (isRunning()) {
        m_statusConvertisseur = kStatusConvertisseurDecodage;
        convertirProchainFichier();
    }
}

void ConversionControleur::stopped(const FichierAudioPtr& fichier, bool publishing) {
    releaseDestination(fichier);
    fichier->setStatusConversion(kStatusConvPret);
    // A publishing the stop caught is settled later, once its thread has
    // ended: its row says where to look.
    if (!publishing) {
        m_store->forgetPublication(fichier->sqliteid());
    }
}

void ConversionControleur::terminerFichier(const FichierAudioPtr& fichier,
                                           const JobResult& result) {
    fichier->setStatusConversion(kStatusConvFiniOk);
    ++m_passConverted;
    fichier->setFailureReason(QString());
    if (!result.notice.isEmpty()) {
        say(result.notice);
    }
    if (result.outputSize > 0) {
        fichier->outMetadataDict()->insert(QStringLiteral("NSURLFileSizeKey"), result.outputSize);
    }
    noteEnd(fichier, result);
    noteFolders(fichier);
    trackConverted(fichier, result);
    m_store->beginTransaction();
    fichier->save();
    m_store->forgetPublication(fichier->sqliteid());
    m_store->commitTransaction();
    keepRecord(result);
    announceDone(fichier);
    say(QStringLiteral("Encodage de %1 terminé").arg(fichier->destinationURL()->fileName()));
}

void ConversionControleur::announceDone(const FichierAudioPtr& fichier) {
    if (m_delegate != nullptr) {
        m_delegate->fichierTermine(this, fichier);
    }
    emit fileChanged(fichier);
    if (m_settings.forgetWhenFinished && m_queue != nullptr) {
        m_queue->supprimerFichierAudio(fichier);
    }
}

void ConversionControleur::noteEnd(const FichierAudioPtr& fichier, const JobResult& result) {
    m_fileEnds.insert(fichier.get(), {result.outcome, result.plan});
}

std::optional<ConversionControleur::FileEnd>
ConversionControleur::fileEnd(const FichierAudioPtr& fichier) const {
    const auto end = m_fileEnds.constFind(fichier.get());
    if (end == m_fileEnds.constEnd()) {
        return std::nullopt;
    }
    return *end;
}

void ConversionControleur::keepRecord(const JobResult& result) {
    // The job was given what was stored: an output found in step writes nothing.
    if (result.record.isValid() && !m_settings.dryRun && result.record != result.storedRecord) {
        m_records->saveOutputRecord(result.record);
    }
}

void ConversionControleur::foundUpToDate(const FichierAudioPtr& fichier, const JobResult& result) {
    // Counted apart, and no error: the file is done as a converted one is.
    ++m_passUpToDate;
    noteEnd(fichier, result);
    noteFolders(fichier);
    fichier->setStatusConversion(kStatusConvFiniOk);
    fichier->setFailureReason(QString());
    fichier->save();
    keepRecord(result);
    announceDone(fichier);
}

void ConversionControleur::planned(const FichierAudioPtr& fichier, const JobResult& result) {
    // A dry run changes no file and no row: the file stays as it was.
    releaseDestination(fichier);
    noteEnd(fichier, result);
    noteFolders(fichier);
    fichier->setStatusConversion(kStatusConvPret);
    if (result.plan == ExportSession::Plan::UpToDate) {
        ++m_passUpToDate;
    } else {
        ++m_passConverted;
    }
    if (m_delegate != nullptr) {
        m_delegate->fichierTermine(this, fichier);
    }
    emit fileChanged(fichier);
}

void ConversionControleur::echouerFichier(const FichierAudioPtr& fichier, const QString& reason) {
    ++m_passFailed;
    m_fileEnds.insert(fichier.get(), {JobResult::Outcome::Failed, ExportSession::Plan::Convert});
    releaseDestination(fichier);
    fichier->setStatusConversion(kStatusConvFiniErreur);
    if (!reason.isEmpty()) {
        fichier->setFailureReason(reason);
    }
    fichier->save();
    m_store->forgetPublication(fichier->sqliteid());
    if (m_delegate != nullptr) {
        m_delegate->fichierTermine(this, fichier);
    }
    emit fileChanged(fichier);
}

void ConversionControleur::stopJobs(const QList<ConversionJob*>& jobs,
                                    const QHash<ConversionJob*, FichierAudioPtr>& files,
                                    bool leavingQueue) {
    for (ConversionJob* job : jobs) {
        const bool publishing = m_publishing.remove(job);
        job->disconnect(this);
        const FichierAudioPtr fichier = files.value(job);
        if (!leavingQueue) {
            // A job whose output is already final ends converted, even now.
            connect(job, &ConversionJob::ended, this,
                    [this, fichier, publishing](const JobResult& result) {
                        if (result.outcome == JobResult::Outcome::Converted) {
                            terminerFichier(fichier, result);
                        } else {
                            stopped(fichier, publishing);
                        }
                    });
        }
        job->stop();
        job->disconnect(this);
    }
}

void ConversionControleur::arreterLaConversion() {
    if (m_mirrorCancelled) {
        m_mirrorCancelled->store(true);
    }
    m_albumLoudness.stop();
    m_prescan.cancel();
    const QList<ConversionJob*> jobs = std::exchange(m_jobOrder, {});
    const QHash<ConversionJob*, FichierAudioPtr> files = std::exchange(m_jobs, {});
    m_statusConvertisseur = kStatusConvertisseurArrete;
    stopJobs(jobs, files, false);
    if (m_delegate != nullptr) {
        m_delegate->echoUserMessage(QStringLiteral("Conversion Terminée."));
    }
    emit passEnded(m_passConverted, m_passFailed);
}

void ConversionControleur::fichiersVontQuitterLaPile(const QList<FichierAudioPtr>& fichiers) {
    QList<ConversionJob*> leaving;
    QHash<ConversionJob*, FichierAudioPtr> files;
    for (ConversionJob* job : std::as_const(m_jobOrder)) {
        const FichierAudioPtr fichier = m_jobs.value(job);
        if (fichiers.contains(fichier)) {
            leaving << job;
            files.insert(job, fichier);
        }
    }
    for (ConversionJob* job : std::as_const(leaving)) {
        m_jobs.remove(job);
        m_jobOrder.removeAll(job);
    }
    // A file that leaves is never converted behind the user's back.
    stopJobs(leaving, files, true);
    for (const FichierAudioPtr& fichier : fichiers) {
        m_taken.remove(fichier.get());
    }
    if (!leaving.isEmpty() && isRunning()) {
        // Its place goes to the next file once the queue has let it go.
        QTimer::singleShot(0, this, [this] { convertirProchainFichier(); });
    }
}

void ConversionControleur::settlePendingPublications() {
    for (const QueueStore::Publication& row : m_store->pendingPublications()) {
        FichierAudioPtr record;
        bool inFlight = false;
        for (const FichierAudioPtr& queued :
             m_queue != nullptr ? m_queue->fichiersAudio() : QList<FichierAudioPtr>()) {
            if (queued->sqliteid() == row.afid) {
                record = queued;
            }
        }
        for (const FichierAudioPtr& file : std::as_const(m_jobs)) {
            inFlight = inFlight || file == record;
        }
        if (record && inFlight) {
            continue;
        }
        const QString partial = row.partial.isEmpty()
                                    ? PublishingJournal::legacyPartialPath(row.destination)
                                    : row.partial;
        const FileIdentity output = FileIdentity::of(row.destination);
        const FileIdentity left = FileIdentity::of(partial);
        // Linked but not yet unlinked, the partial file is the output itself.
        const bool published =
            output.exists() &&
            (!left.exists() || (left.device == output.device && left.inode == output.inode));
        if (left.exists() && TemporaryJournal::isTemporaryName(partial)) {
            FileManager::removeItem(partial);
        }
        if (record && published) {
            // The output reached its name before the program or the pass
            // ended: the file is converted. Its source is left alone.
            record->setStatusConversion(kStatusConvFiniOk);
            record->setFailureReason(QString());
            record->save();
            if (m_storedSettings != nullptr &&
                m_storedSettings->value(Settings::forgetWhenFinished) && m_queue != nullptr) {
                m_queue->supprimerFichierAudio(record);
            }
        }
        m_store->forgetPublication(row.afid);
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
    const double done = m_passConverted + m_passFailed + m_passUpToDate;
    const double total = done + m_jobOrder.size() + filesStillToTake();
    const float percent = total > 0 ? float((done + inFlight) * 100.0 / total) : 0.0f;
    return std::clamp(percent, 0.0f, 100.0f);
}

qint64 ConversionControleur::filesStillToTake() const {
    if (m_queue == nullptr) {
        return 0;
    }
    // The files a pass converts that it has not taken yet.
    const auto files = m_queue->fichiersAudio();
    return std::count_if(files.cbegin(), files.cend(), [this](const FichierAudioPtr& file) {
        return file->statusConversion() != kStatusConvFiniOk && !m_taken.contains(file.get());
    });
}

QString ConversionControleur::passMessage() const {
    const int done = m_passConverted + m_passFailed + m_passUpToDate;
    const QString upToDate =
        m_passUpToDate > 0 ? QStringLiteral(" · %1 à jour").arg(m_passUpToDate) : QString();
    return QStringLiteral("%1 en cours · %2/%3 terminés%4 · %5 en erreur")
        .arg(m_jobOrder.size())
        .arg(done)
        .arg(done + m_jobOrder.size() + filesStillToTake())
        .arg(upToDate)
        .arg(m_passFailed);
}

qint32 ConversionControleur::indexFichier() const {
    return qint32(m_taken.size());
}
