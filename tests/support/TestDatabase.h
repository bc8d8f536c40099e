#pragma once

#include "conversion/ConversionControleur.h"
#include "conversion/Core.h"
#include "conversion/FileAdder.h"
#include "conversion/FlacTagReader.h"
#include "model/QueueStore.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/CocoLite.h"

#include <QList>
#include <QStringList>

// The core without windows over a real database file in the test's home:
// real queue, real controller and decoder, the test's settings. It keeps
// the emptiness notices and the messages that would reach the settings view.
class TestDatabase {
public:
    explicit TestDatabase(const QString& fileName = QStringLiteral("test.db"));
    ~TestDatabase();

    int count(const QString& table) const;
    Core& core() { return m_core; }
    GestionnairePileFichier& queue() { return *m_core.queue(); }
    GestionnairePileFichier* pileFichiers() const { return m_core.queue(); }
    CocoLite* database() const { return m_core.database(); }
    QueueStore* store() const { return m_core.store(); }
    QueueStore& records() { return *m_core.store(); }
    ConversionControleur* controleur() const { return m_core.controleur(); }
    FileAdder* fileAdder() const { return m_core.fileAdder(); }
    FlacTagReader* tagReader() const { return m_core.tagReader(); }
    // A record for the FLAC file at that path, its tags read, saved: what
    // adding it on its own makes.
    FichierAudioPtr recordFor(const QString& path);

    QList<bool> notices;
    QStringList messages;

private:
    Core m_core;
};
