#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable Qt values in test failures.
inline void PrintTo(const QString& value, std::ostream* out) {
    *out << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QStringList& value, std::ostream* out) {
    *out << '{';
    for (qsizetype index = 0; index < value.size(); ++index) {
        *out << (index == 0 ? "" : ", ") << '"' << value.at(index).toStdString() << '"';
    }
    *out << '}';
}
