#include "TestDatabase.h"

#include "TestEnvironment.h"
#include "model/FichierAudio.h"
#include "model/MetadataDictionary.h"
#include "model/PersistentURL.h"
#include "storage/CocoLite.h"

TestDatabase::TestDatabase(const QString& fileName)
    : m_database(std::make_unique<CocoLite>(TestEnvironment::makeFolder("data") + "/" + fileName)),
      m_queue(std::make_unique<GestionnairePileFichier>()) {
    m_database->inputDBrequest(PersistentURL::sqliteCreationRequete());
    m_database->inputDBrequest(FichierAudio::sqliteCreationRequete());
    m_database->inputDBrequest(MetadataDictionary::sqliteCreationRequete());
    ModelContext::setCurrent(this);
}

TestDatabase::~TestDatabase() = default;

int TestDatabase::count(const QString& table) const {
    return m_database->outputDBrequest("SELECT count(*) AS n FROM `" + table + "`")
        .value(0)
        .value("n")
        .toInt();
}
