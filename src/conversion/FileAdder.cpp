#include "FileAdder.h"

#include "conversion/CueSheetFinder.h"
#include "conversion/DiscImageReader.h"
#include "conversion/FlacTagReader.h"
#include "conversion/MessageSink.h"
#include "model/Dossier.h"
#include "model/QueueStore.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/ThreadHandoff.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QThread>

namespace {
bool isSheetPath(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0;
}

// Records are made in batches: often enough for the list to grow, rarely
// enough for the window to stay free.
constexpr int kFlushIntervalMs = 40;
constexpr int kFilesPerBatch = 64;
// A batch ends sooner when its records take this long to make.
constexpr qint64 kBatchBudgetMs = 30;
} // namespace

FileAdder::FileAdder(GestionnairePileFichier* queue, const FlacTagReader* reader, MessageSink* sink,
                     QObject* parent, const Settings* settings)
    : QObject(parent), m_queue(queue), m_reader(reader), m_settings(settings), m_sink(sink),
      m_cancelled(std::make_shared<std::atomic<bool>>(false)) {
    // One reading per core: a reading's one metaflac run and its TagLib
    // reading keep a core busy.
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    m_flushTimer.setInterval(kFlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &FileAdder::flush);
}

FileAdder::~FileAdder() {
    *m_cancelled = true;
    m_pool.waitForDone();
}

void FileAdder::add(const QStringList& paths, int confirmAbove) {
    emit adding(paths, m_busy);
    m_pending += paths;
    if (!m_busy) {
        m_summary = Summary();
        m_confirmAbove = confirmAbove;
        start();
    }
}

void FileAdder::cancel() {
    *m_cancelled = true;
    m_pending.clear();
    if (m_waitingConfirmation) {
        confirm(false);
    }
}

void FileAdder::confirm(bool goOn) {
    if (!m_waitingConfirmation) {
        return;
    }
    m_waitingConfirmation = false;
    if (!goOn) {
        *m_cancelled = true;
        m_pending.clear();
        finish();
        return;
    }
    startReadings();
}

QString FileAdder::describe(const Summary& summary) {
    const QLocale french(QLocale::French);
    QStringList parts;
    parts << (summary.added == 1
                  ? QStringLiteral("1 fichier ajouté")
                  : QStringLiteral("%1 fichiers ajoutés").arg(french.toString(summary.added)));
    if (summary.alreadyQueued > 0) {
        parts
            << QStringLiteral("%1 déjà dans la liste").arg(french.toString(summary.alreadyQueued));
    }
    if (summary.refused > 0) {
        parts << QStringLiteral("%1 non %2")
                     .arg(french.toString(summary.refused), summary.refused == 1
                                                                ? QStringLiteral("ajouté")
                                                                : QStringLiteral("ajoutés"));
    }
    if (summary.cancelled) {
        parts << QStringLiteral("ajout annulé");
    }
    return parts.join(QStringLiteral(", "));
}

void FileAdder::waitUntilDone() {
    if (!m_busy) {
        return;
    }
    QEventLoop loop;
    connect(this, &FileAdder::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

QList<FileAdder::Item> FileAdder::plan(const QStringList& paths, const std::atomic<bool>* stop) {
    QList<Item> items;
    const auto addItem = [&items](const QString& path, const QString& root) {
        Item item{path,
                  root,
                  GestionnairePileFichier::isFlacPath(path),
                  GestionnairePileFichier::isImagePath(path),
                  QString(),
                  QString()};
        if (item.flac && QFileInfo(path).isFile()) {
            item.canonical = GestionnairePileFichier::canonicalPath(path);
        }
        items.append(item);
    };
    for (const QString& path : paths) {
        bool isDirectory = false;
        if (*stop || !FileManager::fileExists(path, &isDirectory)) {
            continue;
        }
        if (!isDirectory) {
            if (isSheetPath(path)) {
                planSheet(path, QString(), false, items);
            } else {
                addItem(path, QString());
            }
            continue;
        }
        const QString root = GestionnairePileFichier::canonicalPath(path);
        QStringList unreadable;
        for (const QString& item : Dossier::listTree(root, &unreadable, stop)) {
            if (isSheetPath(item)) {
                planSheet(item, root, true, items);
            } else {
                addItem(item, root);
            }
        }
        for (const QString& name : std::as_const(unreadable)) {
            items.append({name, root, false, false, QString(),
                          QStringLiteral("nom de fichier illisible (pas en UTF-8)")});
        }
    }
    return items;
}

void FileAdder::planSheet(const QString& path, const QString& root, bool inFolder,
                          QList<Item>& items) {
    const CueSheetFinder::Found found = CueSheetFinder::read(path);
    const QString named = found.sheet.files.value(0);
    const QString audio = named.isEmpty() ? QString() : CueSheetFinder::audioFor(path, named);
    if (!audio.isEmpty()) {
        if (!inFolder) {
            items.append({audio, root, true, false, GestionnairePileFichier::canonicalPath(audio),
                          QString()});
        }
        return;
    }
    const QString reason =
        named.isEmpty() ? QStringLiteral("la feuille de cue %1 ne nomme aucun fichier audio")
                              .arg(QFileInfo(path).fileName())
                        : QStringLiteral("fichier audio %1 introuvable pour la feuille de cue %2")
                              .arg(QFileInfo(path).absolutePath() + QLatin1Char('/') + named,
                                   QFileInfo(path).fileName());
    items.append({path, root, false, false, GestionnairePileFichier::canonicalPath(path), QString(),
                  reason});
}

void FileAdder::start() {
    m_busy = true;
    ++m_run;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_items.clear();
    m_readings.clear();
    m_next = 0;
    // A whole library takes a while to list: never on the window's thread.
    m_runPaths = std::exchange(m_pending, {});
    const quint64 run = m_run;
    const auto cancelled = m_cancelled;
    ThreadHandoff::start(m_pool, [this, run, paths = m_runPaths, cancelled] {
        const QList<Item> items = plan(paths, cancelled.get());
        ThreadHandoff::handOver();
        QMetaObject::invokeMethod(
            this,
            [this, run, items] {
                ThreadHandoff::takeOver();
                planned(run, items);
            },
            Qt::QueuedConnection);
    });
}

void FileAdder::planned(quint64 run, const QList<Item>& items) {
    if (run != m_run) {
        return;
    }
    m_items = items;
    if (*m_cancelled) {
        finish();
        return;
    }
    const int flacFiles = int(std::count_if(m_items.cbegin(), m_items.cend(),
                                            [](const Item& item) { return item.flac; }));
    if (m_confirmAbove > 0 && flacFiles > m_confirmAbove) {
        // More than a folder's worth: the user says whether to go on.
        m_waitingConfirmation = true;
        emit confirmationNeeded(flacFiles, m_runPaths);
        return;
    }
    startReadings();
}

void FileAdder::startReadings() {
    const quint64 run = m_run;
    registerPictures();
    // Read once for the whole addition, on this thread.
    const bool splitImages = m_settings == nullptr || !m_settings->value(Settings::wholeImages);
    const bool pregapsWithTheirTracks =
        m_settings != nullptr && m_settings->value(Settings::pregapsWithTheirTracks);
    for (int index = 0; index < m_items.size(); ++index) {
        const Item& item = m_items.at(index);
        if (item.canonical.isEmpty() || !item.inError.isEmpty() ||
            m_queue->isQueued(item.canonical)) {
            continue;
        }
        const QString path = item.canonical;
        const auto cancelled = m_cancelled;
        const FlacTagReader* reader = m_reader;
        ThreadHandoff::start(m_pool, [this, run, index, path, cancelled, reader, splitImages,
                                      pregapsWithTheirTracks] {
            if (*cancelled) {
                return;
            }
            SourceReading reading = reader->readSource(path, cancelled.get());
            if (reading.read && splitImages) {
                DiscImageReader::readTracks(path, reader->metaflacPath(), reading,
                                            pregapsWithTheirTracks, cancelled.get());
            }
            ThreadHandoff::handOver();
            QMetaObject::invokeMethod(
                this,
                [this, run, index, reading] {
                    ThreadHandoff::takeOver();
                    delivered(run, index, reading);
                },
                Qt::QueuedConnection);
        });
    }
    m_flushTimer.start();
    flush();
}

void FileAdder::registerPictures() {
    // Before any record: the automatic cover choice of every file added sees
    // every picture of its folders, whatever order the readings end in.
    QueueStore& db = m_queue->store();
    db.beginTransaction();
    for (const Item& item : std::as_const(m_items)) {
        // Only pictures: every other file a folder holds costs nothing here.
        if (item.image) {
            m_queue->ajouterUnFichier(item.path);
        }
    }
    db.commitTransaction();
}

void FileAdder::delivered(quint64 run, int index, const SourceReading& reading) {
    if (run == m_run) {
        m_readings.insert(index, reading);
    }
}

void FileAdder::flush() {
    if (*m_cancelled) {
        finish();
        return;
    }
    QueueStore& db = m_queue->store();
    int made = 0;
    QElapsedTimer budget;
    budget.start();
    db.beginTransaction();
    while (m_next < m_items.size() && made < kFilesPerBatch && budget.elapsed() < kBatchBudgetMs) {
        const Item& item = m_items.at(m_next);
        const bool needsReading = !item.canonical.isEmpty() && !m_queue->isQueued(item.canonical);
        if (!item.refusal.isEmpty()) {
            refuse(item);
            ++m_next;
            continue;
        }
        if (!item.inError.isEmpty()) {
            if (m_queue->ajouterFichierEnErreur(item.path, item.root, item.inError)) {
                ++made;
                ++m_summary.added;
            } else {
                ++m_summary.alreadyQueued;
            }
            ++m_next;
            continue;
        }
        if (!needsReading && !item.canonical.isEmpty()) {
            ++m_summary.alreadyQueued;
        }
        if (!needsReading) {
            // Pictures were registered first; anything else is passed over.
            ++m_next;
            continue;
        }
        const auto reading = m_readings.constFind(m_next);
        if (reading == m_readings.constEnd()) {
            break;
        }
        if (m_sink != nullptr) {
            m_sink->echoUserMessage(QStringLiteral("Lecture des métadonnées de %1")
                                        .arg(QFileInfo(item.path).fileName()));
        }
        if (!reading->read && reading->error.isEmpty() && m_sink != nullptr) {
            // The tool itself is missing: the user is told, not only the log.
            for (const QString& line : reading->logLines) {
                m_sink->echoUserMessage(line);
            }
        }
        if (m_queue->ajouterFichierLu(item.path, item.root, reading.value())) {
            ++made;
            ++m_summary.added;
        } else {
            ++m_summary.alreadyQueued;
        }
        m_readings.erase(reading);
        ++m_next;
    }
    db.commitTransaction();
    if (made > 0) {
        emit filesAdded();
    }
    emit progress(m_next, int(m_items.size()));
    if (m_next >= m_items.size()) {
        finish();
    }
}

void FileAdder::refuse(const Item& item) {
    const QString text = QStringLiteral("%1 non ajouté : %2").arg(item.path, item.refusal);
    Log::write(text);
    if (m_sink != nullptr) {
        m_sink->echoUserMessage(text);
    }
    ++m_summary.refused;
    emit refused(item.path, item.refusal);
}

void FileAdder::finish() {
    m_flushTimer.stop();
    m_pool.clear();
    m_items.clear();
    m_readings.clear();
    m_waitingConfirmation = false;
    m_busy = false;
    if (*m_cancelled) {
        m_summary.cancelled = true;
    }
    if (!m_pending.isEmpty() && !*m_cancelled) {
        start();
        return;
    }
    m_pending.clear();
    emit finished();
}
