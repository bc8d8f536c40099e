#include "FlacFactory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include <cmath>
#include <cstdlib>

QByteArray FlacFactory::tone(const Options& options) {
    const qint64 frames = qint64(options.seconds * options.sampleRate);
    const int bytesPerSample = options.bitsPerSample / 8;
    QByteArray pcm;
    pcm.resize(frames * options.channels * bytesPerSample);
    char* out = pcm.data();
    const double amplitude = std::ldexp(1.0, options.bitsPerSample - 1) * 0.4;
    const double noise = std::ldexp(1.0, options.bitsPerSample - 1) * options.noise;
    quint32 seed = 12345;
    for (qint64 frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < options.channels; ++channel) {
            const double frequency = 440.0 * (channel + 1);
            seed = seed * 1664525u + 1013904223u;
            const double random = (double(seed >> 8) / double(1u << 24) - 0.5) * 2.0 * noise;
            const auto sample = qint32(std::lround(
                amplitude * std::sin(2.0 * M_PI * frequency * double(frame) / options.sampleRate) +
                random));
            for (int byte = 0; byte < bytesPerSample; ++byte) {
                *out++ = char((sample >> (8 * byte)) & 0xff);
            }
        }
    }
    return pcm;
}

int FlacFactory::run(const QString& program, const QStringList& arguments, QByteArray* output,
                     QByteArray* error) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        return -1;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (output != nullptr) {
        *output = process.readAllStandardOutput();
    }
    if (error != nullptr) {
        *error = process.readAllStandardError();
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString FlacFactory::make(const QString& path, const Options& options) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString raw = path + QStringLiteral(".raw");
    {
        QFile file(raw);
        if (!file.open(QIODevice::WriteOnly)) {
            std::abort();
        }
        file.write(tone(options));
    }
    QStringList arguments = {QStringLiteral("--silent"),
                             QStringLiteral("--force"),
                             QStringLiteral("--force-raw-format"),
                             QStringLiteral("--endian=little"),
                             QStringLiteral("--sign=signed"),
                             QStringLiteral("--channels=%1").arg(options.channels),
                             QStringLiteral("--bps=%1").arg(options.bitsPerSample),
                             QStringLiteral("--sample-rate=%1").arg(options.sampleRate)};
    for (const auto& tag : options.tags) {
        arguments << QStringLiteral("--tag=%1=%2").arg(tag.first, tag.second);
    }
    if (!options.picturePath.isEmpty()) {
        arguments << QStringLiteral("--picture=%1").arg(options.picturePath);
    }
    arguments << QStringLiteral("-o") << path << raw;
    QByteArray error;
    const int status = run(QStringLiteral("flac"), arguments, nullptr, &error);
    QFile::remove(raw);
    if (status != 0) {
        qFatal("flac failed: %s", error.constData());
    }
    return path;
}

QList<QPair<QString, QString>> FlacFactory::fullTags(const QString& title) {
    return {{QStringLiteral("ARTIST"), QStringLiteral("The Artist")},
            {QStringLiteral("TITLE"), title},
            {QStringLiteral("ALBUM"), QStringLiteral("The Album")},
            {QStringLiteral("DATE"), QStringLiteral("2019")},
            {QStringLiteral("TRACKNUMBER"), QStringLiteral("3")},
            {QStringLiteral("GENRE"), QStringLiteral("Jazz")},
            {QStringLiteral("DISCNUMBER"), QStringLiteral("1")}};
}

QString FlacFactory::makePicture(const QString& path, const char* format, unsigned rgb) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(QColor::fromRgb(rgb));
    if (!picture.save(path, format)) {
        std::abort();
    }
    return path;
}
