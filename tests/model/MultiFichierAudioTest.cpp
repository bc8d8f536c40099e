#include "model/MultiFichierAudio.h"

#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {
FichierAudioPtr queued(TestDatabase& context, const QString& relative) {
    const QString path = TestEnvironment::writeFile(TestEnvironment::home() + "/" + relative);
    context.queue().ajouterUnFichier(path);
    return context.queue().fichiersAudio().last();
}

QString picture(const QString& relative) {
    const QString path = TestEnvironment::writeFile(TestEnvironment::home() + "/" + relative, "");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.save(path);
    return path;
}
} // namespace

TEST(MultiFichierAudio, AggregatesValuesWithTheDifferenceMarker) {
    TestDatabase context;
    auto a = queued(context, "A/1.flac");
    auto b = queued(context, "B/2.flac");
    auto c = queued(context, "C/3.flac");
    for (const auto& record : {a, b, c}) {
        record->inMetadataDict()->insert("title", "Same");
        record->outMetadataDict()->insert("title", "Same");
        record->inMetadataDict()->insert("album", "Album");
        record->outMetadataDict()->insert("album", "Album");
    }
    a->outMetadataDict()->insert("album", "Other");
    a->inMetadataDict()->insert("genre", "Jazz");
    b->inMetadataDict()->insert("tracknumber", 5);
    c->inMetadataDict()->insert("tracknumber", "5");

    auto none = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {});
    EXPECT_EQ(none->nomElement(), "-");
    EXPECT_EQ(none->imageAutoFind(), -1);
    EXPECT_EQ(none->imageSourceType(), -2);
    EXPECT_EQ(none->mainPictureCached(false), nullptr);
    EXPECT_TRUE(none->externalImages().isEmpty());

    auto one = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {1});
    EXPECT_EQ(one->nomElement(), "2.flac");
    EXPECT_EQ(one->inMetadataDict()->value("tracknumber").toInt(), 5);
    EXPECT_EQ(one->inMetadataDict()->value("amdid"), b->inMetadataDict()->value("amdid"));

    auto all = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {2, 0, 1});
    EXPECT_EQ(all->nomElement(), "3 fichiers sélectionnés");
    EXPECT_EQ(all->listeMultiFichiers(), (QList<FichierAudioPtr>{a, b, c}));
    EXPECT_EQ(all->outMetadataDict()->value("title").toString(), "Same");
    EXPECT_EQ(all->outMetadataDict()->value("album").toString(), "-");
    EXPECT_EQ(all->inMetadataDict()->value("album").toString(), "Album");
    EXPECT_EQ(all->inMetadataDict()->value("genre").toString(), "Jazz") << "one record lacks it";
    EXPECT_FALSE(all->outMetadataDict()->contains("genre"));
    EXPECT_EQ(all->inMetadataDict()->value("tracknumber").toString(), "-")
        << "number and text differ";
    EXPECT_EQ(all->inMetadataDict()->value("amdid").toString(), "-");
    EXPECT_EQ(all->inMetadataDict()->value("fileName").toString(), "-");
}

TEST(MultiFichierAudio, PictureSettingsReachEverySelectedRecord) {
    TestDatabase context;
    auto a = queued(context, "A/1.flac");
    auto b = queued(context, "B/2.flac");
    auto c = queued(context, "C/3.flac");
    auto both = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {0, 1});
    EXPECT_EQ(both->imageAutoFind(), 1);
    b->setImageAutoFind(0);
    EXPECT_EQ(both->imageAutoFind(), -1);
    a->setImageSourceType(1);
    b->setImageSourceType(1);
    EXPECT_EQ(both->imageSourceType(), 1);

    both->setImageAutoFind(0);
    both->setImageSourceType(2);
    const auto art = PersistentURL::persistentURLwithURL(picture("art.png"));
    both->setImageCustomURL(art);
    EXPECT_EQ(both->imageCustomURL(), art);
    GestionnairePileFichier reloaded(context.records());
    reloaded.loadFromSqlite();
    for (int index : {0, 1}) {
        const auto record = reloaded.fichiersAudio().at(index);
        EXPECT_EQ(record->imageAutoFind(), 0);
        EXPECT_EQ(record->imageSourceType(), 2);
        ASSERT_TRUE(record->imageCustomURL());
        EXPECT_EQ(record->imageCustomURL()->path(), art->path());
    }
    EXPECT_EQ(reloaded.fichiersAudio().at(2)->imageCustomURL(), nullptr);

    c->setImageCustomURL(PersistentURL::persistentURLwithURL(picture("other.png")));
    auto mixed = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {0, 2, 1});
    EXPECT_EQ(mixed->imageCustomURL(), nullptr) << "A, B, A give none";
    c->setImageCustomURL(PersistentURL::persistentURLwithURL(art->path()));
    EXPECT_EQ(mixed->imageCustomURL()->path(), art->path()) << "same location";
    c->setImageCustomURL(nullptr);
    EXPECT_EQ(mixed->imageCustomURL(), nullptr) << "some with, some without";
}

TEST(MultiFichierAudio, AggregatedPictures) {
    TestDatabase context;
    auto a = queued(context, "A/1.flac");
    auto b = queued(context, "B/2.flac");
    for (const auto& record : {a, b}) {
        record->setImageAutoFind(0);
        record->setImageSourceType(4);
    }
    auto both = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {0, 1});
    EXPECT_EQ(both->mainPictureCached(false), Image::named("flac-icon256"))
        << "the same named image";

    for (const auto& record : {a, b}) {
        record->setImageSourceType(0);
        record->setImageTempURL(
            PersistentURL::persistentURLwithURL(picture(record->nomElement() + ".jpg")));
    }
    EXPECT_EQ(both->mainPictureCached(false), Image::named("multiflac256"))
        << "two embedded pictures";
    for (const auto& record : {a, b}) {
        record->setImageTempURL(nullptr);
    }
    EXPECT_EQ(both->mainPictureCached(false), Image::named("multiflac256")) << "no picture at all";
    auto one = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {0});
    EXPECT_EQ(one->mainPictureCached(false), Image::named("flac-icon256.png"));
}

TEST(MultiFichierAudio, ExternalImagesAndTheirPosition) {
    TestDatabase context;
    context.queue().ajouterUnFichier(picture("Album/front.jpg"));
    context.queue().ajouterUnFichier(picture("Album/back.jpg"));
    auto a = queued(context, "Album/1.flac");
    auto b = queued(context, "Album/2.flac");
    a->setExternalImageIndex(1);
    b->setExternalImageIndex(1);
    a->save();
    b->save();
    auto both = MultiFichierAudio::multiFlacAvecSelection(context.queue(), {0, 1});
    EXPECT_EQ(both->externalImageIndex(), 1u);
    EXPECT_EQ(both->externalImages().size(), 4) << "images near each file, once per file";
    EXPECT_EQ(both->externalImageIndex(), 0u);
    GestionnairePileFichier reloaded(context.records());
    reloaded.loadFromSqlite();
    EXPECT_EQ(reloaded.fichiersAudio().at(0)->externalImageIndex(), 0u) << "saved at once";
    EXPECT_EQ(reloaded.fichiersAudio().at(1)->externalImageIndex(), 0u);

    auto twice = MultiFichierAudio::withRecords({a, a});
    EXPECT_EQ(twice->externalImages().size(), 2) << "the same source counts once";
    EXPECT_EQ(
        MultiFichierAudio::multiFlacAvecSelection(context.queue(), {1})->externalImages().size(),
        2);
}
