#include "NaturalOrder.h"

#include <QStringList>

namespace {
qsizetype digitsFrom(QStringView text, qsizetype start) {
    qsizetype end = start;
    while (end < text.size() && text.at(end).isDigit()) {
        ++end;
    }
    return end;
}

// Two runs of digits by their values: fewer significant digits is smaller.
int compareNumbers(QStringView left, QStringView right) {
    while (left.size() > 1 && left.front() == QLatin1Char('0')) {
        left = left.mid(1);
    }
    while (right.size() > 1 && right.front() == QLatin1Char('0')) {
        right = right.mid(1);
    }
    if (left.size() != right.size()) {
        return left.size() < right.size() ? -1 : 1;
    }
    return left.compare(right);
}
} // namespace

int NaturalOrder::compare(QStringView left, QStringView right) {
    qsizetype a = 0;
    qsizetype b = 0;
    while (a < left.size() && b < right.size()) {
        if (left.at(a).isDigit() && right.at(b).isDigit()) {
            const qsizetype aEnd = digitsFrom(left, a);
            const qsizetype bEnd = digitsFrom(right, b);
            const int numbers = compareNumbers(left.mid(a, aEnd - a), right.mid(b, bEnd - b));
            if (numbers != 0) {
                return numbers;
            }
            a = aEnd;
            b = bEnd;
            continue;
        }
        const int characters =
            QStringView(left.mid(a, 1)).compare(right.mid(b, 1), Qt::CaseInsensitive);
        if (characters != 0) {
            return characters;
        }
        ++a;
        ++b;
    }
    if (a < left.size() || b < right.size()) {
        return a < left.size() ? 1 : -1;
    }
    // Equal but for case or leading zeros: a stable, total order still.
    return left.compare(right);
}

bool NaturalOrder::pathLess(const QString& left, const QString& right) {
    const QStringList a = left.split(QLatin1Char('/'));
    const QStringList b = right.split(QLatin1Char('/'));
    for (qsizetype index = 0; index < std::min(a.size(), b.size()); ++index) {
        const int compared = compare(a.at(index), b.at(index));
        if (compared != 0) {
            return compared < 0;
        }
    }
    return a.size() < b.size();
}
