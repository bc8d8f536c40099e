#include "OutputTagWriter.h"

#include "conversion/TagLibGuard.h"

#include "conversion/ContainerFields.h"
#include "conversion/ReplayGainValues.h"
#include "conversion/TagLibStrings.h"

#include <QFile>

#include <taglib/aifffile.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/fileref.h>
#include <taglib/flacpicture.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/vorbisfile.h>

#include <vector>

namespace {
using Kind = OutputCodec::Tags;

const char* const kItunesGapless = "----:com.apple.iTunes:iTunSMPB";

// Several values of a field that holds one text ("; " as most players show them).
const QString kJoin = QStringLiteral("; ");

struct NumberPair {
    qint32 number = 0;
    qint32 total = 0;

    QString text() const {
        if (number <= 0) {
            return QString();
        }
        return total > 0 ? QStringLiteral("%1/%2").arg(number).arg(total) : QString::number(number);
    }
};

// A track or disc number (TRACKNUMBER, DISCNUMBER) with its total, from a
// separate total comment or from a "3/12" value.
NumberPair numberPair(const TagList& tags, const QString& numberName) {
    const bool disc = TagList::sameName(numberName, QStringLiteral("DISCNUMBER"));
    const QString text = tags.first(numberName);
    NumberPair pair{TagList::leadingInteger(text), 0};
    const QString total =
        tags.first(disc ? ContainerFields::discTotalNames() : ContainerFields::trackTotalNames());
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (!total.isEmpty()) {
        pair.total = TagList::leadingInteger(total);
    } else if (slash >= 0) {
        pair.total = TagList::leadingInteger(text.mid(slash + 1));
    }
    return pair;
}

bool isTrue(const QString& value) {
    return TagList::leadingInteger(value) != 0 ||
           value.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

TagLib::StringList stringList(const QStringList& values) {
    TagLib::StringList list;
    for (const QString& value : values) {
        list.append(TagLibStrings::toTagLib(value));
    }
    return list;
}

// The container's field for a name: null for "any other name", empty for a
// name written with another.
const char* fieldOf(const QString& name, Kind kind) {
    const ContainerFields* known = ContainerFields::find(name);
    return known != nullptr ? known->fieldFor(kind) : nullptr;
}

void fillMp4(TagLib::MP4::Tag& tag, const TagList& tags) {
    for (const auto& [name, values] : tags.groups()) {
        const char* atom = fieldOf(name, Kind::Mp4Atoms);
        if (atom == nullptr) {
            tag.setItem(
                TagLibStrings::toTagLib(QStringLiteral("----:com.apple.iTunes:") + name.toUpper()),
                stringList(values));
            continue;
        }
        const QLatin1String field(atom);
        if (field.isEmpty()) {
            continue;
        }
        if (field == QLatin1String("trkn") || field == QLatin1String("disk")) {
            const NumberPair pair = numberPair(tags, name);
            if (pair.number > 0) {
                tag.setItem(atom, TagLib::MP4::Item(int(pair.number), int(pair.total)));
            }
        } else if (field == QLatin1String("cpil")) {
            tag.setItem(atom, TagLib::MP4::Item(isTrue(values.first())));
        } else if (field == QLatin1String("tmpo")) {
            tag.setItem(atom, TagLib::MP4::Item(int(TagList::leadingInteger(values.first()))));
        } else {
            tag.setItem(atom, TagLib::StringList(TagLibStrings::toTagLib(values.join(kJoin))));
        }
    }
}

void addId3Text(TagLib::ID3v2::Tag& tag, const char* id, const QStringList& values) {
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    frame->setText(stringList(values));
    tag.addFrame(frame);
}

// Frames ID3v2.3 does not have: written as TXXX under the comment's name.
bool onlyIn24(const QLatin1String& id) {
    static const QStringList frames = {
        QStringLiteral("TSOP"), QStringLiteral("TSOA"), QStringLiteral("TSOT"),
        QStringLiteral("TMOO"), QStringLiteral("TPRO"), QStringLiteral("TSST"),
        QStringLiteral("TDRL"), QStringLiteral("TDTG"), QStringLiteral("TIPL"),
        QStringLiteral("TMCL"), QStringLiteral("TDEN")};
    return frames.contains(id);
}

void fillId3(TagLib::ID3v2::Tag& tag, const TagList& tags, int version) {
    for (const auto& [name, groupValues] : tags.groups()) {
        // ID3v2.3 keeps one text per frame: several values are joined.
        const QStringList values = version == 3 && groupValues.size() > 1
                                       ? QStringList{groupValues.join(QStringLiteral(" / "))}
                                       : groupValues;
        const char* known = fieldOf(name, Kind::Id3);
        const char* id =
            known != nullptr && version == 3 && onlyIn24(QLatin1String(known)) ? nullptr : known;
        if (id == nullptr) {
            tag.addFrame(new TagLib::ID3v2::UserTextIdentificationFrame(
                TagLibStrings::toTagLib(name.toUpper()), stringList(values), TagLib::String::UTF8));
            continue;
        }
        const QLatin1String field(id);
        if (field.isEmpty()) {
            continue;
        }
        if (field == QLatin1String("TRCK") || field == QLatin1String("TPOS")) {
            const QString text = numberPair(tags, name).text();
            if (!text.isEmpty()) {
                addId3Text(tag, id, {text});
            }
        } else if (field == QLatin1String("COMM")) {
            auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::UTF8);
            frame->setLanguage("eng");
            frame->setText(TagLibStrings::toTagLib(values.join(kJoin)));
            tag.addFrame(frame);
        } else if (field == QLatin1String("USLT")) {
            auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
            frame->setLanguage("eng");
            frame->setText(TagLibStrings::toTagLib(values.join(kJoin)));
            tag.addFrame(frame);
        } else if (field == QLatin1String("TCMP")) {
            addId3Text(tag, id,
                       {isTrue(values.first()) ? QStringLiteral("1") : QStringLiteral("0")});
        } else {
            // ID3v2.4 keeps several values of a text frame in the frame itself.
            addId3Text(tag, id, values);
        }
    }
}

void fillVorbis(TagLib::Ogg::XiphComment& comment, const TagList& tags) {
    // What the muxer wrote goes (its encoder line); the cover stays.
    comment.removeAllFields();
    for (const TagList::Entry& entry : tags.entries()) {
        comment.addField(TagLibStrings::toTagLib(entry.name.toUpper()),
                         TagLibStrings::toTagLib(entry.value), false);
    }
}

// An MP3's or an AIFF's ID3 tag, filled and saved in that version.
template <typename Fill>
bool saveId3(const QByteArray& path, const OutputCodec& codec, int version, Fill fill) {
    const auto id3Version = version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    if (codec.id3InAiff) {
        TagLib::RIFF::AIFF::File file(path.constData(), false);
        if (!file.isValid()) {
            return false;
        }
        fill(*file.tag());
        return file.save(id3Version);
    }
    TagLib::MPEG::File file(path.constData(), false);
    if (!file.isValid()) {
        return false;
    }
    fill(*file.ID3v2Tag(true));
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, id3Version,
                     TagLib::File::DoNotDuplicate);
}

template <typename File, typename Fill> bool saveWith(const QByteArray& path, Fill fill) {
    File file(path.constData(), false);
    if (!file.isValid()) {
        return false;
    }
    fill(file);
    return file.save();
}

using AudioStatement = OutputTagWriter::AudioStatement;

void stateGapless(TagLib::MP4::Tag& tag, const AudioStatement& audio) {
    if (!audio.itunesGapless.isEmpty()) {
        tag.setItem(kItunesGapless,
                    TagLib::StringList(TagLibStrings::toTagLib(audio.itunesGapless)));
    }
}

// The identification header: "OpusHead", version, channels, pre-skip, rate,
// then the gain as a signed little-endian 16-bit number. False when the
// header cannot be read.
bool stateOutputGain(TagLib::Ogg::Opus::File& file, const AudioStatement& audio) {
    if (!audio.opusOutputGain) {
        return true;
    }
    TagLib::ByteVector header = file.packet(0);
    constexpr unsigned kGainAt = 16;
    if (header.size() < kGainAt + 2 || !header.startsWith("OpusHead")) {
        return false;
    }
    const auto bits = quint16(qint16(*audio.opusOutputGain));
    header[kGainAt] = char(bits & 0xff);
    header[kGainAt + 1] = char(bits >> 8);
    file.setPacket(0, header);
    return true;
}

// An Opus file's comments and header, saved once; the header's failure is
// told apart.
template <typename Fill>
bool saveOpus(const QByteArray& path, const AudioStatement& audio, bool* headerRead, Fill fill) {
    return saveWith<TagLib::Ogg::Opus::File>(path,
                                             [&](auto& file) {
                                                 fill(*file.tag());
                                                 *headerRead = stateOutputGain(file, audio);
                                             }) &&
           *headerRead;
}

bool writeTags(const QByteArray& path, const OutputCodec& codec, const TagList& tags,
               int id3Version, const AudioStatement& audio, bool* headerRead) {
    const TagLibGuard guard;
    switch (codec.tags) {
    case Kind::Mp4Atoms:
        return saveWith<TagLib::MP4::File>(path, [&](auto& file) {
            fillMp4(*file.tag(), tags);
            stateGapless(*file.tag(), audio);
        });
    case Kind::Id3:
        return saveId3(path, codec, id3Version,
                       [&](TagLib::ID3v2::Tag& tag) { fillId3(tag, tags, id3Version); });
    case Kind::VorbisComments:
        if (qstrcmp(codec.encoder, "libopus") == 0) {
            return saveOpus(path, audio, headerRead,
                            [&](TagLib::Ogg::XiphComment& comment) { fillVorbis(comment, tags); });
        }
        return saveWith<TagLib::Ogg::Vorbis::File>(
            path, [&](auto& file) { fillVorbis(*file.tag(), tags); });
    case Kind::RiffInfo:
    case Kind::CafInfo:
        break;
    }
    return true;
}
} // namespace

namespace {
TagLib::ByteVector bytesOf(const QByteArray& data) {
    return TagLib::ByteVector(data.constData(), uint(data.size()));
}

// What a rewrite puts back: every text field goes, the cover is replaced;
// the statement of the audio's delay and length stays.
void replaceMp4(TagLib::MP4::Tag& tag, const TagList& tags, const QByteArray& cover,
                const QString& mimeType) {
    QList<TagLib::String> keys;
    for (const auto& [key, item] : tag.itemMap()) {
        if (key != kItunesGapless) {
            keys << key;
        }
    }
    for (const TagLib::String& key : keys) {
        tag.removeItem(key);
    }
    fillMp4(tag, tags);
    if (!cover.isEmpty()) {
        const auto format = mimeType == QLatin1String("image/png") ? TagLib::MP4::CoverArt::PNG
                                                                   : TagLib::MP4::CoverArt::JPEG;
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(format, bytesOf(cover)));
        tag.setItem("covr", TagLib::MP4::Item(covers));
    }
}

void replaceId3(TagLib::ID3v2::Tag& tag, const TagList& tags, const QByteArray& cover,
                const QString& mimeType, int version) {
    // The pointers alone: a copy of the tag's own list shares its frames
    // and would delete them once more.
    std::vector<TagLib::ID3v2::Frame*> frames;
    for (TagLib::ID3v2::Frame* frame : tag.frameList()) {
        frames.push_back(frame);
    }
    for (TagLib::ID3v2::Frame* frame : frames) {
        tag.removeFrame(frame);
    }
    fillId3(tag, tags, version);
    if (!cover.isEmpty()) {
        auto* picture = new TagLib::ID3v2::AttachedPictureFrame;
        picture->setMimeType(TagLibStrings::toTagLib(mimeType));
        picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        picture->setDescription("Cover (front)");
        picture->setPicture(bytesOf(cover));
        tag.addFrame(picture);
    }
}

void replaceVorbis(TagLib::Ogg::XiphComment& comment, const TagList& tags, const QByteArray& cover,
                   const QString& mimeType) {
    fillVorbis(comment, tags);
    comment.removeAllPictures();
    if (!cover.isEmpty()) {
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType(TagLibStrings::toTagLib(mimeType));
        picture->setData(bytesOf(cover));
        comment.addPicture(picture);
    }
}

bool rewriteTags(const QByteArray& path, const OutputCodec& codec, const TagList& tags,
                 const QByteArray& cover, const QString& mimeType, int id3Version,
                 const AudioStatement& audio, bool* headerRead) {
    const TagLibGuard guard;
    switch (codec.tags) {
    case Kind::Mp4Atoms:
        return saveWith<TagLib::MP4::File>(path, [&](auto& file) {
            replaceMp4(*file.tag(), tags, cover, mimeType);
            stateGapless(*file.tag(), audio);
        });
    case Kind::Id3:
        return saveId3(path, codec, id3Version, [&](TagLib::ID3v2::Tag& tag) {
            replaceId3(tag, tags, cover, mimeType, id3Version);
        });
    case Kind::VorbisComments:
        if (qstrcmp(codec.encoder, "libopus") == 0) {
            return saveOpus(path, audio, headerRead, [&](TagLib::Ogg::XiphComment& comment) {
                replaceVorbis(comment, tags, cover, mimeType);
            });
        }
        return saveWith<TagLib::Ogg::Vorbis::File>(
            path, [&](auto& file) { replaceVorbis(*file.tag(), tags, cover, mimeType); });
    case Kind::RiffInfo:
    case Kind::CafInfo:
        break;
    }
    return false;
}
} // namespace

namespace {
QString failure(bool headerRead) {
    return headerRead ? QStringLiteral("écriture des tags impossible")
                      : QStringLiteral("en-tête Opus illisible");
}
} // namespace

bool OutputTagWriter::canRewrite(const OutputCodec& codec) {
    return codec.tags != Kind::RiffInfo && codec.tags != Kind::CafInfo;
}

bool OutputTagWriter::rewrite(const QString& path, const OutputCodec& codec, const TagList& tags,
                              const QByteArray& cover, const QString& coverMimeType, QString* error,
                              int id3Version, const AudioStatement& audio) {
    bool headerRead = true;
    if (rewriteTags(QFile::encodeName(path), codec, tags, cover, coverMimeType, id3Version, audio,
                    &headerRead)) {
        return true;
    }
    *error = failure(headerRead);
    return false;
}

QList<QPair<QString, QString>> OutputTagWriter::muxerTags(const OutputCodec& codec,
                                                          const TagList& tags) {
    QList<QPair<QString, QString>> keys;
    if (codec.tags != Kind::RiffInfo && codec.tags != Kind::CafInfo) {
        return keys;
    }
    for (const auto& [name, values] : tags.groups()) {
        const char* field = fieldOf(name, codec.tags);
        if (field == nullptr || *field == '\0') {
            continue;
        }
        // The track's number alone: neither INFO nor CAF has a place for its total.
        const bool track = TagList::sameName(name, QStringLiteral("TRACKNUMBER"));
        const qint32 number = track ? TagList::leadingInteger(values.first()) : 0;
        if (track && number <= 0) {
            continue;
        }
        keys.append({QLatin1String(field), track ? QString::number(number) : values.join(kJoin)});
    }
    return keys;
}

bool OutputTagWriter::write(const QString& path, const OutputCodec& codec, const TagList& tags,
                            QString* error, int id3Version, const AudioStatement& audio) {
    bool headerRead = true;
    if (writeTags(QFile::encodeName(path), codec, tags, id3Version, audio, &headerRead)) {
        return true;
    }
    *error = failure(headerRead);
    return false;
}

TagList OutputTagWriter::loudnessTags(const QString& path) {
    const TagLibGuard guard;
    TagList found;
    const TagLib::FileRef file(QFile::encodeName(path).constData(), false);
    if (file.isNull()) {
        return found;
    }
    const TagLib::PropertyMap properties = file.file()->properties();
    for (const auto& [key, values] : properties) {
        const QString name = TagLibStrings::fromTagLib(key);
        if (!ReplayGainValues::isLoudnessTag(name)) {
            continue;
        }
        for (const TagLib::String& value : values) {
            found.append(name.toUpper(), TagLibStrings::fromTagLib(value));
        }
    }
    return found;
}
