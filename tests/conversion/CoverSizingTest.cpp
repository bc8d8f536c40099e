#include "conversion/CoverSizing.h"

#include "model/OutputCodec.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
QByteArray encoded(const QImage& image, const char* format, bool progressive = false) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QImage gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 90));
        }
    }
    return image;
}

// A JPEG's frame marker: SOF0 for a baseline picture, SOF2 for a progressive one.
bool isBaseline(const QByteArray& jpeg) {
    return jpeg.contains("\xFF\xC0") && !jpeg.contains("\xFF\xC2");
}

QString sha1(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
}
} // namespace

TEST(CoverSizing, LargeCoversAreScaledToBaselineJpegAndSmallOnesGoAsTheyAre) {
    const QByteArray progressive = encoded(gradient(3000, 2000), "jpeg", true);
    ASSERT_FALSE(isBaseline(progressive));
    QString type = QStringLiteral("image/jpeg");
    const QByteArray scaled = CoverSizing::fit(progressive, &type, 1000);
    const QImage read = QImage::fromData(scaled);
    EXPECT_EQ(read.size(), QSize(1000, 666)) << "the longest side at the limit, the shape kept";
    EXPECT_TRUE(isBaseline(scaled));
    EXPECT_EQ(type, "image/jpeg");

    QImage transparent(1200, 1200, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 1200; ++x) {
            transparent.setPixel(x, y, qRgba(0, 0, 200, 255));
        }
    }
    type = QStringLiteral("image/png");
    const QImage flattened =
        QImage::fromData(CoverSizing::fit(encoded(transparent, "png"), &type, 600));
    EXPECT_EQ(type, "image/jpeg");
    ASSERT_EQ(flattened.size(), QSize(600, 600));
    EXPECT_GT(qRed(flattened.pixel(300, 500)), 240) << "transparency on white";
    EXPECT_LT(qRed(flattened.pixel(300, 100)), 30);

    const QByteArray small = encoded(gradient(300, 300), "png");
    type = QStringLiteral("image/png");
    EXPECT_EQ(CoverSizing::fit(small, &type, 1000), small) << "within the limit: byte for byte";
    EXPECT_EQ(type, "image/png");
    EXPECT_EQ(CoverSizing::fit(progressive, &type, 0), progressive) << "no limit";
}

TEST(CoverSizing, EveryCodecWithACoverCarriesItSizedAndEachFolderGetsACoverFile) {
    const QString picture = TestEnvironment::home() + "/art/big.jpg";
    QFile::remove(picture);
    TestEnvironment::writeFile(picture, encoded(gradient(3000, 3000), "jpeg", true));
    QFile original(picture);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QString type;
    const QByteArray expected = CoverSizing::fit(original.readAll(), &type, 1000);
    ASSERT_EQ(QImage::fromData(expected).size(), QSize(1000, 1000));
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setInteger(1000, "PochetteTailleMaximale");
    defaults.setInteger(3, "DestinationType");
    defaults.setFolder(TestEnvironment::home() + "/Stick", "DestinationDossier");
    defaults.setBool(true, "PochetteFichierCover");
    for (const OutputCodec& codec : OutputCodec::all()) {
        if (codec.cover == OutputCodec::Cover::None) {
            continue;
        }
        const std::string what = codec.name;
        TestDatabase context(QStringLiteral("%1.db").arg(codec.codecName()));
        defaults.setString(codec.codecName(), "ConversionCodec");
        FlacFactory::Options options;
        options.seconds = 0.5;
        options.tags = FlacFactory::fullTags("Covered");
        options.picturePath = picture;
        const QString folder = TestEnvironment::makeFolder("Music/" + codec.codecName());
        FlacFactory::make(folder + "/Track.flac", options);
        context.fileAdder()->add({folder});
        context.fileAdder()->waitUntilDone();
        PassRunner pass(context.controleur());
        ASSERT_TRUE(pass.runPass()) << what;
        ASSERT_EQ(context.controleur()->passFailed(), 0)
            << what << context.messages.join("\n").toStdString();
        const QString output = TestEnvironment::home() + "/Stick/Track." + codec.fileExtension();
        const QJsonObject read = OutputReader::read(output);
        EXPECT_EQ(read.value("cover").toObject().value("sha1").toString(), sha1(expected)) << what;
        QFile coverFile(TestEnvironment::home() + "/Stick/cover.jpg");
        ASSERT_TRUE(coverFile.open(QIODevice::ReadOnly)) << what;
        EXPECT_EQ(coverFile.readAll(), expected) << what << ": cover.jpg by the same rule";
        QFile::remove(output);
    }
}
