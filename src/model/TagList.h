#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Tags as Vorbis comments keep them: NAME=value pairs in order, a name
// possibly repeated, names compared without regard to case. What a FLAC
// source carries, and what an output receives before each container maps it
// to its own fields. A value: safe to copy to any thread.
class TagList {
public:
    struct Entry {
        QString name;
        QString value;
        bool operator==(const Entry&) const = default;
    };

    // A name once, with all its values in order.
    struct Group {
        QString name;
        QStringList values;
    };

    TagList() = default;
    TagList(std::initializer_list<Entry> entries) : m_entries(entries) {}

    void append(const QString& name, const QString& value);
    // Every value of a name, in order.
    QStringList values(const QString& name) const;
    // The first value of the first of these names that has one.
    QString first(const QStringList& names) const;
    QString first(const QString& name) const { return first(QStringList{name}); }
    bool contains(const QString& name) const;
    // Each name once, in the order it first appears.
    QList<Group> groups() const;
    void removeAll(const QString& name);
    // Puts these values in place of the name's: where its first value was,
    // or at the end.
    void replace(const QString& name, const QStringList& values);

    const QList<Entry>& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    qsizetype size() const { return m_entries.size(); }
    bool operator==(const TagList&) const = default;

    static bool sameName(const QString& left, const QString& right);
    // The integer a tag's text starts with ("03/12" gives 3); 0 for none.
    static qint32 leadingInteger(const QString& text);

private:
    QList<Entry> m_entries;
};
