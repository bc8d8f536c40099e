#include "CarriedTags.h"

#include "model/MultiFichierAudio.h"
#include "model/OutputTags.h"

#include <QSet>

void CarriedTags::add(const TagList& comments) {
    const QString& difference = MultiFichierAudio::kDifference;
    QSet<qsizetype> seen;
    for (const TagList::Group& group : comments.groups()) {
        if (OutputTags::isEditedName(group.name)) {
            continue;
        }
        const QString joined = group.values.join(QStringLiteral("; "));
        const QString key = group.name.toUpper();
        const auto found = m_rowOf.constFind(key);
        if (found == m_rowOf.constEnd()) {
            // A name the files before this one lack.
            seen.insert(m_rows.size());
            m_rowOf.insert(key, m_rows.size());
            m_rows.append({group.name, m_files == 0 ? joined : difference});
        } else {
            seen.insert(*found);
            if (m_rows.at(*found).second != joined) {
                m_rows[*found].second = difference;
            }
        }
    }
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        if (!seen.contains(row)) {
            m_rows[row].second = difference;
        }
    }
    ++m_files;
}
