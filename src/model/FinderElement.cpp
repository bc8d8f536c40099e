#include "FinderElement.h"

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

QString FinderElement::destinationFolder() const {
    const auto& defaults = UserDefaults::standard();
    const QString sourceFolder = m_elementURL->folderPath();
    switch (defaults.integerForKey(QStringLiteral("DestinationType"))) {
    case 2:
        return defaults.folderForKey(QStringLiteral("DestinationDossier"));
    case 1:
        return sourceFolder + QLatin1Char('/') +
               defaults.stringForKey(QStringLiteral("DestinationAutoName"));
    default:
        return sourceFolder;
    }
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
    const QString path = QDir::cleanPath(destinationFolder() + QLatin1Char('/') + m_nomDestination);
    m_destinationURL = PersistentURL::persistentURLwithURL(path);
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
    m_tempAudioURL = PersistentURL::persistentURLwithURL(path);
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
