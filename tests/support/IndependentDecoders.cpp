#include "IndependentDecoders.h"

#include "FlacFactory.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>

namespace {
QVector<qint16> samplesOf(const QByteArray& raw) {
    QVector<qint16> samples(raw.size() / 2);
    std::memcpy(samples.data(), raw.constData(), size_t(samples.size()) * 2);
    return samples;
}
} // namespace

QVector<qint16> IndependentDecoders::ffmpeg(const QString& path,
                                            const QStringList& extraArguments) {
    QByteArray raw;
    FlacFactory::run(QStringLiteral("ffmpeg"),
                     QStringList{"-v", "error", "-i", path} + extraArguments +
                         QStringList{"-ac", "1", "-f", "s16le", "-"},
                     &raw);
    return samplesOf(raw);
}

QVector<qint16> IndependentDecoders::gstreamer(const QString& path) {
    // Through a file: gst-launch writes its own messages to standard output.
    QTemporaryDir folder;
    const QString rawPath = folder.filePath(QStringLiteral("decoded.raw"));
    FlacFactory::run(QStringLiteral("gst-launch-1.0"),
                     {"-q", "filesrc", "location=" + path, "!", "decodebin", "!", "audioconvert",
                      "!", "audio/x-raw,format=S16LE,channels=1", "!", "filesink",
                      "location=" + rawPath});
    QFile file(rawPath);
    file.open(QIODevice::ReadOnly);
    return samplesOf(file.readAll());
}

std::pair<qint64, qint64> IndependentDecoders::gstreamerSegment(const QString& path, int rate) {
    QByteArray log;
    FlacFactory::run(QStringLiteral("gst-launch-1.0"),
                     {"-v", "filesrc", "location=" + path, "!", "decodebin", "!", "fakesink",
                      "silent=false", "num-buffers=1"},
                     &log);
    static const QRegularExpression segment(
        QStringLiteral(R"(type: segment.*?start=\(guint64\)(\d+), stop=\(guint64\)(\d+))"));
    const QRegularExpressionMatch found = segment.match(QString::fromUtf8(log));
    if (!found.hasMatch()) {
        return {-1, -1};
    }
    const auto samples = [rate](const QString& nanoseconds) {
        return std::llround(nanoseconds.toDouble() * rate / 1e9);
    };
    const qint64 start = samples(found.captured(1));
    return {start, samples(found.captured(2)) - start};
}
