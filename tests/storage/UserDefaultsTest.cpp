#include "storage/UserDefaults.h"

#include "app/RegisteredDefaults.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(UserDefaults, RegisteredDefaultsHoldEveryKeyWithItsType) {
    const QVariantMap table = RegisteredDefaults::table();
    EXPECT_EQ(table.size(), 20)
        << "the seventeen keys of the settings, the jobs and the naming pattern";
    EXPECT_FALSE(UserDefaults::standard().boolForKey("DestinationNommerSelonTags"));
    EXPECT_EQ(UserDefaults::standard().stringForKey("DestinationMotif"),
              "%artist%/%album%/%track% - %title%");
    EXPECT_EQ(UserDefaults::standard().integerForKey("ConversionsSimultanees"), 0)
        << "one conversion per core";
    auto& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "m4a");
    EXPECT_EQ(defaults.stringForKey("DestinationAutoName"), "m4a");
    EXPECT_EQ(defaults.integerForKey("DestinationType"), 0);
    for (const char* key :
         {"ConversionFrequence", "ConversionDebit", "ConversionCompression", "ConversionCanaux"}) {
        EXPECT_EQ(defaults.integerForKey(key), -1) << key;
    }
    EXPECT_FALSE(defaults.boolForKey("ConversionPreserverDate"));
    EXPECT_FALSE(defaults.boolForKey("DestinationEcraserExistant"));
    EXPECT_FALSE(defaults.boolForKey("DestinationEffacerOriginal"));
    EXPECT_TRUE(defaults.boolForKey("ImportMetadata"));
    EXPECT_TRUE(defaults.boolForKey("ImageAutoFind"));
    EXPECT_TRUE(defaults.boolForKey("ForgetWhenFinished"));
    EXPECT_EQ(defaults.integerForKey("ImageSourceType"), 0);
    const QString music = QDir::homePath() + "/Music";
    EXPECT_EQ(defaults.folderForKey("DestinationDossier"), music);
    EXPECT_EQ(defaults.folderForKey("DernierDossierFLAC"), music);
    EXPECT_EQ(defaults.stringForKey("ImageCustomPath"), "~/Pictures") << "kept unexpanded";
    EXPECT_EQ(defaults.folderForKey("ImageCustomPath"), QDir::homePath() + "/Pictures");
}

TEST(UserDefaults, UserValuesWinAndPersistInTheConfigurationFile) {
    auto& defaults = UserDefaults::standard();
    defaults.setString("mp3", "ConversionCodec");
    defaults.setInteger(48000, "ConversionFrequence");
    defaults.setBool(false, "ForgetWhenFinished");
    defaults.setFolder("~/Out", "DestinationDossier");
    defaults.reload();
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "mp3");
    EXPECT_EQ(defaults.integerForKey("ConversionFrequence"), 48000);
    EXPECT_FALSE(defaults.boolForKey("ForgetWhenFinished"));
    EXPECT_EQ(defaults.folderForKey("DestinationDossier"), QDir::homePath() + "/Out");
    EXPECT_TRUE(QFile::exists(TestEnvironment::home() + "/.config/Tonebridge/Tonebridge.conf"));

    defaults.setRunOverride("ConversionCodec", "wav");
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "wav");
    defaults.clearRunOverrides();
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "mp3") << "overrides are never written";

    defaults.removeObject("ConversionCodec");
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "m4a");
    defaults.setFolder(QString(), "DernierDossierFLAC");
    EXPECT_EQ(defaults.folderForKey("DernierDossierFLAC"), QDir::homePath() + "/Music");
}
