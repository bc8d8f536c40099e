#include "conversion/CueSheetText.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {
// A sheet as rippers wrote them, with CRLF line ends.
QString sheet(const QString& performer, const QString& album, const QString& title) {
    return QStringLiteral("REM GENRE Rock\r\nREM DATE 1998\r\nPERFORMER \"%1\"\r\nTITLE "
                          "\"%2\"\r\nFILE \"Image.flac\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE "
                          "\"%3\"\r\n    PERFORMER \"%1\"\r\n    INDEX 01 00:00:00\r\n")
        .arg(performer, album, title);
}

// The text in that encoding, by the iconv program.
QByteArray encoded(const QString& text, const char* encoding) {
    QProcess iconv;
    iconv.start(QStringLiteral("iconv"), {QStringLiteral("-f"), QStringLiteral("UTF-8"),
                                          QStringLiteral("-t"), QString::fromLatin1(encoding)});
    iconv.waitForStarted();
    iconv.write(text.toUtf8());
    iconv.closeWriteChannel();
    iconv.waitForFinished();
    EXPECT_EQ(iconv.exitCode(), 0) << encoding;
    return iconv.readAllStandardOutput();
}
} // namespace

TEST(CueSheetText, MarksThenUtf8ThenAGuessedCodePage) {
    const QString latin = sheet("Beyoncé", "Déjà vu", "Ça ira");
    struct Case {
        QByteArray bytes;
        const char* encoding;
        bool guessed;
    };
    const QList<Case> unicode = {
        {QByteArray("\xEF\xBB\xBF") + latin.toUtf8(), "UTF-8", false},
        {latin.toUtf8(), "UTF-8", false},
        {encoded(latin, "UTF-16"), "UTF-16LE", false},
        {QByteArray("\xFE\xFF") + encoded(latin, "UTF-16BE"), "UTF-16BE", false},
    };
    for (const Case& given : unicode) {
        const CueSheetText read = CueSheetText::decode(given.bytes);
        EXPECT_EQ(read.text, latin) << given.encoding;
        EXPECT_EQ(read.encoding, given.encoding);
        EXPECT_EQ(read.guessed, given.guessed) << given.encoding;
    }

    // Old rips: no mark, not UTF-8; the code page is guessed.
    const QString russian = sheet("Кино", "Группа крови", "Звезда по имени Солнце") +
                            QStringLiteral("  TRACK 02 AUDIO\r\n    TITLE \"Спокойная ночь\"\r\n");
    const CueSheetText cyrillic = CueSheetText::decode(encoded(russian, "CP1251"));
    EXPECT_EQ(cyrillic.text, russian);
    EXPECT_EQ(cyrillic.encoding, "WINDOWS-1251");
    EXPECT_TRUE(cyrillic.guessed);

    const QString japanese = sheet("宇多田ヒカル", "ファースト・ラヴ", "オートマティック") +
                             QStringLiteral("  TRACK 02 AUDIO\r\n    TITLE \"甘いワナ\"\r\n");
    const CueSheetText shiftJis = CueSheetText::decode(encoded(japanese, "SHIFT_JIS"));
    EXPECT_EQ(shiftJis.text, japanese);
    EXPECT_EQ(shiftJis.encoding, "SHIFT_JIS");

    // A guess the user corrects; a name nothing knows gives nothing.
    const QByteArray western = encoded(latin, "CP1252");
    EXPECT_EQ(CueSheetText::decodeAs(western, "windows-1252").text, latin);
    EXPECT_EQ(CueSheetText::decodeAs(western, "windows-1252").encoding, "WINDOWS-1252");
    EXPECT_TRUE(CueSheetText::decodeAs(western, "no-such-code-page").encoding.isEmpty());
    EXPECT_TRUE(CueSheetText::decodeAs(encoded(japanese, "SHIFT_JIS"), "UTF-8").encoding.isEmpty())
        << "bytes that are not text in it";
    EXPECT_FALSE(CueSheetText::decode(western).text.isEmpty()) << "always some text";
}
