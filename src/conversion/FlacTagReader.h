#pragma once

#include "model/MetadataReader.h"
#include "model/SourceReading.h"

#include <QProcessEnvironment>
#include <QString>

#include <atomic>

class FichierAudio;
class MessageSink;

// Reads what the queue needs to know about a FLAC file when it is added:
// its stream facts and the fields the information view edits, with
// `metaflac`; every comment and the embedded picture, exported into the
// pictures folder it is given, with TagLib, which opens the source only for
// reading; with metaflac again where TagLib gives up. An Ogg FLAC file,
// which metaflac does not read, is read with TagLib and its stream header. readSource() runs on any
// thread; the rest on the thread that adds files.
class FlacTagReader : public MetadataReader {
public:
    FlacTagReader(const QString& metaflacPath, const QString& pictureFolder, MessageSink* sink);

    bool readMetadataFromOriginalFile(FichierAudio* fichier, QString* error) override;
    // Reads the source's tags and exports its picture; safe on any thread.
    // A cancel asked for kills the metaflac under way.
    SourceReading readSource(const QString& sourcePath,
                             const std::atomic<bool>* cancelled = nullptr) const;
    // Every comment of a FLAC or Ogg FLAC file, repeated names and line
    // breaks kept, read with TagLib or, where TagLib gives up, from
    // metaflac's listing; empty when it has none or cannot be read. Safe on
    // any thread.
    static TagList readComments(const QString& sourcePath, const QString& metaflacPath);
    // The cue sheet a FLAC file carries: its CUESHEET block as metaflac
    // writes it out, else its CUESHEET comment; empty when it has neither.
    // Safe on any thread.
    static QString embeddedCueSheet(const QString& sourcePath, const QString& metaflacPath);
    // Where a picture's bytes are exported: one file per distinct picture,
    // named by a hash of its bytes, shared by every source that carries it.
    QString picturePath(const QByteArray& data) const;
    QString pictureFolder() const { return m_pictureFolder; }
    // The start of the exported pictures' names.
    static QString picturePrefix();

    QString metaflacPath() const { return m_metaflacPath; }
    void setMetaflacPath(const QString& path) { m_metaflacPath = path; }
    // The environment the FLAC programs run in: tag text in UTF-8.
    static QProcessEnvironment toolEnvironment();

private:
    // The exported picture's path, empty when the source has none.
    QString exportPicture(const QByteArray& data, QStringList* logLines) const;
    QString exportPictureWithMetaflac(const QString& sourcePath, QStringList* logLines) const;
    void say(const QString& message) const;
    static void showEveryValue(SourceReading& reading);

    QString m_metaflacPath;
    QString m_pictureFolder;
    MessageSink* m_sink;
};
