#pragma once

#include "model/TagList.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// The source comments a selection carries into its outputs untouched (every
// name but the edited fields'), each name once with its values joined by
// "; ", "-" where the files differ, worked out one file after the other so
// that no file's comments need to be kept. A value: made and used on one
// thread, any thread.
class CarriedTags {
public:
    // The next file's comments, in the selection's order.
    void add(const TagList& comments);
    const QList<QPair<QString, QString>>& rows() const { return m_rows; }

private:
    QList<QPair<QString, QString>> m_rows;
    // Each row's position by its name in capitals.
    QHash<QString, qsizetype> m_rowOf;
    qsizetype m_files = 0;
};
