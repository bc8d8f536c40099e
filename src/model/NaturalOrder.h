#pragma once

#include <QString>

// The order a person expects of names: numbers compared as numbers ("2 - x"
// before "10 - x"), the rest without regard to case, whatever the locale.
class NaturalOrder {
public:
    // Negative, zero or positive, as left comes before, with or after right.
    static int compare(QStringView left, QStringView right);
    // Paths compared folder by folder, so "A/B" and "A B" keep A's files together.
    static bool pathLess(const QString& left, const QString& right);
};
