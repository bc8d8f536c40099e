#include "ConversionJob.h"

#include "conversion/CodecTable.h"
#include "conversion/ExportSession.h"
#include "conversion/FlacTagReader.h"
#include "model/OutputCodec.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/ThreadHandoff.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <csignal>
#include <sys/statvfs.h>

namespace {
// Decoding is fast; most of a file's time goes to encoding.
constexpr double kDecodingShare = 0.15;

void ensureFolder(const QString& folder) {
    QString error;
    if (!FileManager::ensureDirectory(folder, &error)) {
        Log::write(QStringLiteral("Impossible de créer %1\n%2").arg(folder, error));
    }
}

qint64 freeBytes(const QString& folder) {
    struct statvfs info {};
    if (::statvfs(QFile::encodeName(folder).constData(), &info) != 0) {
        return -1;
    }
    return qint64(info.f_bavail) * qint64(info.f_frsize);
}
} // namespace

ConversionJob::ConversionJob(JobRequest request, QObject* parent)
    : QObject(parent), m_request(std::move(request)) {
    m_watchdog.setInterval(250);
    connect(&m_watchdog, &QTimer::timeout, this, &ConversionJob::watch);
}

ConversionJob::~ConversionJob() {
    if (m_session) {
        // Never joined: a session left behind cleans up on its own thread.
        m_session->setStepEnded(nullptr);
        m_session->cancel();
    }
}

QStringList ConversionJob::decodingArguments(const QString& source, const QString& decoded,
                                             bool preserveDate, bool overwrite, qint64 compression,
                                             const FlacStreamInfo& stream, qint64 firstSample,
                                             qint64 endSample) {
    QStringList arguments = {QStringLiteral("-d"), source, QStringLiteral("-o"), decoded,
                             QStringLiteral("-s")};
    arguments << (preserveDate ? QStringLiteral("--preserve-modtime")
                               : QStringLiteral("--no-preserve-modtime"));
    if (overwrite) {
        arguments << QStringLiteral("--force");
    }
    // The sample rate, bit rate and channel count are the export's business:
    // flac refuses them when decoding. The source is never handed to flac for
    // deletion: it goes only once its output exists.
    if (compression >= 0) {
        arguments << QStringLiteral("-%1").arg(quint64(compression));
    }
    if (stream.ogg) {
        arguments << QStringLiteral("--ogg");
    }
    if (!stream.lengthKnown()) {
        arguments << QStringLiteral("--force-rf64-format");
    }
    if (endSample > firstSample) {
        // flac seeks to the first sample: the range alone is decoded.
        arguments << QStringLiteral("--skip=%1").arg(firstSample)
                  << QStringLiteral("--until=%1").arg(endSample);
    }
    return arguments;
}

QString ConversionJob::decodedFileName(quint64 serial, const FlacStreamInfo& stream) {
    return QString::number(serial) +
           (stream.lengthKnown() ? QStringLiteral(".aif") : QStringLiteral(".wav"));
}

qint64 ConversionJob::decodeTimeLimitMs(quint64 totalSamples, int sampleRate, qint64 fileSize) {
    constexpr qint64 kBaseMs = 60000;
    if (sampleRate > 0 && totalSamples > 0) {
        // Twice the music's own length: flac decodes a hundred times faster.
        return kBaseMs + qint64(totalSamples * 2000 / quint64(sampleRate));
    }
    // No length stated: a second per 100 kB, more than any FLAC stream needs.
    return kBaseMs + fileSize / 100;
}

void ConversionJob::start() {
    emit message(QStringLiteral("Decodage ") + m_request.displayName);
    ExportRequest exportRequest = m_request.exportRequest;
    exportRequest.sourcePath = m_request.sourcePath;
    m_session = std::make_shared<ExportSession>(exportRequest);
    m_session->setStepEnded([this] {
        ThreadHandoff::handOver();
        QMetaObject::invokeMethod(this, &ConversionJob::sessionStepEnded, Qt::QueuedConnection);
    });
    m_session->prepare();
}

void ConversionJob::sessionStepEnded() {
    ThreadHandoff::takeOver();
    if (m_ended || !m_session) {
        return;
    }
    switch (m_session->status()) {
    case ExportSession::Status::Prepared:
        preparedAs(m_session->plan());
        break;
    case ExportSession::Status::Exported:
        m_phase = Phase::Publishing;
        emit aboutToPublish(m_session->partialPath());
        m_session->publish();
        break;
    case ExportSession::Status::Completed:
        // The controller says it is done once the file's end is recorded.
        finish(converted());
        break;
    case ExportSession::Status::Failed:
        sessionFailed();
        break;
    default:
        break;
    }
}

JobResult ConversionJob::converted() const {
    JobResult result;
    result.outcome = JobResult::Outcome::Converted;
    result.notice = m_session->notice();
    result.outputSize = m_session->outputSize();
    result.plan = m_session->plan();
    result.record = m_session->madeRecord();
    result.sourceIdentity = m_session->sourceIdentity();
    result.loudness = m_session->loudness();
    result.appliedGainDb = m_session->appliedGainDb();
    return result;
}

void ConversionJob::preparedAs(ExportSession::Plan plan) {
    JobResult result;
    result.plan = plan;
    if (m_request.exportRequest.dryRun || plan == ExportSession::Plan::UpToDate) {
        result.outcome = m_request.exportRequest.dryRun ? JobResult::Outcome::Planned
                                                        : JobResult::Outcome::UpToDate;
        result.record = m_session->madeRecord();
        finish(result);
        return;
    }
    if (plan == ExportSession::Plan::RewriteTags) {
        // Nothing to decode: the session rewrites a copy of the output.
        m_phase = Phase::Encoding;
        emit encodingStarted();
        m_session->exportDecoded(QString());
        return;
    }
    startDecoding();
}

void ConversionJob::sessionFailed() {
    const QString error = m_session->errorText();
    if (m_phase == Phase::Preparing) {
        fail(error, error);
        return;
    }
    const QString name = QFileInfo(m_request.exportRequest.destinationPath).fileName();
    const QString text = QStringLiteral("Encodage de %1 impossible").arg(name);
    Log::write(QStringLiteral("export failed\n%1").arg(error));
    fail(text, text + QLatin1Char('\n') + error);
}

void ConversionJob::sayRateChange() {
    const ExportRequest& exportRequest = m_request.exportRequest;
    const OutputCodec* codec = OutputCodec::find(exportRequest.codec);
    const QString notice =
        codec != nullptr
            ? CodecTable::rateNotice(*codec, exportRequest.sampleRate, m_stream.sampleRate)
            : QString();
    if (!notice.isEmpty()) {
        emit message(notice);
    }
}

void ConversionJob::startDecoding() {
    m_phase = Phase::Decoding;
    m_stream = m_session->sourceStream();
    m_decodedPath =
        m_request.workFolder + QLatin1Char('/') + decodedFileName(m_request.serial, m_stream);
    removeDecoded();
    ensureFolder(m_request.workFolder);
    sayRateChange();
    m_runLimitMs = decodeTimeLimitMs(m_stream.totalSamples, m_stream.sampleRate,
                                     QFileInfo(m_request.sourcePath).size());
    auto* process = new QProcess(this);
    process->setProcessEnvironment(FlacTagReader::toolEnvironment());
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, &ConversionJob::decodingEnded);
    // Queued: a program that cannot start ends the job after this call has
    // returned, never inside it.
    connect(
        process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart && !m_ended) {
                const QString reason =
                    QStringLiteral("Programme %1 introuvable").arg(QStringLiteral("flac"));
                fail(reason, reason);
            }
        },
        Qt::QueuedConnection);
    m_process = process;
    if (m_request.flacPath.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [process] { emit process->errorOccurred(QProcess::FailedToStart); },
            Qt::QueuedConnection);
        return;
    }
    process->start(m_request.flacPath,
                   decodingArguments(m_request.sourcePath, m_decodedPath, m_request.preserveDate,
                                     m_request.overwrite, m_request.compression, m_stream,
                                     m_request.firstSample, m_request.endSample));
    m_sinceStart.start();
    m_sinceProgress.start();
    m_watchdog.start();
}

void ConversionJob::decodingEnded(int exitCode, QProcess::ExitStatus exitStatus) {
    m_watchdog.stop();
    if (m_ended) {
        return;
    }
    if (exitStatus == QProcess::NormalExit && exitCode == 0) {
        m_phase = Phase::Encoding;
        emit encodingStarted();
        emit message(QStringLiteral("Encodage de %1")
                         .arg(QFileInfo(m_request.exportRequest.destinationPath).fileName()));
        m_session->exportDecoded(m_decodedPath);
        return;
    }
    const QString errorText = QString::fromUtf8(m_process->readAllStandardError()).trimmed();
    if (exitStatus == QProcess::NormalExit && cacheTooSmall(errorText)) {
        Log::write(QStringLiteral("Erreur Decodage %1").arg(errorText));
        const QString reason =
            QStringLiteral("Le cache %1 est plein : le son décodé de %2 n'a pas pu y être écrit")
                .arg(QFileInfo(m_request.workFolder).absolutePath(), m_request.displayName);
        fail(reason, reason);
        return;
    }
    // The person reads what went wrong; the tool's own words go to the log.
    Log::write(QStringLiteral("flac : %1").arg(errorText));
    const QString reason =
        QStringLiteral("Erreur Decodage : %1")
            .arg(exitStatus != QProcess::NormalExit ? QStringLiteral("flac interrompu")
                                                    : decodingFailure(errorText, m_stream));
    fail(reason, reason);
}

QString ConversionJob::decodingFailure(const QString& flacErrors, const FlacStreamInfo& stream) {
    const auto said = [&flacErrors](const char* text) {
        return flacErrors.contains(QLatin1String(text), Qt::CaseInsensitive);
    };
    if (!stream.otherFormat.isEmpty()) {
        return QStringLiteral("ce n'est pas un fichier FLAC mais un fichier %1")
            .arg(stream.otherFormat);
    }
    if (said("MD5 signature mismatch")) {
        return QStringLiteral("le son décodé ne correspond pas à sa signature MD5 : le fichier "
                              "est abîmé");
    }
    if (!stream.isValid() && (said("not a FLAC file") || said("does not appear to be") ||
                              said("NOT_A_FLAC_FILE") || said("STREAM_DECODER_ERROR"))) {
        return QStringLiteral("ce n'est pas un fichier FLAC");
    }
    if (said("BAD_HEADER") || said("FRAME_CRC_MISMATCH") || said("UNPARSEABLE_STREAM") ||
        said("BAD_METADATA")) {
        return QStringLiteral("le fichier FLAC est abîmé : une partie n'est pas lisible");
    }
    if (said("LOST_SYNC") || said("END_OF_STREAM") || said("unexpected EOF")) {
        return QStringLiteral("le fichier FLAC est tronqué : il s'arrête avant la fin de sa "
                              "musique");
    }
    if (said("reading metadata") || said("ERROR while decoding metadata")) {
        return QStringLiteral("l'en-tête du fichier FLAC est illisible");
    }
    return QStringLiteral("flac n'a pas pu décoder le fichier");
}

bool ConversionJob::cacheTooSmall(const QString& flacErrors) const {
    // flac says only that writing stopped; the decoded audio not fitting in
    // what the cache has free tells why (flac has removed its part by now).
    if (!flacErrors.contains(QLatin1String("ABORTED")) || !m_stream.lengthKnown()) {
        return false;
    }
    const qint64 needed =
        qint64(m_stream.totalSamples) * m_stream.channels * ((m_stream.bitsPerSample + 7) / 8);
    const qint64 available = freeBytes(m_request.workFolder);
    return available >= 0 && available < needed;
}

void ConversionJob::watch() {
    if (!m_process || m_ended) {
        m_watchdog.stop();
        return;
    }
    const qint64 size = QFileInfo(m_decodedPath).size();
    if (size != m_lastDecodedSize) {
        m_lastDecodedSize = size;
        m_sinceProgress.start();
    }
    QString reason;
    if (m_sinceProgress.elapsed() > m_request.stallTimeoutMs) {
        reason = QStringLiteral("flac n'a rien écrit depuis %1 s : arrêté")
                     .arg(QString::number(m_request.stallTimeoutMs / 1000.0, 'g', 3));
    } else if (m_sinceStart.elapsed() > m_runLimitMs) {
        reason = QStringLiteral("flac décode depuis plus de %1 s : arrêté")
                     .arg(QString::number(m_runLimitMs / 1000));
    }
    if (reason.isEmpty()) {
        return;
    }
    // No program holds a pass hostage: the hung process goes and the pass
    // goes on.
    m_watchdog.stop();
    m_process->disconnect(this);
    m_process->kill();
    const QString text = QStringLiteral("Erreur Decodage %1").arg(reason);
    fail(text, text);
}

double ConversionJob::fraction() const {
    const double total = double(m_stream.totalSamples);
    if (m_phase >= Phase::Encoding && m_session) {
        const double encoded = total > 0 ? std::min(1.0, m_session->samplesRead() / total) : 0.0;
        return kDecodingShare + (1.0 - kDecodingShare) * encoded;
    }
    const double bytes = total * m_stream.channels * ((m_stream.bitsPerSample + 7) / 8);
    const double decoded =
        bytes > 0 ? std::min(1.0, double(std::max<qint64>(m_lastDecodedSize, 0)) / bytes) : 0.0;
    return kDecodingShare * decoded;
}

void ConversionJob::removeDecoded() {
    if (!m_decodedPath.isEmpty() && FileManager::fileExists(m_decodedPath)) {
        QString error;
        if (!FileManager::removeItem(m_decodedPath, &error)) {
            Log::write(QStringLiteral("Impossible de Supprimer %1\n%2").arg(m_decodedPath, error));
        }
    }
}

void ConversionJob::fail(const QString& shown, const QString& reason) {
    emit message(shown);
    Log::write(reason);
    JobResult result;
    result.outcome = JobResult::Outcome::Failed;
    result.reason = reason;
    finish(result);
}

void ConversionJob::finish(JobResult result) {
    if (m_ended) {
        return;
    }
    m_ended = true;
    result.storedRecord = m_request.exportRequest.record;
    m_watchdog.stop();
    removeDecoded();
    const bool leavesNothing = result.outcome == JobResult::Outcome::Failed ||
                               result.outcome == JobResult::Outcome::Stopped;
    if (leavesNothing && m_session) {
        // Whatever the session made beside the destination goes, on its thread.
        m_session->setStepEnded(nullptr);
        m_session->cancel();
    }
    emit ended(result);
}

void ConversionJob::stop() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        // Only a running child is signalled: the id of a process that never
        // started is 0, and kill(0) would interrupt this program's group.
        const qint64 pid = m_process->processId();
        if (pid > 0) {
            ::kill(pid_t(pid), SIGINT);
        }
    }
    if (m_session && !m_ended) {
        m_session->setStepEnded(nullptr);
        if (!m_session->cancel()) {
            // Too late to stop: the output is published and checked.
            finish(converted());
            disposeWhenIdle();
            return;
        }
    }
    finish(JobResult());
    disposeWhenIdle();
}

void ConversionJob::disposeWhenIdle() {
    if (!m_process || m_process->state() == QProcess::NotRunning) {
        deleteLater();
        return;
    }
    // The process is left to end on its own, then killed if it will not.
    m_process->disconnect(this);
    connect(m_process, &QProcess::finished, this, &QObject::deleteLater);
    QTimer::singleShot(5000, m_process, &QProcess::kill);
}
