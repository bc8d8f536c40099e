#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// What a cue sheet says of a disc image: the disc's fields, the audio files
// it names (FILE lines) and its tracks with their start in CD frames (1/75 s)
// from the start of their own file. Read with libcue from the sheet's
// command lines: a line libcue would refuse (garbage, a command in the wrong
// case) is put right or left out, never an error, and the REM fields libcue
// does not know are read here. An error is a sheet that names no track or
// whose times go backwards, with the line at fault. A value; parse() is safe
// on any thread.
class CueSheet {
public:
    struct Track {
        int number = 0;
        // The FILE line's name, as written.
        QString file;
        // INDEX 00 (-1: none) and INDEX 01, in frames from the start of the file.
        qint64 pregapStart = -1;
        qint64 start = 0;
        QString title;
        QString performer;
        QString songwriter;
        QString isrc;
        bool preEmphasis = false;
        // The sheet's line of its TRACK command, from 1.
        int line = 0;
    };

    // Disc fields: "TITLE", "PERFORMER", "SONGWRITER", "CATALOG" and the
    // REM fields "GENRE", "DATE", "DISCID", "COMMENT", "DISCNUMBER",
    // "TOTALDISCS", "COMPOSER".
    QMap<QString, QString> disc;
    QStringList files;
    QList<Track> tracks;
    // Why the sheet cannot be used, and its line (0: the sheet as a whole).
    QString error;
    int errorLine = 0;

    bool isValid() const { return error.isEmpty(); }
    static CueSheet parse(const QString& text);
    static constexpr int kFramesPerSecond = 75;

private:
    // The sheet's command lines as libcue reads them, one per line of the
    // sheet so that line numbers stay, with the fields libcue drops taken.
    static QString normalized(const QString& text, CueSheet* sheet);
    void readWithLibcue(const QString& text);
    void checkTimes(const QString& text);
};
