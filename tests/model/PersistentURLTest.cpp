#include "model/PersistentURL.h"

#include "storage/CocoLite.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

TEST(PersistentURL, OnePathIsOneRowAndOnlyExistingFilesAreStored) {
    TestDatabase context;
    const QString path = TestEnvironment::writeFile(TestEnvironment::home() + "/Music/Song.flac");

    auto first = PersistentURL::persistentURLwithURL(path);
    first->setElementType(2);
    const quint32 id = context.records().saveUrl(*first);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(context.records().saveUrl(*first), id);
    auto second = PersistentURL::persistentURLwithURL(path);
    EXPECT_EQ(context.records().saveUrl(*second), id) << "found again by its path";
    EXPECT_EQ(context.count("fileURL"), 1);

    const auto row = context.database()->outputDBrequest("SELECT * FROM fileURL").value(0);
    EXPECT_EQ(row.value("furl").toString(), path);
    EXPECT_EQ(row.value("fname").toString(), "Song");
    EXPECT_EQ(row.value("fdir").toString(), TestEnvironment::home() + "/Music");
    EXPECT_EQ(row.value("fext").toString(), "flac");
    EXPECT_EQ(row.value("isdir").toInt(), 0);
    EXPECT_EQ(row.value("futi").toString(), "audio/flac");
    EXPECT_EQ(row.value("fsize").toInt(), 4);
    EXPECT_GT(row.value("datemodif").toInt(), 700000000) << "seconds since 2001";

    auto missing = PersistentURL::persistentURLwithURL(TestEnvironment::home() + "/none.m4a");
    EXPECT_EQ(context.records().saveUrl(*missing), 0u);
    EXPECT_EQ(missing->sqliteid(), 0u);
    EXPECT_EQ(context.count("fileURL"), 1);
}

TEST(PersistentURL, RebuildsFromItsIdentifier) {
    TestDatabase context;
    const QString path = TestEnvironment::writeFile(TestEnvironment::home() + "/Pics/README");
    auto record = PersistentURL::persistentURLwithURL(path);
    record->setElementType(5);
    record->setIsactive(true);
    const quint32 id = context.records().saveUrl(*record);

    auto rebuilt = context.records().loadUrl(id);
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(rebuilt->path(), path);
    EXPECT_EQ(rebuilt->elementType(), 5);
    EXPECT_TRUE(rebuilt->isactive());
    EXPECT_EQ(rebuilt->sqliteid(), id);
    EXPECT_EQ(rebuilt->extension(), "");
    EXPECT_EQ(rebuilt->fileName(), "README") << "a file without extension";

    EXPECT_EQ(context.records().loadUrl(id + 100), nullptr);

    context.records().clear();
    EXPECT_EQ(context.records().storedUrlId(*PersistentURL::persistentURLwithURL(path)), 0u);
}

TEST(PersistentURL, AwkwardPathsRoundTripByteForByte) {
    TestDatabase context;
    const QStringList names = {"double \"quoted\" name.flac",
                               "l'apostrophe.flac",
                               "back\\slash.flac",
                               "100% _percent_.flac",
                               "new\nline.flac",
                               "Beyoncé – 東京 🎵.flac",
                               "active",
                               "furl",
                               "'); DROP TABLE fileURL; --.flac",
                               "-leading dash.flac",
                               "?question?.flac"};
    QList<quint32> ids;
    for (const QString& name : names) {
        const QString path =
            TestEnvironment::writeFile(TestEnvironment::home() + "/odd \"dir\" 'x'/" + name);
        auto record = PersistentURL::persistentURLwithURL(path);
        ids.append(context.records().saveUrl(*record));
        ASSERT_NE(ids.last(), 0u) << name.toStdString();
        EXPECT_EQ(context.records().saveUrl(*record), ids.last())
            << "the UPDATE keeps the row: " << name.toStdString();
    }
    EXPECT_EQ(context.count("fileURL"), names.size());
    for (int index = 0; index < names.size(); ++index) {
        auto rebuilt = context.records().loadUrl(ids[index]);
        ASSERT_TRUE(rebuilt);
        EXPECT_EQ(rebuilt->fileName(), names[index]);
        EXPECT_TRUE(rebuilt->exists()) << names[index].toStdString();
        auto again = PersistentURL::persistentURLwithURL(rebuilt->path());
        EXPECT_EQ(context.records().storedUrlId(*again), ids[index]);
        const auto row = context.database()
                             ->outputDBrequest(QString("SELECT fname, fext FROM fileURL WHERE "
                                                       "furlid = %1")
                                                   .arg(ids[index]))
                             .value(0);
        EXPECT_EQ(row.value("fname").toString() + (row.value("fext").toString().isEmpty()
                                                       ? ""
                                                       : "." + row.value("fext").toString()),
                  names[index]);
    }
}
