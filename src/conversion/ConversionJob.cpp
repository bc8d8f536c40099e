#include "ConversionJob.h"

#include "conversion/ExportSession.h"
#include "conversion/FlacTagReader.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QFileInfo>

#include <algorithm>
#include <csignal>

namespace {
// Decoding is fast; most of a file's time goes to encoding.
constexpr double kDecodingShare = 0.15;

void ensureFolder(const QString& folder) {
    QString error;
    if (!FileManager::ensureDirectory(folder, &error)) {
        Log::write(QStringLiteral("Impossible de créer %1\n%2").arg(folder, error));
    }
}
} // namespace

ConversionJob::ConversionJob(JobRequest request, QObject* parent)
    : QObject(parent), m_request(std::move(request)) {
    m_watchdog.setInterval(250);
    connect(&m_watchdog, &QTimer::timeout, this, &ConversionJob::watch);
}

ConversionJob::~ConversionJob() {
    // The export's thread is joined before anything else goes.
    m_session.reset();
}

QStringList ConversionJob::decodingArguments(const QString& source, const QString& decoded,
                                             bool preserveDate, bool overwrite,
                                             qint64 compression) {
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
    return arguments;
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
    removeDecoded();
    ensureFolder(QFileInfo(m_request.decodedPath).absolutePath());
    ensureFolder(QFileInfo(m_request.exportRequest.destinationPath).absolutePath());
    auto* process = new QProcess(this);
    process->setProcessEnvironment(FlacTagReader::toolEnvironment());
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, &ConversionJob::decodingEnded);
    // Queued: a program that cannot start ends the job after start() has
    // returned, never inside it (a pass over thousands of files would
    // otherwise nest one start in the next).
    connect(
        process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart && !m_ended) {
                const QString reason =
                    QStringLiteral("Programme %1 introuvable").arg(QStringLiteral("flac"));
                emit message(reason);
                Log::write(reason);
                finish({JobResult::Outcome::Failed, reason, QString()});
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
    process->start(m_request.flacPath, m_request.flacArguments);
    m_sinceStart.start();
    m_sinceProgress.start();
    m_watchdog.start();
}

void ConversionJob::decodingEnded(int exitCode, QProcess::ExitStatus exitStatus) {
    m_watchdog.stop();
    if (m_ended) {
        return;
    }
    if (exitStatus != QProcess::NormalExit || exitCode != 0) {
        QString errorText = QString::fromUtf8(m_process->readAllStandardError()).trimmed();
        if (exitStatus != QProcess::NormalExit) {
            errorText = (errorText + QStringLiteral("\nflac interrompu")).trimmed();
        }
        const QString reason = QStringLiteral("Erreur Decodage %1").arg(errorText);
        emit message(reason);
        Log::write(reason);
        finish({JobResult::Outcome::Failed, reason, QString()});
        return;
    }
    startExport();
}

void ConversionJob::startExport() {
    const QString name = QFileInfo(m_request.exportRequest.destinationPath).fileName();
    emit encodingStarted();
    emit message(QStringLiteral("Encodage de %1").arg(name));
    m_session = std::make_shared<ExportSession>(m_request.exportRequest);
    m_session->setPublishLater(true);
    m_session->exportAsynchronously([this](ExportSession&) {
        QMetaObject::invokeMethod(this, &ConversionJob::exportEnded, Qt::QueuedConnection);
    });
}

void ConversionJob::exportEnded() {
    if (m_ended || !m_session) {
        return;
    }
    removeDecoded();
    const QString name = QFileInfo(m_request.exportRequest.destinationPath).fileName();
    const ExportSession::Status status = m_session->status();
    if (status == ExportSession::Status::Completed) {
        emit aboutToPublish();
        if (m_session->publish()) {
            // The controller says it is done once the file's end is recorded.
            finish({JobResult::Outcome::Converted, QString(), m_session->notice()});
            return;
        }
    }
    if (m_session->status() == ExportSession::Status::Failed) {
        const QString text = QStringLiteral("Encodage de %1 impossible").arg(name);
        emit message(text);
        Log::write(QStringLiteral("export failed\n%1").arg(m_session->errorText()));
        finish({JobResult::Outcome::Failed, text + QLatin1Char('\n') + m_session->errorText(),
                QString()});
    } else {
        finish({JobResult::Outcome::Stopped, QString(), QString()});
    }
}

void ConversionJob::watch() {
    if (!m_process || m_ended) {
        m_watchdog.stop();
        return;
    }
    const qint64 size = QFileInfo(m_request.decodedPath).size();
    if (size != m_lastDecodedSize) {
        m_lastDecodedSize = size;
        m_sinceProgress.start();
    }
    QString reason;
    if (m_sinceProgress.elapsed() > m_request.stallTimeoutMs) {
        reason = QStringLiteral("flac n'a rien écrit depuis %1 s : arrêté")
                     .arg(QString::number(m_request.stallTimeoutMs / 1000.0, 'g', 3));
    } else if (m_sinceStart.elapsed() > m_request.runLimitMs) {
        reason = QStringLiteral("flac décode depuis plus de %1 s : arrêté")
                     .arg(QString::number(m_request.runLimitMs / 1000));
    }
    if (reason.isEmpty()) {
        return;
    }
    // No program holds a pass hostage: the hung process goes and the pass
    // goes on.
    m_watchdog.stop();
    m_process->disconnect(this);
    m_process->kill();
    const QString message = QStringLiteral("Erreur Decodage %1").arg(reason);
    emit this->message(message);
    Log::write(message);
    finish({JobResult::Outcome::Failed, message, QString()});
}

double ConversionJob::fraction() const {
    const double total = double(m_request.totalSamples);
    if (m_session) {
        const double encoded = total > 0 ? std::min(1.0, m_session->samplesRead() / total) : 0.0;
        return kDecodingShare + (1.0 - kDecodingShare) * encoded;
    }
    const double bytes = total * m_request.channels * ((m_request.bitsPerSample + 7) / 8);
    const double decoded =
        bytes > 0 ? std::min(1.0, double(std::max<qint64>(m_lastDecodedSize, 0)) / bytes) : 0.0;
    return kDecodingShare * decoded;
}

void ConversionJob::removeDecoded() {
    if (FileManager::fileExists(m_request.decodedPath)) {
        QString error;
        if (!FileManager::removeItem(m_request.decodedPath, &error)) {
            Log::write(
                QStringLiteral("Impossible de Supprimer %1\n%2").arg(m_request.decodedPath, error));
        }
    }
}

void ConversionJob::finish(JobResult result) {
    if (m_ended) {
        return;
    }
    m_ended = true;
    m_watchdog.stop();
    removeDecoded();
    emit ended(result);
}

void ConversionJob::stop() {
    if (m_session) {
        // Cancelled, the export removes its partial output; the thread is
        // joined here.
        m_session->cancelExport();
        m_session.reset();
    }
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        // Only a running child is signalled: the id of a process that never
        // started is 0, and kill(0) would interrupt this program's group.
        const qint64 pid = m_process->processId();
        if (pid > 0) {
            ::kill(pid_t(pid), SIGINT);
        }
    }
    finish({JobResult::Outcome::Stopped, QString(), QString()});
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
