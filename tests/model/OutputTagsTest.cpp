#include "model/OutputTags.h"

#include "model/FichierAudio.h"
#include "model/MetadataDictionary.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

namespace {
const TagList kSource = {{"ALBUMARTIST", "Various"}, {"ARTIST", "First"},
                         {"ARTIST", "Second"},       {"DATE", "2021"},
                         {"GENRE", "Rock"},          {"LYRICS", "one\ntwo\nthree"},
                         {"TITLE", "Song"},          {"TRACKNUMBER", "02/10"},
                         {"TRACKTOTAL", "10"},       {"REPLAYGAIN_TRACK_GAIN", "-6.50 dB"}};

// The two records as reading the source fills them.
std::pair<MetadataDictionary, MetadataDictionary> readRecords() {
    const QVariantMap fields = {{"title", "Song"},
                                {"artist", "Second"},
                                {"date", "2021"},
                                {"genre", "Rock"},
                                {"tracknumber", "02/10"}};
    return {MetadataDictionary(fields), MetadataDictionary(fields)};
}
} // namespace

TEST(OutputTags, UneditedFieldsPassAsTheSourceHasThemAndEditsWin) {
    auto [input, output] = readRecords();
    EXPECT_EQ(OutputTags::merge(kSource, input, output), kSource)
        << "two artists, a track number with its total, line breaks: all as they were";

    // Once stored, a number comes back as a number: still not an edit.
    input.insert("tracknumber", 2);
    output.insert("tracknumber", 2);
    EXPECT_EQ(OutputTags::merge(kSource, input, output).values("TRACKNUMBER"),
              QStringList{"02/10"});

    output.insert("title", "Edited");
    output.insert("artist", "Only One");
    output.insert("tracknumber", "5");
    output.insert("date", "");
    output.insert("genre", QVariant());
    const TagList merged = OutputTags::merge(kSource, input, output);
    EXPECT_EQ(merged.values("TITLE"), QStringList{"Edited"});
    EXPECT_EQ(merged.values("ARTIST"), QStringList{"Only One"}) << "the edit replaces both";
    EXPECT_EQ(merged.values("TRACKNUMBER"), QStringList{"5"});
    EXPECT_FALSE(merged.contains("DATE")) << "a field the user emptied never comes back";
    EXPECT_FALSE(merged.contains("GENRE"));
    EXPECT_EQ(merged.values("TRACKTOTAL"), QStringList{"10"});
    EXPECT_EQ(merged.values("LYRICS"), QStringList{"one\ntwo\nthree"});
    EXPECT_EQ(merged.entries().at(1), (TagList::Entry{"ARTIST", "Only One"}))
        << "an edited field keeps its place";
}

TEST(OutputTags, ARecordWithoutStoredCommentsWritesItsFields) {
    MetadataDictionary input(QVariantMap{{"title", ""}, {"tracknumber", 0}, {"discnumber", 0}});
    MetadataDictionary output(
        QVariantMap{{"title", "Typed"}, {"tracknumber", 0}, {"discnumber", 4}, {"album", "A"}});
    const TagList merged = OutputTags::merge(TagList(), input, output);
    EXPECT_EQ(merged, (TagList{{"TITLE", "Typed"}, {"ALBUM", "A"}, {"DISCNUMBER", "4"}}))
        << "0 is no track number";
}

TEST(OutputTags, SourceCommentsSurviveARestartAndGoWithTheirFile) {
    TestDatabase context;
    const QString path = TestEnvironment::writeFile(TestEnvironment::home() + "/Music/a.flac");
    auto record = context.recordFor(path);
    record->setSourceTags(kSource);
    record->save();
    EXPECT_EQ(context.count("audioTag"), kSource.size());
    record->save();
    EXPECT_EQ(context.count("audioTag"), kSource.size()) << "saved again, not twice";

    const auto rows = context.database()->outputDBrequest("SELECT * FROM audioFile");
    auto loaded = context.records().loadFiles().value(0);
    EXPECT_EQ(loaded->sourceTags(), kSource) << "order, repeated names and line breaks kept";

    const QString other = TestEnvironment::writeFile(TestEnvironment::home() + "/Music/b.flac");
    auto second = context.recordFor(other);
    second->setSourceTags({{"TITLE", "it's \"quoted\""}});
    second->save();
    loaded->supprimer2LaPile();
    EXPECT_EQ(context.count("audioTag"), 1) << "a removed file's comments go with it";
    auto reloaded = context.records().loadFiles().value(0);
    EXPECT_EQ(reloaded->sourceTags().first("title"), "it's \"quoted\"");
    QStringList titles;
    FichierAudio::forEachSourceTags({reloaded, record, second}, [&titles](const TagList& tags) {
        titles << tags.first("title");
    });
    EXPECT_EQ(titles, (QStringList{"it's \"quoted\"", "", "it's \"quoted\""}))
        << "read for many at once, in their order; a removed file has none";
    context.records().clear();
    EXPECT_EQ(context.count("audioTag"), 0);
}
