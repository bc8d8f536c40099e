#pragma once

#include "conversion/ConversionJob.h"
#include "conversion/ExportRequest.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

#include <memory>

class LoudnessScan;

// The album values of ReplayGain: gathers the loudness measured for each
// file a pass converts, by album (the same album, album artist or artist,
// and source folder), and once the pass has been through them all writes
// each album's values into the outputs already published, by rewriting
// their tags in a copy published over them, never by encoding them again.
// An album one of whose outputs was not measured in the pass (found up to
// date, or only retagged) gets no album values: they would leave it out.
// Lives on the main thread.
class AlbumLoudness : public QObject {
    Q_OBJECT
public:
    explicit AlbumLoudness(QObject* parent = nullptr);
    ~AlbumLoudness() override;

    void clear();
    // A file of the pass has ended: its request, and how.
    void noteEnded(const ExportRequest& request, const JobResult& result);
    // Starts the rewrites, at most that many at once; false when there is
    // nothing to write.
    bool start(int jobs);
    // Stops the rewrites under way; each output stays as it was.
    void stop();
    bool isRunning() const { return !m_running.isEmpty() || !m_waiting.isEmpty(); }

    // The key a file's album is known by; empty for a file without an album.
    static QString albumKey(const TagList& tags, const QString& sourcePath);

signals:
    void message(const QString& text);
    // An output was rewritten: its new record is in the result.
    void rewritten(const JobResult& result);
    void finished();

private:
    struct Member {
        ExportRequest request;
        std::shared_ptr<const LoudnessScan> scan;
        double appliedGainDb = 0.0;
        OutputRecord record;
    };
    struct Album {
        QList<Member> members;
        QString title;
        bool unmeasured = false;
    };
    void queueRewrites(const Album& album);
    void startNext();
    void jobEnded(ConversionJob* job, const JobResult& result);

    QHash<QString, Album> m_albums;
    QList<JobRequest> m_waiting;
    QSet<ConversionJob*> m_running;
    int m_jobs = 1;
};
