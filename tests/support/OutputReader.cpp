#include "OutputReader.h"

#include "FlacFactory.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

QJsonObject OutputReader::read(const QString& path) {
    QByteArray output;
    QByteArray error;
    const int status =
        FlacFactory::run(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral(TONEBRIDGE_SOURCE_DIR "/tests/tools/read_audio.py"), path},
                         &output, &error);
    if (status != 0) {
        qWarning("reader failed on %s: %s", qPrintable(path), error.constData());
        return QJsonObject();
    }
    return QJsonDocument::fromJson(output).object();
}

QString OutputReader::flacPcmSha1(const QString& flacPath) {
    QByteArray pcm;
    FlacFactory::run(QStringLiteral("flac"),
                     {QStringLiteral("-s"), QStringLiteral("-d"), QStringLiteral("-c"),
                      QStringLiteral("--force-raw-format"), QStringLiteral("--endian=big"),
                      QStringLiteral("--sign=signed"), flacPath},
                     &pcm);
    return QString::fromLatin1(QCryptographicHash::hash(pcm, QCryptographicHash::Sha1).toHex());
}

QString OutputReader::fileSha1(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromLatin1(
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex());
}
