#pragma once

#include <QString>

// What every stored object does: write the SQL text that stores and deletes
// it, and save itself, remembering its row identifier (0: no row yet).
// Each class also offers, as static members, sqliteCreationRequete(),
// sqliteColumnHeadersRequete() and vider(), and where it can be read back,
// persistentObjectWithSqliteid().
class sqlitePersistentObject {
public:
    virtual ~sqlitePersistentObject() = default;

    virtual QString sqliteInsertUpdateRequete() = 0;
    virtual QString sqliteDeleteRequete() const = 0;
    virtual quint32 save() = 0;
    virtual quint32 sqliteid() const = 0;
    virtual void setSqliteid(quint32 identifier) = 0;
    // The identifier of an existing row that stands for the same thing, or 0.
    virtual quint32 sqlitePreviousId() { return 0; }
};
