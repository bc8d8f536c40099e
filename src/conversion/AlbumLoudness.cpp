#include "AlbumLoudness.h"

#include "conversion/LoudnessScan.h"
#include "storage/Log.h"

#include <QFileInfo>

#include <algorithm>

AlbumLoudness::AlbumLoudness(QObject* parent) : QObject(parent) {}

AlbumLoudness::~AlbumLoudness() {
    stop();
}

QString AlbumLoudness::albumKey(const TagList& tags, const QString& sourcePath) {
    const QString album = tags.first(QStringLiteral("ALBUM")).trimmed();
    if (album.isEmpty()) {
        return QString();
    }
    QString artist = tags.first({QStringLiteral("ALBUMARTIST"), QStringLiteral("ALBUM ARTIST"),
                                 QStringLiteral("ALBUM_ARTIST")})
                         .trimmed();
    if (artist.isEmpty()) {
        artist = tags.first(QStringLiteral("ARTIST")).trimmed();
    }
    return album.toCaseFolded() + QLatin1Char('\n') + artist.toCaseFolded() + QLatin1Char('\n') +
           QFileInfo(sourcePath).absolutePath();
}

void AlbumLoudness::clear() {
    stop();
    m_albums.clear();
}

void AlbumLoudness::noteEnded(const ExportRequest& request, const JobResult& result) {
    const QString key = albumKey(request.tags, request.sourcePath);
    if (key.isEmpty()) {
        return;
    }
    Album& album = m_albums[key];
    const bool converted = result.outcome == JobResult::Outcome::Converted;
    album.title = request.tags.first(QStringLiteral("ALBUM")).trimmed();
    if (converted && result.plan == ExportSession::Plan::Convert && result.loudness) {
        album.members.append({request, result.loudness, result.appliedGainDb, result.record});
    } else if (result.outcome == JobResult::Outcome::UpToDate || converted) {
        album.unmeasured = true;
    }
}

bool AlbumLoudness::start(int jobs) {
    m_jobs = std::max(1, jobs);
    for (auto album = m_albums.cbegin(); album != m_albums.cend(); ++album) {
        if (album->unmeasured) {
            emit message(QStringLiteral("Volume de l'album %1 non calculé : une partie de ses "
                                        "fichiers n'a pas été lue pendant cette conversion")
                             .arg(album->title));
            continue;
        }
        queueRewrites(*album);
    }
    m_albums.clear();
    startNext();
    return isRunning();
}

void AlbumLoudness::queueRewrites(const Album& album) {
    QList<std::shared_ptr<const LoudnessScan>> scans;
    double peak = 0.0;
    for (const Member& member : album.members) {
        scans << member.scan;
        peak = std::max(peak, member.scan->truePeak());
    }
    const std::optional<double> lufs = LoudnessScan::combinedLufs(scans);
    if (!lufs) {
        return;
    }
    for (const Member& member : album.members) {
        JobRequest request;
        request.displayName = QFileInfo(member.request.destinationPath).fileName();
        request.sourcePath = member.request.sourcePath;
        request.exportRequest = member.request;
        ExportRequest& rewrite = request.exportRequest;
        rewrite.retagOnly = true;
        rewrite.dryRun = false;
        rewrite.deleteSource = false;
        rewrite.syncOutput = false;
        rewrite.record = member.record;
        rewrite.replayGain = ReplayGainMode::Scan;
        rewrite.knownLoudness =
            ReplayGainValues::measured(*member.scan, lufs, peak).scaledBy(member.appliedGainDb);
        m_waiting.append(request);
    }
}

void AlbumLoudness::startNext() {
    while (m_running.size() < m_jobs && !m_waiting.isEmpty()) {
        auto* job = new ConversionJob(m_waiting.takeFirst(), this);
        m_running.insert(job);
        connect(job, &ConversionJob::ended, this,
                [this, job](const JobResult& result) { jobEnded(job, result); });
        job->start();
    }
}

void AlbumLoudness::jobEnded(ConversionJob* job, const JobResult& result) {
    if (!m_running.remove(job)) {
        return;
    }
    const QString name = job->request().displayName;
    job->disconnect(this);
    job->disposeWhenIdle();
    if (result.outcome == JobResult::Outcome::Converted) {
        emit rewritten(result);
    } else if (result.outcome == JobResult::Outcome::Failed) {
        Log::write(result.reason);
        emit message(QStringLiteral("Volume de l'album non écrit dans %1 : %2")
                         .arg(name, result.reason.section(QLatin1Char('\n'), -1)));
    }
    startNext();
    if (!isRunning()) {
        emit finished();
    }
}

void AlbumLoudness::stop() {
    m_waiting.clear();
    const QSet<ConversionJob*> running = std::exchange(m_running, {});
    for (ConversionJob* job : running) {
        job->disconnect(this);
        job->stop();
    }
}
