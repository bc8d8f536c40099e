#pragma once

#include "conversion/MessageSink.h"
#include "queue/QueueContext.h"

class ConversionControleur;

// The application context as the conversion engine's owner sees it: the
// controller, and where the engine's messages go. The engine itself gets
// what it uses through its constructors.
class ConversionContext : public QueueContext {
public:
    virtual ConversionControleur* controleur() const = 0;
    // The settings view, or the terminal; null while there is none.
    virtual MessageSink* messageSink() const = 0;
};
