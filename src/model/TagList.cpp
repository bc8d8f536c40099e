#include "TagList.h"

#include <QHash>
#include <QRegularExpression>

bool TagList::sameName(const QString& left, const QString& right) {
    return left.compare(right, Qt::CaseInsensitive) == 0;
}

qint32 TagList::leadingInteger(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? qint32(match.captured(1).left(10).toLongLong()) : 0;
}

void TagList::append(const QString& name, const QString& value) {
    m_entries.append({name, value});
}

QStringList TagList::values(const QString& name) const {
    QStringList found;
    for (const Entry& entry : m_entries) {
        if (sameName(entry.name, name)) {
            found << entry.value;
        }
    }
    return found;
}

QString TagList::first(const QStringList& names) const {
    for (const QString& name : names) {
        for (const Entry& entry : m_entries) {
            if (sameName(entry.name, name)) {
                return entry.value;
            }
        }
    }
    return QString();
}

QList<TagList::Group> TagList::groups() const {
    QList<Group> groups;
    QHash<QString, qsizetype> positions;
    for (const Entry& entry : m_entries) {
        const QString key = entry.name.toUpper();
        const auto found = positions.constFind(key);
        if (found == positions.constEnd()) {
            positions.insert(key, groups.size());
            groups.append({entry.name, {entry.value}});
        } else {
            groups[*found].values.append(entry.value);
        }
    }
    return groups;
}

bool TagList::contains(const QString& name) const {
    for (const Entry& entry : m_entries) {
        if (sameName(entry.name, name)) {
            return true;
        }
    }
    return false;
}

void TagList::removeAll(const QString& name) {
    m_entries.removeIf([&name](const Entry& entry) { return sameName(entry.name, name); });
}

void TagList::replace(const QString& name, const QStringList& values) {
    qsizetype position = m_entries.size();
    for (qsizetype index = 0; index < m_entries.size(); ++index) {
        if (sameName(m_entries.at(index).name, name)) {
            position = index;
            break;
        }
    }
    removeAll(name);
    for (const QString& value : values) {
        m_entries.insert(position++, {name.toUpper(), value});
    }
}
