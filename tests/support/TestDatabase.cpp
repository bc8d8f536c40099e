#include "TestDatabase.h"

#include "TestEnvironment.h"

TestDatabase::TestDatabase(const QString& fileName) {
    setQueueObserver(this);
    setMessageSink(this);
    createDatabase(TestEnvironment::makeFolder("data") + "/" + fileName);
    createControleur();
    createTables();
    createQueue();
}

TestDatabase::~TestDatabase() = default;

int TestDatabase::count(const QString& table) const {
    return database()
        ->outputDBrequest("SELECT count(*) AS n FROM `" + table + "`")
        .value(0)
        .value("n")
        .toInt();
}
