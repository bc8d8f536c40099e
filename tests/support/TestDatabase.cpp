#include "TestDatabase.h"

#include "TestEnvironment.h"

TestDatabase::TestDatabase(const QString& fileName) {
    createDatabase(TestEnvironment::makeFolder("data") + "/" + fileName);
    createControleur();
    createTables();
    createQueue();
    setQueueObserver(this);
    setMessageSink(this);
}

TestDatabase::~TestDatabase() = default;

int TestDatabase::count(const QString& table) const {
    return database()
        ->outputDBrequest("SELECT count(*) AS n FROM `" + table + "`")
        .value(0)
        .value("n")
        .toInt();
}
