#include "GestionnairePileFichier.h"

#include "model/Dossier.h"
#include "model/EditedField.h"
#include "model/QueueStore.h"
#include "storage/Log.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

namespace {
// A file being converted keeps the paths its conversion started with.
bool isBeingConverted(const FichierAudio& record) {
    const qint32 status = record.statusConversion();
    return status == kStatusConvEncoursDecodage || status == kStatusConvEncoursCodage;
}

const QStringList& imageExtensions() {
    static const QStringList extensions = {QStringLiteral("jpeg"), QStringLiteral("jpg"),
                                           QStringLiteral("png"),  QStringLiteral("gif"),
                                           QStringLiteral("tif"),  QStringLiteral("tiff")};
    return extensions;
}
} // namespace

GestionnairePileFichier::GestionnairePileFichier(QueueStore& store, MetadataReader* reader,
                                                 QObject* parent)
    : QObject(parent), m_store(store), m_reader(reader),
      m_rules(std::make_shared<const DestinationRules>()) {}

void GestionnairePileFichier::assertMainThread() const {
    Q_ASSERT(QCoreApplication::instance() == nullptr ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
}

void GestionnairePileFichier::loadFromSqlite() {
    assertMainThread();
    FileList loaded = m_store.loadFiles();
    for (const FichierAudioPtr& record : std::as_const(loaded)) {
        record->setDestinationRules(m_rules);
    }
    m_fichiersAudio = loaded;
    ++m_generation;
    rebuildSourceIndex();
    emit filesReset();
    _changerNombreDe(0);
}

void GestionnairePileFichier::appendRecord(const FichierAudioPtr& record, const QString& path) {
    const qint64 previousCount = countOfFichiersAudio();
    m_fichiersAudio.append(record);
    ++m_generation;
    ++m_sourcePaths[path];
    emit filesInserted(previousCount, previousCount);
    _changerNombreDe(previousCount);
    remettreAuDebut();
}

void GestionnairePileFichier::setDestinationRules(const DestinationRules& rules) {
    m_rules = std::make_shared<const DestinationRules>(rules);
    raffraichirDestinationDesFichiers();
}

void GestionnairePileFichier::adoptDestinationRules(const DestinationRules& rules) {
    m_rules = std::make_shared<const DestinationRules>(rules);
    for (const FichierAudioPtr& record : std::as_const(m_fichiersAudio)) {
        if (!isBeingConverted(*record)) {
            record->setDestinationRules(m_rules);
        }
    }
}

void GestionnairePileFichier::rebuildSourceIndex() {
    m_sourcePaths.clear();
    for (const FichierAudioPtr& record : std::as_const(m_fichiersAudio)) {
        if (const PersistentURLPtr source = record->elementURL()) {
            ++m_sourcePaths[source->path()];
        }
    }
}

bool GestionnairePileFichier::isQueued(const QString& sourcePath) const {
    return m_sourcePaths.contains(sourcePath);
}

QString GestionnairePileFichier::canonicalPath(const QString& path) {
    // "A/./x.flac", "A//x.flac" and a path through a link all name one file.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

qint32 GestionnairePileFichier::ajouterUnDossier(const QString& givenPath) {
    const QString path = canonicalPath(givenPath);
    auto folder = Dossier::finderElementAvecURL(PersistentURL::persistentURLwithURL(path));
    const qint64 previousCount = countOfFichiersAudio();
    m_folderRoot = path;
    if (!folder->contenuRecursif(*this)) {
        Log::write(QStringLiteral("Impossible d'obtenir le contenu récursif de %1").arg(path));
    }
    m_folderRoot.clear();
    _changerNombreDe(previousCount);
    remettreAuDebut();
    const qint64 count = countOfFichiersAudio();
    return count != 0 ? qint32(count) : -1;
}

void GestionnairePileFichier::ajouterUnFichier(const QString& givenPath) {
    assertMainThread();
    const QString path = canonicalPath(givenPath);
    PersistentURLPtr url = PersistentURL::persistentURLwithURL(path);
    const QString extension = url->extension().toLower();
    if (extension == QLatin1String("flac")) {
        // Nothing to convert behind a folder or a missing file.
        if (isQueued(path) || !QFileInfo(path).isFile()) {
            return;
        }
        url->setElementType(kElementSourceFlac);
        appendRecord(
            FichierAudio::finderElementAvecURL(m_store, url, m_rules, m_folderRoot, m_reader),
            path);
    } else if (imageExtensions().contains(extension) && !QFileInfo(path).isDir()) {
        url->setElementType(kElementImage);
        m_store.saveUrl(*url);
    }
}

bool GestionnairePileFichier::ajouterFichierLu(const QString& givenPath, const QString& root,
                                               const SourceReading& reading) {
    assertMainThread();
    const QString path = canonicalPath(givenPath);
    if (isQueued(path) || !QFileInfo(path).isFile()) {
        return false;
    }
    PersistentURLPtr url = PersistentURL::persistentURLwithURL(path);
    if (reading.tracks.isEmpty()) {
        appendRecord(FichierAudio::avecLecture(m_store, url, m_rules, root, reading), path);
        return true;
    }
    // A disc image: one row per track, the image never queued whole.
    for (qsizetype index = 0; index < reading.tracks.size(); ++index) {
        SourceReading track = reading;
        track.tracks.clear();
        track.trackComments.clear();
        track.comments = reading.trackComments.value(index);
        for (const EditedField& field : EditedField::all()) {
            track.values.insert(QLatin1String(field.key),
                                track.comments.first(QLatin1String(field.vorbisName)));
        }
        const ImageTrack& imageTrack = reading.tracks.at(index);
        FichierAudioPtr record =
            FichierAudio::avecLecture(m_store, url, m_rules, root, track, imageTrack);
        if (imageTrack.isUnusableSheet()) {
            // The image waits, in error, for its sheet to be put right.
            record->setStatusConversion(kStatusConvFiniErreur);
            record->setFailureReason(imageTrack.name);
            record->save();
        }
        appendRecord(record, path);
    }
    return true;
}

int GestionnairePileFichier::relirePistes(const QString& imagePath, const SourceReading& reading) {
    assertMainThread();
    int changed = 0;
    m_store.beginTransaction();
    for (qint64 position = 0; position < m_fichiersAudio.size(); ++position) {
        const FichierAudioPtr& record = m_fichiersAudio.at(position);
        const std::optional<ImageTrack>& track = record->imageTrack();
        const PersistentURLPtr source = record->elementURL();
        if (!track || !source || source->path() != imagePath || isBeingConverted(*record)) {
            continue;
        }
        for (qsizetype index = 0; index < reading.tracks.size(); ++index) {
            if (reading.tracks.at(index).number != track->number) {
                continue;
            }
            const TagList comments = reading.trackComments.value(index);
            QVariantMap values;
            for (const EditedField& field : EditedField::all()) {
                values.insert(QLatin1String(field.key),
                              comments.first(QLatin1String(field.vorbisName)));
            }
            record->setSourceTags(comments);
            record->inMetadataDict()->addEntries(values);
            record->outMetadataDict()->addEntries(values);
            record->setImageTrack(reading.tracks.at(index));
            record->save();
            ++changed;
            emit fileChanged(position);
        }
    }
    m_store.commitTransaction();
    return changed;
}

bool GestionnairePileFichier::ajouterFichierEnErreur(const QString& givenPath, const QString& root,
                                                     const QString& reason) {
    assertMainThread();
    const QString path = canonicalPath(givenPath);
    if (isQueued(path) || !QFileInfo(path).isFile()) {
        return false;
    }
    FichierAudioPtr record = FichierAudio::avecLecture(
        m_store, PersistentURL::persistentURLwithURL(path), m_rules, root, SourceReading());
    record->setStatusConversion(kStatusConvFiniErreur);
    record->setFailureReason(reason);
    record->save();
    appendRecord(record, path);
    return true;
}

bool GestionnairePileFichier::isFlacPath(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("flac"), Qt::CaseInsensitive) == 0;
}

bool GestionnairePileFichier::isImagePath(const QString& path) {
    return imageExtensions().contains(QFileInfo(path).suffix().toLower());
}

bool GestionnairePileFichier::isQueuedPath(const QString& path) const {
    return isQueued(canonicalPath(path));
}

void GestionnairePileFichier::supprimerLesFichiersDansLindex(const QList<qint64>& positions,
                                                             bool finishedOnly) {
    const FileList snapshot = m_fichiersAudio;
    FileList remaining = snapshot;
    const qint64 previousCount = snapshot.size();
    QList<qint64> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    FileList leaving;
    QList<qint64> leavingPositions;
    for (const qint64 position : std::as_const(sorted)) {
        if (position < 0 || position >= snapshot.size()) {
            continue;
        }
        const FichierAudioPtr& record = snapshot.at(position);
        if (finishedOnly && record->statusConversion() != kStatusConvFiniOk) {
            continue;
        }
        leaving.append(record);
        leavingPositions.append(position);
    }
    tellRemoval(leaving);
    // One transaction and a few statements, whatever the number of files;
    // none when every file leaves, for the emptied list clears the tables.
    if (leaving.size() < snapshot.size()) {
        QList<FichierAudio*> records;
        records.reserve(leaving.size());
        for (const FichierAudioPtr& record : std::as_const(leaving)) {
            records << record.get();
        }
        m_store.removeFiles(records);
    }
    const QList<qint64>& removed = leavingPositions;
    // The list rebuilt in one sweep: files leave from anywhere in it.
    QList<bool> leaves(snapshot.size(), false);
    for (const qint64 position : removed) {
        leaves[position] = true;
    }
    remaining.clear();
    remaining.reserve(snapshot.size() - removed.size());
    for (qsizetype position = 0; position < snapshot.size(); ++position) {
        if (!leaves.at(position)) {
            remaining.append(snapshot.at(position));
        }
    }
    m_fichiersAudio = remaining;
    ++m_generation;
    rebuildSourceIndex();
    removeLeftoversOf(leaving);
    if (!removed.isEmpty()) {
        emit filesRemoved(removed);
    }
    _changerNombreDe(previousCount);
    remettreAuDebut();
}

void GestionnairePileFichier::removeLeftoversOf(const FileList& leaving) {
    if (leaving.isEmpty()) {
        return;
    }
    QStringList decoded;
    QSet<QString> pictures;
    for (const FichierAudioPtr& record : leaving) {
        const QString temporary = record->tempDestinationPath();
        if (!temporary.isEmpty()) {
            decoded << temporary;
        }
        if (const PersistentURLPtr picture = record->imageTempURL()) {
            pictures.insert(picture->path());
        }
    }
    m_removal.remove(decoded);
    removeUnusedPictures(pictures.values());
}

void GestionnairePileFichier::removeUnusedPictures(const QStringList& pictures) {
    if (pictures.isEmpty()) {
        return;
    }
    if (m_picturesHeld) {
        m_heldPictures += pictures;
        return;
    }
    const QSet<QString> used = picturesInUse();
    QStringList unused;
    for (const QString& picture : pictures) {
        if (!used.contains(picture)) {
            unused << picture;
        }
    }
    m_removal.removeGivenUp(unused);
}

QSet<QString> GestionnairePileFichier::picturesInUse() const {
    QSet<QString> used;
    for (const FichierAudioPtr& record : m_fichiersAudio) {
        if (const PersistentURLPtr picture = record->imageTempURL()) {
            used.insert(picture->path());
        }
    }
    return used;
}

void GestionnairePileFichier::holdPictureRemoval(bool held) {
    m_picturesHeld = held;
    if (!held) {
        removeUnusedPictures(std::exchange(m_heldPictures, {}));
    }
}

void GestionnairePileFichier::tellRemoval(const FileList& leaving) {
    if (m_removalListener != nullptr && !leaving.isEmpty()) {
        m_removalListener->fichiersVontQuitterLaPile(leaving);
    }
}

void GestionnairePileFichier::supprimerFichierAudio(const FichierAudioPtr& record) {
    if (!record) {
        return;
    }
    tellRemoval({record});
    if (!record->supprimer2LaPile()) {
        return;
    }
    const qint64 position = m_fichiersAudio.indexOf(record);
    if (position < 0) {
        QStringList names;
        for (const FichierAudioPtr& queued : std::as_const(m_fichiersAudio)) {
            names << queued->description();
        }
        Log::write(QStringLiteral("Impossible de supprimer %1 car absent de\n%2")
                       .arg(record->description(), names.join(QLatin1Char('\n'))));
        return;
    }
    const qint64 previousCount = m_fichiersAudio.size();
    FileList remaining = m_fichiersAudio;
    remaining.removeAt(position);
    if (position <= m_enumeratorIndex && m_enumeratorIndex >= 1) {
        --m_enumeratorIndex;
    }
    m_fichiersAudio = remaining;
    ++m_generation;
    if (const PersistentURLPtr source = record->elementURL()) {
        const auto rows = m_sourcePaths.find(source->path());
        if (rows != m_sourcePaths.end() && --rows.value() <= 0) {
            m_sourcePaths.erase(rows);
        }
    }
    removeLeftoversOf({record});
    emit filesRemoved({position});
    _changerNombreDe(previousCount);
}

FichierAudioPtr GestionnairePileFichier::nextObject() {
    if (m_enumeratorIndex < m_fichiersAudio.size()) {
        return m_fichiersAudio.at(m_enumeratorIndex++);
    }
    return nullptr;
}

FichierAudioPtr GestionnairePileFichier::fichierCourant() const {
    if (m_enumeratorIndex >= 0 && m_enumeratorIndex < m_fichiersAudio.size()) {
        return m_fichiersAudio.at(m_enumeratorIndex);
    }
    return nullptr;
}

float GestionnairePileFichier::pourcent() const {
    if (m_fichiersAudio.isEmpty()) {
        return 0.0f;
    }
    const FichierAudioPtr current = fichierCourant();
    const double half =
        current && current->statusConversion() == kStatusConvEncoursCodage ? 0.5 : 0.0;
    const float numerator = float(double(m_enumeratorIndex) + half);
    return numerator / float(m_fichiersAudio.size());
}

qint64 GestionnairePileFichier::countOfFichiersAConvertir() const {
    return std::count_if(m_fichiersAudio.cbegin(), m_fichiersAudio.cend(),
                         [](const FichierAudioPtr& record) {
                             return record->statusConversion() != kStatusConvFiniOk;
                         });
}

qint64 GestionnairePileFichier::countOfPretsFichiersAudio() const {
    qint64 ready = 0;
    for (const FichierAudioPtr& record : std::as_const(m_fichiersAudio)) {
        if (record->statusConversion() == kStatusConvPret) {
            ++ready;
        }
    }
    return ready;
}

void GestionnairePileFichier::reinitialiserEtatFichiers() {
    QList<qint64> every;
    every.reserve(m_fichiersAudio.size());
    for (qint64 position = 0; position < m_fichiersAudio.size(); ++position) {
        every << position;
    }
    reinitialiserFichiers(every);
    m_enumeratorIndex = 0;
}

void GestionnairePileFichier::reinitialiserFichiers(const QList<qint64>& positions) {
    // Saved at once, in one transaction: a reset survives a restart, and the
    // reason of an error that no longer stands goes with it.
    m_store.beginTransaction();
    for (const qint64 position : positions) {
        const FichierAudioPtr record = fichierAt(position);
        if (!record ||
            (record->statusConversion() == kStatusConvPret && record->failureReason().isEmpty())) {
            continue;
        }
        record->setStatusConversion(kStatusConvPret);
        record->setFailureReason(QString());
        record->save();
        emit fileChanged(position);
    }
    m_store.commitTransaction();
}

void GestionnairePileFichier::raffraichirDestinationDesFichiers() {
    inheritRoots();
    for (const FichierAudioPtr& record : std::as_const(m_fichiersAudio)) {
        if (isBeingConverted(*record)) {
            continue;
        }
        record->setDestinationRules(m_rules);
        record->freshDestinationURL();
    }
}

void GestionnairePileFichier::inheritRoots() {
    // A file added on its own below a folder added whole takes its place in
    // that folder's tree: the deepest such folder.
    QSet<QString> roots;
    for (const FichierAudioPtr& record : std::as_const(m_fichiersAudio)) {
        if (!record->rootFolder().isEmpty()) {
            roots.insert(record->rootFolder());
        }
    }
    for (const FichierAudioPtr& record : std::as_const(m_fichiersAudio)) {
        const PersistentURLPtr source = record->elementURL();
        if (!record->rootFolder().isEmpty() || !source) {
            continue;
        }
        QString inherited;
        for (QString folder = source->folderPath(); folder.size() > 1;
             folder = QFileInfo(folder).path()) {
            if (roots.contains(folder)) {
                inherited = folder;
                break;
            }
        }
        record->setInheritedRoot(inherited);
    }
}

void GestionnairePileFichier::setFichiersAudio(const FileList& list) {
    m_fichiersAudio = list;
    ++m_generation;
    rebuildSourceIndex();
    emit filesReset();
}

bool GestionnairePileFichier::_changerNombreDe(qint64 previousCount) {
    const qint64 count = countOfFichiersAudio();
    if (count == 0) {
        _viderLesTables();
        if (previousCount == 0) {
            return false;
        }
    } else if (previousCount != 0) {
        return false;
    }
    emit laListeContientDesFichiers(count != 0);
    return true;
}

void GestionnairePileFichier::_viderLesTables() {
    m_store.clear();
}
