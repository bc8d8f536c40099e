#include "model/FichierAudio.h"

#include "storage/CocoLite.h"
#include "storage/UserDefaults.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {
FichierAudioPtr newRecord(TestDatabase& context, const QString& path) {
    TestEnvironment::writeFile(path, QByteArray(2048, 'f'));
    return context.recordFor(path);
}

QVariantMap audioRow(TestDatabase& context, quint32 afid) {
    return context.database()
        ->outputDBrequest(QString("SELECT * FROM audioFile WHERE afid = %1").arg(afid))
        .value(0);
}
} // namespace

TEST(FichierAudio, CreationSavesOneRowWithItsMetadataRecords) {
    TestDatabase context;
    auto record = newRecord(context, TestEnvironment::home() + "/Music/Song.FLAC");
    EXPECT_EQ(record->statusConversion(), kStatusConvPret);
    EXPECT_EQ(record->elementType(), 2);
    EXPECT_EQ(record->elementURL()->elementType(), 2);
    EXPECT_EQ(record->inMetadataDict()->value("fileName").toString(), "Song.FLAC");
    EXPECT_EQ(record->inMetadataDict()->value("NSURLFileSizeKey").toLongLong(), 2048);
    EXPECT_EQ(record->outMetadataDict()->value("fileName").toString(), "Song.m4a");
    const quint32 afid = record->sqliteid();
    ASSERT_NE(afid, 0u);

    record->save();
    EXPECT_EQ(record->sqliteid(), afid);
    EXPECT_EQ(context.count("audioFile"), 1);
    EXPECT_EQ(context.count("audioMetadata"), 2);
    const auto metadata = context.database()->outputDBrequest(
        "SELECT fileid, amdtype FROM audioMetadata ORDER BY amdtype");
    EXPECT_EQ(metadata[0].value("fileid").toUInt(), afid);
    EXPECT_EQ(metadata[1].value("fileid").toUInt(), afid);

    const QVariantMap row = audioRow(context, afid);
    EXPECT_EQ(row.value("audiotype").toString(), "flac") << "whatever the source's extension";
    EXPECT_EQ(row.value("status").toInt(), 1);
    EXPECT_EQ(row.value("outname").toString(), "Song.m4a");
    EXPECT_EQ(row.value("outaudiourl").toInt(), 0) << "the destination does not exist yet";
    EXPECT_EQ(row.value("imgautofind").toInt(), 1);
    EXPECT_EQ(row.value("active").toInt(), 1);
}

TEST(FichierAudio, ReloadRebuildsEveryField) {
    TestDatabase context;
    const QString folder = TestEnvironment::home() + "/Music/Album";
    auto record = newRecord(context, folder + "/Track.flac");
    const QString custom = TestEnvironment::writeFile(folder + "/covers/front.png", "png");
    auto customURL = PersistentURL::persistentURLwithURL(custom);
    customURL->setElementType(5);
    record->setImageCustomURL(customURL);
    record->setImageAutoFind(0);
    record->setImageSourceType(2);
    record->setExternalImageIndex(3);
    record->setStatusConversion(kStatusConvFiniErreur);
    record->setNomDestination("Renamed \"Take\" 'one'.m4a");
    record->outMetadataDict()->insert("title", "album");
    record->outMetadataDict()->insert("tracknumber", "07");
    TestEnvironment::writeFile(record->freshDestinationURL()->path(), "m4a");
    record->save();

    const auto rows =
        context.database()->outputDBrequest("SELECT * FROM audioFile WHERE active = 1");
    ASSERT_EQ(rows.size(), 1);
    auto loaded = context.records().loadFiles().value(0);
    EXPECT_EQ(loaded->sqliteid(), record->sqliteid());
    EXPECT_EQ(loaded->elementURL()->path(), folder + "/Track.flac");
    EXPECT_EQ(loaded->destinationURL()->path(), folder + "/Renamed \"Take\" 'one'.m4a");
    EXPECT_EQ(loaded->nomDestination(), "Renamed \"Take\" 'one'.m4a");
    EXPECT_EQ(loaded->imageCustomURL()->path(), custom);
    EXPECT_EQ(loaded->imageAutoFind(), 0);
    EXPECT_EQ(loaded->imageSourceType(), 2);
    EXPECT_EQ(loaded->externalImageIndex(), 3u);
    EXPECT_EQ(loaded->statusConversion(), kStatusConvFiniErreur);
    EXPECT_EQ(loaded->outMetadataDict()->value("title").toString(), "album");
    EXPECT_EQ(loaded->outMetadataDict()->value("tracknumber").toInt(), 7);
    EXPECT_EQ(loaded->outMetadataDict()->value("fileName").toString(),
              "Renamed \"Take\" 'one'.m4a");
    EXPECT_EQ(loaded->inMetadataDict()->value("amdtype").toInt(), 1);
    EXPECT_EQ(loaded->inMetadataDict()->value("NSURLFileSizeKey").toLongLong(), 2048);
    EXPECT_EQ(loaded->inMetadataDict()->value("fileName").toString(), "Track.flac");
}

TEST(FichierAudio, SourceGoneAtLoad) {
    TestDatabase context;
    auto record = newRecord(context, TestEnvironment::home() + "/Gone/Song.flac");
    QFile::remove(record->elementURL()->path());
    const auto rows = context.database()->outputDBrequest("SELECT * FROM audioFile");
    auto loaded = context.records().loadFiles().value(0);
    EXPECT_EQ(loaded->elementURL()->path(), TestEnvironment::home() + "/Gone/Song.flac");
    EXPECT_EQ(loaded->inMetadataDict()->value("NSURLFileSizeKey").toLongLong(), 2048)
        << "the size it had when it was queued: start-up does not look at the disk";
    context.database()->inputDBrequest("UPDATE fileURL SET fsize = 5000000000");
    EXPECT_EQ(context.records()
                  .loadFiles()
                  .value(0)
                  ->inMetadataDict()
                  ->value("NSURLFileSizeKey")
                  .toLongLong(),
              5000000000LL)
        << "a disc image over 2 GiB";
    EXPECT_EQ(loaded->mainPictureCached(false), nullptr);
    EXPECT_EQ(loaded->imageSourceType(), 4) << "the default picture's code is recorded";
}

TEST(FichierAudio, RemovalDeletesWhatItOwnsAndKeepsSharedRows) {
    TestDatabase context;
    const QString folder = TestEnvironment::home() + "/Music";
    auto first = newRecord(context, folder + "/One.flac");
    auto second = newRecord(context, folder + "/Two.flac");
    auto shared =
        PersistentURL::persistentURLwithURL(TestEnvironment::writeFile(folder + "/art.jpg"));
    shared->setElementType(5);
    first->setImageCustomURL(shared);
    second->setImageCustomURL(shared);
    first->save();
    second->save();
    TestEnvironment::writeFile(first->tempDestinationURL()->path());
    const QString picture = TestEnvironment::writeFile(folder + "/.tmp_One.abc.jpg");
    auto pictureURL = PersistentURL::persistentURLwithURL(picture);
    pictureURL->setElementType(6);
    first->setImageTempURL(pictureURL);
    first->save();
    EXPECT_EQ(context.count("fileURL"), 5);

    EXPECT_TRUE(first->supprimer2LaPile());
    EXPECT_EQ(context.count("audioFile"), 1);
    EXPECT_EQ(context.count("audioMetadata"), 2);
    EXPECT_TRUE(QFile::exists(folder + "/One.flac")) << "the source stays on disk";
    const auto urls = context.database()->outputDBrequest("SELECT furl FROM fileURL ORDER BY furl");
    QStringList remaining;
    for (const auto& row : urls) {
        remaining << row.value("furl").toString();
    }
    EXPECT_EQ(remaining, (QStringList{folder + "/Two.flac", folder + "/art.jpg"}));

    auto reloaded = context.records().loadFiles().value(0);
    ASSERT_TRUE(reloaded->imageCustomURL()) << "the other file keeps its custom image";
    EXPECT_EQ(reloaded->imageCustomURL()->path(), folder + "/art.jpg");
    EXPECT_TRUE(second->supprimer2LaPile());
    EXPECT_EQ(context.count("fileURL"), 1) << "a registered image stays for the files near it";
    EXPECT_EQ(context.count("audioMetadata"), 0);
}

TEST(FichierAudio, StatusTextsAreFrenchAndNeverReadOutOfRange) {
    TestDatabase context;
    FichierAudio record;
    const QStringList expected = {"Aucun", "Prêt", "Décodage", "Encodage", "Terminé", "Erreur"};
    for (int status = 0; status <= 5; ++status) {
        record.setStatusConversion(status);
        EXPECT_EQ(record.statusLocalizedString(), expected[status]);
    }
    record.setStatusConversion(9);
    EXPECT_EQ(record.statusLocalizedString(), "9");
    record.setStatusConversion(-3);
    EXPECT_EQ(record.statusLocalizedString(), "-3");
}

TEST(FichierAudio, ASaveIsOneCommitAndKeepsTheSourceAndReasonWhileTheFileIsAway) {
    TestDatabase context;
    const QString path = TestEnvironment::home() + "/Music/Drive/Away.flac";
    auto record = newRecord(context, path);
    const quint32 sourceRow = record->elementURL()->sqliteid();
    ASSERT_NE(sourceRow, 0u);
    const QString parked = TestEnvironment::makeFolder("Parked") + "/Away.flac";
    ASSERT_TRUE(QFile::rename(path, parked));
    record->setStatusConversion(kStatusConvFiniErreur);
    record->setFailureReason("Fichier absent\nsur la clé");
    const quint64 commits = context.database()->commitCount();
    record->save();
    EXPECT_EQ(context.database()->commitCount(), commits + 1)
        << "the row, its URL and metadata rows in one transaction";
    EXPECT_EQ(audioRow(context, record->sqliteid()).value("inaudiourl").toUInt(), sourceRow)
        << "a source that is away keeps its link";

    const auto load = [&context] { return context.records().loadFiles().value(0); };
    const FichierAudioPtr back = load();
    ASSERT_TRUE(back->elementURL());
    EXPECT_EQ(back->elementURL()->path(), path);
    EXPECT_EQ(back->failureReason(), "Fichier absent\nsur la clé");

    back->setStatusConversion(kStatusConvPret);
    back->save();
    EXPECT_EQ(load()->failureReason(), "") << "a file ready again has no reason";
}
