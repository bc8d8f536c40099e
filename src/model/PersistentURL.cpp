#include "PersistentURL.h"

#include "storage/FileManager.h"

#include <QFileInfo>

PersistentURL::PersistentURL(const QString& path) : m_path(path) {}

qint64 PersistentURL::referenceDateOffset() {
    return 978307200;
}

PersistentURLPtr PersistentURL::persistentURLwithURL(const QString& path) {
    return persistentURLforPath(path);
}

PersistentURLPtr PersistentURL::persistentURLforPath(const QString& path) {
    return std::make_shared<PersistentURL>(path);
}

QString PersistentURL::fileName() const {
    return QFileInfo(m_path).fileName();
}

QString PersistentURL::folderPath() const {
    const int slash = m_path.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) {
        return slash == 0 ? QStringLiteral("/") : QString();
    }
    return m_path.left(slash);
}

QString PersistentURL::extension() const {
    const QString name = fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? QString() : name.mid(dot + 1);
}

QString PersistentURL::pathWithoutExtension() const {
    const QString suffix = extension();
    return suffix.isEmpty() ? m_path : m_path.left(m_path.size() - suffix.size() - 1);
}

bool PersistentURL::exists() const {
    return FileManager::fileExists(m_path);
}
