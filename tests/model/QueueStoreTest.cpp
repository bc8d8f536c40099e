#include "model/QueueStore.h"

#include "model/DestinationPattern.h"
#include "model/EditedField.h"
#include "model/OutputTags.h"
#include "storage/CocoLite.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

namespace {
// The tables and their columns, as the schema has them.
QStringList schemaOf(CocoLite& db) {
    QStringList schema;
    for (const QVariantMap& table :
         db.outputDBrequest("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")) {
        const QString name = table.value("name").toString();
        QStringList columns;
        for (const QVariantMap& column :
             db.outputDBrequest("SELECT name FROM pragma_table_info(?)", {name})) {
            columns << column.value("name").toString();
        }
        schema << name + "(" + columns.join(",") + ")";
    }
    return schema;
}

int userVersion(CocoLite& db) {
    return db.outputDBrequest("PRAGMA user_version").value(0).value("user_version").toInt();
}
} // namespace

TEST(QueueStore, APreviousVersionsDatabaseIsMigratedWithEveryRow) {
    // Made by the previous version: two files added from a folder, the
    // second one's conversion failed.
    const QString path = TestEnvironment::makeFolder("data") + "/queue-v3.db";
    ASSERT_TRUE(QFile::copy(TONEBRIDGE_SOURCE_DIR "/tests/data/queue-v3.db", path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    CocoLite old(path);
    ASSERT_EQ(userVersion(old), 3);
    QueueStore store(old);
    store.migrate();
    EXPECT_EQ(userVersion(old), QueueStore::kSchemaVersion);

    const QList<FichierAudioPtr> files = store.loadFiles();
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0]->elementURL()->path().endsWith("/music/Artist/t1.flac"));
    EXPECT_EQ(files[0]->outMetadataDict()->value("title").toString(), "Titre 1 l'été");
    EXPECT_EQ(files[0]->outMetadataDict()->value("artist").toString(), "O'Brien");
    EXPECT_TRUE(files[0]->rootFolder().endsWith("/music"));
    EXPECT_EQ(files[0]->sourceTags().first("ALBUM"), "Album");
    EXPECT_EQ(files[1]->statusConversion(), kStatusConvFiniErreur);
    EXPECT_EQ(files[1]->failureReason(), "Le décodage a échoué : « x »");

    // A file made from nothing by the steps has the same schema.
    CocoLite fresh(TestEnvironment::makeFolder("fresh") + "/new.db");
    QueueStore(fresh).migrate();
    EXPECT_EQ(schemaOf(fresh), schemaOf(old));
    EXPECT_EQ(userVersion(fresh), QueueStore::kSchemaVersion);

    // A file an older version marked 3 without its later tables gets them,
    // and the journal's partial-file column.
    CocoLite partial(TestEnvironment::makeFolder("older") + "/older.db");
    QueueStore older(partial);
    older.migrateStep(0);
    partial.inputDBrequest("CREATE TABLE `audioPublishing` ( `afid` INTEGER PRIMARY KEY, "
                           "`destination` TEXT )");
    partial.inputDBrequest("PRAGMA user_version = 3");
    older.migrate();
    EXPECT_EQ(schemaOf(partial), schemaOf(old));
}

TEST(QueueStore, HostileTextIsBoundAndReadBackAsItWas) {
    const QStringList hostile = {"'; DROP TABLE audioFile; --",
                                 "O'Brien \"quoted\" ?",
                                 "?, ?, ? )",
                                 "%1 %2 \\ \\' \\\"",
                                 QString::fromUtf8("été 🎵 日本語"),
                                 QString("nul") + QChar(u'\0') + "inside",
                                 "line\nbreak\r\ttab",
                                 "`backticks` [brackets]"};
    TestDatabase context;
    QStringList paths;
    for (int index = 0; index < hostile.size(); ++index) {
        const QString folder = TestEnvironment::makeFolder(QString("Music/It's \"%1\"").arg(index));
        paths << TestEnvironment::writeFile(folder + QString("/%1 ?.flac").arg(index));
        auto record = context.recordFor(paths.last());
        record->outMetadataDict()->insert("title", hostile[index]);
        record->setSourceTags({{"COMMENT", hostile[index]}, {hostile[index], "value"}});
        record->setStatusConversion(kStatusConvFiniErreur);
        record->setFailureReason(hostile[index]);
        record->save();
        context.records().notePublication(record->sqliteid(), hostile[index], hostile[index]);
    }
    const QList<FichierAudioPtr> files = context.records().loadFiles();
    ASSERT_EQ(files.size(), hostile.size()) << "every table is still there";
    for (int index = 0; index < hostile.size(); ++index) {
        const FichierAudioPtr& file = files[index];
        EXPECT_EQ(file->elementURL()->path(), paths[index]);
        EXPECT_EQ(file->outMetadataDict()->value("title").toString(), hostile[index]);
        EXPECT_EQ(file->failureReason(), hostile[index]);
        EXPECT_EQ(file->sourceTags().first("COMMENT"), hostile[index]);
        EXPECT_EQ(file->sourceTags().first(hostile[index]), "value");
    }
    const auto publications = context.records().pendingPublications();
    ASSERT_EQ(publications.size(), hostile.size());
    EXPECT_EQ(publications.last().partial, hostile.last());
    EXPECT_EQ(context.count("audioFile"), hostile.size());
}

TEST(QueueStore, TheEditedFieldsTableNamesTheTagColumnsAndThePatternFields) {
    TestDatabase context;
    QStringList columns;
    for (const QVariantMap& column : context.database()->outputDBrequest(
             "SELECT name FROM pragma_table_info('audioMetadata')")) {
        columns << column.value("name").toString();
    }
    EXPECT_EQ(columns.mid(3, EditedField::all().size()), EditedField::storedKeys())
        << "the stored tag columns, in the schema's order";
    QSet<int> rows;
    for (const EditedField& field : EditedField::all()) {
        EXPECT_TRUE(DestinationPattern::fields().contains(field.patternField)) << field.key;
        EXPECT_TRUE(OutputTags::isEditedName(field.vorbisName)) << field.key;
        rows.insert(field.infoRow);
    }
    EXPECT_EQ(rows.size(), EditedField::all().size()) << "one information row each";
    EXPECT_EQ(EditedField::infoKeys().first(), "tracknumber");
    EXPECT_TRUE(EditedField::byKey("discnumber")->numeric);
    EXPECT_EQ(EditedField::byKey("fileName"), nullptr);
}

TEST(QueueStore, SavingLoadingAndRemovingManyFilesScansNoTablePerFile) {
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Many");
    constexpr int kFiles = 400;
    QList<FichierAudioPtr> records;
    for (int index = 0; index < kFiles; ++index) {
        auto record = std::make_shared<FichierAudio>(context.store());
        record->setElementURL(PersistentURL::persistentURLwithURL(
            TestEnvironment::writeFile(QString("%1/%2.flac").arg(folder).arg(index))));
        record->outMetadataDict()->insert("title", QString("Title %1").arg(index));
        records << record;
    }
    CocoLite& db = *context.database();
    const quint64 before = db.fullScanSteps();
    context.records().beginTransaction();
    for (const FichierAudioPtr& record : records) {
        record->save();
    }
    context.records().commitTransaction();
    const QList<FichierAudioPtr> loaded = context.records().loadFiles();
    ASSERT_EQ(loaded.size(), kFiles);
    QList<FichierAudio*> half;
    for (int index = 0; index < kFiles; index += 2) {
        half << loaded[index].get();
    }
    context.records().removeFiles(half);
    // A table scanned once per file would take kFiles × kFiles / 2 steps.
    EXPECT_LT(db.fullScanSteps() - before, quint64(8 * kFiles))
        << "every per-file statement is an indexed look-up";
    EXPECT_EQ(context.count("audioFile"), kFiles / 2);
    EXPECT_EQ(context.count("audioMetadata"), kFiles);
    EXPECT_EQ(context.count("fileURL"), kFiles / 2) << "each removed file's location goes";
    const QList<FichierAudioPtr> left = context.records().loadFiles();
    ASSERT_EQ(left.size(), kFiles / 2);
    EXPECT_EQ(left.first()->outMetadataDict()->value("title").toString(), "Title 1");
}

TEST(QueueStore, TracksOfDiscImagesAreKeptFromTheVersionBefore) {
    // Made by the version before tracks: two files added on the command line.
    const QString path = TestEnvironment::makeFolder("data") + "/queue-v5.db";
    ASSERT_TRUE(QFile::copy(TONEBRIDGE_SOURCE_DIR "/tests/data/queue-v5.db", path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    CocoLite old(path);
    ASSERT_EQ(userVersion(old), 5);
    QueueStore store(old);
    store.migrate();
    EXPECT_EQ(userVersion(old), QueueStore::kSchemaVersion);
    QList<FichierAudioPtr> files = store.loadFiles();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[1]->outMetadataDict()->value("title").toString(), "Two");
    EXPECT_EQ(files[0]->sourceTags().first("LABEL"), "Label");
    EXPECT_FALSE(files[0]->imageTrack()) << "a whole file";

    // A track of a long image: sample positions past 32 bits.
    const ImageTrack track{
        3, 5000000000LL, 5000441000LL, "03 - Third", "/music/Album.cue", "WINDOWS-1251"};
    files[1]->setImageTrack(track);
    files[1]->save();
    files = store.loadFiles();
    ASSERT_TRUE(files[1]->imageTrack());
    EXPECT_EQ(*files[1]->imageTrack(), track);
    EXPECT_FALSE(files[0]->imageTrack());

    store.removeFiles({files[1].get()});
    EXPECT_EQ(
        old.outputDBrequest("SELECT count(*) AS n FROM audioTrack").value(0).value("n").toInt(), 0)
        << "the track goes with its file";
    CocoLite fresh(TestEnvironment::makeFolder("fresh") + "/new.db");
    QueueStore(fresh).migrate();
    EXPECT_EQ(schemaOf(fresh), schemaOf(old));
}

TEST(QueueStore, OutputRecordsComeWithTheVersionAfterTracksAndOutliveTheQueue) {
    // Made by the version before output records: a file and a disc image
    // added on the command line.
    const QString path = TestEnvironment::makeFolder("data") + "/queue-v6.db";
    ASSERT_TRUE(QFile::copy(TONEBRIDGE_SOURCE_DIR "/tests/data/queue-v6.db", path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    CocoLite old(path);
    ASSERT_EQ(userVersion(old), 6);
    QueueStore store(old);
    store.migrate();
    EXPECT_EQ(userVersion(old), QueueStore::kSchemaVersion);
    const QList<FichierAudioPtr> files = store.loadFiles();
    ASSERT_EQ(files.size(), 2);
    ASSERT_TRUE(files[1]->imageTrack());
    EXPECT_EQ(files[1]->imageTrack()->firstSample, 73500);

    OutputRecord record;
    record.output = "/out/A/Song.m4a";
    record.source = "/music/A/Song.flac";
    record.sourceSize = 5000000000LL;
    record.sourceModifiedNs = 1700000000123456789LL;
    record.audioSignature = "0123456789abcdef";
    record.tagsFingerprint = "tags";
    record.encodingFingerprint = "m4a|256000";
    record.outputSize = 12345;
    store.saveOutputRecord(record);
    OutputRecord companion = record;
    companion.output = "/out/A/cover.jpg";
    companion.source = "/music/A/cover.jpg";
    companion.kind = OutputRecord::Kind::Companion;
    store.saveOutputRecord(companion);
    OutputRecord elsewhere = record;
    elsewhere.output = "/out/A0/Song.m4a";
    elsewhere.source = "/music/A0/Song.flac";
    store.saveOutputRecord(elsewhere);

    store.clear();
    EXPECT_EQ(store.outputRecord("/out/A/Song.m4a"), record) << "records outlive the queue";
    EXPECT_EQ(store.outputRecordsFromFolder("/music/A").size(), 2)
        << "the sources under the folder, not those of a folder named alike";
    EXPECT_EQ(store.companionRecordsIn("/out/A/"), QList<OutputRecord>{companion});
    store.forgetOutputRecord(record.output);
    EXPECT_FALSE(store.outputRecord(record.output).isValid());
}
