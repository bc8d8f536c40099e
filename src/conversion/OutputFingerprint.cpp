#include "OutputFingerprint.h"

#include <QCryptographicHash>
#include <QFile>

QString OutputFingerprint::tags(const TagList& tags, const QByteArray& cover) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const TagList::Entry& entry : tags.entries()) {
        // A name and a value can hold any character but these.
        hash.addData(entry.name.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
        hash.addData(entry.value.toUtf8());
        hash.addData(QByteArrayView("\n\0", 2));
    }
    hash.addData(QCryptographicHash::hash(cover, QCryptographicHash::Sha256));
    return QString::fromLatin1(hash.result().toHex());
}

QString OutputFingerprint::audio(const QByteArray& md5, qint64 firstSample, qint64 endSample) {
    if (md5.count('\0') == md5.size()) {
        return QString();
    }
    QString text = QStringLiteral("md5:") + QString::fromLatin1(md5.toHex());
    if (endSample > firstSample) {
        text += QStringLiteral(":%1-%2").arg(firstSample).arg(endSample);
    }
    return text;
}

QString OutputFingerprint::decodedAudio(const QString& decodedPath) {
    QFile file(decodedPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        return QString();
    }
    return QStringLiteral("pcm:") + QString::fromLatin1(hash.result().toHex());
}

namespace {
const QString kMeasuredLoudness = QStringLiteral("|replaygain scan");
} // namespace

QString OutputFingerprint::withMeasuredLoudness(const QString& tagsFingerprint) {
    return tagsFingerprint + kMeasuredLoudness;
}

bool OutputFingerprint::hasMeasuredLoudness(const QString& tagsFingerprint) {
    return tagsFingerprint.endsWith(kMeasuredLoudness);
}
