#include "FinderElement.h"

#include "model/DestinationPattern.h"
#include "model/OutputCodec.h"
#include "storage/FileManager.h"
#include "storage/Log.h"

#include <QDir>
#include <QFileInfo>

FinderElement::FinderElement() = default;
FinderElement::~FinderElement() = default;

const DestinationRules& FinderElement::destinationRules() const {
    static const DestinationRules plain;
    return m_rules ? *m_rules : plain;
}

PersistentURLPtr FinderElement::elementURL() const {
    return m_elementURL;
}

void FinderElement::setElementURL(const PersistentURLPtr& url) {
    m_elementURL = url;
}

PersistentURLPtr FinderElement::imageTempURL() const {
    return m_imageTempURL;
}

void FinderElement::setImageTempURL(const PersistentURLPtr& url) {
    m_imageTempURL = url;
}

QString FinderElement::nomDestination() const {
    return m_nomDestination;
}

void FinderElement::setNomDestination(const QString& name) {
    m_nomDestination = name;
}

void FinderElement::setDestinationURL(const PersistentURLPtr& url) {
    m_destinationURL = url;
}

void FinderElement::setTempDestinationURL(const PersistentURLPtr& url) {
    m_tempAudioURL = url;
}

QString FinderElement::rootFolder() const {
    return m_rootFolder;
}

void FinderElement::setRootFolder(const QString& folder) {
    m_rootFolder = folder;
}

void FinderElement::setInheritedRoot(const QString& folder) {
    m_inheritedRoot = folder;
}

bool FinderElement::typedName() const {
    if (m_nomDestination.isEmpty() || !m_elementURL) {
        return false;
    }
    const QString base = sourceBaseName();
    const int dot = m_nomDestination.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? m_nomDestination.left(dot) : m_nomDestination) != base;
}

QString FinderElement::sourceBaseName() const {
    return m_elementURL ? QFileInfo(m_elementURL->pathWithoutExtension()).fileName() : QString();
}

bool FinderElement::hasTypedName() const {
    return typedName();
}

QString FinderElement::destinationFolder() const {
    const DestinationRules& rules = destinationRules();
    const QString sourceFolder = m_elementURL->folderPath();
    switch (rules.kind) {
    case DestinationKind::TreeInChosenFolder: {
        // The source's folder below the one the user added, mirrored.
        const QString root = !m_rootFolder.isEmpty()      ? m_rootFolder
                             : !m_inheritedRoot.isEmpty() ? m_inheritedRoot
                                                          : sourceFolder;
        const QString relative = QDir(root).relativeFilePath(sourceFolder);
        const QString& chosen = rules.chosenFolder;
        if (relative == QLatin1String(".") || relative.startsWith(QLatin1String(".."))) {
            return chosen;
        }
        QStringList folders;
        for (const QString& folder : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            folders << (rules.portableNames ? DestinationPattern::portableComponent(folder)
                                            : DestinationPattern::withoutControlCharacters(folder));
        }
        return chosen + QLatin1Char('/') + folders.join(QLatin1Char('/'));
    }
    case DestinationKind::ChosenFolder:
        return rules.chosenFolder;
    case DestinationKind::SubfolderOfSource:
        return sourceFolder + QLatin1Char('/') +
               DestinationPattern::withoutControlCharacters(rules.subfolderName);
    case DestinationKind::BesideSource:
        break;
    }
    return sourceFolder;
}

QString FinderElement::patternedPath(const QString& extension) const {
    const DestinationRules& rules = destinationRules();
    if (!rules.usesChosenFolder() || typedName() || !rules.nameByTags) {
        return QString();
    }
    const QString path =
        DestinationPattern::expand(rules.pattern, patternTags(), sourceBaseName(), extension);
    return rules.portableNames ? DestinationPattern::portablePath(path) : path;
}

PersistentURLPtr FinderElement::destinationURL() {
    if (m_destinationURL) {
        return m_destinationURL;
    }
    if (!m_elementURL) {
        return nullptr;
    }
    const QString extension = OutputCodec::extensionOf(destinationRules().codec);
    if (m_nomDestination.isEmpty()) {
        m_nomDestination = sourceBaseName() + QLatin1Char('.') + extension;
    }
    // A naming pattern makes the whole path below the chosen folder.
    const QString patterned = patternedPath(extension);
    const QString path =
        patterned.isEmpty()
            ? QDir::cleanPath(destinationFolder() + QLatin1Char('/') +
                              (destinationRules().portableNames
                                   ? DestinationPattern::portableFileName(m_nomDestination)
                                   : DestinationPattern::safeFileName(m_nomDestination)))
            : QDir::cleanPath(destinationRules().chosenFolder + QLatin1Char('/') + patterned);
    // Worked out for every file whenever a setting changes: no file-system
    // look here, the output is checked when it is written.
    m_destinationURL = PersistentURL::persistentURLforPath(path);
    m_destinationURL->setElementType(kElementDestination);
    return m_destinationURL;
}

PersistentURLPtr FinderElement::freshDestinationURL() {
    // A name that carries another codec's extension follows the codec, so
    // an MP3 is never written under an .m4a name.
    const QString wanted = OutputCodec::extensionOf(destinationRules().codec);
    const int dot = m_nomDestination.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && !wanted.isEmpty()) {
        const QString extension = m_nomDestination.mid(dot + 1);
        if (extension != wanted && OutputCodec::extensions().contains(extension)) {
            m_nomDestination = m_nomDestination.left(dot + 1) + wanted;
        }
    }
    m_destinationURL.reset();
    // The temporary file follows its destination to the new folder.
    m_tempAudioURL.reset();
    return destinationURL();
}

QString FinderElement::tempDestinationPath() {
    if (m_tempAudioURL) {
        return m_tempAudioURL->path();
    }
    const PersistentURLPtr destination = destinationURL();
    if (!destination) {
        return QString();
    }
    const QString baseName = QFileInfo(destination->pathWithoutExtension()).fileName();
    return destination->folderPath() + QStringLiteral("/.tmp_") + baseName + QStringLiteral(".aif");
}

PersistentURLPtr FinderElement::tempDestinationURL() {
    if (m_tempAudioURL) {
        return m_tempAudioURL;
    }
    const QString path = tempDestinationPath();
    if (path.isEmpty()) {
        return nullptr;
    }
    m_tempAudioURL = PersistentURL::persistentURLforPath(path);
    m_tempAudioURL->setElementType(kElementTempAudio);
    return m_tempAudioURL;
}

bool FinderElement::originalExists() const {
    const PersistentURLPtr url = elementURL();
    return url && url->exists();
}

bool FinderElement::destinationExists() {
    const PersistentURLPtr url = destinationURL();
    return url && url->exists();
}

QString FinderElement::nomElement() const {
    const PersistentURLPtr url = elementURL();
    return url ? url->fileName() : QString();
}

QString FinderElement::description() const {
    return nomElement();
}
