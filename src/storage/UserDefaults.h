#pragma once

#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>

class QSettings;

// The settings store: values the user set (kept in
// ~/.config/Tonebridge/Tonebridge.conf) over an in-memory registration
// domain of defaults. A run-only domain above both lets a batch run override
// settings without writing them. Made by each mode's composition root; the
// typed declarations of the settings read and write through it.
class UserDefaults {
public:
    UserDefaults();
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    void registerDefaults(const QVariantMap& defaults);

    QVariant objectForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    QString stringForKey(const QString& key) const;
    // A folder as an absolute path, a leading "~" standing for the home folder;
    // empty when none is stored.
    QString folderForKey(const QString& key) const;

    void setObject(const QVariant& value, const QString& key);
    void setInteger(qint64 value, const QString& key);
    void setBool(bool value, const QString& key);
    void setString(const QString& value, const QString& key);
    void setFolder(const QString& path, const QString& key);
    void removeObject(const QString& key);

    // Values for this run only: they win over everything and are never written.
    void setRunOverride(const QString& key, const QVariant& value);
    void clearRunOverrides();

    // Drops the cached store so the next read opens the current configuration
    // folder (tests switch HOME between cases).
    void reload();

    static QString expandTilde(const QString& path);
    static QString abbreviateHome(const QString& path);

private:
    QSettings& settings() const;

    mutable QMutex m_mutex;
    mutable std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
    QVariantMap m_overrides;
};
