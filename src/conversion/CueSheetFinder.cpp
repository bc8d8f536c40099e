#include "CueSheetFinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
bool isFlac(const QFileInfo& info) {
    return info.isFile() && info.suffix().compare(QLatin1String("flac"), Qt::CaseInsensitive) == 0;
}
} // namespace

CueSheetFinder::Found CueSheetFinder::read(const QString& cuePath) {
    QFile file(cuePath);
    if (!file.open(QIODevice::ReadOnly)) {
        Found none;
        none.sheet.error = QStringLiteral("illisible : %1").arg(file.errorString());
        return none;
    }
    Found found;
    found.text = CueSheetText::decode(file.readAll());
    found.sheet = CueSheet::parse(found.text.text);
    return found;
}

QString CueSheetFinder::audioFor(const QString& cuePath, const QString& named) {
    const QDir folder = QFileInfo(cuePath).dir();
    // Sheets made on Windows may name the file with backslashes.
    const QString relative = QString(named).replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QFileInfo file(folder.filePath(relative));
    if (isFlac(file)) {
        return file.absoluteFilePath();
    }
    for (const QString& suffix : {QStringLiteral("flac"), QStringLiteral("FLAC")}) {
        const QFileInfo flac(
            file.dir().filePath(file.completeBaseName() + QLatin1Char('.') + suffix));
        if (isFlac(flac)) {
            return flac.absoluteFilePath();
        }
    }
    return QString();
}

QString CueSheetFinder::sheetBeside(const QString& flacPath) {
    const QFileInfo flac(flacPath);
    const QDir folder = flac.dir();
    for (const QFileInfo& cue : folder.entryInfoList(QDir::Files | QDir::Hidden)) {
        if (cue.suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) != 0) {
            continue;
        }
        const Found found = read(cue.absoluteFilePath());
        for (const QString& named : found.sheet.files) {
            if (audioFor(cue.absoluteFilePath(), named) == flac.absoluteFilePath()) {
                return cue.absoluteFilePath();
            }
        }
    }
    return QString();
}
