#include "model/FichierAudio.h"

#include "storage/CocoLite.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {
QString writePicture(const QString& path, Qt::GlobalColor color) {
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(color);
    TestEnvironment::writeFile(path, "");
    picture.save(path);
    return path;
}

void registerImage(TestDatabase& context, const QString& path) {
    auto url = PersistentURL::persistentURLwithURL(path);
    url->setElementType(5);
    context.records().saveUrl(*url);
}

FichierAudioPtr recordAt(TestDatabase& context, const QString& path) {
    TestEnvironment::writeFile(path);
    return context.recordFor(path);
}
} // namespace

TEST(CoverPicture, AutomaticChoiceTakesTheFirstSourceThatGivesAPicture) {
    TestDatabase context;
    const QString folder = TestEnvironment::home() + "/Music/Album";
    auto record = recordAt(context, folder + "/Song.flac");

    // Only the icon: it is answered and its code recorded.
    ImagePtr icon = record->mainPictureCached(false);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->kind(), Image::Kind::FileIcon);
    EXPECT_EQ(record->imageSourceType(), 3);

    // An external image comes before the icon (a new record reads the list).
    registerImage(context, writePicture(folder + "/folder.jpg", Qt::red));
    record = recordAt(context, folder + "/Song.flac");
    ImagePtr external = record->mainPictureCached(false);
    ASSERT_TRUE(external);
    EXPECT_EQ(external->name(), "folder.jpg");
    EXPECT_EQ(record->imageSourceType(), 1);

    // The embedded picture comes first and leaves the source type alone.
    auto embedded =
        PersistentURL::persistentURLwithURL(writePicture(folder + "/.tmp_Song.x.jpg", Qt::blue));
    record->setImageTempURL(embedded);
    record->setImageSourceType(1);
    EXPECT_EQ(record->mainPictureCached(true), external) << "the cached answer";
    ImagePtr source = record->mainPictureCached(false);
    EXPECT_EQ(source->name(), "Source flac");
    EXPECT_EQ(source->location(), embedded->path());
    EXPECT_EQ(record->imageSourceType(), 1);
    EXPECT_EQ(record->mainPictureCached(true), source);
}

TEST(CoverPicture, ChosenSources) {
    TestDatabase context;
    const QString folder = TestEnvironment::home() + "/Music/B";
    auto record = recordAt(context, folder + "/Song.flac");
    record->setImageAutoFind(0);

    record->setImageSourceType(0);
    EXPECT_EQ(record->mainPictureCached(false), nullptr) << "no embedded picture";
    record->setImageSourceType(1);
    EXPECT_EQ(record->mainPictureCached(false), nullptr) << "no external image";
    record->setImageSourceType(2);
    EXPECT_EQ(record->mainPictureCached(false), Image::named("noimage256"));
    record->setImageCustomURL(
        PersistentURL::persistentURLwithURL(writePicture(folder + "/c.png", Qt::green)));
    EXPECT_EQ(record->mainPictureCached(false)->name(), "c.png");
    record->setImageCustomURL(PersistentURL::persistentURLwithURL(
        TestEnvironment::writeFile(folder + "/broken.png", "not a picture")));
    testing::internal::CaptureStderr();
    EXPECT_EQ(record->mainPictureCached(false), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Pas d'image " + (folder + "/broken.png").toStdString() + "\n");
    record->setImageSourceType(3);
    EXPECT_EQ(record->mainPictureCached(false)->kind(), Image::Kind::FileIcon);
    record->setImageSourceType(4);
    EXPECT_EQ(record->mainPictureCached(false), Image::named("flac-icon256.png"));
    EXPECT_EQ(Image::named("flac-icon256.png"), Image::named("flac-icon256")) << "one instance";
    record->setImageSourceType(7);
    testing::internal::CaptureStderr();
    EXPECT_EQ(record->mainPictureCached(false), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Image Source type 7 non traité\n");
    EXPECT_EQ(record->imageSourceType(), 7) << "chosen sources never change the type";
}

TEST(CoverPicture, ExternalImagesComeFromTheFolderItsSubfoldersAndItsParentOnly) {
    TestDatabase context;
    const QString music = TestEnvironment::home() + "/Music";
    registerImage(context, writePicture(music + "/Artist/Album/front.jpg", Qt::red));
    registerImage(context, writePicture(music + "/Artist/Album/Scans/back.png", Qt::red));
    registerImage(context, writePicture(music + "/Artist/Album Deluxe/sibling.jpg", Qt::red));
    registerImage(context, writePicture(music + "/Artist/parent.jpg", Qt::red));
    registerImage(context, writePicture(music + "/far.jpg", Qt::red));
    registerImage(context, writePicture(TestEnvironment::home() + "/farther.jpg", Qt::red));
    registerImage(context, writePicture(music + "/Artist/Album_/wildcard.jpg", Qt::red));
    registerImage(context, writePicture(music + "/Other/elsewhere.jpg", Qt::red));
    auto record = recordAt(context, music + "/Artist/Album/Song.flac");

    QStringList names;
    for (const ImagePtr& image : record->externalImages()) {
        names << image->name();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"back.png", "front.jpg", "parent.jpg"}))
        << "a picture further up never becomes every album's cover";

    auto underscored = recordAt(context, music + "/Artist/Album_/Song.flac");
    names.clear();
    for (const ImagePtr& image : underscored->externalImages()) {
        names << image->name();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"parent.jpg", "wildcard.jpg"})) << "_ is a plain character";

    registerImage(context, writePicture(music + "/Artist/Album/late.jpg", Qt::red));
    EXPECT_EQ(record->externalImages().size(), 4) << "a picture that arrives later counts";

    record->setImageAutoFind(0);
    record->setImageSourceType(1);
    record->setExternalImageIndex(4);
    ASSERT_TRUE(record->mainPictureCached(false));
    EXPECT_EQ(record->externalImageIndex(), 0u) << "an index past the list starts again";
    EXPECT_EQ(record->mainPictureCached(false), record->externalImages().first());
}

TEST(CoverPicture, ResourceImagesExistAndDraw) {
    for (const char* name :
         {"flac-icon256", "noimage256", "multiflac256", "status_gomet0", "status_gomet1",
          "status_gomet2", "status_gomet3", "status_gomet4", "status_gomet5"}) {
        ImagePtr image = Image::named(name);
        ASSERT_TRUE(image) << name;
        for (int side : {24, 256}) {
            const QImage drawn = image->scaled(side);
            EXPECT_FALSE(drawn.isNull()) << name;
            EXPECT_EQ(std::max(drawn.width(), drawn.height()), side) << name;
        }
    }
    EXPECT_EQ(Image::named("no-such-picture"), nullptr);
    EXPECT_NE(Image::named("status_gomet4")->scaled(24), Image::named("status_gomet5")->scaled(24));
}

TEST(CoverPicture, AFilesScaledPictureIsSharedAndFollowsTheFile) {
    const QString path = writePicture(TestEnvironment::home() + "/p.png", Qt::red);
    const ImagePtr first = Image::byReferencingFile(path, "p");
    const ImagePtr second = Image::byReferencingFile(path, "p");
    const QImage drawn = first->scaled(32);
    EXPECT_EQ(drawn.width(), 32) << "fits the square, aspect kept";
    EXPECT_EQ(drawn.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(second->scaled(32).cacheKey(), drawn.cacheKey()) << "read once for both";

    // The file changes: an image made from now on shows it, whatever the
    // pictures kept.
    QImage blue(80, 30, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QFile::remove(path);
    blue.save(path);
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(60),
                     QFileDevice::FileModificationTime);
    const QImage redrawn = Image::byReferencingFile(path, "p")->scaled(32);
    EXPECT_EQ(redrawn.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(redrawn.height(), 12);
}
