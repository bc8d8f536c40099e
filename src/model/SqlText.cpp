#include "SqlText.h"

QString SqlText::text(const QString& value) {
    QString escaped = value;
    // SQLite reads the statement as a C string: a NUL would cut it short.
    escaped.remove(QChar(u'\0'));
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString SqlText::number(qint64 value) {
    return QString::number(value);
}

QString SqlText::unsignedNumber(quint64 value) {
    return QString::number(value);
}

QString SqlText::value(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        return number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return unsignedNumber(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (number == double(qint64(number))) {
            return QString::number(qint64(number));
        }
        return QString::number(number, 'g', 17);
    }
    default:
        return text(value.toString());
    }
}

QString SqlText::fill(QStringView sqlTemplate, const QStringList& values) {
    QString statement;
    statement.reserve(sqlTemplate.size() + 64 * values.size());
    qsizetype next = 0;
    for (const QChar character : sqlTemplate) {
        if (character == QLatin1Char('?') && next < values.size()) {
            statement += values.at(next++);
        } else {
            statement += character;
        }
    }
    return statement;
}
