#pragma once

#include "conversion/MessageSink.h"

#include <QObject>

// The engine's messages as a signal: whoever shows them (the settings
// view's message line, the terminal, a test) connects. Lives on the main
// thread.
class MessageRelay : public QObject, public MessageSink {
    Q_OBJECT
public:
    using QObject::QObject;
    void echoUserMessage(const QString& message) override { emit said(message); }

signals:
    void said(const QString& message);
};
