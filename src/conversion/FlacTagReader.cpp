#include "FlacTagReader.h"

#include "conversion/MessageSink.h"
#include "conversion/MetaflacOutputParser.h"
#include "conversion/TagLibStrings.h"
#include "model/FichierAudio.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

#include <taglib/flacfile.h>
#include <taglib/xiphcomment.h>

namespace {
constexpr int kMetaflacTimeoutMs = 60000;
// A value can be megabytes long: the log keeps its beginning.
constexpr int kLoggedLength = 200;
} // namespace

FlacTagReader::FlacTagReader(const QString& metaflacPath, const QString& pictureFolder,
                             MessageSink* sink)
    : m_metaflacPath(metaflacPath), m_pictureFolder(pictureFolder), m_sink(sink) {}

QProcessEnvironment FlacTagReader::toolEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return environment;
}

void FlacTagReader::say(const QString& message) const {
    if (m_sink != nullptr) {
        m_sink->echoUserMessage(message);
    }
}

QString FlacTagReader::picturePath(const QString& sourcePath) const {
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(sourcePath.toUtf8(), QCryptographicHash::Sha1).toHex().left(16));
    return m_pictureFolder + QStringLiteral("/.tmp_") + hash + QStringLiteral(".jpg");
}

namespace {
TagList commentsOf(TagLib::FLAC::File& file) {
    TagList comments;
    if (!file.hasXiphComment()) {
        return comments;
    }
    // TagLib keeps a name's values in order, the names themselves sorted.
    const TagLib::Ogg::FieldListMap& fields = file.xiphComment()->fieldListMap();
    for (const auto& [name, values] : fields) {
        for (const TagLib::String& value : values) {
            comments.append(TagLibStrings::fromTagLib(name), TagLibStrings::fromTagLib(value));
        }
    }
    return comments;
}
} // namespace

QString FlacTagReader::exportPicture(TagLib::FLAC::File& file, const QString& sourcePath,
                                     QStringList* logLines) const {
    // The first PICTURE block, whatever its type, as `metaflac
    // --export-picture-to` gives it.
    const TagLib::List<TagLib::FLAC::Picture*> pictures = file.pictureList();
    const QString picture = picturePath(sourcePath);
    if (pictures.isEmpty()) {
        QFile::remove(picture);
        return QString();
    }
    const TagLib::ByteVector data = pictures.front()->data();
    QString error;
    if (!FileManager::ensureDirectory(m_pictureFolder, &error)) {
        logLines->append(QStringLiteral("Impossible de créer %1\n%2").arg(m_pictureFolder, error));
        return QString();
    }
    QSaveFile output(picture);
    if (!output.open(QIODevice::WriteOnly) ||
        output.write(data.data(), qint64(data.size())) != qint64(data.size()) || !output.commit()) {
        logLines->append(
            QStringLiteral("Impossible d'écrire %1\n%2").arg(picture, output.errorString()));
        return QString();
    }
    return picture;
}

TagList FlacTagReader::readComments(const QString& sourcePath) {
    const QByteArray path = QFile::encodeName(sourcePath);
    TagLib::FLAC::File file(path.constData(), false);
    return file.isValid() ? commentsOf(file) : TagList();
}

SourceReading FlacTagReader::readSource(const QString& source) const {
    SourceReading reading;
    QStringList arguments;
    for (const QString& name : MetaflacOutputParser::streamNames()) {
        arguments << QStringLiteral("--show-%1").arg(name);
    }
    for (const QString& name : MetaflacOutputParser::tagNames()) {
        arguments << QStringLiteral("--show-tag=") + name;
    }
    arguments << source;
    QProcess process;
    process.setProcessEnvironment(toolEnvironment());
    if (!m_metaflacPath.isEmpty()) {
        process.start(m_metaflacPath, arguments);
    }
    if (m_metaflacPath.isEmpty() || !process.waitForStarted()) {
        // The file is queued without tags; the error is the tool's, not the file's.
        reading.logLines
            << QStringLiteral("Programme %1 introuvable").arg(QStringLiteral("metaflac"));
        return reading;
    }
    if (!process.waitForFinished(kMetaflacTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    const QByteArray output = process.readAllStandardOutput();
    const QByteArray errorOutput = process.readAllStandardError();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        reading.error = QStringLiteral("Impossible de Récupérer Les Métadata\n%1")
                            .arg(QString::fromUtf8(errorOutput));
        return reading;
    }
    QStringList extraLines;
    reading.values = MetaflacOutputParser::parse(output, &extraLines);
    for (const QString& line : std::as_const(extraLines)) {
        QString trimmed = line.trimmed();
        if (trimmed.size() > kLoggedLength) {
            trimmed = trimmed.left(kLoggedLength) + QStringLiteral("…");
        }
        if (!trimmed.isEmpty()) {
            reading.logLines << QStringLiteral("ligne inconnue :\n%1\n").arg(trimmed);
        }
    }
    const QByteArray path = QFile::encodeName(source);
    TagLib::FLAC::File file(path.constData(), false);
    if (file.isValid()) {
        reading.comments = commentsOf(file);
        reading.picturePath = exportPicture(file, source, &reading.logLines);
    }
    reading.read = true;
    return reading;
}

bool FlacTagReader::readMetadataFromOriginalFile(FichierAudio* fichier, QString* error) {
    say(QStringLiteral("Lecture des métadonnées de %1").arg(fichier->nomElement()));
    SourceReading reading = readSource(fichier->elementURL()->path());
    if (!reading.read && reading.error.isEmpty()) {
        for (const QString& line : std::as_const(reading.logLines)) {
            Log::write(line);
            say(line);
        }
        return true;
    }
    if (!reading.read) {
        *error = reading.error;
        return false;
    }
    if (reading.picturePath.isEmpty()) {
        fichier->setImageTempURL(nullptr);
    }
    fichier->applyReading(reading);
    return true;
}
