#include "ExportSession.h"

#include "conversion/FFmpegTranscoder.h"
#include "conversion/OutputTagWriter.h"
#include "storage/FileManager.h"

#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// An output shorter or longer than its input by more than this is broken.
constexpr double kDurationTolerance = 0.1;

bool copyModificationTime(const QString& from, const QString& to) {
    struct stat source {};
    if (::stat(QFile::encodeName(from).constData(), &source) != 0) {
        return false;
    }
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    return ::utimensat(AT_FDCWD, QFile::encodeName(to).constData(), times, 0) == 0;
}
} // namespace

ExportSession::ExportSession(ExportRequest request) : m_request(std::move(request)) {}

ExportSession::~ExportSession() {
    m_cancelled = true;
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id()) {
            m_thread.detach();
        } else {
            m_thread.join();
        }
    }
}

QString ExportSession::partialPath(const QString& destinationPath) {
    const QFileInfo destination(destinationPath);
    // Hidden, and with the destination's extension so the muxer sees its own kind.
    return destination.absolutePath() + QStringLiteral("/.tmp_") + destination.completeBaseName() +
           QStringLiteral(".part.") + destination.suffix();
}

QString ExportSession::errorText() const {
    QMutexLocker lock(&m_mutex);
    return m_error;
}

QString ExportSession::notice() const {
    QMutexLocker lock(&m_mutex);
    return m_notice;
}

void ExportSession::setFailure(const QString& message) {
    QMutexLocker lock(&m_mutex);
    m_error = message;
}

void ExportSession::cancelExport() {
    m_cancelled = true;
}

void ExportSession::exportAsynchronously(Completion completion) {
    m_status = Status::Exporting;
    m_thread = std::thread([this, completion = std::move(completion)] {
        exportSynchronously();
        if (completion) {
            completion(*this);
        }
    });
}

bool ExportSession::finalize(const QString& partial) {
    const QString destination = m_request.destinationPath;
    if (m_request.preserveModificationTime && !m_request.sourcePath.isEmpty()) {
        copyModificationTime(m_request.sourcePath, partial);
    }
    const QByteArray from = QFile::encodeName(partial);
    const QByteArray to = QFile::encodeName(destination);
    if (m_request.overwrite) {
        if (::rename(from.constData(), to.constData()) != 0) {
            setFailure(FileManager::errorText(errno));
            return false;
        }
        return true;
    }
    // A hard link never replaces an existing file: the user's file is kept
    // even when it appeared while the export ran.
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return true;
    }
    if (errno == EEXIST) {
        setFailure(
            QStringLiteral("Le fichier %1 existe déjà").arg(QFileInfo(destination).fileName()));
        return false;
    }
    // File systems without hard links (FAT, exFAT).
    if (FileManager::fileExists(destination)) {
        setFailure(
            QStringLiteral("Le fichier %1 existe déjà").arg(QFileInfo(destination).fileName()));
        return false;
    }
    if (::rename(from.constData(), to.constData()) != 0) {
        setFailure(FileManager::errorText(errno));
        return false;
    }
    return true;
}

bool ExportSession::writeTags(const QString& partial) {
    const OutputCodec* codec = OutputCodec::find(m_request.codec);
    QString error;
    if (codec != nullptr && !OutputTagWriter::write(partial, *codec, m_request.tags, &error)) {
        setFailure(error);
        return false;
    }
    return true;
}

bool ExportSession::durationMatches(double expected, double written, double padding) {
    if (written < 0) {
        return false;
    }
    // Shorter is never the encoder's doing; longer only by its padding.
    return written >= expected - kDurationTolerance &&
           written <= expected + kDurationTolerance + padding;
}

void ExportSession::exportSynchronously() {
    m_status = Status::Exporting;
    const QString partial = partialPath(m_request.destinationPath);
    bool completed = false;
    {
        FFmpegTranscoder transcoder(m_request, m_cancelled, &m_samplesRead);
        completed = transcoder.run(partial);
        {
            QMutexLocker lock(&m_mutex);
            m_notice = transcoder.notice();
        }
        if (!completed) {
            setFailure(transcoder.error());
        } else if (!m_cancelled && !writeTags(partial)) {
            completed = false;
        } else if (!m_cancelled) {
            const double expected = transcoder.inputSeconds();
            const double written = FFmpegTranscoder::probeDuration(partial);
            if (!durationMatches(expected, written, transcoder.paddingSeconds())) {
                setFailure(
                    QStringLiteral("durée écrite %1 s au lieu de %2 s")
                        .arg(QString::number(written, 'f', 3), QString::number(expected, 'f', 3)));
                completed = false;
            }
        }
    }
    if (completed && !m_cancelled && !m_publishLater) {
        completed = finalize(partial);
    }
    if (!completed || m_cancelled) {
        QFile::remove(partial);
    }
    if (m_cancelled) {
        m_status = Status::Cancelled;
    } else {
        m_status = completed ? Status::Completed : Status::Failed;
    }
}

bool ExportSession::publish() {
    const QString partial = partialPath(m_request.destinationPath);
    if (finalize(partial)) {
        return true;
    }
    QFile::remove(partial);
    m_status = Status::Failed;
    return false;
}
