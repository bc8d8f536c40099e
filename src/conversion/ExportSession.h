#pragma once

#include "conversion/ExportRequest.h"

#include <QMutex>
#include <QString>

#include <atomic>
#include <functional>
#include <thread>

// One export of a decoded file into its destination, run on a worker thread.
// The output is written under a hidden name beside the destination, checked,
// and only then renamed onto the destination, so no half-written file ever
// carries the destination's name. The completion handler runs on the worker
// thread once the export has completed, failed or been cancelled.
class ExportSession {
public:
    enum class Status { Waiting, Exporting, Completed, Failed, Cancelled };
    using Completion = std::function<void(ExportSession&)>;

    explicit ExportSession(ExportRequest request);
    // Cancels the export and waits for its thread (unless called on it).
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    void exportAsynchronously(Completion completion);
    // With this set, a completed export leaves its checked output under the
    // partial name until publish() renames it onto the destination, so that
    // its owner can note the rename first.
    void setPublishLater(bool later) { m_publishLater = later; }
    // Renames the completed output onto the destination; false, with the
    // reason in errorText() and the partial output removed, when it cannot.
    bool publish();
    void cancelExport();
    // Runs the export on the calling thread.
    void exportSynchronously();

    Status status() const { return m_status.load(); }
    // How many samples of the input have been read; readable from any thread.
    qint64 samplesRead() const { return m_samplesRead.load(); }
    QString errorText() const;
    // Said to the user when the sample rate asked for could not be used.
    QString notice() const;
    const ExportRequest& request() const { return m_request; }
    // The hidden file the output is written to before it is renamed.
    static QString partialPath(const QString& destinationPath);
    // Whether a written duration is its input's, within the encoder's padding.
    static bool durationMatches(double expected, double written, double padding);

private:
    bool finalize(const QString& partial);
    // The tags the muxer does not write; false with the failure set.
    bool writeTags(const QString& partial);
    void setFailure(const QString& message);

    ExportRequest m_request;
    std::atomic<Status> m_status{Status::Waiting};
    std::atomic<bool> m_cancelled{false};
    std::atomic<qint64> m_samplesRead{0};
    bool m_publishLater = false;
    mutable QMutex m_mutex;
    QString m_error;
    QString m_notice;
    std::thread m_thread;
};
