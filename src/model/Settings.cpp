#include "Settings.h"

#include "model/CodecQuality.h"
#include "model/DestinationPattern.h"
#include "model/OutputCodec.h"
#include "storage/UserDefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace {
QString standardFolder(QStandardPaths::StandardLocation location, const QString& fallbackName) {
    const QString path = QStandardPaths::writableLocation(location);
    if (path.isEmpty() || path == QDir::homePath()) {
        return QDir::homePath() + QLatin1Char('/') + fallbackName;
    }
    return path;
}

QVariant yes() {
    return true;
}

QVariant no() {
    return false;
}

QVariant automatic() {
    return qint64(-1);
}

QVariantList variantsOf(const QList<qint64>& values) {
    QVariantList list;
    for (const qint64 value : values) {
        list << value;
    }
    return list;
}

const SettingDeclaration kCodec{"ConversionCodec", QMetaType::QString,
                                [] { return QVariant(QStringLiteral("m4a")); }};
const SettingDeclaration kDestinationKind{
    "DestinationType", QMetaType::LongLong, [] { return QVariant(qint64(0)); },
    [] {
        return QVariantList{qint64(0), qint64(1), qint64(2), qint64(3)};
    }};
const SettingDeclaration kSubfolderName{"DestinationAutoName", QMetaType::QString,
                                        [] { return QVariant(QStringLiteral("m4a")); }};
const SettingDeclaration kChosenFolder{"DestinationDossier", QMetaType::QString,
                                       [] { return QVariant(Settings::musicFolder()); }, nullptr,
                                       true};
const SettingDeclaration kNameByTags{"DestinationNommerSelonTags", QMetaType::Bool, no};
const SettingDeclaration kNamingPattern{"DestinationMotif", QMetaType::QString, [] {
                                            return QVariant(DestinationPattern::defaultPattern());
                                        }};
const SettingDeclaration kExistingOutput{
    "DestinationSortieExistante", QMetaType::LongLong, automatic, [] {
        return QVariantList{qint64(-1), qint64(0), qint64(1), qint64(2)};
    }};
const SettingDeclaration kLegacyOverwrite{"DestinationEcraserExistant", QMetaType::Bool, no};
const SettingDeclaration kCopyCompanions{"DestinationCopierCompagnons", QMetaType::Bool, no};
const SettingDeclaration kCompanionPatterns{
    "DestinationMotifsCompagnons", QMetaType::QString,
    [] { return QVariant(QStringLiteral("*.jpg *.jpeg *.png *.pdf")); }};
const SettingDeclaration kPruneOrphans{"DestinationCorbeilleOrphelins", QMetaType::Bool, no};
const SettingDeclaration kWholeImages{"ImagesDisqueEntieres", QMetaType::Bool, no};
const SettingDeclaration kPregapsWithTheirTracks{"SilencesAvecLeurPiste", QMetaType::Bool, no};
const SettingDeclaration kCoverMaxSide{
    "PochetteTailleMaximale", QMetaType::LongLong, [] { return QVariant(qint64(0)); },
    [] {
        return QVariantList{qint64(0),   qint64(1600), qint64(1200), qint64(1000),
                            qint64(800), qint64(600),  qint64(500),  qint64(300)};
    }};
const SettingDeclaration kPortableNames{"NomsCompatibles", QMetaType::LongLong,
                                        [] { return QVariant(qint64(0)); },
                                        [] {
                                            return QVariantList{qint64(0), qint64(1), qint64(2)};
                                        }};
const SettingDeclaration kCoverFile{"PochetteFichierCover", QMetaType::Bool, no};
const SettingDeclaration kId3Version{"VersionID3", QMetaType::LongLong,
                                     [] { return QVariant(qint64(4)); },
                                     [] {
                                         return QVariantList{qint64(3), qint64(4)};
                                     }};
const SettingDeclaration kReplayGain{"VolumeReplayGain", QMetaType::LongLong,
                                     [] { return QVariant(qint64(0)); },
                                     [] {
                                         return QVariantList{qint64(0), qint64(1), qint64(2)};
                                     }};
const SettingDeclaration kApplyGain{"VolumeAppliquerAuSon", QMetaType::LongLong,
                                    [] { return QVariant(qint64(0)); },
                                    [] {
                                        return QVariantList{qint64(0), qint64(1), qint64(2)};
                                    }};
const SettingDeclaration kDeleteSource{"DestinationEffacerOriginal", QMetaType::Bool, no};
const SettingDeclaration kPreserveDate{"ConversionPreserverDate", QMetaType::Bool, no};
const SettingDeclaration kForgetWhenFinished{"ForgetWhenFinished", QMetaType::Bool, yes};
const SettingDeclaration kSampleRate{"ConversionFrequence", QMetaType::LongLong, automatic};
const SettingDeclaration kBitRate{"ConversionDebit", QMetaType::LongLong, automatic};
// A family's quality: empty until chosen (see Settings::quality).
template <CodecQuality::Family family> QVariantList qualities() {
    QVariantList list{QString()};
    for (const QString& quality : CodecQuality::choices(family)) {
        list << quality;
    }
    return list;
}

QVariant unchosen() {
    return QString();
}

const SettingDeclaration kMp3Quality{"QualiteMP3", QMetaType::QString, unchosen,
                                     qualities<CodecQuality::Family::Mp3>};
const SettingDeclaration kAacQuality{"QualiteAAC", QMetaType::QString, unchosen,
                                     qualities<CodecQuality::Family::Aac>};
const SettingDeclaration kOpusQuality{"QualiteOpus", QMetaType::QString, unchosen,
                                      qualities<CodecQuality::Family::Opus>};
const SettingDeclaration kVorbisQuality{"QualiteVorbis", QMetaType::QString, unchosen,
                                        qualities<CodecQuality::Family::Vorbis>};
const SettingDeclaration kMaxSampleRate{"FrequenceMaximale", QMetaType::LongLong,
                                        [] { return QVariant(qint64(0)); },
                                        [] { return variantsOf(Settings::maxSampleRates()); }};
const SettingDeclaration kMaxBitsPerSample{"ResolutionMaximale", QMetaType::LongLong,
                                           [] { return QVariant(qint64(0)); },
                                           [] { return variantsOf(Settings::maxBitsPerSample()); }};
const SettingDeclaration kCompression{"ConversionCompression", QMetaType::LongLong, automatic};
const SettingDeclaration kChannels{"ConversionCanaux", QMetaType::LongLong, automatic};
const SettingDeclaration kSimultaneousConversions{"ConversionsSimultanees", QMetaType::LongLong,
                                                  [] { return QVariant(qint64(0)); }};
const SettingDeclaration kImageAutoFind{"ImageAutoFind", QMetaType::Bool, yes};
const SettingDeclaration kImageCustomFolder{"ImageCustomPath", QMetaType::QString,
                                            [] { return QVariant(Settings::picturesFolder()); },
                                            nullptr, true};
const SettingDeclaration kLastFlacFolder{"DernierDossierFLAC", QMetaType::QString,
                                         [] { return QVariant(Settings::musicFolder()); }, nullptr,
                                         true};
const SettingDeclaration kSortColumn{"ListeTriColonne", QMetaType::LongLong,
                                     [] { return QVariant(qint64(-1)); }};
const SettingDeclaration kSortDescending{"ListeTriOrdre", QMetaType::Bool, no};
const SettingDeclaration kWindowGeometry{"MainWindowGeometry", QMetaType::QByteArray,
                                         [] { return QVariant(QByteArray()); }};
const SettingDeclaration kWindowPanes{"MainWindowPanes", QMetaType::QByteArray,
                                      [] { return QVariant(QByteArray()); }};
} // namespace

const Setting<QString> Settings::codec{&kCodec};
const Setting<DestinationKind> Settings::destinationKind{&kDestinationKind};
const Setting<QString> Settings::subfolderName{&kSubfolderName};
const Setting<QString> Settings::chosenFolder{&kChosenFolder};
const Setting<bool> Settings::nameByTags{&kNameByTags};
const Setting<QString> Settings::namingPattern{&kNamingPattern};
const Setting<ExistingOutput> Settings::existingOutput{&kExistingOutput};
const Setting<bool> Settings::legacyOverwrite{&kLegacyOverwrite};
const Setting<bool> Settings::copyCompanions{&kCopyCompanions};
const Setting<QString> Settings::companionPatterns{&kCompanionPatterns};
const Setting<bool> Settings::pruneOrphans{&kPruneOrphans};
const Setting<bool> Settings::wholeImages{&kWholeImages};
const Setting<bool> Settings::pregapsWithTheirTracks{&kPregapsWithTheirTracks};
const Setting<qint64> Settings::id3Version{&kId3Version};
const Setting<qint64> Settings::coverMaxSide{&kCoverMaxSide};
const Setting<qint64> Settings::replayGain{&kReplayGain};
const Setting<qint64> Settings::applyGain{&kApplyGain};
const Setting<qint64> Settings::portableNames{&kPortableNames};
const Setting<bool> Settings::coverFile{&kCoverFile};
const Setting<bool> Settings::deleteSource{&kDeleteSource};
const Setting<bool> Settings::preserveDate{&kPreserveDate};
const Setting<bool> Settings::forgetWhenFinished{&kForgetWhenFinished};
const Setting<qint64> Settings::sampleRate{&kSampleRate};
const Setting<qint64> Settings::bitRate{&kBitRate};
const Setting<QString> Settings::mp3Quality{&kMp3Quality};
const Setting<QString> Settings::aacQuality{&kAacQuality};
const Setting<QString> Settings::opusQuality{&kOpusQuality};
const Setting<QString> Settings::vorbisQuality{&kVorbisQuality};
const Setting<qint64> Settings::maxSampleRate{&kMaxSampleRate};
const Setting<qint64> Settings::maxBits{&kMaxBitsPerSample};
const Setting<qint64> Settings::compression{&kCompression};
const Setting<qint64> Settings::channels{&kChannels};
const Setting<qint64> Settings::simultaneousConversions{&kSimultaneousConversions};
const Setting<bool> Settings::imageAutoFind{&kImageAutoFind};
const Setting<QString> Settings::imageCustomFolder{&kImageCustomFolder};
const Setting<QString> Settings::lastFlacFolder{&kLastFlacFolder};
const Setting<qint64> Settings::sortColumn{&kSortColumn};
const Setting<bool> Settings::sortDescending{&kSortDescending};
const Setting<QByteArray> Settings::windowGeometry{&kWindowGeometry};
const Setting<QByteArray> Settings::windowPanes{&kWindowPanes};

const QList<const SettingDeclaration*>& Settings::all() {
    static const QList<const SettingDeclaration*> declarations = {&kCodec,
                                                                  &kDestinationKind,
                                                                  &kSubfolderName,
                                                                  &kChosenFolder,
                                                                  &kNameByTags,
                                                                  &kNamingPattern,
                                                                  &kExistingOutput,
                                                                  &kLegacyOverwrite,
                                                                  &kCopyCompanions,
                                                                  &kCompanionPatterns,
                                                                  &kPruneOrphans,
                                                                  &kWholeImages,
                                                                  &kPregapsWithTheirTracks,
                                                                  &kId3Version,
                                                                  &kCoverMaxSide,
                                                                  &kPortableNames,
                                                                  &kCoverFile,
                                                                  &kReplayGain,
                                                                  &kApplyGain,
                                                                  &kDeleteSource,
                                                                  &kPreserveDate,
                                                                  &kForgetWhenFinished,
                                                                  &kSampleRate,
                                                                  &kBitRate,
                                                                  &kMp3Quality,
                                                                  &kAacQuality,
                                                                  &kOpusQuality,
                                                                  &kVorbisQuality,
                                                                  &kMaxSampleRate,
                                                                  &kMaxBitsPerSample,
                                                                  &kCompression,
                                                                  &kChannels,
                                                                  &kSimultaneousConversions,
                                                                  &kImageAutoFind,
                                                                  &kImageCustomFolder,
                                                                  &kLastFlacFolder,
                                                                  &kSortColumn,
                                                                  &kSortDescending,
                                                                  &kWindowGeometry,
                                                                  &kWindowPanes};
    return declarations;
}

Settings::Settings(UserDefaults& store) : m_store(store) {
    QVariantMap defaults;
    for (const SettingDeclaration* declaration : all()) {
        QVariant value = declaration->defaultValue();
        if (declaration->isFolder) {
            value = UserDefaults::abbreviateHome(value.toString());
        }
        defaults.insert(QLatin1String(declaration->key), value);
    }
    m_store.registerDefaults(defaults);
}

QString Settings::musicFolder() {
    return standardFolder(QStandardPaths::MusicLocation, QStringLiteral("Music"));
}

QString Settings::picturesFolder() {
    return standardFolder(QStandardPaths::PicturesLocation, QStringLiteral("Pictures"));
}

const QList<qint64>& Settings::sampleRates() {
    // 32000, not 32050: no encoder takes 32050 Hz.
    static const QList<qint64> values = {11025, 16000, 32000, 44100, 48000, 96000, 192000};
    return values;
}

const Setting<QString>* Settings::qualitySetting(CodecQuality::Family family) {
    switch (family) {
    case CodecQuality::Family::Mp3:
        return &mp3Quality;
    case CodecQuality::Family::Aac:
        return &aacQuality;
    case CodecQuality::Family::Opus:
        return &opusQuality;
    case CodecQuality::Family::Vorbis:
        return &vorbisQuality;
    case CodecQuality::Family::None:
        break;
    }
    return nullptr;
}

QString Settings::quality(CodecQuality::Family family) const {
    const Setting<QString>* setting = qualitySetting(family);
    if (setting == nullptr) {
        return QString();
    }
    const QString chosen = value(*setting);
    if (!chosen.isEmpty()) {
        return chosen;
    }
    // The single bit rate of earlier versions set MP3's and AAC's.
    const qint64 legacy = value(bitRate);
    const bool legacyFamily =
        family == CodecQuality::Family::Mp3 || family == CodecQuality::Family::Aac;
    return legacyFamily && legacy > 0 ? CodecQuality::fromBitRate(family, legacy)
                                      : CodecQuality::defaultQuality(family);
}

const QList<qint64>& Settings::maxSampleRates() {
    static const QList<qint64> values = {0, 192000, 96000, 48000, 44100};
    return values;
}

const QList<qint64>& Settings::maxBitsPerSample() {
    static const QList<qint64> values = {0, 24, 16};
    return values;
}

const QList<qint64>& Settings::compressionLevels() {
    static const QList<qint64> values = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    return values;
}

const QList<qint64>& Settings::channelCounts() {
    static const QList<qint64> values = {1, 2};
    return values;
}

const QList<qint64>& Settings::jobCounts() {
    static const QList<qint64> values = {1, 2, 3, 4, 6, 8, 12, 16};
    return values;
}

bool Settings::isAllowed(const SettingDeclaration& declaration, const QVariant& value) const {
    if (declaration.allowed == nullptr) {
        return true;
    }
    for (const QVariant& allowed : declaration.allowed()) {
        if (declaration.type == QMetaType::LongLong ? allowed.toLongLong() == value.toLongLong()
                                                    : allowed.toString() == value.toString()) {
            return true;
        }
    }
    return false;
}

QVariant Settings::read(const SettingDeclaration& declaration) const {
    const QString key = QLatin1String(declaration.key);
    QVariant value;
    switch (declaration.type) {
    case QMetaType::Bool:
        value = m_store.boolForKey(key);
        break;
    case QMetaType::LongLong:
        value = m_store.integerForKey(key);
        break;
    case QMetaType::QByteArray:
        value = m_store.objectForKey(key).toByteArray();
        break;
    default:
        value = declaration.isFolder ? m_store.folderForKey(key) : m_store.stringForKey(key);
        break;
    }
    if (!isAllowed(declaration, value)) {
        return declaration.defaultValue();
    }
    return value;
}

void Settings::write(const SettingDeclaration& declaration, const QVariant& value) {
    const QString key = QLatin1String(declaration.key);
    switch (declaration.type) {
    case QMetaType::Bool:
        m_store.setBool(value.toBool(), key);
        break;
    case QMetaType::LongLong:
        m_store.setInteger(value.toLongLong(), key);
        break;
    case QMetaType::QByteArray:
        m_store.setObject(value.toByteArray(), key);
        break;
    default:
        if (declaration.isFolder) {
            m_store.setFolder(value.toString(), key);
        } else {
            m_store.setString(value.toString(), key);
        }
        break;
    }
}

void Settings::writeOverride(const SettingDeclaration& declaration, const QVariant& value) {
    QVariant typed = value;
    typed.convert(QMetaType(declaration.type));
    m_store.setRunOverride(QLatin1String(declaration.key), typed);
}

void Settings::clearRunOverrides() {
    m_store.clearRunOverrides();
}

DestinationRules Settings::destinationRules() const {
    DestinationRules rules;
    rules.kind = value(destinationKind);
    rules.subfolderName = value(subfolderName);
    rules.chosenFolder = value(chosenFolder);
    rules.nameByTags = value(nameByTags);
    rules.pattern = value(namingPattern);
    rules.codec = value(codec);
    rules.portableNames = value(portableNames) == 1;
    return rules;
}

ExistingOutput Settings::resolvedExistingOutput() const {
    const ExistingOutput chosen = value(existingOutput);
    if (chosen != ExistingOutput::Automatic) {
        return chosen;
    }
    if (value(legacyOverwrite)) {
        return ExistingOutput::Replace;
    }
    return destinationRules().existingOutputByDefault();
}
