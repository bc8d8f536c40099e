#include "MetaflacOutputParser.h"

#include "model/EditedField.h"

const QStringList& MetaflacOutputParser::streamNames() {
    static const QStringList names = {QStringLiteral("sample-rate"), QStringLiteral("channels"),
                                      QStringLiteral("bps"), QStringLiteral("md5sum")};
    return names;
}

const QStringList& MetaflacOutputParser::tagNames() {
    static const QStringList names = [] {
        QStringList keys;
        for (const EditedField& field : EditedField::all()) {
            keys << QLatin1String(field.key);
        }
        // The empty name metaflac is asked for last answers nothing.
        return keys << QString();
    }();
    return names;
}

QVariantMap MetaflacOutputParser::parse(const QByteArray& output, QStringList* extraLines) {
    const QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    QVariantMap result;
    const QStringList& stream = streamNames();
    for (int index = 0; index < stream.size() && index < lines.size(); ++index) {
        result.insert(stream.at(index), lines.at(index));
    }
    // The final line break leaves an empty last line, which is no tag line.
    const int end = lines.size() - 1;
    QString currentName;
    QStringList seen;
    for (int index = int(stream.size()); index < end; ++index) {
        const QString& line = lines.at(index);
        const int equals = line.indexOf(QLatin1Char('='));
        // Only the asked names start a tag line; anything else continues a value.
        const bool startsTag = equals > 0 && tagNames().contains(line.left(equals).toLower());
        if (!startsTag) {
            if (!currentName.isEmpty()) {
                result.insert(currentName,
                              result.value(currentName).toString() + QLatin1Char('\n') + line);
            }
            continue;
        }
        currentName = line.left(equals).toLower();
        if (seen.contains(currentName)) {
            if (extraLines != nullptr) {
                extraLines->append(line);
            }
        } else {
            seen.append(currentName);
        }
        result.insert(currentName, line.mid(equals + 1));
    }
    return result;
}

TagList MetaflacOutputParser::parseCommentListing(const QByteArray& output) {
    TagList comments;
    QString name;
    QString value;
    int next = 0;
    bool inComments = false;
    const auto flush = [&] {
        if (!name.isEmpty()) {
            comments.append(name, value);
        }
        name.clear();
        value.clear();
    };
    QStringList lines = QString::fromUtf8(output).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    for (const QString& line : std::as_const(lines)) {
        const QString start = QStringLiteral("    comment[%1]: ").arg(next);
        if (line.startsWith(start)) {
            flush();
            const QString comment = line.mid(start.size());
            const int equals = int(comment.indexOf(QLatin1Char('=')));
            name = equals > 0 ? comment.left(equals) : QString();
            value = equals > 0 ? comment.mid(equals + 1) : QString();
            inComments = true;
            ++next;
        } else if (line.startsWith(QLatin1String("METADATA block #"))) {
            flush();
            inComments = false;
        } else if (inComments) {
            // Only the next index starts a comment: any other line is the
            // value's own line break.
            value += QLatin1Char('\n') + line;
        }
    }
    flush();
    return comments;
}
