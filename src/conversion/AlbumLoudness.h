#pragma once

#include "conversion/ConversionJob.h"
#include "conversion/ExportRequest.h"
#include "conversion/LoudnessPrescan.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <memory>

class LoudnessScan;
class QThreadPool;

// The album values of ReplayGain: gathers the loudness measured for each
// file a pass converts, by album (the same album, album artist or artist,
// and source folder), and once the pass has been through them all writes
// each album's values into its outputs, by rewriting their tags in a copy
// published over them, never by encoding them again. The files of an album
// the pass found up to date, or only retagged, are measured then from their
// sources when another of its files changed, and get the album's new values
// too; when a gain scaled the audio they cannot be, and the album is left
// without values. Lives on the main thread.
class AlbumLoudness : public QObject {
    Q_OBJECT
public:
    explicit AlbumLoudness(QThreadPool& pool, QObject* parent = nullptr);
    ~AlbumLoudness() override;

    void clear();
    // A file of the pass has ended: its request, and how.
    void noteEnded(const ExportRequest& request, const JobResult& result);
    // Measures what the pass did not, then starts the rewrites, at most that
    // many at once; false when there is nothing to do.
    bool start(int jobs);
    // Stops the rewrites under way; each output stays as it was.
    void stop();
    bool isRunning() const {
        return m_prescan.isRunning() || !m_running.isEmpty() || !m_waiting.isEmpty();
    }

    // The key a file's album is known by; empty for a file without an album.
    static QString albumKey(const TagList& tags, const QString& sourcePath);
    // Each file's track values with its album's, the files with the same
    // key being one album; none for a file not measured.
    static QList<ReplayGainValues>
    valuesByAlbum(const QStringList& keys, const QList<std::shared_ptr<const LoudnessScan>>& scans);

signals:
    void message(const QString& text);
    // An output was rewritten: its new record is in the result.
    void rewritten(const JobResult& result);
    void finished();

private:
    struct Member {
        ExportRequest request;
        // Null for an output the pass did not measure.
        std::shared_ptr<const LoudnessScan> scan;
        double appliedGainDb = 0.0;
        OutputRecord record;
    };
    struct Album {
        QString title;
        QList<Member> members;
        bool measured = false;
    };
    void measuredApart(const QList<std::shared_ptr<const LoudnessScan>>& scans);
    void queueRewrites();
    void startNext();
    void jobEnded(ConversionJob* job, const JobResult& result);

    QHash<QString, Album> m_albums;
    // The members measured apart, by album key and place in it.
    QList<QPair<QString, qsizetype>> m_measuring;
    LoudnessPrescan m_prescan;
    QList<JobRequest> m_waiting;
    QSet<ConversionJob*> m_running;
    int m_jobs = 1;
};
