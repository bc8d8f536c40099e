#include "CueSheet.h"

#include <QMutex>
#include <QRegularExpression>

#include <libcue.h>

#include <memory>

namespace {
// The commands libcue reads; any other line is left out.
const QStringList kCommands = {"FILE",  "TRACK", "TITLE",  "PERFORMER", "SONGWRITER", "ISRC",
                               "FLAGS", "INDEX", "PREGAP", "POSTGAP",   "CDTEXTFILE"};
// The REM fields a disc keeps.
const QStringList kDiscRemarks = {"GENRE",      "DATE",       "DISCID",  "COMMENT",
                                  "DISCNUMBER", "TOTALDISCS", "COMPOSER"};
const QStringList kFlags = {"DCP", "4CH", "PRE", "SCMS"};
const QStringList kFileTypes = {"BINARY", "MOTOROLA", "AIFF", "WAVE", "MP3"};

QString unquoted(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
        value.endsWith(QLatin1Char('"'))) {
        value = value.mid(1, value.size() - 2);
    }
    return value;
}

// The first word and what follows it.
std::pair<QString, QString> split(const QString& line) {
    const qsizetype space = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space < 0) {
        return {line, QString()};
    }
    return {line.left(space), line.mid(space + 1).trimmed()};
}

// A FILE line's type is the last word: an audio file's type libcue does
// not know (FLAC) is read as WAVE, which names any audio file.
QString fileLine(const QString& rest) {
    const qsizetype space = rest.lastIndexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space < 0) {
        return QStringLiteral("FILE ") + rest + QStringLiteral(" WAVE");
    }
    const QString type = rest.mid(space + 1).toUpper();
    return QStringLiteral("FILE ") + rest.left(space).trimmed() + QLatin1Char(' ') +
           (kFileTypes.contains(type) ? type : QStringLiteral("WAVE"));
}

QString flagsLine(const QString& rest) {
    QStringList known;
    for (const QString& flag :
         rest.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
        if (kFlags.contains(flag.toUpper())) {
            known << flag.toUpper();
        }
    }
    return known.isEmpty() ? QString() : QStringLiteral("FLAGS ") + known.join(QLatin1Char(' '));
}

QString text(const char* value) {
    return value != nullptr ? QString::fromUtf8(value) : QString();
}
} // namespace

CueSheet CueSheet::parse(const QString& text) {
    CueSheet sheet;
    const QString commands = normalized(text, &sheet);
    // libcue's grammar wants a track, and says so on the terminal.
    static const QRegularExpression trackLine(QStringLiteral("(^|\\n)TRACK "));
    if (!commands.contains(trackLine)) {
        sheet.error = QStringLiteral("aucune piste");
        return sheet;
    }
    sheet.readWithLibcue(commands);
    if (sheet.isValid()) {
        sheet.checkTimes(text);
    }
    return sheet;
}

QString CueSheet::normalized(const QString& text, CueSheet* sheet) {
    QStringList lines;
    bool inTrack = false;
    for (const QString& raw : text.split(QRegularExpression(QStringLiteral("\\r\\n|\\r|\\n")))) {
        QString line = raw.trimmed();
        if (line.startsWith(QChar(0xFEFF))) {
            line.remove(0, 1);
        }
        const auto [word, rest] = split(line);
        const QString command = word.toUpper();
        QString kept;
        if (command == QLatin1String("REM")) {
            const auto [field, value] = split(rest);
            if (!inTrack && kDiscRemarks.contains(field.toUpper())) {
                sheet->disc.insert(field.toUpper(), unquoted(value));
            }
        } else if (command == QLatin1String("CATALOG")) {
            sheet->disc.insert(QStringLiteral("CATALOG"), unquoted(rest));
        } else if (command == QLatin1String("FILE")) {
            kept = fileLine(rest);
        } else if (command == QLatin1String("FLAGS")) {
            kept = flagsLine(rest);
        } else if (command == QLatin1String("TRACK")) {
            inTrack = true;
            kept = QStringLiteral("TRACK ") + rest.toUpper();
        } else if (kCommands.contains(command)) {
            kept = command + QLatin1Char(' ') + rest;
        }
        lines << kept;
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CueSheet::readWithLibcue(const QString& normalizedText) {
    // libcue's parser keeps its state in globals: one sheet at a time.
    static QMutex parserMutex;
    QMutexLocker lock(&parserMutex);
    const std::unique_ptr<Cd, void (*)(Cd*)> cd(
        cue_parse_string(normalizedText.toUtf8().constData()), cd_delete);
    if (!cd || cd_get_ntrack(cd.get()) == 0) {
        error = QStringLiteral("aucune piste");
        return;
    }
    Cdtext* discText = cd_get_cdtext(cd.get());
    for (const auto& [name, field] :
         {std::pair{"TITLE", PTI_TITLE}, std::pair{"PERFORMER", PTI_PERFORMER},
          std::pair{"SONGWRITER", PTI_SONGWRITER}}) {
        const QString value = ::text(cdtext_get(field, discText));
        if (!value.isEmpty()) {
            disc.insert(QLatin1String(name), value);
        }
    }
    for (int number = 1; number <= cd_get_ntrack(cd.get()); ++number) {
        const ::Track* entry = cd_get_track(cd.get(), number);
        Track track;
        track.number = number;
        track.file = ::text(track_get_filename(entry));
        track.start = track_get_index(entry, 1);
        track.pregapStart = track_get_index(entry, 0);
        const Cdtext* own = track_get_cdtext(entry);
        track.title = ::text(cdtext_get(PTI_TITLE, own));
        track.performer = ::text(cdtext_get(PTI_PERFORMER, own));
        track.songwriter = ::text(cdtext_get(PTI_SONGWRITER, own));
        track.isrc = ::text(track_get_isrc(entry));
        track.preEmphasis = track_is_set_flag(entry, FLAG_PRE_EMPHASIS) != 0;
        tracks << track;
        if (!track.file.isEmpty() && !files.contains(track.file)) {
            files << track.file;
        }
    }
}

void CueSheet::checkTimes(const QString& text) {
    // The sheet's TRACK lines, in order, for the line at fault.
    QList<int> trackLines;
    int lineNumber = 0;
    for (const QString& line : text.split(QRegularExpression(QStringLiteral("\\r\\n|\\r|\\n")))) {
        ++lineNumber;
        if (split(line.trimmed()).first.toUpper() == QLatin1String("TRACK")) {
            trackLines << lineNumber;
        }
    }
    for (qsizetype index = 0; index < tracks.size(); ++index) {
        Track& track = tracks[index];
        track.line = int(trackLines.value(index));
        const Track* previous = index > 0 ? &tracks.at(index - 1) : nullptr;
        const bool sameFile = previous != nullptr && previous->file == track.file;
        const bool backwards =
            track.start < 0 || (track.pregapStart >= 0 && track.pregapStart > track.start) ||
            (sameFile && (track.start <= previous->start ||
                          (track.pregapStart >= 0 && track.pregapStart < previous->start)));
        if (backwards) {
            error = QStringLiteral("les temps de la piste %1 reculent").arg(track.number);
            errorLine = track.line;
            return;
        }
    }
}
