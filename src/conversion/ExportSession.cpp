#include "ExportSession.h"

#include "conversion/CoverSizing.h"
#include "conversion/FFmpegTranscoder.h"
#include "conversion/LoudnessScan.h"
#include "conversion/Mp3InfoFrame.h"
#include "conversion/OutputFingerprint.h"
#include "conversion/OutputTagWriter.h"
#include "conversion/TemporaryJournal.h"
#include "model/CodecQuality.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRandomGenerator>

#include <array>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
// An output shorter or longer than its input by more than this is broken.
constexpr double kDurationTolerance = 0.1;
// A folder another job removes as it is made is made again, this many times.
constexpr int kAttempts = 4;
constexpr int kClaimWaitMs = 3000;
constexpr int kClaimPollMs = 20;

// How many steps run, read by waitForAll() under the lock of its condition.
std::mutex g_runningMutex;
std::condition_variable g_runningChanged;
std::atomic<int> g_running{0};

void changeRunning(int delta) {
    {
        const std::lock_guard<std::mutex> lock(g_runningMutex);
        g_running.fetch_add(delta);
    }
    g_runningChanged.notify_all();
}

bool copyModificationTime(const QString& from, const QString& to) {
    struct stat source {};
    if (::stat(QFile::encodeName(from).constData(), &source) != 0) {
        return false;
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return ::utimensat(AT_FDCWD, QFile::encodeName(to).constData(), times, 0) == 0;
}

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}
} // namespace

ExportSession::ExportSession(ExportRequest request) : m_request(std::move(request)) {}

ExportSession::~ExportSession() {
    if (m_partialDescriptor >= 0) {
        ::close(m_partialDescriptor);
    }
}

int ExportSession::running() {
    const std::lock_guard<std::mutex> lock(g_runningMutex);
    return g_running;
}

bool ExportSession::waitForAll(int milliseconds) {
    std::unique_lock<std::mutex> lock(g_runningMutex);
    return g_runningChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                     [] { return g_running == 0; });
}

bool ExportSession::durationMatches(double expected, double written, double padding) {
    if (written < 0) {
        return false;
    }
    // Shorter is never the encoder's doing; longer only by its padding.
    return written >= expected - kDurationTolerance &&
           written <= expected + kDurationTolerance + padding;
}

QString ExportSession::errorText() const {
    QMutexLocker lock(&m_mutex);
    return m_error;
}

QString ExportSession::notice() const {
    QMutexLocker lock(&m_mutex);
    return m_notice;
}

QString ExportSession::partialPath() const {
    QMutexLocker lock(&m_mutex);
    return m_partialPath;
}

FlacStreamInfo ExportSession::sourceStream() const {
    QMutexLocker lock(&m_mutex);
    return m_sourceStream;
}

FileIdentity ExportSession::sourceIdentity() const {
    QMutexLocker lock(&m_mutex);
    return m_sourceIdentity;
}

ExportSession::Plan ExportSession::plan() const {
    return m_plan.load();
}

OutputRecord ExportSession::madeRecord() const {
    QMutexLocker lock(&m_mutex);
    return m_madeRecord;
}

void ExportSession::setStepEnded(StepEnded handler) {
    QMutexLocker lock(&m_mutex);
    m_stepEnded = std::move(handler);
}

bool ExportSession::fail(const QString& message) {
    QMutexLocker lock(&m_mutex);
    if (m_error.isEmpty()) {
        m_error = message;
    }
    return false;
}

void ExportSession::addNotice(const QString& text) {
    QMutexLocker lock(&m_mutex);
    m_notice = m_notice.isEmpty() ? text : m_notice + QLatin1Char('\n') + text;
}

void ExportSession::prepare() {
    runStep(Step::Prepare);
}

void ExportSession::exportDecoded(const QString& inputPath) {
    // No step runs between two steps: the request is the asking thread's.
    m_request.inputPath = inputPath;
    runStep(Step::Export);
}

void ExportSession::publish() {
    runStep(Step::Publish);
}

bool ExportSession::cancel() {
    QMutexLocker lock(&m_mutex);
    if (m_committed) {
        return false;
    }
    m_cancelled = true;
    m_stepEnded = nullptr;
    if (m_busy || m_cleaned) {
        return true;
    }
    lock.unlock();
    // Between steps: what the session made goes on a thread of its own.
    runStep(Step::CleanUp);
    return true;
}

void ExportSession::runStep(Step step) {
    {
        QMutexLocker lock(&m_mutex);
        if (m_busy) {
            return;
        }
        m_busy = true;
    }
    m_status = Status::Running;
    changeRunning(1);
    std::thread([self = shared_from_this(), step] { self->execute(step); }).detach();
}

void ExportSession::execute(Step step) {
    bool succeeded = false;
    if (!m_cancelled) {
        switch (step) {
        case Step::Prepare:
            succeeded = doPrepare();
            break;
        case Step::Export:
            succeeded = doExport();
            break;
        case Step::Publish:
            succeeded = doPublish();
            break;
        case Step::CleanUp:
            break;
        }
    }
    const bool committed = isCommitted();
    if (!committed && (m_cancelled || !succeeded)) {
        cleanUp();
    }
    if (committed) {
        m_status = Status::Completed;
    } else if (m_cancelled) {
        m_status = Status::Cancelled;
    } else if (!succeeded) {
        m_status = Status::Failed;
    } else {
        m_status = step == Step::Prepare  ? Status::Prepared
                   : step == Step::Export ? Status::Exported
                                          : Status::Completed;
    }
    {
        QMutexLocker lock(&m_mutex);
        m_busy = false;
        // Told under the lock: once cancel() or setStepEnded() has returned,
        // the handler's owner may go.
        if (m_stepEnded) {
            m_stepEnded();
        }
    }
    changeRunning(-1);
}

void ExportSession::exportSynchronously() {
    const std::array<Step, 3> steps = {Step::Prepare, Step::Export, Step::Publish};
    for (const Step step : steps) {
        m_busy = true;
        changeRunning(1);
        execute(step);
        if (status() == Status::Failed || status() == Status::Cancelled) {
            return;
        }
    }
}

bool ExportSession::doPrepare() {
    const QString source = m_request.sourcePath;
    // A rewrite of an output's tags needs nothing of its source, which may
    // be gone.
    if (!source.isEmpty() && !m_request.retagOnly) {
        // What is deleted at the end must be this very file.
        const FileIdentity identity = FileIdentity::of(source);
        {
            QMutexLocker lock(&m_mutex);
            m_sourceIdentity = identity;
        }
        if (!m_sourceIdentity.exists()) {
            return fail(QStringLiteral("Fichier %1 absent").arg(source));
        }
        if (!m_sourceIdentity.regularFile) {
            return fail(QStringLiteral("%1 n'est pas un fichier").arg(source));
        }
        const FlacStreamInfo stream = FlacStreamInfo::read(source);
        m_audioSignature =
            OutputFingerprint::audio(stream.md5, m_request.firstSample, m_request.endSample);
        QMutexLocker lock(&m_mutex);
        m_sourceStream = stream;
    }
    const QString folder = QFileInfo(m_request.destinationPath).absolutePath();
    const auto exists = [this] { return FileManager::fileExists(m_request.destinationPath); };
    if (m_request.dryRun) {
        // Nothing is claimed, made or written.
        return m_request.overwrite || !exists() || planForExisting();
    }
    if (!claimDestination(folder)) {
        return false;
    }
    if (m_request.retagOnly) {
        if (!exists()) {
            return fail(
                QStringLiteral("Le fichier %1 a disparu").arg(fileName(m_request.destinationPath)));
        }
        m_plan = Plan::RewriteTags;
        m_replacing = true;
        return createPartial(folder);
    }
    if (!m_request.overwrite && exists()) {
        if (!planForExisting()) {
            return false;
        }
        if (m_plan == Plan::UpToDate) {
            m_claim.release();
            return true;
        }
    }
    return createPartial(folder);
}

bool ExportSession::planForExisting() {
    const QString destination = m_request.destinationPath;
    const QString exists = QStringLiteral("Le fichier %1 existe déjà").arg(fileName(destination));
    if (!m_request.update) {
        return fail(exists);
    }
    const OutputRecord& record = m_request.record;
    if (!record.isValid()) {
        // Made by another program, or its record lost: taken as it is only
        // when it is plainly a conversion of this source.
        if (!unrecordedOutputMatches()) {
            return fail(exists + QStringLiteral(" et n'a pas été fait de cette source"));
        }
        m_plan = Plan::UpToDate;
        recordAs(FileIdentity::of(destination));
        return true;
    }
    // A stream without a signature is taken as unchanged while its size and
    // date are.
    const bool sameAudio = !m_audioSignature.isEmpty()
                               ? m_audioSignature == record.audioSignature
                               : record.sourceSize == m_sourceIdentity.size &&
                                     record.sourceModifiedNs == m_sourceIdentity.modifiedNs;
    if (!sameAudio || record.encodingFingerprint != m_request.encodingFingerprint) {
        m_plan = Plan::Convert;
        m_replacing = true;
        return true;
    }
    if (record.tagsFingerprint != m_request.tagsFingerprint) {
        const OutputCodec* codec = OutputCodec::find(m_request.codec);
        // A gain taken from the tags scales the audio: new tags, new audio.
        const bool gainFromTags =
            m_request.applyGain != ApplyGain::None && m_request.replayGain == ReplayGainMode::Copy;
        // A loudness to measure is measured on the decoded audio.
        const bool toMeasure = OutputFingerprint::hasMeasuredLoudness(m_request.tagsFingerprint) &&
                               !OutputFingerprint::hasMeasuredLoudness(record.tagsFingerprint);
        m_plan =
            codec != nullptr && OutputTagWriter::canRewrite(*codec) && !gainFromTags && !toMeasure
                ? Plan::RewriteTags
                : Plan::Convert;
        m_replacing = true;
        return true;
    }
    m_plan = Plan::UpToDate;
    if (m_audioSignature.isEmpty()) {
        m_audioSignature = record.audioSignature;
    }
    recordAs(FileIdentity::of(destination));
    return true;
}

bool ExportSession::unrecordedOutputMatches() {
    const FileIdentity output = FileIdentity::of(m_request.destinationPath);
    const FlacStreamInfo stream = sourceStream();
    if (output.modifiedNs <= m_sourceIdentity.modifiedNs || stream.sampleRate <= 0) {
        return false;
    }
    const double seconds =
        m_request.endSample > m_request.firstSample
            ? double(m_request.endSample - m_request.firstSample) / stream.sampleRate
            : stream.seconds();
    const OutputCodec* codec = OutputCodec::find(m_request.codec);
    // An encoder's delay and last frame, at most.
    const double padding = codec != nullptr && codec->lossless ? 0.0 : 0.1;
    return durationMatches(seconds, FFmpegTranscoder::probeDuration(m_request.destinationPath),
                           padding);
}

void ExportSession::recordAs(const FileIdentity& output) {
    if (m_request.retagOnly) {
        // The same output with other tags: what it was made from stays.
        OutputRecord record = m_request.record;
        record.outputSize = output.size;
        record.outputModifiedNs = output.modifiedNs;
        QMutexLocker lock(&m_mutex);
        m_madeRecord = m_request.record.isValid() ? record : OutputRecord();
        return;
    }
    OutputRecord record;
    record.output = m_request.destinationPath;
    record.source = m_request.sourcePath;
    record.sourceSize = m_sourceIdentity.size;
    record.sourceModifiedNs = m_sourceIdentity.modifiedNs;
    record.audioSignature = m_audioSignature;
    record.tagsFingerprint = m_request.tagsFingerprint;
    record.encodingFingerprint = m_request.encodingFingerprint;
    record.outputSize = output.size;
    record.outputModifiedNs = output.modifiedNs;
    QMutexLocker lock(&m_mutex);
    m_madeRecord = record;
}

bool ExportSession::replacesExisting() const {
    return m_request.overwrite || m_replacing;
}

bool ExportSession::claimDestination(const QString& folder) {
    TemporaryJournal::add(m_request.temporaryJournal,
                          DestinationClaim::lockPath(m_request.destinationPath));
    QString error;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!FileManager::ensureDirectory(folder, &error, &m_createdFolders)) {
            return fail(
                QStringLiteral("Impossible de créer le dossier %1 : %2").arg(folder, error));
        }
        switch (m_claim.claim(m_request.destinationPath, &error)) {
        case DestinationClaim::Result::Claimed:
            return true;
        case DestinationClaim::Result::Busy:
            if (!waitForClaim()) {
                return fail(
                    QStringLiteral("Le fichier %1 est en cours d'écriture par un autre programme")
                        .arg(fileName(m_request.destinationPath)));
            }
            return true;
        case DestinationClaim::Result::Failed:
            // Made again when another job took it away as it emptied it.
            if (FileManager::fileExists(folder)) {
                return fail(QStringLiteral("Impossible d'écrire dans %1 : %2").arg(folder, error));
            }
            break;
        }
    }
    return fail(QStringLiteral("Impossible d'écrire dans %1 : %2").arg(folder, error));
}

bool ExportSession::waitForClaim() {
    // A claim about to go (a stopped job cleaning up, another program's
    // last file) is waited for a moment; one held longer is another's work.
    for (int waited = 0; waited < kClaimWaitMs && !m_cancelled; waited += kClaimPollMs) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kClaimPollMs));
        if (m_claim.claim(m_request.destinationPath) == DestinationClaim::Result::Claimed) {
            return true;
        }
    }
    return false;
}

bool ExportSession::createPartial(const QString& folder) {
    const QString extension = QFileInfo(m_request.destinationPath).suffix();
    int failure = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Short whatever the destination's name, and a name no other process
        // takes: created only if nothing bears it yet.
        const QString path = folder + QStringLiteral("/.tmp_") +
                             QString::number(QRandomGenerator::global()->generate64(), 16) +
                             QLatin1Char('.') + extension;
        TemporaryJournal::add(m_request.temporaryJournal, path);
        const int descriptor = ::open(QFile::encodeName(path).constData(),
                                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            QMutexLocker lock(&m_mutex);
            m_partialDescriptor = descriptor;
            m_partialPath = path;
            return true;
        }
        failure = errno;
        if (failure == ENOENT) {
            FileManager::ensureDirectory(folder, nullptr, &m_createdFolders);
        } else if (failure != EEXIST) {
            break;
        }
    }
    return fail(QStringLiteral("Impossible de créer un fichier dans %1 : %2")
                    .arg(folder, FileManager::errorText(failure)));
}

QString ExportSession::folderGoneReason() const {
    const QString folder = QFileInfo(m_request.destinationPath).absolutePath();
    if (FileManager::fileExists(folder)) {
        return QString();
    }
    return QStringLiteral("Le dossier %1 a disparu pendant la conversion").arg(folder);
}

bool ExportSession::writeTags(const ReplayGainValues& loudness, bool scaled,
                              const QString& itunesGapless) {
    const OutputCodec* codec = OutputCodec::find(m_request.codec);
    if (codec == nullptr) {
        return true;
    }
    const bool opus = CodecQuality::familyOf(*codec) == CodecQuality::Family::Opus;
    OutputTagWriter::AudioStatement audio;
    audio.itunesGapless = itunesGapless;
    // The encoder wrote a gain of 0 dB into the header.
    if (opus && loudness.opusOutputGain() != 0) {
        audio.opusOutputGain = loudness.opusOutputGain();
    }
    QString error;
    if (!OutputTagWriter::write(m_partialPath, *codec, tagsWith(loudness, opus, scaled), &error,
                                m_request.id3Version, audio) ||
        (CodecQuality::familyOf(*codec) == CodecQuality::Family::Mp3 &&
         !Mp3InfoFrame::signAsLame(m_partialPath, &error))) {
        return fail(error);
    }
    return true;
}

TagList ExportSession::tagsWith(const ReplayGainValues& loudness, bool opus, bool scaled) const {
    // Copied values go as the source wrote them, unless Opus needs them as
    // its own or the audio they describe was scaled.
    if (m_request.replayGain == ReplayGainMode::Copy && !opus && !scaled) {
        return m_request.tags;
    }
    return loudness.appliedTo(m_request.tags, opus);
}

ReplayGainValues ExportSession::loudnessKnownBeforehand() const {
    switch (m_request.replayGain) {
    case ReplayGainMode::Copy:
        return ReplayGainValues::fromTags(m_request.tags);
    case ReplayGainMode::Scan:
        return m_request.knownLoudness;
    case ReplayGainMode::None:
        break;
    }
    return ReplayGainValues();
}

bool ExportSession::scansBeforeEncoding(const OutputCodec* codec) const {
    // A gain applied to the audio must be known before it is encoded.
    return m_request.replayGain == ReplayGainMode::Scan && m_request.knownLoudness.isEmpty() &&
           m_request.applyGain != ApplyGain::None && codec != nullptr && !codec->lossless;
}

double ExportSession::appliedGainDb() const {
    QMutexLocker lock(&m_mutex);
    return m_appliedGainDb;
}

std::shared_ptr<const LoudnessScan> ExportSession::loudness() const {
    QMutexLocker lock(&m_mutex);
    return m_scan;
}

void ExportSession::keepScan(std::shared_ptr<const LoudnessScan> scan, double appliedGainDb) {
    QMutexLocker lock(&m_mutex);
    m_scan = std::move(scan);
    m_appliedGainDb = appliedGainDb;
}

bool ExportSession::checkDuration(const QString& path, double expected, double padding) {
    const double written = FFmpegTranscoder::probeDuration(path);
    if (durationMatches(expected, written, padding)) {
        return true;
    }
    return fail(QStringLiteral("durée écrite %1 s au lieu de %2 s")
                    .arg(QString::number(written, 'f', 3), QString::number(expected, 'f', 3)));
}

bool ExportSession::doExport() {
    if (m_plan == Plan::RewriteTags) {
        return doRewriteTags();
    }
    if (m_audioSignature.isEmpty()) {
        m_audioSignature = OutputFingerprint::decodedAudio(m_request.inputPath);
    }
    const OutputCodec* codec = OutputCodec::find(m_request.codec);
    ReplayGainValues loudness = loudnessKnownBeforehand();
    std::shared_ptr<const LoudnessScan> scan;
    if (scansBeforeEncoding(codec)) {
        QString error;
        scan = LoudnessScan::scanFile(m_request.inputPath, 0, 0, m_cancelled, &error);
        if (!scan) {
            return m_cancelled ? false : fail(error);
        }
        loudness = ReplayGainValues::measured(*scan);
    }
    const double gain =
        codec != nullptr && !codec->lossless ? loudness.gainToApply(m_request.applyGain) : 0.0;
    bool completed = false;
    QString gapless;
    {
        FFmpegTranscoder transcoder(withSizedCover(), m_cancelled, &m_samplesRead);
        transcoder.setGain(gain);
        completed = transcoder.run(m_partialPath);
        if (transcoder.loudness()) {
            scan = transcoder.loudness();
            loudness = ReplayGainValues::measured(*scan);
        }
        if (!transcoder.notice().isEmpty()) {
            addNotice(transcoder.notice());
        }
        if (!completed) {
            fail(transcoder.error());
        }
        m_inputSeconds = transcoder.inputSeconds();
        m_paddingSeconds = transcoder.paddingSeconds();
        gapless = transcoder.itunesGapless();
    }
    if (m_cancelled) {
        return false;
    }
    keepScan(scan, gain);
    completed = completed && writeTags(loudness.scaledBy(gain), gain != 0.0, gapless) &&
                checkDuration(m_partialPath, m_inputSeconds, m_paddingSeconds);
    if (completed && m_request.preserveModificationTime && !m_request.sourcePath.isEmpty()) {
        copyModificationTime(m_request.sourcePath, m_partialPath);
    }
    // On the disk before it takes the destination's name when its source is
    // to go: a power cut can then never leave a deleted source and an output
    // whose data was lost. A kept source is the copy a lost output comes back
    // from, and the disk is left to write at its own pace.
    if (completed && (m_request.deleteSource || m_request.syncOutput) &&
        ::fsync(m_partialDescriptor) != 0) {
        completed =
            fail(QStringLiteral("Écriture de %1 sur le disque impossible : %2")
                     .arg(fileName(m_request.destinationPath), FileManager::errorText(errno)));
    }
    if (!completed) {
        const QString gone = folderGoneReason();
        if (!gone.isEmpty()) {
            QMutexLocker lock(&m_mutex);
            m_error = gone;
        }
        return false;
    }
    m_partialIdentity = FileIdentity::ofDescriptor(m_partialDescriptor);
    return true;
}

ExportRequest ExportSession::withSizedCover() const {
    ExportRequest sized = m_request;
    sized.coverData =
        CoverSizing::fit(m_request.coverData, &sized.coverMimeType, m_request.coverMaxSide);
    return sized;
}

bool ExportSession::doRewriteTags() {
    // The output is copied, its tags and cover replaced in the copy, and the
    // copy published over it: its audio frames are the same bytes, and a
    // failure leaves the output as it was.
    const QString destination = m_request.destinationPath;
    QFile from(destination);
    QFile to;
    if (!from.open(QIODevice::ReadOnly) ||
        !to.open(m_partialDescriptor, QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
        return fail(QStringLiteral("Lecture de %1 impossible").arg(fileName(destination)));
    }
    constexpr qint64 kChunk = 1 << 20;
    while (!from.atEnd()) {
        const QByteArray chunk = from.read(kChunk);
        if (m_cancelled || chunk.isEmpty() || to.write(chunk) != chunk.size()) {
            return m_cancelled ? false
                               : fail(QStringLiteral("Copie de %1 impossible : %2")
                                          .arg(fileName(destination), to.errorString()));
        }
    }
    to.close();
    const OutputCodec* codec = OutputCodec::find(m_request.codec);
    const ExportRequest sized = withSizedCover();
    const ReplayGainValues loudness = loudnessKnownBeforehand();
    const bool opus =
        codec != nullptr && CodecQuality::familyOf(*codec) == CodecQuality::Family::Opus;
    TagList tags = tagsWith(loudness, opus, false);
    const bool keepsMeasure = m_request.replayGain == ReplayGainMode::Scan && loudness.isEmpty();
    if (keepsMeasure) {
        // Only the tags changed: the loudness measured from the same audio
        // stays, and so does an Opus header's gain.
        const TagList measured = OutputTagWriter::loudnessTags(destination);
        for (const TagList::Entry& entry : measured.entries()) {
            tags.append(entry.name, entry.value);
        }
    }
    OutputTagWriter::AudioStatement audio;
    if (opus && !keepsMeasure) {
        audio.opusOutputGain = loudness.opusOutputGain();
    }
    QString error;
    if (codec == nullptr ||
        !OutputTagWriter::rewrite(m_partialPath, *codec, tags, sized.coverData, sized.coverMimeType,
                                  &error, sized.id3Version, audio)) {
        return fail(error.isEmpty() ? QStringLiteral("écriture des tags impossible") : error);
    }
    m_inputSeconds = FFmpegTranscoder::probeDuration(destination);
    m_paddingSeconds = 0.0;
    if (!checkDuration(m_partialPath, m_inputSeconds, m_paddingSeconds)) {
        return false;
    }
    if (m_request.preserveModificationTime && !m_request.sourcePath.isEmpty()) {
        copyModificationTime(m_request.sourcePath, m_partialPath);
    }
    m_partialIdentity = FileIdentity::ofDescriptor(m_partialDescriptor);
    return true;
}

bool ExportSession::linkOntoDestination() {
    const QString destination = m_request.destinationPath;
    const QByteArray from = QFile::encodeName(m_partialPath);
    const QByteArray to = QFile::encodeName(destination);
    const QString exists = QStringLiteral("Le fichier %1 existe déjà").arg(fileName(destination));
    if (replacesExisting()) {
        if (::rename(from.constData(), to.constData()) != 0) {
            return fail(FileManager::errorText(errno));
        }
        m_published = true;
        return true;
    }
    // A hard link never replaces an existing file: the user's file is kept
    // even when it appeared while the export ran.
    if (::link(from.constData(), to.constData()) == 0) {
        m_published = true;
        ::unlink(from.constData());
        return true;
    }
    if (errno == EEXIST) {
        return fail(exists);
    }
    // File systems without hard links (FAT, exFAT).
    if (FileManager::fileExists(destination)) {
        return fail(exists);
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        return fail(FileManager::errorText(errno));
    }
    m_published = true;
    return true;
}

bool ExportSession::checkPublished() {
    // The file under the destination's name must be the one written here,
    // whole: another program may have put its own there since.
    const FileIdentity published = FileIdentity::of(m_request.destinationPath);
    const bool ours = published.exists() && published.device == m_partialIdentity.device &&
                      published.inode == m_partialIdentity.inode &&
                      published.size == m_partialIdentity.size;
    if (!ours) {
        m_published = false;
        return fail(QStringLiteral("Le fichier %1 a changé après sa publication : la source est "
                                   "gardée")
                        .arg(fileName(m_request.destinationPath)));
    }
    m_outputSize = published.size;
    return checkDuration(m_request.destinationPath, m_inputSeconds, m_paddingSeconds);
}

void ExportSession::deleteSourceIfUnchanged() {
    const QString source = m_request.sourcePath;
    // Only a source converted now: never one whose output was only retagged.
    if (!m_request.deleteSource || source.isEmpty() || m_plan != Plan::Convert) {
        return;
    }
    if (!FileIdentity::of(source).sameFileAs(m_sourceIdentity)) {
        addNotice(QStringLiteral("%1 a changé pendant sa conversion : il n'est pas supprimé")
                      .arg(source));
        return;
    }
    QString error;
    if (!FileManager::removeItem(source, &error)) {
        Log::write(QStringLiteral("Impossible de supprimer %1\n%2").arg(source, error));
        return;
    }
    FileManager::syncFolder(QFileInfo(source).absolutePath());
}

bool ExportSession::doPublish() {
    if (!linkOntoDestination()) {
        return false;
    }
    QString error;
    if ((m_request.deleteSource || m_request.syncOutput) &&
        !FileManager::syncFolder(QFileInfo(m_request.destinationPath).absolutePath(), &error)) {
        return fail(QStringLiteral("Écriture de %1 sur le disque impossible : %2")
                        .arg(fileName(m_request.destinationPath), error));
    }
    if (!checkPublished()) {
        return false;
    }
    {
        // From here on the output is final: a stop no longer takes it back.
        QMutexLocker lock(&m_mutex);
        if (m_cancelled) {
            return false;
        }
        m_committed = true;
    }
    recordAs(FileIdentity::of(m_request.destinationPath));
    deleteSourceIfUnchanged();
    m_claim.release();
    ::close(m_partialDescriptor);
    m_partialDescriptor = -1;
    return true;
}

bool ExportSession::isCommitted() const {
    QMutexLocker lock(&m_mutex);
    return m_committed;
}

void ExportSession::takeBackPublished() {
    // Only the very file this session published: never another's.
    const FileIdentity published = FileIdentity::of(m_request.destinationPath);
    if (published.exists() && published.device == m_partialIdentity.device &&
        published.inode == m_partialIdentity.inode) {
        ::unlink(QFile::encodeName(m_request.destinationPath).constData());
    }
    m_published = false;
}

void ExportSession::cleanUp() {
    if (m_published) {
        takeBackPublished();
    }
    if (m_partialDescriptor >= 0) {
        ::close(m_partialDescriptor);
        m_partialDescriptor = -1;
    }
    if (!m_partialPath.isEmpty()) {
        ::unlink(QFile::encodeName(m_partialPath).constData());
    }
    m_claim.release();
    FileManager::removeEmptyFolders(m_createdFolders);
    m_createdFolders.clear();
    QMutexLocker lock(&m_mutex);
    m_cleaned = true;
}
