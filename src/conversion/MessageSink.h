#pragma once

#include <QString>

// Where the engine's messages are shown: the settings view's message line,
// or the terminal's output.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void echoUserMessage(const QString& message) = 0;
};
