#pragma once

#include <QByteArray>
#include <QString>

// The text of a cue sheet, from its bytes: a byte-order mark (UTF-8,
// UTF-16 LE or BE) first, then valid UTF-8, then the legacy code page a
// detector guesses (rips of the 2000s wrote CP1251, Shift-JIS, CP1252…).
// Also from bytes in a code page the user names when the guess was wrong.
// A value; safe on any thread.
class CueSheetText {
public:
    // The decoded text, line ends as they were.
    QString text;
    // The encoding it was read in: "UTF-8", "UTF-16LE", "UTF-16BE" or the
    // code page's name ("WINDOWS-1251", "SHIFT_JIS"…).
    QString encoding;
    // Whether the encoding was guessed (no mark, not UTF-8): the user may
    // name another.
    bool guessed = false;

    static CueSheetText decode(const QByteArray& bytes);
    // The bytes read in that encoding; an empty encoding when it is unknown.
    static CueSheetText decodeAs(const QByteArray& bytes, const QString& encoding);

private:
    static QString fromCodePage(const QByteArray& bytes, const QString& encoding, bool* ok);
    static QString guessCodePage(const QByteArray& bytes);
};
