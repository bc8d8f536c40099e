#include "FlacTagReader.h"

#include "conversion/TagLibGuard.h"

#include "conversion/FlacStreamInfo.h"
#include "conversion/MessageSink.h"
#include "conversion/MetaflacOutputParser.h"
#include "conversion/TagLibStrings.h"
#include "model/FichierAudio.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryFile>

#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/oggflacfile.h>
#include <taglib/tfilestream.h>
#include <taglib/xiphcomment.h>

namespace {
constexpr int kMetaflacTimeoutMs = 60000;
constexpr int kCancelPollMs = 50;
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

QString FlacTagReader::picturePrefix() {
    return QStringLiteral(".tmp_");
}

QString FlacTagReader::picturePath(const QByteArray& data) const {
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex().left(32));
    return m_pictureFolder + QLatin1Char('/') + picturePrefix() + hash + QStringLiteral(".jpg");
}

namespace {
TagList commentsOf(TagLib::Ogg::XiphComment* xiph) {
    TagList comments;
    if (xiph == nullptr) {
        return comments;
    }
    // TagLib keeps a name's values in order, the names themselves sorted.
    const TagLib::Ogg::FieldListMap& fields = xiph->fieldListMap();
    for (const auto& [name, values] : fields) {
        for (const TagLib::String& value : values) {
            comments.append(TagLibStrings::fromTagLib(name), TagLibStrings::fromTagLib(value));
        }
    }
    return comments;
}

QByteArray firstPicture(const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    if (pictures.isEmpty()) {
        return QByteArray();
    }
    const TagLib::ByteVector data = pictures.front()->data();
    return QByteArray(data.data(), int(data.size()));
}

// What TagLib reads of a source, opened read-only: a crash can never write
// into it, and a read-only library reads.
struct TagLibReading {
    bool valid = false;
    TagList comments;
    QByteArray picture;
};

TagLibReading readWithTagLib(const QString& sourcePath, bool ogg) {
    const TagLibGuard guard;
    TagLibReading reading;
    const QByteArray path = QFile::encodeName(sourcePath);
    TagLib::FileStream stream(path.constData(), true);
    if (!stream.isOpen()) {
        return reading;
    }
    if (ogg) {
        TagLib::Ogg::FLAC::File file(&stream, false);
        reading.valid = file.isValid();
        if (reading.valid && file.hasXiphComment()) {
            reading.comments = commentsOf(file.tag());
            reading.picture = firstPicture(file.tag()->pictureList());
        }
        return reading;
    }
    TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
    reading.valid = file.isValid();
    if (reading.valid) {
        reading.comments = file.hasXiphComment() ? commentsOf(file.xiphComment()) : TagList();
        reading.picture = firstPicture(file.pictureList());
    }
    return reading;
}

QByteArray runMetaflac(const QString& metaflac, const QStringList& arguments, bool* ok) {
    *ok = false;
    if (metaflac.isEmpty()) {
        return QByteArray();
    }
    QProcess process;
    process.setProcessEnvironment(FlacTagReader::toolEnvironment());
    process.start(metaflac, arguments);
    if (!process.waitForStarted()) {
        return QByteArray();
    }
    if (!process.waitForFinished(kMetaflacTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QByteArray();
    }
    *ok = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

// What metaflac lists of the comments: TagLib gives up on some files flac
// itself reads (an empty block of a reserved type, for one).
TagList commentsListedByMetaflac(const QString& metaflac, const QString& sourcePath) {
    bool ok = false;
    const QByteArray listing = runMetaflac(
        metaflac,
        {QStringLiteral("--list"), QStringLiteral("--block-type=VORBIS_COMMENT"), sourcePath}, &ok);
    return ok ? MetaflacOutputParser::parseCommentListing(listing) : TagList();
}

// The seven fields and the stream facts, from what was read without
// metaflac (an Ogg FLAC file): the last value of a name wins, as metaflac's.
QVariantMap valuesWithoutMetaflac(const FlacStreamInfo& stream, const TagList& comments) {
    QVariantMap values;
    values.insert(QStringLiteral("sample-rate"), QString::number(stream.sampleRate));
    values.insert(QStringLiteral("channels"), QString::number(stream.channels));
    values.insert(QStringLiteral("bps"), QString::number(stream.bitsPerSample));
    values.insert(QStringLiteral("md5sum"), QString());
    for (const auto& [name, value] : comments.entries()) {
        const QString key = name.toLower();
        if (MetaflacOutputParser::tagNames().contains(key) && !key.isEmpty()) {
            values.insert(key, value);
        }
    }
    return values;
}
} // namespace

void FlacTagReader::showEveryValue(SourceReading& reading) {
    // Two artists show as the output carries them, joined with "; "; an edit
    // of the field then replaces them all.
    // The fields that hold several values in real libraries; the others keep
    // one, as metaflac gives the last.
    static const QStringList texts = {QStringLiteral("artist"), QStringLiteral("genre")};
    for (const QString& name : texts) {
        const QStringList values = reading.comments.values(name);
        if (values.size() > 1) {
            reading.values.insert(name, values.join(QStringLiteral("; ")));
        }
    }
}

QString FlacTagReader::exportPicture(const QByteArray& data, QStringList* logLines) const {
    // The first PICTURE block, whatever its type, as `metaflac
    // --export-picture-to` gives it.
    if (data.isEmpty()) {
        return QString();
    }
    const QString picture = picturePath(data);
    QFile existing(picture);
    if (existing.size() == data.size()) {
        // Another source's, or this one's from before: taken up again, so
        // that a removal of its last user just now leaves it.
        existing.open(QIODevice::ReadWrite);
        existing.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime);
        return picture;
    }
    QString error;
    if (!FileManager::ensureDirectory(m_pictureFolder, &error)) {
        logLines->append(QStringLiteral("Impossible de créer %1\n%2").arg(m_pictureFolder, error));
        return QString();
    }
    QSaveFile output(picture);
    if (!output.open(QIODevice::WriteOnly) || output.write(data) != data.size() ||
        !output.commit()) {
        logLines->append(
            QStringLiteral("Impossible d'écrire %1\n%2").arg(picture, output.errorString()));
        return QString();
    }
    return picture;
}

QString FlacTagReader::exportPictureWithMetaflac(const QString& sourcePath,
                                                 QStringList* logLines) const {
    FileManager::ensureDirectory(m_pictureFolder);
    QTemporaryFile exported(m_pictureFolder + QStringLiteral("/.export_XXXXXX"));
    if (!exported.open()) {
        return QString();
    }
    bool ok = false;
    runMetaflac(m_metaflacPath,
                {QStringLiteral("--export-picture-to=") + exported.fileName(), sourcePath}, &ok);
    return ok ? exportPicture(exported.readAll(), logLines) : QString();
}

QString FlacTagReader::embeddedCueSheet(const QString& sourcePath, const QString& metaflacPath) {
    bool ok = false;
    const QByteArray block =
        runMetaflac(metaflacPath, {QStringLiteral("--export-cuesheet-to=-"), sourcePath}, &ok);
    if (ok && !block.trimmed().isEmpty()) {
        return QString::fromUtf8(block);
    }
    return readComments(sourcePath, metaflacPath).first(QStringLiteral("CUESHEET"));
}

TagList FlacTagReader::readComments(const QString& sourcePath, const QString& metaflacPath) {
    const FlacStreamInfo stream = FlacStreamInfo::read(sourcePath);
    const TagLibReading reading = readWithTagLib(sourcePath, stream.ogg);
    if (reading.valid) {
        return reading.comments;
    }
    return commentsListedByMetaflac(metaflacPath, sourcePath);
}

SourceReading FlacTagReader::readSource(const QString& source,
                                        const std::atomic<bool>* cancelled) const {
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
    // Waited for in short steps, so that a cancelled addition ends at once.
    QElapsedTimer running;
    running.start();
    while (!process.waitForFinished(kCancelPollMs)) {
        const bool stop = cancelled != nullptr && cancelled->load();
        if (stop || running.elapsed() > kMetaflacTimeoutMs ||
            process.state() == QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            if (stop) {
                reading.error = QStringLiteral("annulé");
                return reading;
            }
            break;
        }
    }
    const QByteArray output = process.readAllStandardOutput();
    const QByteArray errorOutput = process.readAllStandardError();
    const bool listed = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    const FlacStreamInfo stream = FlacStreamInfo::read(source);
    const TagLibReading tagLib = readWithTagLib(source, stream.ogg);
    if (!listed && !(stream.ogg && tagLib.valid)) {
        reading.error = QStringLiteral("Impossible de Récupérer Les Métadata\n%1")
                            .arg(QString::fromUtf8(errorOutput));
        return reading;
    }
    if (!listed) {
        // metaflac reads no Ogg FLAC: TagLib and the stream header tell all.
        reading.values = valuesWithoutMetaflac(stream, tagLib.comments);
    } else {
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
    }
    if (tagLib.valid) {
        reading.comments = tagLib.comments;
        reading.picturePath = exportPicture(tagLib.picture, &reading.logLines);
    } else {
        reading.comments = commentsListedByMetaflac(m_metaflacPath, source);
        reading.picturePath = exportPictureWithMetaflac(source, &reading.logLines);
    }
    showEveryValue(reading);
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
