#pragma once

#include "model/TagList.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

class CocoLite;
class FichierAudio;

// What the data model needs from the layers above it, reached through the
// application context.
class QueueAccess {
public:
    virtual ~QueueAccess() = default;
    virtual void ajouterUnFichier(const QString& path) = 0;
    virtual QList<std::shared_ptr<FichierAudio>> fichiersAudio() const = 0;
};

// What was read of a FLAC source before its record is made: a value, made
// on any thread, handed to the main thread.
struct SourceReading {
    // False when the tags could not be read (error says why).
    bool read = false;
    QVariantMap values;
    // Every comment of the source, in its order.
    TagList comments;
    // The exported picture; empty when the source has none.
    QString picturePath;
    QString error;
    // Lines for the log (further values of a tag, tool messages).
    QStringList logLines;
};

class MetadataReader {
public:
    virtual ~MetadataReader() = default;
    // Fills the file's metadata records from its source; false with the
    // failure reason in *error.
    virtual bool readMetadataFromOriginalFile(FichierAudio* file, QString* error) = 0;
};

// The application context as the data model sees it. The application
// installs the one context at start-up.
class ModelContext {
public:
    virtual ~ModelContext();

    static ModelContext* current();
    static void setCurrent(ModelContext* context);

    virtual CocoLite* database() const = 0;
    // The queue; null while there is none.
    virtual QueueAccess* queueAccess() const = 0;
    // The decoder's tag reader; null while there is none.
    virtual MetadataReader* metadataReader() const = 0;

    // The current context's database.
    static CocoLite& db();
    // Changes each time a context is installed or goes, so that a layer can
    // keep its own view of the current context until then.
    static quint64 generation();

    // The current context as one of the layers' context classes.
    template <typename Context> static Context* currentAs() {
        thread_local quint64 seen = ~quint64(0);
        thread_local Context* cast = nullptr;
        if (seen != generation()) {
            seen = generation();
            cast = dynamic_cast<Context*>(current());
        }
        return cast;
    }
};
