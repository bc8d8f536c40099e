#pragma once

#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <array>
#include <functional>
#include <memory>
#include <utility>

class MetadataDictionary;
using MetadataDictionaryPtr = std::shared_ptr<MetadataDictionary>;

// One set of tags and stream facts of an audio file: what was read from the
// source (type 1) or what will be written into the output (type 2). A
// string-keyed dictionary that the queue's store keeps as one row. A queue
// of 100,000 files holds two per file, so the keys every set has are kept by
// their place rather than by name.
class MetadataDictionary {
public:
    enum Type : qint32 { kInput = 1, kOutput = 2 };

    MetadataDictionary() = default;
    explicit MetadataDictionary(const QVariantMap& entries) { addEntries(entries); }

    static MetadataDictionaryPtr withType(qint32 amdtype);
    // The stored tag and stream keys, in column order.
    static const QStringList& storedKeys();

    // The row identifier in the store, 0 while it has none.
    quint32 sqliteid() const;
    void setSqliteid(quint32 identifier);
    quint32 fileid() const;
    void setFileid(quint32 identifier);

    QVariant value(const QString& key) const;
    bool contains(const QString& key) const;
    void insert(const QString& key, const QVariant& value);
    void remove(const QString& key);
    // The keys in order.
    QStringList keys() const;
    QVariantMap entries() const;
    void addEntries(const QVariantMap& entries);
    // The sets of a selection's files as one: each key of the input sets
    // once, with its value where every file has the same and "difference"
    // where two differ; the output side the same over the output sets'
    // values of those keys. A pass over every file, for 100,000 of them.
    static void
    aggregate(const QList<std::pair<const MetadataDictionary*, const MetadataDictionary*>>& files,
              const QVariant& difference, MetadataDictionary& input, MetadataDictionary& output);
    // Each entry, in no particular order, without building a map.
    void forEach(const std::function<void(const QString& key, const QVariant& value)>& visit) const;

    // Value equality as the aggregate compares entries: strings by their
    // characters, numbers by value, a string never equal to a number, other
    // objects by identity.
    static bool sameValue(const QVariant& left, const QVariant& right);
    static bool isNumber(const QVariant& value);
    // A track or disc number as it is shown: nothing for none, whether it is
    // missing or stored as 0.
    static QVariant shownNumber(const QVariant& value);

private:
    // The keys every set has: the store's columns, the set's identifiers and
    // the names and sizes the list shows.
    static const QStringList& commonKeys();
    static constexpr int kCommonCount = 16;
    // The place of a key among the common ones, -1 for another key.
    static int commonIndex(const QString& key);

    std::array<QVariant, kCommonCount> m_common;
    // Which common keys are present, a value that is not valid included.
    quint32 m_present = 0;
    QVariantMap m_others;
};
