#pragma once

#include <QString>

#include <memory>

class PersistentURL;
using PersistentURLPtr = std::shared_ptr<PersistentURL>;

// A file or folder location, stored by the queue's store once its file
// exists and found again by its path.
class PersistentURL {
public:
    explicit PersistentURL(const QString& path);

    // The location of a path; the file system is not looked at, so the file
    // need not exist yet (an output).
    static PersistentURLPtr persistentURLwithURL(const QString& path);
    static PersistentURLPtr persistentURLforPath(const QString& path);
    // The row identifier in the store, 0 while it has none.
    quint32 sqliteid() const { return m_sqliteid; }
    void setSqliteid(quint32 identifier) { m_sqliteid = identifier; }

    QString path() const { return m_path; }
    QString fileName() const;
    QString folderPath() const;
    QString extension() const;
    QString pathWithoutExtension() const;
    bool exists() const;
    bool sameLocation(const PersistentURL& other) const { return m_path == other.m_path; }

    bool isactive() const { return m_isactive; }
    void setIsactive(bool active) { m_isactive = active; }
    qint32 elementType() const { return m_elementType; }
    void setElementType(qint32 type) { m_elementType = type; }

    // Seconds since 2001-01-01 00:00:00 UTC, the dates of the stored locations.
    static qint64 referenceDateOffset();

private:
    QString m_path;
    bool m_isactive = false;
    quint32 m_sqliteid = 0;
    qint32 m_elementType = 0;
};
