#include "LibraryMirror.h"

#include "conversion/CoverSizing.h"
#include "storage/FileIdentity.h"
#include "storage/FileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {
bool isUnder(const QString& path, const QString& folder) {
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return !folder.isEmpty() && path.startsWith(base);
}
} // namespace

LibraryMirror::Result LibraryMirror::run(const Work& work, const std::atomic<bool>* cancelled) {
    const auto stop = [cancelled] { return cancelled != nullptr && cancelled->load(); };
    Result result;
    Recorded recorded;
    for (const OutputRecord& record : work.companionRecords) {
        recorded.insert(record.output, record);
    }
    for (const auto& [sourceFolder, outputFolder] : work.companionFolders) {
        if (stop()) {
            return result;
        }
        copyCompanions(work, recorded, sourceFolder, outputFolder, result);
    }
    for (const Work::CoverFile& cover : work.coverFiles) {
        if (stop()) {
            return result;
        }
        writeCoverFile(work, recorded, cover, result);
    }
    for (const OutputRecord& record : work.pruneCandidates) {
        if (stop()) {
            return result;
        }
        prune(work, record, result);
    }
    return result;
}

void LibraryMirror::copyCompanions(const Work& work, const Recorded& recorded,
                                   const QString& sourceFolder, const QString& outputFolder,
                                   Result& result) {
    QDir folder(sourceFolder);
    // Name patterns match whatever the case: Cover.JPG is a cover too.
    const QFileInfoList companions =
        folder.entryInfoList(work.companionPatterns, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& companion : companions) {
        const QString source = companion.absoluteFilePath();
        const QString target = outputFolder + QLatin1Char('/') + companion.fileName();
        const FileIdentity sourceIdentity = FileIdentity::of(source);
        const FileIdentity targetIdentity = FileIdentity::of(target);
        const OutputRecord record = recorded.value(target);
        if (targetIdentity.exists()) {
            // Not written here, or changed since: someone else's file.
            const bool ours = record.isValid() && record.outputSize == targetIdentity.size &&
                              record.outputModifiedNs == targetIdentity.modifiedNs;
            const bool sourceChanged = record.sourceSize != sourceIdentity.size ||
                                       record.sourceModifiedNs != sourceIdentity.modifiedNs;
            if (!ours || !sourceChanged) {
                continue;
            }
        }
        if (work.dryRun) {
            result.lines << QStringLiteral("copier %1 -> %2").arg(source, target);
            continue;
        }
        QString error;
        if (!copyOne(source, target, targetIdentity.exists(), &error)) {
            result.errors << QStringLiteral("Copie de %1 impossible : %2").arg(source, error);
            continue;
        }
        const OutputRecord made = recordOf(source, target);
        result.recorded << made;
        result.lines << QStringLiteral("Copié %1 -> %2").arg(source, target);
    }
}

bool LibraryMirror::copyOne(const QString& source, const QString& target, bool replace,
                            QString* error) {
    QFile from(source);
    if (!from.open(QIODevice::ReadOnly)) {
        *error = from.errorString();
        return false;
    }
    return place(from.readAll(), target, replace, error);
}

bool LibraryMirror::place(const QByteArray& bytes, const QString& target, bool replace,
                          QString* error) {
    const QFileInfo info(target);
    if (!QFileInfo(info.absolutePath()).isDir()) {
        *error = QStringLiteral("le dossier %1 n'existe pas").arg(info.absolutePath());
        return false;
    }
    const QString partial = info.absolutePath() + QStringLiteral("/.tmp_") +
                            QString::number(QRandomGenerator::global()->generate64(), 16) +
                            QLatin1Char('.') + info.suffix();
    QFile to(partial);
    if (!to.open(QIODevice::NewOnly | QIODevice::WriteOnly) || to.write(bytes) != bytes.size()) {
        *error = to.errorString();
        to.remove();
        return false;
    }
    to.close();
    const QByteArray from8 = QFile::encodeName(partial);
    const QByteArray to8 = QFile::encodeName(target);
    const bool placed = replace ? ::rename(from8.constData(), to8.constData()) == 0
                                : ::link(from8.constData(), to8.constData()) == 0;
    if (!placed) {
        *error = FileManager::errorText(errno);
    }
    if (!placed || !replace) {
        ::unlink(from8.constData());
    }
    return placed;
}

OutputRecord LibraryMirror::recordOf(const QString& source, const QString& target) {
    const FileIdentity sourceIdentity = FileIdentity::of(source);
    const FileIdentity written = FileIdentity::of(target);
    OutputRecord made;
    made.output = target;
    made.source = source;
    made.kind = OutputRecord::Kind::Companion;
    made.sourceSize = sourceIdentity.size;
    made.sourceModifiedNs = sourceIdentity.modifiedNs;
    made.outputSize = written.size;
    made.outputModifiedNs = written.modifiedNs;
    return made;
}

void LibraryMirror::writeCoverFile(const Work& work, const Recorded& recorded,
                                   const Work::CoverFile& cover, Result& result) {
    const QString target = cover.outputFolder + QStringLiteral("/cover.jpg");
    const QByteArray bytes = CoverSizing::asJpeg(cover.cover, work.coverMaxSide);
    if (bytes.isEmpty()) {
        return;
    }
    const FileIdentity existing = FileIdentity::of(target);
    if (existing.exists()) {
        const OutputRecord record = recorded.value(target);
        const bool ours = record.isValid() && record.outputSize == existing.size &&
                          record.outputModifiedNs == existing.modifiedNs;
        QFile current(target);
        if (!ours || (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)) {
            return;
        }
    }
    if (work.dryRun) {
        result.lines << QStringLiteral("copier %1 -> %2").arg(cover.source, target);
        return;
    }
    QString error;
    if (!place(bytes, target, existing.exists(), &error)) {
        result.errors << QStringLiteral("Écriture de %1 impossible : %2").arg(target, error);
        return;
    }
    result.recorded << recordOf(cover.source, target);
    result.lines << QStringLiteral("Écrit %1").arg(target);
}

void LibraryMirror::prune(const Work& work, const OutputRecord& record, Result& result) {
    if (FileManager::fileExists(record.source) || !isUnder(record.output, work.destinationFolder)) {
        return;
    }
    if (!FileManager::fileExists(record.output)) {
        if (!work.dryRun) {
            result.forgotten << record.output;
        }
        return;
    }
    if (work.dryRun) {
        result.lines << QStringLiteral("mettre à la corbeille %1").arg(record.output);
        return;
    }
    if (!QFile::moveToTrash(record.output)) {
        result.errors << QStringLiteral("Mise à la corbeille de %1 impossible").arg(record.output);
        return;
    }
    result.forgotten << record.output;
    result.lines << QStringLiteral("Mis à la corbeille %1").arg(record.output);
    removeEmptyFoldersAbove(record.output, work.destinationFolder);
}

void LibraryMirror::removeEmptyFoldersAbove(const QString& path, const QString& destinationFolder) {
    QDir folder = QFileInfo(path).absoluteDir();
    while (isUnder(folder.absolutePath(), destinationFolder) &&
           folder.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString name = folder.dirName();
        if (!folder.cdUp() || !folder.rmdir(name)) {
            return;
        }
    }
}
