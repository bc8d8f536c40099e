#pragma once

#include "conversion/ConversionControleur.h"
#include "conversion/EngineContext.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"

#include <QList>
#include <QStringList>

// The application context without windows over a real database file in the
// test's home: real queue, real controller and decoder. It keeps the
// emptiness notices and the messages that would reach the settings view.
class TestDatabase : public EngineContext, public QueueObserver, public MessageSink {
public:
    explicit TestDatabase(const QString& fileName = QStringLiteral("test.db"));
    ~TestDatabase() override;

    void laListeContientDesFichiers(bool contientDesFichiers) override {
        notices.append(contientDesFichiers);
    }
    void echoUserMessage(const QString& message) override { messages.append(message); }

    int count(const QString& table) const;
    GestionnairePileFichier& queue() { return *pileFichiers(); }

    QList<bool> notices;
    QStringList messages;
};
