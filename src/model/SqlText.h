#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// How values are written into the SQL text of the persistent classes.
// Statements carry their values formatted in, nothing is bound, so every
// text value is a single-quoted literal with its quotes doubled: it always
// stays text and round-trips exactly, whatever it holds.
class SqlText {
public:
    // A text value as a literal; a missing text is the empty literal.
    static QString text(const QString& value);
    static QString number(qint64 value);
    static QString unsignedNumber(quint64 value);
    // Numbers bare, booleans as 0 or 1, anything else as a text literal.
    static QString value(const QVariant& value);
    // Puts the values, already written as SQL, in place of the template's "?"
    // marks, in order and in one pass, so nothing inside a value is read as a
    // mark.
    static QString fill(QStringView sqlTemplate, const QStringList& values);
};
