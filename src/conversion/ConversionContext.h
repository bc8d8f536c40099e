#pragma once

#include "queue/QueueContext.h"

#include <QString>

class ConversionControleur;

// Where the engine's messages are shown: the settings view's message line.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void echoUserMessage(const QString& message) = 0;
};

// The application context as the conversion engine sees it.
class ConversionContext : public QueueContext {
public:
    static ConversionContext* current();

    virtual ConversionControleur* controleur() const = 0;
    // The settings view; null while there is none.
    virtual MessageSink* messageSink() const = 0;

    MetadataReader* metadataReader() const override;

    // Shows a message in the settings view, when there is one.
    static void echoUserMessage(const QString& message);
};
