#include "conversion/ConversionSettings.h"
#include "model/CodecQuality.h"
#include "model/Settings.h"
#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/OutputReader.h"
#include "support/PassRunner.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
// Converts a noisy source with the codec at that quality; the output read back.
QJsonObject convertAt(const QString& codec, const QString& qualityKey, const QString& quality) {
    UserDefaults& defaults = TestEnvironment::defaults();
    defaults.setString(codec, "ConversionCodec");
    defaults.setString(quality, qualityKey);
    defaults.setInteger(3, "DestinationType");
    const QString folder = TestEnvironment::home() + "/Out/" + quality;
    defaults.setFolder(folder, "DestinationDossier");
    FlacFactory::Options options;
    options.seconds = 4.0;
    options.noise = 0.2;
    const QString source =
        FlacFactory::make(TestEnvironment::home() + "/Music/" + quality + ".flac", options);
    TestDatabase context(codec + quality + ".db");
    context.fileAdder()->add({source});
    context.fileAdder()->waitUntilDone();
    PassRunner pass(context.controleur());
    EXPECT_TRUE(pass.runPass());
    EXPECT_EQ(context.controleur()->passFailed(), 0) << context.messages.join("\n").toStdString();
    const QString output = folder + "/" + quality + "." + OutputCodec::extensionOf(codec);
    QJsonObject read = OutputReader::read(output);
    read.insert("size", QFileInfo(output).size());
    return read;
}

double averageKbits(const QJsonObject& read) {
    return read.value("size").toDouble() * 8 / read.value("length").toDouble() / 1000;
}
} // namespace

TEST(Quality, EachCodecsQualityReachesItsEncoder) {
    const QJsonObject v2 = convertAt("mp3", "QualiteMP3", "V2");
    EXPECT_EQ(v2.value("bitrate_mode").toString(), "VBR");
    const QJsonObject v9 = convertAt("mp3", "QualiteMP3", "V9");
    EXPECT_LT(averageKbits(v9), averageKbits(v2) * 0.6) << "V9 is far smaller than V2";
    const QJsonObject cbr = convertAt("mp3", "QualiteMP3", "192k");
    EXPECT_NE(cbr.value("bitrate_mode").toString(), "VBR");
    EXPECT_NEAR(cbr.value("bitrate").toInt(), 192000, 1000);

    const QJsonObject aac = convertAt("m4a", "QualiteAAC", "128k");
    EXPECT_NEAR(aac.value("bitrate").toDouble() / 1000, 128, 128 * 0.2);
    const QJsonObject opus = convertAt("opus", "QualiteOpus", "64k");
    EXPECT_NEAR(averageKbits(opus), 64, 64 * 0.3);
    const QJsonObject low = convertAt("ogg", "QualiteVorbis", "q2");
    const QJsonObject high = convertAt("ogg", "QualiteVorbis", "q8");
    // libvorbis states the rate each quality aims at in its header.
    EXPECT_NEAR(low.value("bitrate").toDouble() / 1000, 96, 20);
    EXPECT_NEAR(high.value("bitrate").toDouble() / 1000, 256, 40);
}

TEST(Quality, ChoicesDefaultsTheOldBitRateAndFingerprints) {
    using Family = CodecQuality::Family;
    EXPECT_EQ(CodecQuality::familyOf(*OutputCodec::find("aac")), Family::Aac);
    EXPECT_EQ(CodecQuality::familyOf(*OutputCodec::find("alac")), Family::None);
    EXPECT_TRUE(CodecQuality::choices(Family::None).isEmpty());
    EXPECT_FALSE(CodecQuality::accepts(Family::Opus, "320k")) << "not offered for Opus";
    EXPECT_FALSE(CodecQuality::accepts(Family::Aac, "V2"));
    EXPECT_TRUE(CodecQuality::accepts(Family::Mp3, "V0"));

    // What the single bit rate of earlier versions meant, until a choice is made.
    UserDefaults& defaults = TestEnvironment::defaults();
    const Settings& settings = TestEnvironment::settings();
    EXPECT_EQ(settings.quality(Family::Mp3), "V2");
    defaults.setInteger(262144, "ConversionDebit");
    EXPECT_EQ(settings.quality(Family::Aac), "256k");
    EXPECT_EQ(settings.quality(Family::Mp3), "256k") << "as constant as it was";
    EXPECT_EQ(settings.quality(Family::Opus), "160k") << "Opus never took it";
    defaults.setInteger(65536, "ConversionDebit");
    EXPECT_EQ(settings.quality(Family::Aac), "96k") << "the nearest offered";
    defaults.setString("V4", "QualiteMP3");
    EXPECT_EQ(settings.quality(Family::Mp3), "V4") << "a choice wins";

    // Outputs made at AAC's default before stay in step with it.
    ConversionSettings pass;
    pass.codec = "m4a";
    pass.quality = "256k";
    EXPECT_EQ(pass.qualityFingerprint(), "|bit rate -1");
    pass.quality = "192k";
    EXPECT_EQ(pass.qualityFingerprint(), "|bit rate 192000");
    pass.codec = "mp3";
    pass.quality = "V2";
    EXPECT_EQ(pass.qualityFingerprint(), "|quality V2");
}
