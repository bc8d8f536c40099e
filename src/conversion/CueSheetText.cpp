#include "CueSheetText.h"

#include <QStringDecoder>

#include <uchardet/uchardet.h>

#include <cerrno>
#include <iconv.h>

namespace {
bool startsWith(const QByteArray& bytes, std::initializer_list<unsigned char> mark) {
    if (bytes.size() < qsizetype(mark.size())) {
        return false;
    }
    qsizetype index = 0;
    for (const unsigned char byte : mark) {
        if (static_cast<unsigned char>(bytes.at(index++)) != byte) {
            return false;
        }
    }
    return true;
}

QString decodeUnicode(const QByteArray& bytes, QStringConverter::Encoding encoding, bool* ok) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    *ok = !decoder.hasError();
    return text;
}
} // namespace

CueSheetText CueSheetText::decode(const QByteArray& bytes) {
    struct Mark {
        std::initializer_list<unsigned char> bytes;
        QStringConverter::Encoding encoding;
        const char* name;
    };
    for (const Mark& mark : {Mark{{0xEF, 0xBB, 0xBF}, QStringConverter::Utf8, "UTF-8"},
                             Mark{{0xFF, 0xFE}, QStringConverter::Utf16LE, "UTF-16LE"},
                             Mark{{0xFE, 0xFF}, QStringConverter::Utf16BE, "UTF-16BE"}}) {
        if (startsWith(bytes, mark.bytes)) {
            bool ok = false;
            const QString text =
                decodeUnicode(bytes.mid(qsizetype(mark.bytes.size())), mark.encoding, &ok);
            return {text, QString::fromLatin1(mark.name), false};
        }
    }
    bool utf8 = false;
    const QString text = decodeUnicode(bytes, QStringConverter::Utf8, &utf8);
    if (utf8) {
        return {text, QStringLiteral("UTF-8"), false};
    }
    CueSheetText guessed = decodeAs(bytes, guessCodePage(bytes));
    if (guessed.encoding.isEmpty()) {
        // Nothing better: every byte is a character of Windows' Western
        // code page, the most common of the old rips.
        guessed = decodeAs(bytes, QStringLiteral("WINDOWS-1252"));
    }
    guessed.guessed = true;
    return guessed;
}

CueSheetText CueSheetText::decodeAs(const QByteArray& bytes, const QString& encoding) {
    bool ok = false;
    const QString text = fromCodePage(bytes, encoding, &ok);
    if (!ok) {
        return {};
    }
    return {text, encoding.toUpper(), false};
}

QString CueSheetText::guessCodePage(const QByteArray& bytes) {
    uchardet_t detector = uchardet_new();
    QString charset;
    if (uchardet_handle_data(detector, bytes.constData(), size_t(bytes.size())) == 0) {
        uchardet_data_end(detector);
        charset = QString::fromLatin1(uchardet_get_charset(detector));
    }
    uchardet_delete(detector);
    return charset;
}

QString CueSheetText::fromCodePage(const QByteArray& bytes, const QString& encoding, bool* ok) {
    *ok = false;
    if (encoding.isEmpty()) {
        return QString();
    }
    iconv_t converter = iconv_open("UTF-8", encoding.toLatin1().constData());
    if (converter == iconv_t(-1)) {
        return QString();
    }
    QByteArray input = bytes;
    QByteArray output(input.size() * 4 + 16, Qt::Uninitialized);
    char* in = input.data();
    size_t inLeft = size_t(input.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    const size_t converted = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (converted == size_t(-1)) {
        return QString();
    }
    output.truncate(output.size() - qsizetype(outLeft));
    *ok = true;
    return QString::fromUtf8(output);
}
