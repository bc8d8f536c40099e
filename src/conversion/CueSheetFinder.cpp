#include "CueSheetFinder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
bool isFlac(const QFileInfo& info) {
    return info.isFile() && info.suffix().compare(QLatin1String("flac"), Qt::CaseInsensitive) == 0;
}
} // namespace

CueSheetFinder::Found CueSheetFinder::read(const QString& cuePath, const QString& encoding) {
    QFile file(cuePath);
    if (!file.open(QIODevice::ReadOnly)) {
        Found none;
        none.sheet.error = QStringLiteral("illisible : %1").arg(file.errorString());
        return none;
    }
    Found found;
    const QByteArray bytes = file.readAll();
    found.text =
        encoding.isEmpty() ? CueSheetText::decode(bytes) : CueSheetText::decodeAs(bytes, encoding);
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
    // Names only: a folder of thousands of files is read once, not looked
    // at file by file.
    for (const QString& name :
         folder.entryList({QStringLiteral("*.cue")}, QDir::Files | QDir::Hidden)) {
        const QString cue = folder.filePath(name);
        const Found found = read(cue);
        for (const QString& named : found.sheet.files) {
            if (audioFor(cue, named) == flac.absoluteFilePath()) {
                return cue;
            }
        }
    }
    return QString();
}
