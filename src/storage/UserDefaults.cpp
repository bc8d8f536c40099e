#include "UserDefaults.h"

#include <QDir>
#include <QMutexLocker>
#include <QSettings>

UserDefaults::UserDefaults() = default;
UserDefaults::~UserDefaults() = default;

QSettings& UserDefaults::settings() const {
    if (!m_settings) {
        m_settings =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                        QStringLiteral("Tonebridge"), QStringLiteral("Tonebridge"));
    }
    return *m_settings;
}

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
    QMutexLocker lock(&m_mutex);
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it) {
        m_registered.insert(it.key(), it.value());
    }
}

QVariant UserDefaults::objectForKey(const QString& key) const {
    QMutexLocker lock(&m_mutex);
    if (m_overrides.contains(key)) {
        return m_overrides.value(key);
    }
    const QVariant stored = settings().value(key);
    if (stored.isValid()) {
        return stored;
    }
    return m_registered.value(key);
}

qint64 UserDefaults::integerForKey(const QString& key) const {
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::Bool) {
        return value.toBool() ? 1 : 0;
    }
    bool ok = false;
    const qint64 number = value.toLongLong(&ok);
    if (ok) {
        return number;
    }
    const QString text = value.toString().trimmed();
    if (text == QLatin1String("true")) {
        return 1;
    }
    return qint64(text.toDouble());
}

bool UserDefaults::boolForKey(const QString& key) const {
    const QVariant value = objectForKey(key);
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        return text == QLatin1String("true") || text == QLatin1String("yes") ||
               text.toLongLong() != 0;
    }
    return value.toBool();
}

QString UserDefaults::stringForKey(const QString& key) const {
    const QVariant value = objectForKey(key);
    return value.isValid() ? value.toString() : QString();
}

QString UserDefaults::folderForKey(const QString& key) const {
    const QString path = stringForKey(key);
    if (path.isEmpty()) {
        return QString();
    }
    return expandTilde(path);
}

void UserDefaults::setObject(const QVariant& value, const QString& key) {
    QMutexLocker lock(&m_mutex);
    settings().setValue(key, value);
    settings().sync();
}

void UserDefaults::setInteger(qint64 value, const QString& key) {
    setObject(QVariant(value), key);
}

void UserDefaults::setBool(bool value, const QString& key) {
    setObject(QVariant(value), key);
}

void UserDefaults::setString(const QString& value, const QString& key) {
    setObject(QVariant(value), key);
}

void UserDefaults::setFolder(const QString& path, const QString& key) {
    if (path.isEmpty()) {
        removeObject(key);
        return;
    }
    setObject(QVariant(path), key);
}

void UserDefaults::removeObject(const QString& key) {
    QMutexLocker lock(&m_mutex);
    settings().remove(key);
    settings().sync();
}

void UserDefaults::setRunOverride(const QString& key, const QVariant& value) {
    QMutexLocker lock(&m_mutex);
    m_overrides.insert(key, value);
}

void UserDefaults::clearRunOverrides() {
    QMutexLocker lock(&m_mutex);
    m_overrides.clear();
}

void UserDefaults::reload() {
    QMutexLocker lock(&m_mutex);
    m_settings.reset();
}

QString UserDefaults::expandTilde(const QString& path) {
    if (path == QLatin1String("~")) {
        return QDir::homePath();
    }
    if (path.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + path.mid(1);
    }
    return path;
}

QString UserDefaults::abbreviateHome(const QString& path) {
    const QString home = QDir::homePath();
    if (path == home) {
        return QStringLiteral("~");
    }
    if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/'))) {
        return QLatin1Char('~') + path.mid(home.size());
    }
    return path;
}
