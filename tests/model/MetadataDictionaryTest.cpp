#include "model/MetadataDictionary.h"

#include "storage/CocoLite.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {
QVariantMap storedRow(TestDatabase& context, quint32 id) {
    return context.database()
        ->outputDBrequest(QString("SELECT * FROM audioMetadata WHERE amdid = %1").arg(id))
        .value(0);
}
} // namespace

TEST(MetadataDictionary, StoresTheTagColumnsAndNothingElse) {
    TestDatabase context;
    auto record = MetadataDictionary::withType(MetadataDictionary::kOutput);
    record->insert("artist", "Sigur Rós");
    record->insert("tracknumber", "05");
    record->insert("discnumber", "1/2");
    record->insert("fileName", "Song.m4a");
    record->insert("md5sum", "abc");
    record->insert("NSURLFileSizeKey", 1234);
    const quint32 id = context.records().saveMetadata(*record);
    ASSERT_NE(id, 0u);

    const QVariantMap row = storedRow(context, id);
    EXPECT_EQ(row.value("fileid").toInt(), 0);
    EXPECT_EQ(row.value("amdtype").toInt(), 2);
    EXPECT_EQ(row.value("artist").toString(), "Sigur Rós");
    EXPECT_EQ(row.value("title").toString(), "") << "an absent title is written empty";
    EXPECT_EQ(row.value("genre").toString(), "");
    EXPECT_EQ(row.value("tracknumber").typeId(), QMetaType::Int);
    EXPECT_EQ(row.value("tracknumber").toInt(), 5) << "integer affinity drops the leading zero";
    EXPECT_EQ(row.value("discnumber").toString(), "1/2") << "a total keeps it text";
    EXPECT_EQ(row.value("sample-rate").toInt(), 0);
    EXPECT_FALSE(row.contains("fileName"));

    record->setFileid(42);
    EXPECT_EQ(context.records().saveMetadata(*record), id) << "the second write is an UPDATE";
    EXPECT_EQ(context.count("audioMetadata"), 1);
    EXPECT_EQ(storedRow(context, id).value("fileid").toInt(), 42);

    auto fresh = MetadataDictionary::withType(2);
    fresh->setFileid(42);
    EXPECT_EQ(context.records().storedMetadataId(*fresh), id) << "found by file and type";

    auto loaded = context.records().loadMetadata(id);
    EXPECT_EQ(loaded->value("artist").toString(), "Sigur Rós");
    EXPECT_EQ(loaded->value("tracknumber").toInt(), 5);
    EXPECT_EQ(loaded->sqliteid(), id);

    auto empty = context.records().loadMetadata(0);
    EXPECT_EQ(empty->keys(), QStringList{"amdid"});
    EXPECT_EQ(empty->sqliteid(), 0u);
    auto absent = context.records().loadMetadata(999);
    EXPECT_EQ(absent->keys(), QStringList{"amdid"});

    context.records().deleteMetadata(*record);
    EXPECT_EQ(context.count("audioMetadata"), 0);
}

TEST(MetadataDictionary, TagsThatLookLikeSqlOrColumnNamesStayText) {
    TestDatabase context;
    const QStringList awkward = {"album",       "title",      "amdid",
                                 "fileid",      "amdtype",    "tracknumber",
                                 "artist",      "genre",      "discnumber",
                                 "date",        "bps",        "channels",
                                 "sample-rate", "active",     "\"album\"",
                                 "it's",        "say \"hi\"", "C:\\path\\",
                                 "50% off_",    "two\nlines", "'); DROP TABLE audioMetadata; --",
                                 "東京 🎵"};
    for (const QString& text : awkward) {
        auto record = MetadataDictionary::withType(2);
        record->insert("album", "The Album");
        record->insert("title", text);
        const quint32 id = context.records().saveMetadata(*record);
        record->insert("artist", text);
        context.records().saveMetadata(*record);
        const QVariantMap row = storedRow(context, id);
        EXPECT_EQ(row.value("title").toString(), text) << text.toStdString();
        EXPECT_EQ(row.value("artist").toString(), text) << text.toStdString();
        EXPECT_EQ(row.value("album").toString(), "The Album");
        context.records().deleteMetadata(*record);
    }
    EXPECT_EQ(context.count("audioMetadata"), 0);
    EXPECT_EQ(context.count("fileURL"), 0) << "the other tables are still there";
}

TEST(MetadataDictionary, ValueEqualityKeepsStringsAndNumbersApart) {
    EXPECT_TRUE(MetadataDictionary::sameValue(QString("5"), QString("5")));
    EXPECT_TRUE(MetadataDictionary::sameValue(5, 5.0));
    EXPECT_FALSE(MetadataDictionary::sameValue(5, QString("5")));
    EXPECT_FALSE(MetadataDictionary::sameValue(QString("a"), QString("A")));
    EXPECT_FALSE(MetadataDictionary::sameValue(QVariant(), QString("")));
}
