#include "AlbumLoudness.h"

#include "conversion/LoudnessScan.h"
#include "storage/Log.h"

#include <QFileInfo>

#include <algorithm>

AlbumLoudness::AlbumLoudness(QThreadPool& pool, QObject* parent)
    : QObject(parent), m_prescan(pool) {
    connect(&m_prescan, &LoudnessPrescan::finished, this, &AlbumLoudness::measuredApart);
}

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

QList<ReplayGainValues>
AlbumLoudness::valuesByAlbum(const QStringList& keys,
                             const QList<std::shared_ptr<const LoudnessScan>>& scans) {
    struct Album {
        QList<std::shared_ptr<const LoudnessScan>> scans;
        double peak = 0.0;
        std::optional<double> lufs;
    };
    QHash<QString, Album> albums;
    for (qsizetype index = 0; index < keys.size(); ++index) {
        if (!keys[index].isEmpty() && scans[index]) {
            Album& album = albums[keys[index]];
            album.scans << scans[index];
            album.peak = std::max(album.peak, scans[index]->truePeak());
        }
    }
    for (Album& album : albums) {
        album.lufs = LoudnessScan::combinedLufs(album.scans);
    }
    QList<ReplayGainValues> values;
    for (qsizetype index = 0; index < keys.size(); ++index) {
        if (!scans[index]) {
            values << ReplayGainValues();
            continue;
        }
        const auto album = albums.constFind(keys[index]);
        const bool known = album != albums.cend() && album->lufs;
        values << ReplayGainValues::measured(*scans[index], known ? album->lufs : std::nullopt,
                                             known ? std::optional<double>(album->peak)
                                                   : std::nullopt);
    }
    return values;
}

void AlbumLoudness::clear() {
    stop();
    m_albums.clear();
}

void AlbumLoudness::noteEnded(const ExportRequest& request, const JobResult& result) {
    const QString key = albumKey(request.tags, request.sourcePath);
    const bool converted = result.outcome == JobResult::Outcome::Converted;
    if (key.isEmpty() || (!converted && result.outcome != JobResult::Outcome::UpToDate)) {
        return;
    }
    Album& album = m_albums[key];
    album.title = request.tags.first(QStringLiteral("ALBUM")).trimmed();
    const bool measured =
        converted && result.plan == ExportSession::Plan::Convert && result.loudness != nullptr;
    album.measured = album.measured || measured;
    album.members.append({request, measured ? result.loudness : nullptr,
                          measured ? result.appliedGainDb : 0.0, result.record});
}

bool AlbumLoudness::start(int jobs) {
    m_jobs = std::max(1, jobs);
    QList<LoudnessPrescan::Item> items;
    m_measuring.clear();
    for (auto album = m_albums.begin(); album != m_albums.end();) {
        // An album none of whose files changed keeps the values it has.
        if (!album->measured) {
            album = m_albums.erase(album);
            continue;
        }
        const bool scaled =
            std::any_of(album->members.cbegin(), album->members.cend(), [](const Member& member) {
                return member.request.applyGain != ApplyGain::None;
            });
        for (qsizetype index = 0; index < album->members.size(); ++index) {
            const Member& member = album->members[index];
            if (member.scan || scaled) {
                continue;
            }
            items.append(
                {member.request.sourcePath, member.request.firstSample, member.request.endSample});
            m_measuring.append({album.key(), index});
        }
        ++album;
    }
    if (items.isEmpty()) {
        queueRewrites();
    } else {
        m_prescan.start(items);
    }
    return isRunning();
}

void AlbumLoudness::measuredApart(const QList<std::shared_ptr<const LoudnessScan>>& scans) {
    for (qsizetype index = 0; index < m_measuring.size() && index < scans.size(); ++index) {
        const auto& [key, place] = m_measuring[index];
        m_albums[key].members[place].scan = scans[index];
    }
    m_measuring.clear();
    queueRewrites();
    if (!isRunning()) {
        emit finished();
    }
}

void AlbumLoudness::queueRewrites() {
    for (auto album = m_albums.cbegin(); album != m_albums.cend(); ++album) {
        const bool whole = std::all_of(album->members.cbegin(), album->members.cend(),
                                       [](const Member& member) { return member.scan != nullptr; });
        if (!whole) {
            emit message(QStringLiteral("Volume de l'album %1 non calculé : une partie de ses "
                                        "fichiers n'a pas pu être mesurée")
                             .arg(album->title));
            continue;
        }
        QStringList keys;
        QList<std::shared_ptr<const LoudnessScan>> scans;
        for (const Member& member : album->members) {
            keys << album.key();
            scans << member.scan;
        }
        const QList<ReplayGainValues> values = valuesByAlbum(keys, scans);
        for (qsizetype index = 0; index < album->members.size(); ++index) {
            const Member& member = album->members[index];
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
            rewrite.knownLoudness = values[index].scaledBy(member.appliedGainDb);
            m_waiting.append(request);
        }
    }
    m_albums.clear();
    startNext();
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
    m_prescan.cancel();
    m_measuring.clear();
    m_waiting.clear();
    const QSet<ConversionJob*> running = std::exchange(m_running, {});
    for (ConversionJob* job : running) {
        job->disconnect(this);
        job->stop();
    }
}
