#pragma once

#include "conversion/ExportRequest.h"
#include "conversion/ExportSession.h"
#include "conversion/FlacStreamInfo.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <memory>

// Everything one file's conversion needs, as values: a job never touches
// the queue's records.
struct JobRequest {
    QString displayName;
    QString sourcePath;
    // The private work folder the decoded audio goes to, named after the
    // job's serial number.
    QString workFolder;
    quint64 serial = 0;
    QString flacPath;
    bool preserveDate = false;
    bool overwrite = false;
    qint64 compression = -1;
    // Its input is the decoded audio; its destination the file's output.
    ExportRequest exportRequest;
    // A decode that writes nothing for this long is taken for hung.
    int stallTimeoutMs = 30000;
    // For a track of a disc image: its samples, from the first to before
    // the end; an end of 0 decodes the whole source.
    qint64 firstSample = 0;
    qint64 endSample = 0;
};

// How a job ended.
struct JobResult {
    enum class Outcome {
        Converted,
        Failed,
        Stopped,
        // The output was in step with its source: nothing was written.
        UpToDate,
        // A dry run: what would be done is in plan.
        Planned,
    };
    Outcome outcome = Outcome::Stopped;
    QString reason;
    // Said to the user although the file converted (a sample rate changed).
    QString notice;
    qint64 outputSize = 0;
    // What was, or would be, done with the output.
    ExportSession::Plan plan = ExportSession::Plan::Convert;
    // What the output was made from, to keep (converted or up to date).
    OutputRecord record;
    // What was kept of the output before: none when it was not looked up.
    OutputRecord storedRecord;
    // The source as the job found it.
    FileIdentity sourceIdentity;
    // The loudness measured as the audio was encoded, and the gain its
    // audio was scaled by (dB).
    std::shared_ptr<const LoudnessScan> loudness;
    double appliedGainDb = 0.0;
};

// One file in flight: its export session (see ExportSession), whose steps
// run on threads of their own, and its `flac` process. The session
// prepares the destination, the source is decoded into the work folder, the
// session encodes and, once the owner has noted it, publishes the output;
// the job removes the decoded audio and reports its end once. Lives on the
// main thread, which never waits on a file system for it: a stop ends the
// job at once and leaves the session to clean up on its own thread.
class ConversionJob : public QObject {
    Q_OBJECT
public:
    explicit ConversionJob(JobRequest request, QObject* parent = nullptr);
    ~ConversionJob() override;

    void start();
    // Ends the job at once: the process is interrupted and the session
    // cancelled (its temporaries and partial output go on its own thread);
    // it reports Stopped, or Converted when its output was already final.
    // The job deletes itself once its process has ended.
    void stop();
    // Deletes the job once its process, if any is left, has ended.
    void disposeWhenIdle();
    // How far the file is, from 0 to 1: decoding, then encoding.
    double fraction() const;
    bool isEncoding() const { return m_phase >= Phase::Encoding; }
    const JobRequest& request() const { return m_request; }

    // The decoding arguments for a source, as they are passed to `flac`;
    // with an end sample, only the samples from the first to before the end
    // (a track of a disc image) are decoded.
    static QStringList decodingArguments(const QString& source, const QString& decoded,
                                         bool preserveDate, bool overwrite, qint64 compression,
                                         const FlacStreamInfo& stream, qint64 firstSample = 0,
                                         qint64 endSample = 0);
    // The decoded file's name: AIFF, or RF64 for a stream whose length flac
    // cannot know beforehand (it loops writing AIFF for those).
    static QString decodedFileName(quint64 serial, const FlacStreamInfo& stream);
    // Why flac could not decode a file, in French and one line, from what
    // it printed and what the file's first bytes are.
    static QString decodingFailure(const QString& flacErrors, const FlacStreamInfo& stream);
    // The longest a decode of that stream may run, however it progresses.
    static qint64 decodeTimeLimitMs(quint64 totalSamples, int sampleRate, qint64 fileSize);

signals:
    void encodingStarted();
    // The output is complete and checked, about to be published onto its
    // destination: the owner notes it, so a crash in between is understood.
    void aboutToPublish(const QString& partialPath);
    void message(const QString& text);
    void ended(const JobResult& result);

private:
    enum class Phase { Preparing, Decoding, Encoding, Publishing };
    void sessionStepEnded();
    // What the prepared session found to do: decode, rewrite tags, or nothing.
    void preparedAs(ExportSession::Plan plan);
    JobResult converted() const;
    void startDecoding();
    void sayRateChange();
    void decodingEnded(int exitCode, QProcess::ExitStatus exitStatus);
    void sessionFailed();
    // Whether a decode that flac gave up on failed for want of room in the cache.
    bool cacheTooSmall(const QString& flacErrors) const;
    void watch();
    void fail(const QString& shown, const QString& reason);
    void finish(JobResult result);
    void removeDecoded();

    JobRequest m_request;
    Phase m_phase = Phase::Preparing;
    QString m_decodedPath;
    FlacStreamInfo m_stream;
    qint64 m_runLimitMs = 60000;
    QPointer<QProcess> m_process;
    std::shared_ptr<ExportSession> m_session;
    QTimer m_watchdog;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceProgress;
    qint64 m_lastDecodedSize = -1;
    bool m_ended = false;
};
