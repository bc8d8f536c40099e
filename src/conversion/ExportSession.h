#pragma once

#include "conversion/DestinationClaim.h"
#include "conversion/ExportRequest.h"
#include "conversion/FlacStreamInfo.h"
#include "storage/FileIdentity.h"

#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

// One output written from a decoded file, in three steps, each run on a
// thread of its own, so that a destination that stalls (a frozen share, a
// stuck USB stick) holds nothing but its own steps:
//   prepare: the source's identity is taken, the destination claimed (see
//     DestinationClaim), its folders made and a partial file created,
//     exclusively, under a short hidden name of its own beside it;
//   exportDecoded: the decoded audio is encoded into the partial file, its
//     tags written, its length checked;
//   publish: the partial file is linked onto the destination (renamed over
//     it when replacing is allowed) and the output checked again; when the
//     source is to go, the output is written to the disk before it takes its
//     name and its folder after, then the source is deleted if it is still
//     the file that was converted, and its folder written to the disk.
// An existing output being brought up to date (see Plan) may need nothing,
// or only its tags and cover rewritten into a copy that is then published
// over it; a dry run only prepares, and writes nothing at all.
// A session that fails or is cancelled removes its partial file, takes back
// an output it published, removes the folders it made that are left empty
// and lets its claim go. Each step's end is told, on the step's thread, to
// the handler given. Cancelling never waits: the step under way notices it
// and cleans up when it can. Steps are asked for from one thread.
class LoudnessScan;
struct OutputCodec;

class ExportSession : public std::enable_shared_from_this<ExportSession> {
public:
    enum class Status { Waiting, Running, Prepared, Exported, Completed, Failed, Cancelled };
    // What preparing found is to be done with the destination.
    enum class Plan {
        // Encoded from the decoded audio (a new output, or one whose audio
        // or settings changed).
        Convert,
        // The output's tags and cover alone changed: rewritten, nothing
        // decoded.
        RewriteTags,
        // In step with its source: nothing to do.
        UpToDate,
    };
    using StepEnded = std::function<void()>;

    explicit ExportSession(ExportRequest request);
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    // The steps on threads of their own; the session must be owned by a
    // shared pointer.
    void setStepEnded(StepEnded handler);
    void prepare();
    // Encodes the decoded audio at that path.
    void exportDecoded(const QString& inputPath);
    void publish();
    // Stops the session without waiting; its handler is never called again.
    // False when it is too late: the output is published and checked, and
    // the session completes (its source deleted when asked).
    bool cancel();
    // The three steps on the calling thread.
    void exportSynchronously();

    Status status() const { return m_status.load(); }
    // How many samples of the input have been read; readable from any thread.
    qint64 samplesRead() const { return m_samplesRead.load(); }
    QString errorText() const;
    // Said to the user although the file converted (a sample rate changed,
    // a source kept because it changed).
    QString notice() const;
    qint64 outputSize() const { return m_outputSize.load(); }
    // The hidden file the output is written to before it is published.
    QString partialPath() const;
    const ExportRequest& request() const { return m_request; }
    // What the source's stream header states, read as the session prepares.
    FlacStreamInfo sourceStream() const;
    // Known once prepared.
    Plan plan() const;
    // The loudness measured as the audio was encoded; null without a scan.
    std::shared_ptr<const LoudnessScan> loudness() const;
    // The gain the output's audio was scaled by, in dB.
    double appliedGainDb() const;
    // The source as it was when the session prepared.
    FileIdentity sourceIdentity() const;
    // What to keep of the output once the session completed, or found it
    // up to date.
    OutputRecord madeRecord() const;

    // Sessions with work under way, cleaning up after a cancel included.
    static int running();
    // Waits at most that long for every session to end; true when none is left.
    static bool waitForAll(int milliseconds);
    // Whether a written duration is its input's, within the encoder's padding.
    static bool durationMatches(double expected, double written, double padding);

private:
    enum class Step { Prepare, Export, Publish, CleanUp };
    void runStep(Step step);
    void execute(Step step);
    bool doPrepare();
    bool doExport();
    bool doPublish();
    bool claimDestination(const QString& folder);
    bool waitForClaim();
    bool createPartial(const QString& folder);
    // Decides the plan for an output that exists; false when it is to stay
    // and be an error.
    bool planForExisting();
    bool unrecordedOutputMatches();
    void recordAs(const FileIdentity& output);
    bool doRewriteTags();
    // The request with its cover within the size asked for.
    ExportRequest withSizedCover() const;
    bool replacesExisting() const;
    // The tags with these loudness values, with what the output states
    // about its audio (an Opus header's gain, an MP4's iTunSMPB, an MP3's
    // LAME signature).
    bool writeTags(const ReplayGainValues& loudness, bool scaled, const QString& itunesGapless);
    // The request's tags with these loudness values, in the container's way.
    TagList tagsWith(const ReplayGainValues& loudness, bool opus, bool scaled) const;
    // The values known before the audio is read: the source's, or given.
    ReplayGainValues loudnessKnownBeforehand() const;
    bool scansBeforeEncoding(const OutputCodec* codec) const;
    void keepScan(std::shared_ptr<const LoudnessScan> scan, double appliedGainDb);
    bool checkDuration(const QString& path, double expected, double padding);
    bool linkOntoDestination();
    bool checkPublished();
    bool isCommitted() const;
    void deleteSourceIfUnchanged();
    void takeBackPublished();
    void cleanUp();
    bool fail(const QString& message);
    void addNotice(const QString& text);
    QString folderGoneReason() const;

    ExportRequest m_request;
    std::atomic<Status> m_status{Status::Waiting};
    std::atomic<bool> m_cancelled{false};
    std::atomic<qint64> m_samplesRead{0};
    std::atomic<qint64> m_outputSize{0};
    mutable QMutex m_mutex;
    QString m_error;
    QString m_notice;
    StepEnded m_stepEnded;
    bool m_busy = false;
    bool m_cleaned = false;
    bool m_committed = false;

    // Touched only by the step under way.
    FileIdentity m_sourceIdentity;
    FlacStreamInfo m_sourceStream;
    DestinationClaim m_claim;
    QStringList m_createdFolders;
    QString m_partialPath;
    int m_partialDescriptor = -1;
    FileIdentity m_partialIdentity;
    double m_inputSeconds = 0.0;
    double m_paddingSeconds = 0.0;
    bool m_published = false;
    std::atomic<Plan> m_plan{Plan::Convert};
    // The output's audio is made again over an existing file.
    bool m_replacing = false;
    QString m_audioSignature;
    OutputRecord m_madeRecord;
    std::shared_ptr<const LoudnessScan> m_scan;
    double m_appliedGainDb = 0.0;
};
