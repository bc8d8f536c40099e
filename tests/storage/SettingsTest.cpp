#include "storage/UserDefaults.h"

#include "model/Settings.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

namespace {
// A value of the setting's type that is not its default and that it takes.
QVariant otherValue(const SettingDeclaration& declaration) {
    const QVariant fallback = declaration.defaultValue();
    if (declaration.allowed != nullptr) {
        for (const QVariant& allowed : declaration.allowed()) {
            if (allowed.toString() != fallback.toString()) {
                return allowed;
            }
        }
    }
    switch (declaration.type) {
    case QMetaType::Bool:
        return !fallback.toBool();
    case QMetaType::LongLong:
        return fallback.toLongLong() + 3;
    case QMetaType::QByteArray:
        return QByteArray("\x01\x02 bytes", 8);
    default:
        return declaration.isFolder ? QVariant(QDir::homePath() + "/Elsewhere été")
                                    : QVariant(QString::fromUtf8("autre valeur « é »"));
    }
}

QVariant storedValue(UserDefaults& store, const SettingDeclaration& declaration) {
    const QString key = QLatin1String(declaration.key);
    switch (declaration.type) {
    case QMetaType::Bool:
        return store.boolForKey(key);
    case QMetaType::LongLong:
        return store.integerForKey(key);
    case QMetaType::QByteArray:
        return store.objectForKey(key).toByteArray();
    default:
        return declaration.isFolder ? store.folderForKey(key) : store.stringForKey(key);
    }
}
} // namespace

TEST(Settings, EveryKeyIsDeclaredOnceAndRoundTripsThroughTheFile) {
    QSet<QString> keys;
    for (const SettingDeclaration* declaration : Settings::all()) {
        EXPECT_FALSE(keys.contains(declaration->key)) << declaration->key << " declared twice";
        keys.insert(declaration->key);
        const QVariant fallback = declaration->defaultValue();
        EXPECT_TRUE(TestEnvironment::settings().isAllowed(*declaration, fallback))
            << declaration->key << ": its default is one of its values";
    }
    EXPECT_FALSE(keys.contains("ImageSourceType")) << "nothing reads it";
    EXPECT_FALSE(keys.contains("ImportMetadata")) << "tags are always read";

    // Each setting written, then read by a store opened afresh on the file.
    UserDefaults writer;
    Settings settings(writer);
    QHash<QString, QVariant> written;
    for (const SettingDeclaration* declaration : Settings::all()) {
        const QVariant value = otherValue(*declaration);
        written.insert(declaration->key, value);
        switch (declaration->type) {
        case QMetaType::Bool:
            writer.setBool(value.toBool(), declaration->key);
            break;
        case QMetaType::LongLong:
            writer.setInteger(value.toLongLong(), declaration->key);
            break;
        default:
            writer.setObject(value, declaration->key);
            break;
        }
    }
    UserDefaults reader;
    Settings again(reader);
    for (const SettingDeclaration* declaration : Settings::all()) {
        const QVariant value = storedValue(reader, *declaration);
        EXPECT_EQ(value.toString(), written.value(declaration->key).toString()) << declaration->key;
        EXPECT_TRUE(again.isAllowed(*declaration, value)) << declaration->key;
    }
    EXPECT_TRUE(QFile::exists(TestEnvironment::home() + "/.config/Tonebridge/Tonebridge.conf"));
}

TEST(Settings, TypedValuesReadWhatThePreviousVersionStored) {
    // The configuration file as the previous version wrote it.
    TestEnvironment::writeFile(TestEnvironment::home() + "/.config/Tonebridge/Tonebridge.conf",
                               "[General]\n"
                               "ConversionCodec=mp3\n"
                               "DestinationType=3\n"
                               "DestinationDossier=~/Sortie\n"
                               "DestinationEcraserExistant=true\n"
                               "DestinationEffacerOriginal=false\n"
                               "ConversionFrequence=48000\n"
                               "ConversionsSimultanees=2\n"
                               "ListeTriOrdre=1\n"
                               "ListeTriColonne=3\n"
                               "ConversionCanaux=7\n");
    UserDefaults store;
    Settings settings(store);
    EXPECT_EQ(settings.value(Settings::codec), "mp3");
    EXPECT_EQ(settings.value(Settings::destinationKind), DestinationKind::TreeInChosenFolder);
    EXPECT_EQ(settings.value(Settings::chosenFolder), QDir::homePath() + "/Sortie");
    EXPECT_EQ(settings.value(Settings::existingOutput), ExistingOutput::Automatic);
    EXPECT_EQ(settings.resolvedExistingOutput(), ExistingOutput::Replace)
        << "the old overwrite box still replaces";
    EXPECT_FALSE(settings.value(Settings::deleteSource));
    EXPECT_EQ(settings.value(Settings::sampleRate), 48000);
    EXPECT_EQ(settings.value(Settings::simultaneousConversions), 2);
    EXPECT_TRUE(settings.value(Settings::sortDescending));
    EXPECT_EQ(settings.value(Settings::sortColumn), 3);
    EXPECT_EQ(settings.value(Settings::channels), 7) << "a number is used as it is";
    EXPECT_EQ(settings.value(Settings::subfolderName), "m4a") << "not stored: the default";
    EXPECT_EQ(settings.value(Settings::imageCustomFolder), QDir::homePath() + "/Pictures");
    EXPECT_EQ(store.stringForKey("ImageCustomPath"), "~/Pictures") << "kept unexpanded";

    const DestinationRules rules = settings.destinationRules();
    EXPECT_EQ(rules.kind, DestinationKind::TreeInChosenFolder);
    EXPECT_EQ(rules.codec, "mp3");
    EXPECT_TRUE(rules.usesChosenFolder());

    settings.overrideForRun(Settings::destinationKind, DestinationKind(9));
    EXPECT_EQ(settings.value(Settings::destinationKind), DestinationKind::BesideSource)
        << "a kind outside the four reads as the default";
    settings.overrideForRun(Settings::codec, QStringLiteral("wav"));
    settings.overrideForRun(Settings::existingOutput, ExistingOutput::Error);
    EXPECT_EQ(settings.value(Settings::codec), "wav");
    EXPECT_EQ(settings.value(Settings::existingOutput), ExistingOutput::Error);
    settings.clearRunOverrides();
    UserDefaults fresh;
    EXPECT_EQ(Settings(fresh).value(Settings::codec), "mp3") << "overrides are never written";
    settings.setValue(Settings::existingOutput, ExistingOutput::Error);
    EXPECT_EQ(Settings(fresh).resolvedExistingOutput(), ExistingOutput::Error)
        << "a choice made wins over the old box";

    settings.setValue(Settings::existingOutput, ExistingOutput::Automatic);
    settings.setValue(Settings::legacyOverwrite, false);
    EXPECT_EQ(settings.resolvedExistingOutput(), ExistingOutput::Update)
        << "a tree is kept up to date by default";
    settings.setValue(Settings::destinationKind, DestinationKind::ChosenFolder);
    EXPECT_EQ(settings.resolvedExistingOutput(), ExistingOutput::Error);
    settings.setValue(Settings::nameByTags, true);
    EXPECT_EQ(settings.resolvedExistingOutput(), ExistingOutput::Update)
        << "so are names made from tags";
}
