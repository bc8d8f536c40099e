#pragma once

#include "model/CodecQuality.h"
#include "model/DestinationRules.h"

#include <QList>
#include <QString>
#include <QVariant>

class UserDefaults;

// One stored setting: its key, the type of its values, its default and, for
// a choice among fixed values, those values (a stored value outside them
// reads as the default). Numbers the popups offer are no such choice: a
// value typed in the terminal or the file is used as it is.
struct SettingDeclaration {
    const char* key;
    QMetaType::Type type;
    QVariant (*defaultValue)();
    QVariantList (*allowed)() = nullptr;
    // A folder, kept with "~" for the home folder as a user would type it.
    bool isFolder = false;
};

// A declaration with the type its value is read as.
template <typename T> struct Setting { const SettingDeclaration* declaration; };

// The application's settings, each declared once below and read and written
// through its declaration: the settings view, the terminal's options and
// the snapshot a pass takes all go through here. Stored values win over
// the declared defaults; a value a setting cannot take reads as its
// default. Lives on the main thread.
class Settings {
public:
    // Registers every declared default with the store.
    explicit Settings(UserDefaults& store);

    static const Setting<QString> codec;
    static const Setting<DestinationKind> destinationKind;
    static const Setting<QString> subfolderName;
    static const Setting<QString> chosenFolder;
    static const Setting<bool> nameByTags;
    static const Setting<QString> namingPattern;
    // Automatic until chosen; see resolvedExistingOutput().
    static const Setting<ExistingOutput> existingOutput;
    // The overwrite box of earlier versions, read while existingOutput is
    // automatic.
    static const Setting<bool> legacyOverwrite;
    // With the tree destination: the source folders' files matching these
    // patterns (separated by spaces) are copied beside their outputs.
    static const Setting<bool> copyCompanions;
    static const Setting<QString> companionPatterns;
    // After a pass, outputs recorded from sources under its folders that no
    // longer exist go to the trash.
    static const Setting<bool> pruneOrphans;
    // A disc image with its cue sheet is queued whole instead of as its
    // tracks.
    static const Setting<bool> wholeImages;
    // The silence before a track (its INDEX 00) starts that track instead
    // of ending the one before.
    static const Setting<bool> pregapsWithTheirTracks;
    // The ID3v2 version of MP3, AIFF and AIFF-C outputs: 4, or 3 for older
    // car stereos and Windows' Explorer.
    static const Setting<qint64> id3Version;
    // Names every file system takes: 0 when the destination's file system
    // needs them (decided as a pass starts), 1 always, 2 never.
    static const Setting<qint64> portableNames;
    // The longest side of the covers written, in pixels; 0: as they are.
    static const Setting<qint64> coverMaxSide;
    // A cover.jpg is written too into each folder outputs go to.
    static const Setting<bool> coverFile;
    // ReplayGain values: 0 copied from the source, 1 measured during the
    // pass, 2 none written.
    static const Setting<qint64> replayGain;
    // Lossy outputs scaled by the gain for players that ignore ReplayGain:
    // 0 not, 1 by the track's gain, 2 by the album's.
    static const Setting<qint64> applyGain;
    static const Setting<bool> deleteSource;
    static const Setting<bool> preserveDate;
    static const Setting<bool> forgetWhenFinished;
    // Negative: the source's, or the codec's default.
    static const Setting<qint64> sampleRate;
    // The one bit rate of earlier versions, read while MP3's and AAC's
    // qualities are not chosen.
    static const Setting<qint64> bitRate;
    // Each lossy family's quality (see CodecQuality); empty until chosen.
    static const Setting<QString> mp3Quality;
    static const Setting<QString> aacQuality;
    static const Setting<QString> opusQuality;
    static const Setting<QString> vorbisQuality;
    // Only lower: a source above these is brought down to them (0: no
    // limit); one at or below them is left as it is.
    static const Setting<qint64> maxSampleRate;
    static const Setting<qint64> maxBits;
    static const Setting<qint64> compression;
    static const Setting<qint64> channels;
    // 0: one per processor core.
    static const Setting<qint64> simultaneousConversions;
    static const Setting<bool> imageAutoFind;
    static const Setting<QString> imageCustomFolder;
    static const Setting<QString> lastFlacFolder;
    // The list's sort (column -1: none) and the window's place and panes.
    static const Setting<qint64> sortColumn;
    static const Setting<bool> sortDescending;
    static const Setting<QByteArray> windowGeometry;
    static const Setting<QByteArray> windowPanes;

    // Every declaration, each once.
    static const QList<const SettingDeclaration*>& all();

    template <typename T> T value(const Setting<T>& setting) const;
    template <typename T> void setValue(const Setting<T>& setting, const T& value);
    // A value for this run only: it wins over the stored one and is never
    // written (the terminal's options).
    template <typename T> void overrideForRun(const Setting<T>& setting, const T& value);
    void clearRunOverrides();
    // Whether the stored or overridden value is one the setting may take.
    bool isAllowed(const SettingDeclaration& declaration, const QVariant& value) const;

    DestinationRules destinationRules() const;
    // A family's quality: the choice made, or what the old bit rate meant,
    // or the family's default; empty for lossless codecs.
    QString quality(CodecQuality::Family family) const;
    static const Setting<QString>* qualitySetting(CodecQuality::Family family);
    // What a pass does with existing outputs: the choice made, or the old
    // overwrite box, or what the destination calls for.
    ExistingOutput resolvedExistingOutput() const;

    // The fixed choices of the settings view's popups.
    static const QList<qint64>& sampleRates();
    static const QList<qint64>& compressionLevels();
    // The limits offered, "Originale" (0) first.
    static const QList<qint64>& maxSampleRates();
    static const QList<qint64>& maxBitsPerSample();
    static const QList<qint64>& channelCounts();
    static const QList<qint64>& jobCounts();
    static QString musicFolder();
    static QString picturesFolder();

private:
    QVariant read(const SettingDeclaration& declaration) const;
    void write(const SettingDeclaration& declaration, const QVariant& value);
    void writeOverride(const SettingDeclaration& declaration, const QVariant& value);

    UserDefaults& m_store;
};

template <typename T> T Settings::value(const Setting<T>& setting) const {
    const QVariant stored = read(*setting.declaration);
    if constexpr (std::is_enum_v<T>) {
        return static_cast<T>(stored.toLongLong());
    } else {
        return stored.value<T>();
    }
}

template <typename T> void Settings::setValue(const Setting<T>& setting, const T& value) {
    if constexpr (std::is_enum_v<T>) {
        write(*setting.declaration, QVariant(qint64(value)));
    } else {
        write(*setting.declaration, QVariant::fromValue(value));
    }
}

template <typename T> void Settings::overrideForRun(const Setting<T>& setting, const T& value) {
    if constexpr (std::is_enum_v<T>) {
        writeOverride(*setting.declaration, QVariant(qint64(value)));
    } else {
        writeOverride(*setting.declaration, QVariant::fromValue(value));
    }
}
