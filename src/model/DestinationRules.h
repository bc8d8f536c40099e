#pragma once

#include <QString>

// Where outputs go, chosen in the settings view or given to the terminal.
enum class DestinationKind : qint64 {
    BesideSource = 0,
    SubfolderOfSource = 1,
    ChosenFolder = 2,
    // The source's folders below the one the user added, mirrored in the
    // chosen folder.
    TreeInChosenFolder = 3,
};

// What to do with an output that exists already.
enum class ExistingOutput : qint64 {
    // Chosen by the destination: Update for the tree and for names made
    // from tags, whose users convert again; Error otherwise.
    Automatic = -1,
    Error = 0,
    Replace = 1,
    // Made again only from a source, tags, cover or settings that changed
    // since it was written; rewritten in place when only tags or cover did.
    Update = 2,
};

// Everything that makes an output's path: a value, built from the stored
// settings by the window and from the options by the terminal.
struct DestinationRules {
    DestinationKind kind = DestinationKind::BesideSource;
    // The subfolder's name for SubfolderOfSource.
    QString subfolderName = QStringLiteral("m4a");
    // The folder for ChosenFolder and TreeInChosenFolder, absolute.
    QString chosenFolder;
    // In the chosen folder, outputs named from their tags by this pattern.
    bool nameByTags = false;
    QString pattern;
    // The codec whose extension outputs take.
    QString codec = QStringLiteral("m4a");
    // Names every file system takes (FAT, exFAT, NTFS, SMB): see
    // DestinationPattern::portableComponent.
    bool portableNames = false;

    // What an automatic choice of ExistingOutput means with these rules.
    ExistingOutput existingOutputByDefault() const {
        return kind == DestinationKind::TreeInChosenFolder || (usesChosenFolder() && nameByTags)
                   ? ExistingOutput::Update
                   : ExistingOutput::Error;
    }
    bool usesChosenFolder() const {
        return kind == DestinationKind::ChosenFolder || kind == DestinationKind::TreeInChosenFolder;
    }
    bool operator==(const DestinationRules&) const = default;
};
