#include "TestDatabase.h"

#include "TestEnvironment.h"

TestDatabase::TestDatabase(const QString& fileName)
    : m_core(TestEnvironment::settings(), ExternalTools::found()) {
    m_core.open(TestEnvironment::makeFolder("data") + "/" + fileName);
    QObject::connect(&m_core.messages(), &MessageRelay::said,
                     [this](const QString& message) { messages.append(message); });
    QObject::connect(m_core.queue(), &GestionnairePileFichier::laListeContientDesFichiers,
                     [this](bool contientDesFichiers) { notices.append(contientDesFichiers); });
    m_core.loadQueue();
}

TestDatabase::~TestDatabase() = default;

FichierAudioPtr TestDatabase::recordFor(const QString& path) {
    return FichierAudio::finderElementAvecURL(*store(), PersistentURL::persistentURLwithURL(path),
                                              nullptr, QString(), tagReader());
}

int TestDatabase::count(const QString& table) const {
    return database()
        ->outputDBrequest("SELECT count(*) AS n FROM `" + table + "`")
        .value(0)
        .value("n")
        .toInt();
}
