#include "FinderElement.h"

#include "model/DestinationPattern.h"
#include "model/OutputCodec.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>

FinderElement::FinderElement() = default;
FinderElement::~FinderElement() = default;

PersistentURLPtr FinderElement::elementURL() const {
    QMutexLocker lock(&m_mutex);
    return m_elementURL;
}

void FinderElement::setElementURL(const PersistentURLPtr& url) {
    QMutexLocker lock(&m_mutex);
    m_elementURL = url;
}

PersistentURLPtr FinderElement::imageTempURL() const {
    QMutexLocker lock(&m_mutex);
    return m_imageTempURL;
}

void FinderElement::setImageTempURL(const PersistentURLPtr& url) {
    QMutexLocker lock(&m_mutex);
    m_imageTempURL = url;
}

QString FinderElement::nomDestination() const {
    QMutexLocker lock(&m_mutex);
    return m_nomDestination;
}

void FinderElement::setNomDestination(const QString& name) {
    QMutexLocker lock(&m_mutex);
    m_nomDestination = name;
}

void FinderElement::setDestinationURL(const PersistentURLPtr& url) {
    QMutexLocker lock(&m_mutex);
    m_destinationURL = url;
}

void FinderElement::setTempDestinationURL(const PersistentURLPtr& url) {
    QMutexLocker lock(&m_mutex);
    m_tempAudioURL = url;
}

QString FinderElement::rootFolder() const {
    QMutexLocker lock(&m_mutex);
    return m_rootFolder;
}

void FinderElement::setRootFolder(const QString& folder) {
    QMutexLocker lock(&m_mutex);
    m_rootFolder = folder;
}

void FinderElement::setInheritedRoot(const QString& folder) {
    QMutexLocker lock(&m_mutex);
    m_inheritedRoot = folder;
}

bool FinderElement::typedName() const {
    if (m_nomDestination.isEmpty() || !m_elementURL) {
        return false;
    }
    const QString base = QFileInfo(m_elementURL->pathWithoutExtension()).fileName();
    const int dot = m_nomDestination.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? m_nomDestination.left(dot) : m_nomDestination) != base;
}

bool FinderElement::hasTypedName() const {
    QMutexLocker lock(&m_mutex);
    return typedName();
}

QString FinderElement::destinationFolder() const {
    const auto& defaults = UserDefaults::standard();
    const QString sourceFolder = m_elementURL->folderPath();
    switch (defaults.integerForKey(QStringLiteral("DestinationType"))) {
    case 3: {
        // The source's folder below the one the user added, mirrored.
        const QString root = !m_rootFolder.isEmpty()      ? m_rootFolder
                             : !m_inheritedRoot.isEmpty() ? m_inheritedRoot
                                                          : sourceFolder;
        const QString relative = QDir(root).relativeFilePath(sourceFolder);
        const QString chosen = defaults.folderForKey(QStringLiteral("DestinationDossier"));
        if (relative == QLatin1String(".") || relative.startsWith(QLatin1String(".."))) {
            return chosen;
        }
        QStringList folders;
        for (const QString& folder : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            folders << DestinationPattern::withoutControlCharacters(folder);
        }
        return chosen + QLatin1Char('/') + folders.join(QLatin1Char('/'));
    }
    case 2:
        return defaults.folderForKey(QStringLiteral("DestinationDossier"));
    case 1:
        return sourceFolder + QLatin1Char('/') +
               DestinationPattern::withoutControlCharacters(
                   defaults.stringForKey(QStringLiteral("DestinationAutoName")));
    default:
        return sourceFolder;
    }
}

QString FinderElement::patternedPath(const QString& extension) const {
    const auto& defaults = UserDefaults::standard();
    const qint64 type = defaults.integerForKey(QStringLiteral("DestinationType"));
    if ((type != 2 && type != 3) || typedName() ||
        !defaults.boolForKey(QStringLiteral("DestinationNommerSelonTags"))) {
        return QString();
    }
    return DestinationPattern::expand(
        defaults.stringForKey(QStringLiteral("DestinationMotif")), patternTags(),
        QFileInfo(m_elementURL->pathWithoutExtension()).fileName(), extension);
}

PersistentURLPtr FinderElement::destinationURL() {
    QMutexLocker lock(&m_mutex);
    if (m_destinationURL) {
        return m_destinationURL;
    }
    if (!m_elementURL) {
        return nullptr;
    }
    const QString extension = OutputCodec::extensionOf(
        UserDefaults::standard().stringForKey(QStringLiteral("ConversionCodec")));
    if (m_nomDestination.isEmpty()) {
        m_nomDestination = QFileInfo(m_elementURL->pathWithoutExtension()).fileName() +
                           QLatin1Char('.') + extension;
    }
    // A naming pattern makes the whole path below the chosen folder.
    const QString patterned = patternedPath(extension);
    const QString path = patterned.isEmpty()
                             ? QDir::cleanPath(destinationFolder() + QLatin1Char('/') +
                                               DestinationPattern::safeFileName(m_nomDestination))
                             : QDir::cleanPath(UserDefaults::standard().folderForKey(
                                                   QStringLiteral("DestinationDossier")) +
                                               QLatin1Char('/') + patterned);
    // Worked out for every file whenever a setting changes: no file-system
    // look here, the output is checked when it is written.
    m_destinationURL = PersistentURL::persistentURLforPath(path);
    m_destinationURL->setElementType(kElementDestination);
    return m_destinationURL;
}

PersistentURLPtr FinderElement::freshDestinationURL() {
    {
        QMutexLocker lock(&m_mutex);
        // A name that carries another codec's extension follows the codec, so
        // an MP3 is never written under an .m4a name.
        const QString wanted = OutputCodec::extensionOf(
            UserDefaults::standard().stringForKey(QStringLiteral("ConversionCodec")));
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
    }
    return destinationURL();
}

PersistentURLPtr FinderElement::tempDestinationURL() {
    {
        QMutexLocker lock(&m_mutex);
        if (m_tempAudioURL) {
            return m_tempAudioURL;
        }
    }
    const PersistentURLPtr destination = destinationURL();
    if (!destination) {
        return nullptr;
    }
    const QString baseName = QFileInfo(destination->pathWithoutExtension()).fileName();
    const QString path =
        destination->folderPath() + QStringLiteral("/.tmp_") + baseName + QStringLiteral(".aif");
    QMutexLocker lock(&m_mutex);
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

bool FinderElement::removeIfPresent(const PersistentURLPtr& url) {
    if (url && url->exists()) {
        QString error;
        if (!FileManager::removeItem(url->path(), &error)) {
            Log::write(QStringLiteral("Impossible de Supprimer %1\n%2").arg(url->path(), error));
        }
    }
    return true;
}

bool FinderElement::supprimerTempFile() {
    return removeIfPresent(tempDestinationURL());
}

bool FinderElement::supprimerTempImageFile() {
    return removeIfPresent(imageTempURL());
}

QString FinderElement::nomElement() const {
    const PersistentURLPtr url = elementURL();
    return url ? url->fileName() : QString();
}

QString FinderElement::description() const {
    return nomElement();
}
