#include "DestinationPattern.h"

#include "model/EditedField.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringList>

namespace {
constexpr int kComponentBytes = 255;

QString tag(const QVariantMap& tags, const char* key) {
    return tags.value(QLatin1String(key)).toString().trimmed();
}

QString twoDigits(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+)"));
    const QRegularExpressionMatch match = number.match(text);
    const qint64 value = match.hasMatch() ? match.captured(1).left(9).toLongLong() : 0;
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QString orElse(const QString& value, const QString& fallback) {
    return value.isEmpty() ? fallback : value;
}

// The component with each field in place, in one pass: a value is never read
// again, so "%album%" in a title stays text.
QString fill(const QString& component, const QStringList& values) {
    QString filled;
    qsizetype at = 0;
    while (at < component.size()) {
        bool replaced = false;
        if (component.at(at) == QLatin1Char('%')) {
            for (qsizetype field = 0; field < DestinationPattern::fields().size(); ++field) {
                const QString& name = DestinationPattern::fields().at(field);
                if (QStringView(component).mid(at).startsWith(name)) {
                    filled += DestinationPattern::safeComponent(values.at(field));
                    at += name.size();
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            filled += component.at(at++);
        }
    }
    return filled;
}
} // namespace

QString DestinationPattern::defaultPattern() {
    return QStringLiteral("%artist%/%album%/%track% - %title%");
}

const QStringList& DestinationPattern::fields() {
    static const QStringList names = {
        QStringLiteral("%artist%"), QStringLiteral("%albumartist%"), QStringLiteral("%album%"),
        QStringLiteral("%title%"),  QStringLiteral("%track%"),       QStringLiteral("%disc%"),
        QStringLiteral("%date%"),   QStringLiteral("%genre%"),       QStringLiteral("%filename%")};
    return names;
}

QStringList DestinationPattern::unknownFields(const QString& pattern) {
    static const QRegularExpression field(QStringLiteral("%[^%/]+%"));
    QStringList unknown;
    QRegularExpressionMatchIterator found = field.globalMatch(pattern);
    while (found.hasNext()) {
        const QString name = found.next().captured();
        if (!fields().contains(name) && !unknown.contains(name)) {
            unknown << name;
        }
    }
    return unknown;
}

QString DestinationPattern::cutToBytes(const QString& text, int bytes) {
    QString cut = text;
    while (cut.toUtf8().size() > bytes) {
        cut.chop(cut.size() >= 2 && cut.at(cut.size() - 1).isLowSurrogate() ? 2 : 1);
    }
    return cut;
}

QString DestinationPattern::withoutControlCharacters(const QString& text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar character : text) {
        if (character.category() != QChar::Other_Control) {
            kept.append(character);
        }
    }
    return kept;
}

QString DestinationPattern::safeFileName(const QString& name) {
    const QString clean = withoutControlCharacters(name);
    if (clean.toUtf8().size() <= kComponentBytes) {
        return clean;
    }
    const int dot = int(clean.lastIndexOf(QLatin1Char('.')));
    const QString extension = dot > 0 ? clean.mid(dot) : QString();
    const QString base = dot > 0 ? clean.left(dot) : clean;
    return cutToBytes(base, kComponentBytes - int(extension.toUtf8().size())) + extension;
}

QString DestinationPattern::safeComponent(const QString& text) {
    QString safe = withoutControlCharacters(text);
    safe.replace(QLatin1Char('/'), QLatin1Char('-'));
    while (safe.startsWith(QLatin1Char('.'))) {
        safe.remove(0, 1);
    }
    while (safe.endsWith(QLatin1Char(' ')) || safe.endsWith(QLatin1Char('.'))) {
        safe.chop(1);
    }
    return safe;
}

QString DestinationPattern::expand(const QString& pattern, const QVariantMap& tags,
                                   const QString& sourceBaseName, const QString& extension) {
    // Each edited field's value under its field, numbers on two digits; a
    // missing artist, album or title has a stand-in.
    QHash<QString, QString> byField;
    for (const EditedField& field : EditedField::all()) {
        const QString value = tag(tags, field.key);
        byField.insert(QLatin1String(field.patternField), field.numeric ? twoDigits(value) : value);
    }
    const QString artist =
        orElse(byField.value(QStringLiteral("%artist%")), QStringLiteral("Artiste inconnu"));
    byField.insert(QStringLiteral("%artist%"), artist);
    byField.insert(QStringLiteral("%albumartist%"), orElse(tag(tags, "albumartist"), artist));
    byField.insert(QStringLiteral("%album%"), orElse(byField.value(QStringLiteral("%album%")),
                                                     QStringLiteral("Album inconnu")));
    byField.insert(QStringLiteral("%title%"),
                   orElse(byField.value(QStringLiteral("%title%")), sourceBaseName));
    byField.insert(QStringLiteral("%filename%"), sourceBaseName);
    // In the order of fields().
    QStringList values;
    for (const QString& field : fields()) {
        values << byField.value(field);
    }
    QStringList components;
    const QStringList parts = pattern.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype index = 0; index < parts.size(); ++index) {
        // Values are made safe one by one, so a "/" in a tag never makes a folder.
        QString component = safeComponent(fill(parts.at(index), values));
        const bool last = index == parts.size() - 1;
        const QString suffix = last ? QLatin1Char('.') + extension : QString();
        component =
            safeComponent(cutToBytes(component, kComponentBytes - int(suffix.toUtf8().size())));
        if (last && component.isEmpty()) {
            component = safeComponent(sourceBaseName);
        }
        if (!component.isEmpty()) {
            components << component + suffix;
        }
    }
    if (components.isEmpty()) {
        components << safeComponent(sourceBaseName) + QLatin1Char('.') + extension;
    }
    return components.join(QLatin1Char('/'));
}

namespace {
constexpr int kPortableUnits = 255;

QString portableCharacters(const QString& text) {
    QString mapped;
    mapped.reserve(text.size());
    for (const QChar character : DestinationPattern::withoutControlCharacters(text)) {
        switch (character.unicode()) {
        case ':':
            mapped += QStringLiteral(" -");
            break;
        case '"':
            mapped += QLatin1Char('\'');
            break;
        case '<':
        case '>':
        case '|':
        case '?':
        case '*':
        case '\\':
            mapped += QLatin1Char('_');
            break;
        default:
            mapped += character;
        }
    }
    return mapped;
}

QString withoutTrailingDotsAndSpaces(QString text) {
    while (text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char(' '))) {
        text.chop(1);
    }
    return text;
}

QString cutToUnits(QString text, int units) {
    if (text.size() <= units) {
        return text;
    }
    text.truncate(units);
    if (text.at(text.size() - 1).isHighSurrogate()) {
        text.chop(1);
    }
    return text;
}

bool isReservedDeviceName(const QString& component) {
    static const QRegularExpression reserved(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return reserved.match(component).hasMatch();
}
} // namespace

QString DestinationPattern::portableComponent(const QString& text) {
    QString component =
        withoutTrailingDotsAndSpaces(cutToUnits(portableCharacters(text), kPortableUnits));
    if (isReservedDeviceName(component)) {
        component = cutToUnits(QLatin1Char('_') + component, kPortableUnits);
    }
    return component;
}

QString DestinationPattern::portableFileName(const QString& name) {
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot <= 0) {
        return portableComponent(name);
    }
    const QString extension = portableCharacters(name.mid(dot));
    QString base = withoutTrailingDotsAndSpaces(
        cutToUnits(portableCharacters(name.left(dot)), kPortableUnits - int(extension.size())));
    if (isReservedDeviceName(base)) {
        base = QLatin1Char('_') + base.left(kPortableUnits - int(extension.size()) - 1);
    }
    return base + extension;
}

QString DestinationPattern::portablePath(const QString& relative) {
    QStringList components = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype index = 0; index < components.size(); ++index) {
        components[index] = index == components.size() - 1
                                ? portableFileName(components.at(index))
                                : portableComponent(components.at(index));
    }
    return components.join(QLatin1Char('/'));
}
