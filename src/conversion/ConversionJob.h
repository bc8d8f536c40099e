#pragma once

#include "conversion/ExportRequest.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <memory>

class ExportSession;

// Everything one file's conversion needs, as values: a job never touches
// the queue's records.
struct JobRequest {
    QString displayName;
    QString sourcePath;
    // The decoded audio, in the private work folder.
    QString decodedPath;
    QString flacPath;
    QStringList flacArguments;
    // Its input is the decoded audio; its destination the file's output.
    ExportRequest exportRequest;
    // The source's length as its stream states it; 0 when unknown.
    quint64 totalSamples = 0;
    int channels = 0;
    int bitsPerSample = 0;
    // A decode that writes nothing for this long, or runs longer than the
    // limit, is taken for hung.
    int stallTimeoutMs = 30000;
    qint64 runLimitMs = 60000;
};

// How a job ended.
struct JobResult {
    enum class Outcome { Converted, Failed, Stopped };
    Outcome outcome = Outcome::Stopped;
    QString reason;
    // Said to the user although the file converted (a sample rate changed).
    QString notice;
};

// One file in flight: its `flac` process, its export on a worker thread and
// its temporary files. It decodes the source into the work folder, exports
// the decoded audio into the destination (written under a hidden partial
// name, renamed once complete and checked), removes its temporaries and
// reports its end once. Lives on the main thread; only the export runs on
// its own thread, and its end comes back through a queued call.
class ConversionJob : public QObject {
    Q_OBJECT
public:
    explicit ConversionJob(JobRequest request, QObject* parent = nullptr);
    ~ConversionJob() override;

    void start();
    // Ends the job at once: the process is interrupted, the export
    // cancelled, the temporaries and partial output removed; it reports
    // Stopped. The job deletes itself once its process has ended.
    void stop();
    // Deletes the job once its process, if any is left, has ended.
    void disposeWhenIdle();
    // How far the file is, from 0 to 1: decoding, then encoding.
    double fraction() const;
    bool isEncoding() const { return m_session != nullptr; }
    const JobRequest& request() const { return m_request; }

    // The decoding arguments for a source, as they are passed to `flac`.
    static QStringList decodingArguments(const QString& source, const QString& decoded,
                                         bool preserveDate, bool overwrite, qint64 compression);
    // The longest a decode of that stream may run, however it progresses.
    static qint64 decodeTimeLimitMs(quint64 totalSamples, int sampleRate, qint64 fileSize);

signals:
    void encodingStarted();
    // The output is complete and checked, about to be renamed onto its
    // destination: the owner notes it, so a crash in between is understood.
    void aboutToPublish();
    void message(const QString& text);
    void ended(const JobResult& result);

private:
    void decodingEnded(int exitCode, QProcess::ExitStatus exitStatus);
    void startExport();
    void exportEnded();
    void watch();
    void finish(JobResult result);
    void removeDecoded();

    JobRequest m_request;
    QPointer<QProcess> m_process;
    std::shared_ptr<ExportSession> m_session;
    QTimer m_watchdog;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceProgress;
    qint64 m_lastDecodedSize = -1;
    bool m_ended = false;
};
