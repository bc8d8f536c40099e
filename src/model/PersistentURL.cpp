#include "PersistentURL.h"

#include "model/ModelContext.h"
#include "model/SqlText.h"
#include "storage/CocoLite.h"
#include "storage/FileManager.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMimeDatabase>

#include <atomic>
#include <cmath>

namespace {
std::atomic<quint64> g_imageRowsGeneration{0};
}

PersistentURL::PersistentURL(const QString& path) : m_path(path) {}

quint64 PersistentURL::imageRowsGeneration() {
    return g_imageRowsGeneration.load();
}

qint64 PersistentURL::referenceDateOffset() {
    return 978307200;
}

PersistentURLPtr PersistentURL::persistentURLwithURL(const QString& path) {
    auto record = std::make_shared<PersistentURL>(path);
    const QFileInfo info(path);
    if (info.exists()) {
        record->m_urlAttributes.insert(QStringLiteral("NSURLFileSizeKey"), info.size());
        record->m_urlAttributes.insert(QStringLiteral("NSURLNameKey"), info.fileName());
    }
    return record;
}

PersistentURLPtr PersistentURL::persistentURLforPath(const QString& path) {
    return std::make_shared<PersistentURL>(path);
}

PersistentURLPtr PersistentURL::persistentObjectWithSqliteid(quint32 identifier) {
    const auto rows = ModelContext::db().outputDBrequest(
        SqlText::fill(u"SELECT *, `fname`||'.'||`fext` AS `fileName` FROM `fileURL` WHERE "
                      u"`furlid` = ?",
                      {SqlText::unsignedNumber(identifier)}));
    if (rows.isEmpty()) {
        return nullptr;
    }
    const QVariantMap& row = rows.last();
    PersistentURLPtr record = persistentURLwithURL(row.value(QStringLiteral("furl")).toString());
    record->m_elementType = row.value(QStringLiteral("ftype")).toInt();
    record->m_isactive = row.value(QStringLiteral("active")).toInt() != 0;
    record->m_urlAttributes = row;
    record->m_sqliteid = identifier;
    return record;
}

QString PersistentURL::sqliteCreationRequete() {
    return QStringLiteral(
        "CREATE TABLE IF NOT EXISTS `fileURL` ( `furlid` INTEGER PRIMARY KEY, `furl` TEXT UNIQUE, "
        "`fname` TEXT, `fdir` TEXT, `fext` TEXT, `isdir` INT, `futi` TEXT, `fsize` INT, `ftype` "
        "INT, `datemodif` INT, `active` INT )");
}

QString PersistentURL::sqliteColumnHeadersRequete() {
    return QStringLiteral("`furl`, `fname`, `fdir`, `fext`, `isdir`, `futi`, `datemodif`, "
                          "`fsize`, `ftype`, `active` ");
}

void PersistentURL::vider() {
    ++g_imageRowsGeneration;
    ModelContext::db().inputDBrequest(QStringLiteral("DELETE FROM `fileURL`"));
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

quint32 PersistentURL::sqlitePreviousId() {
    if (m_sqliteid != 0) {
        return m_sqliteid;
    }
    const auto rows = ModelContext::db().outputDBrequest(
        SqlText::fill(u"SELECT `furlid` FROM `fileURL` WHERE `furl` = ?", {SqlText::text(m_path)}));
    if (!rows.isEmpty()) {
        const quint32 found = rows.last().value(QStringLiteral("furlid")).toUInt();
        if (found != 0) {
            m_sqliteid = found;
            return found;
        }
    }
    return 0;
}

QString PersistentURL::sqliteInsertUpdateRequete() {
    const QFileInfo info(m_path);
    static const QMimeDatabase mimeDatabase;
    const QString typeIdentifier =
        mimeDatabase.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name();
    const bool isDirectory = info.isDir();
    const qint64 size = isDirectory ? 0 : info.size();
    const QDateTime modified = info.lastModified();
    const double seconds =
        modified.isValid()
            ? std::round(double(modified.toMSecsSinceEpoch()) / 1000.0) - referenceDateOffset()
            : 0.0;
    const QString name = QFileInfo(pathWithoutExtension()).fileName();
    const QString path = SqlText::text(m_path);
    const QString fname = SqlText::text(name);
    const QString fdir = SqlText::text(folderPath());
    const QString fext = SqlText::text(extension());
    const QString isdir = SqlText::number(isDirectory ? 1 : 0);
    const QString futi = SqlText::text(typeIdentifier);
    const QString fsize = SqlText::number(size);
    const QString datemodif = SqlText::number(qint64(seconds));
    const QString ftype = SqlText::number(m_elementType);
    const QString active = SqlText::number(m_isactive ? 1 : 0);
    if (m_sqliteid != 0) {
        return SqlText::fill(u"UPDATE `fileURL` SET `furl`=?, `fname`=?, `fdir`=?, `fext`=?, "
                             u"`isdir`=?, `futi`= ?, `fsize`=?, `datemodif` = ?, `ftype`= ?, "
                             u"`active` = ? WHERE `furlid` = ?",
                             {path, fname, fdir, fext, isdir, futi, fsize, datemodif, ftype, active,
                              SqlText::unsignedNumber(m_sqliteid)});
    }
    return SqlText::fill(u"INSERT OR REPLACE INTO `fileURL` ( ? ) VALUES ( ?, ?, ?, ?, ?, ?, ?, "
                         u"?, ?, ? )",
                         {sqliteColumnHeadersRequete(), path, fname, fdir, fext, isdir, futi,
                          datemodif, fsize, ftype, active});
}

QString PersistentURL::sqliteDeleteRequete() const {
    return SqlText::fill(u"DELETE FROM `fileURL` WHERE `furlid` = ?",
                         {SqlText::unsignedNumber(m_sqliteid)});
}

quint32 PersistentURL::save() {
    if (!exists()) {
        // A record stored once keeps its row while its file is away (an
        // unplugged drive): the row is what links a queued file to its source.
        return m_sqliteid;
    }
    sqlitePreviousId();
    if (m_elementType == 5) {
        ++g_imageRowsGeneration;
    }
    const quint32 inserted =
        quint32(ModelContext::db().inputDBrequest(sqliteInsertUpdateRequete()));
    if (m_sqliteid == 0) {
        m_sqliteid = inserted;
    }
    return m_sqliteid;
}

void PersistentURL::supprimerDeLaBase() {
    ++g_imageRowsGeneration;
    ModelContext::db().inputDBrequest(sqliteDeleteRequete());
}
