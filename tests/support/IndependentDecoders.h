#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <utility>

// Decodes outputs with the two decoders the tests hold them against: the
// FFmpeg command line and GStreamer's decodebin (gst-launch-1.0). Both give
// mono 16-bit samples, channels mixed, at the file's own rate.
class IndependentDecoders {
public:
    // With "-ar RATE" or a filter in the extra arguments, FFmpeg resamples.
    static QVector<qint16> ffmpeg(const QString& path, const QStringList& extraArguments = {});
    static QVector<qint16> gstreamer(const QString& path);
    // The stretch of the media GStreamer's demuxer says it plays: its start
    // and its length, in samples at that rate (-1 when none is stated).
    static std::pair<qint64, qint64> gstreamerSegment(const QString& path, int rate);
};
