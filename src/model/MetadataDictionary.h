#pragma once

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class MetadataDictionary;
using MetadataDictionaryPtr = std::shared_ptr<MetadataDictionary>;

// One set of tags and stream facts of an audio file: what was read from the
// source (type 1) or what will be written into the output (type 2). A
// string-keyed dictionary that the queue's store keeps as one row.
class MetadataDictionary {
public:
    enum Type : qint32 { kInput = 1, kOutput = 2 };

    MetadataDictionary() = default;
    explicit MetadataDictionary(const QVariantMap& entries) : m_entries(entries) {}

    static MetadataDictionaryPtr withType(qint32 amdtype);
    // The stored tag and stream keys, in column order.
    static const QStringList& storedKeys();

    // The row identifier in the store, 0 while it has none.
    quint32 sqliteid() const;
    void setSqliteid(quint32 identifier);
    quint32 fileid() const;
    void setFileid(quint32 identifier);

    QVariant value(const QString& key) const { return m_entries.value(key); }
    bool contains(const QString& key) const { return m_entries.contains(key); }
    void insert(const QString& key, const QVariant& value) { m_entries.insert(key, value); }
    void remove(const QString& key) { m_entries.remove(key); }
    QStringList keys() const { return m_entries.keys(); }
    const QVariantMap& entries() const { return m_entries; }
    void addEntries(const QVariantMap& entries);

    // Value equality as the aggregate compares entries: strings by their
    // characters, numbers by value, a string never equal to a number, other
    // objects by identity.
    static bool sameValue(const QVariant& left, const QVariant& right);
    static bool isNumber(const QVariant& value);
    // A track or disc number as it is shown: nothing for none, whether it is
    // missing or stored as 0.
    static QVariant shownNumber(const QVariant& value);

private:
    QVariantMap m_entries;
};
