// Every comment of a source reaches every output, each container holding it
// in its own fields, read back by mutagen and plain chunk parsing.
#include "conversion/FlacTagReader.h"

#include "conversion/ExternalTools.h"
#include "conversion/OutputTagWriter.h"

#include "model/OutputCodec.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
QString libraryPicture() {
    return TestEnvironment::home() + "/art/cover.jpg";
}

QString librarySource(const QString& folder) {
    FlacFactory::Options options;
    options.tags = FlacFactory::libraryTags();
    options.picturePath = libraryPicture();
    return FlacFactory::make(TestEnvironment::home() + "/Music/" + folder + "/Track.flac", options);
}

QStringList strings(const QJsonValue& value) {
    QStringList list;
    for (const QJsonValue& item : value.toArray()) {
        list << item.toString();
    }
    return list;
}

// The user's edits: a new title, the date emptied.
void editAll(TestDatabase& context) {
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        file->outMetadataDict()->insert("title", "Edited Title");
        file->outMetadataDict()->insert("date", "");
        file->save();
    }
}

void expectMp4(const QJsonObject& raw, const std::string& what) {
    const QString freeform = "----:com.apple.iTunes:";
    const QList<std::pair<QString, QStringList>> expected = {
        {"\u00a9nam", {"Edited Title"}},
        {"\u00a9ART", {"First Artist; Second Artist"}},
        {"aART", {"Various Artists"}},
        {"\u00a9alb", {"The Album"}},
        {"trkn", {"2/10"}},
        {"disk", {"1/2"}},
        {"\u00a9gen", {"Rock"}},
        {"\u00a9wrt", {"The Composer"}},
        {"\u00a9cmt", {"A comment"}},
        {"\u00a9lyr", {FlacFactory::kLibraryLyrics}},
        {"soar", {"Artist, First"}},
        {"soaa", {"Artists, Various"}},
        {"sonm", {"Title, Source"}},
        {"soal", {"Album, The"}},
        {"cpil", {"1"}},
        {freeform + "REPLAYGAIN_TRACK_GAIN", {"-6.50 dB"}},
        {freeform + "REPLAYGAIN_ALBUM_PEAK", {"0.988547"}},
        {freeform + "MUSICBRAINZ_TRACKID", {"7c8e2b3a-1f4d-4c52-9a0e-2f1b4c6d8e90"}},
        {freeform + "ISRC", {"USRC17607839"}},
        {freeform + "MOOD", {"Éclatant – 東京"}}};
    for (const auto& [key, values] : expected) {
        EXPECT_EQ(strings(raw.value(key)), values) << what << " " << key.toStdString();
    }
    for (const QString& absent :
         QStringList{"\u00a9day", freeform + "TRACKTOTAL", freeform + "TITLE"}) {
        EXPECT_FALSE(raw.contains(absent)) << what << " " << absent.toStdString();
    }
}

void expectId3(const QJsonObject& raw, const std::string& what) {
    const QList<std::pair<QString, QStringList>> expected = {
        {"version", {"2.4"}},
        {"TIT2", {"Edited Title"}},
        {"TPE1", {"First Artist", "Second Artist"}},
        {"TPE2", {"Various Artists"}},
        {"TALB", {"The Album"}},
        {"TRCK", {"2/10"}},
        {"TPOS", {"1/2"}},
        {"TCON", {"Rock"}},
        {"TCOM", {"The Composer"}},
        {"COMM", {"A comment"}},
        {"USLT", {FlacFactory::kLibraryLyrics}},
        {"TSOP", {"Artist, First"}},
        {"TSO2", {"Artists, Various"}},
        {"TSOT", {"Title, Source"}},
        {"TSOA", {"Album, The"}},
        {"TCMP", {"1"}},
        {"TSRC", {"USRC17607839"}},
        {"TXXX:REPLAYGAIN_TRACK_GAIN", {"-6.50 dB"}},
        {"TXXX:REPLAYGAIN_ALBUM_PEAK", {"0.988547"}},
        {"TXXX:MUSICBRAINZ_TRACKID", {"7c8e2b3a-1f4d-4c52-9a0e-2f1b4c6d8e90"}},
        {"TXXX:MOOD", {"Éclatant – 東京"}}};
    for (const auto& [key, values] : expected) {
        EXPECT_EQ(strings(raw.value(key)), values) << what << " " << key.toStdString();
    }
    for (const char* absent : {"TDRC", "TXXX:ISRC", "TXXX:TRACKTOTAL", "TXXX:ARTIST"}) {
        EXPECT_FALSE(raw.contains(absent)) << what << " " << absent;
    }
}

void expectVorbis(const QJsonObject& raw, const std::string& what, bool opus) {
    for (const auto& [name, value] : FlacFactory::libraryTags()) {
        if (name == "TITLE" || name == "DATE" || name == "ARTIST") {
            continue;
        }
        if (opus && name.startsWith("REPLAYGAIN_")) {
            // Opus players read the gain from the header and R128_* alone.
            EXPECT_FALSE(raw.contains(name)) << what << " " << name.toStdString();
            continue;
        }
        EXPECT_EQ(strings(raw.value(name)), QStringList{value})
            << what << " " << name.toStdString();
    }
    EXPECT_EQ(strings(raw.value("TITLE")), QStringList{"Edited Title"}) << what;
    EXPECT_EQ(strings(raw.value("ARTIST")), (QStringList{"First Artist", "Second Artist"})) << what;
    EXPECT_FALSE(raw.contains("DATE")) << what;
}

void expectInfo(const QJsonObject& raw, const std::string& what, bool caf) {
    const QList<std::pair<QString, QString>> expected =
        caf ? QList<std::pair<QString, QString>>{{"title", "Edited Title"},
                                                 {"artist", "First Artist; Second Artist"},
                                                 {"album", "The Album"},
                                                 {"track number", "2"},
                                                 {"genre", "Rock"},
                                                 {"composer", "The Composer"},
                                                 {"comments", "A comment"}}
            : QList<std::pair<QString, QString>>{
                  {"INAM", "Edited Title"}, {"IART", "First Artist; Second Artist"},
                  {"IPRD", "The Album"},    {"ITRK", "2"},
                  {"IGNR", "Rock"},         {"ICMT", "A comment"}};
    for (const auto& [key, value] : expected) {
        EXPECT_EQ(strings(raw.value(key)), QStringList{value}) << what << " " << key.toStdString();
    }
    EXPECT_FALSE(raw.contains(caf ? "year" : "ICRD")) << what << ": the date was emptied";
}
} // namespace

TEST(TagPassThrough, ReadingKeepsEveryCommentRepeatedNamesAndLineBreaks) {
    FlacFactory::makePicture(libraryPicture(), "jpg");
    const QString metaflac = ExternalTools::found().metaflac;
    const TagList comments = FlacTagReader::readComments(librarySource("Read"), metaflac);
    EXPECT_EQ(comments.size(), FlacFactory::libraryTags().size());
    for (const auto& [name, value] : FlacFactory::libraryTags()) {
        EXPECT_TRUE(comments.values(name).contains(value)) << name.toStdString();
    }
    EXPECT_EQ(comments.values("artist"), (QStringList{"First Artist", "Second Artist"}))
        << "in the source's order";
    EXPECT_TRUE(
        FlacTagReader::readComments(
            TestEnvironment::writeFile(TestEnvironment::home() + "/not.flac", "junk"), metaflac)
            .isEmpty());

    TestDatabase context;
    context.queue().ajouterUnFichier(librarySource("Queued"));
    ASSERT_EQ(context.queue().fichiersAudio().size(), 1);
    EXPECT_EQ(context.queue().fichiersAudio().first()->sourceTags(), comments)
        << "read when the file is added";
}

TEST(TagPassThrough, EveryCodecCarriesEveryCommentInItsOwnFields) {
    FlacFactory::makePicture(libraryPicture(), "jpg");
    const QString cover = OutputReader::fileSha1(libraryPicture());
    for (const OutputCodec& codec : OutputCodec::all()) {
        const std::string what = codec.name;
        TestDatabase context(QStringLiteral("%1.db").arg(codec.codecName()));
        TestEnvironment::defaults().setString(codec.codecName(), "ConversionCodec");
        const QString source = librarySource(codec.codecName());
        context.queue().ajouterUnFichier(source);
        editAll(context);
        PassRunner pass(context.controleur());
        ASSERT_TRUE(pass.runPass()) << what;
        ASSERT_EQ(context.controleur()->passFailed(), 0)
            << what << context.messages.join("\n").toStdString();

        const QString output = QFileInfo(source).path() + "/Track." + codec.fileExtension();
        const QJsonObject read = OutputReader::read(output);
        EXPECT_NEAR(read.value("length").toDouble(0.5), 0.5, 0.1) << what;
        const QJsonObject raw = read.value("raw").toObject();
        switch (codec.tags) {
        case OutputCodec::Tags::Mp4Atoms:
            expectMp4(raw, what);
            break;
        case OutputCodec::Tags::Id3:
            expectId3(raw, what);
            break;
        case OutputCodec::Tags::VorbisComments:
            expectVorbis(raw, what, qstrcmp(codec.encoder, "libopus") == 0);
            if (qstrcmp(codec.encoder, "libopus") == 0) {
                EXPECT_EQ(strings(raw.value("R128_TRACK_GAIN")), QStringList{"0"}) << what;
                EXPECT_EQ(read.value("output_gain").toInt(), -(6 * 256 + 128) - 5 * 256) << what;
            }
            break;
        case OutputCodec::Tags::RiffInfo:
        case OutputCodec::Tags::CafInfo:
            expectInfo(raw, what, codec.tags == OutputCodec::Tags::CafInfo);
            break;
        }
        if (codec.cover != OutputCodec::Cover::None) {
            EXPECT_EQ(read.value("cover").toObject().value("sha1").toString(), cover)
                << what << ": the cover survives the tags";
        }
    }
}

TEST(TagPassThrough, AFileQueuedBeforeCommentsWereKeptStillCarriesThem) {
    FlacFactory::makePicture(libraryPicture(), "jpg");
    const QString source = librarySource("Old");
    TestEnvironment::defaults().setString("mp3", "ConversionCodec");
    {
        TestDatabase context(QStringLiteral("old.db"));
        context.queue().ajouterUnFichier(source);
        context.queue().fichiersAudio().first()->outMetadataDict()->insert("title", "Edited");
        context.queue().fichiersAudio().first()->save();
        // As a queue saved by a version that kept the seven fields alone.
        context.database()->inputDBrequest("DROP TABLE `audioTag`");
        context.database()->inputDBrequest("PRAGMA user_version = 3");
    }
    TestDatabase context(QStringLiteral("old.db"));
    ASSERT_EQ(context.count("audioTag"), 0);
    ASSERT_EQ(context.queue().countOfFichiersAudio(), 1);
    PassRunner pass(context.controleur());
    ASSERT_TRUE(pass.runPass());
    const QJsonObject raw =
        OutputReader::read(QFileInfo(source).path() + "/Track.mp3").value("raw").toObject();
    EXPECT_EQ(strings(raw.value("TIT2")), QStringList{"Edited"});
    EXPECT_EQ(strings(raw.value("TPE2")), QStringList{"Various Artists"});
    EXPECT_EQ(strings(raw.value("TXXX:REPLAYGAIN_TRACK_GAIN")), QStringList{"-6.50 dB"});
}

TEST(TagPassThrough, AnOutputThatCannotBeTaggedFailsInsteadOfGoingOutBare) {
    const TagList tags = {{"TITLE", "T"}, {"ALBUMARTIST", "A"}};
    for (const OutputCodec& codec : OutputCodec::all()) {
        const bool byMuxer =
            codec.tags == OutputCodec::Tags::RiffInfo || codec.tags == OutputCodec::Tags::CafInfo;
        EXPECT_EQ(OutputTagWriter::muxerTags(codec, tags).isEmpty(), !byMuxer)
            << codec.name << ": each container's tags are written once, by one writer";
        // An output gone (or never readable) between its encoding and its tags.
        const QString gone = TestEnvironment::home() + "/gone." + codec.fileExtension();
        QString error;
        EXPECT_EQ(OutputTagWriter::write(gone, codec, tags, &error), byMuxer) << codec.name;
        EXPECT_EQ(error, byMuxer ? QString() : QString("écriture des tags impossible"))
            << codec.name;
    }
    // Not MP4 nor Ogg: refused.
    const QString junk =
        TestEnvironment::writeFile(TestEnvironment::home() + "/junk.m4a", QByteArray(4096, 'x'));
    QString error;
    EXPECT_FALSE(OutputTagWriter::write(junk, *OutputCodec::find("m4a"), tags, &error));
    EXPECT_FALSE(OutputTagWriter::write(junk, *OutputCodec::find("opus"), tags, &error));
}

TEST(TagPassThrough, Id3Version23CarriesEveryFieldInItsOwnForm) {
    FlacFactory::makePicture(libraryPicture(), "jpg");
    const QString cover = OutputReader::fileSha1(libraryPicture());
    TestEnvironment::defaults().setInteger(3, "VersionID3");
    for (const char* name : {"mp3", "aif"}) {
        const OutputCodec* codec = OutputCodec::find(name);
        ASSERT_NE(codec, nullptr);
        TestDatabase context(QStringLiteral("%1-23.db").arg(name));
        TestEnvironment::defaults().setString(name, "ConversionCodec");
        const QString source = librarySource(QStringLiteral("%1-23").arg(name));
        context.queue().ajouterUnFichier(source);
        editAll(context);
        PassRunner pass(context.controleur());
        ASSERT_TRUE(pass.runPass()) << name;
        ASSERT_EQ(context.controleur()->passFailed(), 0)
            << context.messages.join("\n").toStdString();
        const QJsonObject read =
            OutputReader::read(QFileInfo(source).path() + "/Track." + codec->fileExtension());
        const QJsonObject raw = read.value("raw").toObject();
        EXPECT_EQ(strings(raw.value("version")), QStringList{"2.3"}) << name;
        EXPECT_EQ(strings(raw.value("TIT2")), QStringList{"Edited Title"}) << name;
        EXPECT_EQ(strings(raw.value("TPE1")), QStringList{"First Artist / Second Artist"})
            << name << ": one text per frame in 2.3";
        EXPECT_EQ(strings(raw.value("TSO2")), QStringList{"Artists, Various"}) << name;
        EXPECT_EQ(strings(raw.value("TXXX:ARTISTSORT")), QStringList{"Artist, First"})
            << name << ": a frame 2.3 lacks goes to TXXX";
        EXPECT_EQ(strings(raw.value("TXXX:ALBUMSORT")), QStringList{"Album, The"}) << name;
        EXPECT_FALSE(raw.contains("TSOP")) << name;
        EXPECT_EQ(strings(raw.value("TRCK")), QStringList{"2/10"}) << name;
        EXPECT_EQ(strings(raw.value("TXXX:MOOD")), QStringList{"Éclatant – 東京"}) << name;
        EXPECT_EQ(strings(raw.value("USLT")), QStringList{FlacFactory::kLibraryLyrics}) << name;
        EXPECT_EQ(read.value("cover").toObject().value("sha1").toString(), cover) << name;
    }
}
