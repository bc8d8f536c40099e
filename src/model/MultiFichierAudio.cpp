#include "MultiFichierAudio.h"

#include "model/CarriedTags.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>

const QString MultiFichierAudio::kDifference = QStringLiteral("-");

MultiFichierAudioPtr MultiFichierAudio::multiFlacAvecSelection(const QueueAccess& queue,
                                                               const QList<qint64>& positions) {
    QList<FichierAudioPtr> records;
    if (!positions.isEmpty()) {
        const QList<FichierAudioPtr> list = queue.fichiersAudio();
        QList<qint64> sorted = positions;
        std::sort(sorted.begin(), sorted.end());
        sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
        for (const qint64 position : std::as_const(sorted)) {
            if (position >= 0 && position < list.size()) {
                records.append(list.at(position));
            }
        }
    }
    return withRecords(records);
}

MultiFichierAudioPtr MultiFichierAudio::withRecords(const QList<FichierAudioPtr>& records) {
    auto aggregate = std::make_shared<MultiFichierAudio>();
    aggregate->m_listeMultiFichiers = records;
    aggregate->readMetadataDictionaries();
    return aggregate;
}

QList<QPair<QString, QString>> MultiFichierAudio::carriedTags() const {
    CarriedTags carried;
    FichierAudio::forEachSourceTags(m_listeMultiFichiers,
                                    [&carried](const TagList& comments) { carried.add(comments); });
    return carried.rows();
}

void MultiFichierAudio::readMetadataDictionaries() {
    auto input = MetadataDictionary::withType(MetadataDictionary::kInput);
    auto output = MetadataDictionary::withType(MetadataDictionary::kOutput);
    QList<std::pair<const MetadataDictionary*, const MetadataDictionary*>> sets;
    sets.reserve(m_listeMultiFichiers.size());
    for (const FichierAudioPtr& record : std::as_const(m_listeMultiFichiers)) {
        sets.emplace_back(record->inMetadataDict().get(), record->outMetadataDict().get());
    }
    MetadataDictionary::aggregate(sets, kDifference, *input, *output);
    setInMetadataDict(input);
    setOutMetadataDict(output);
}

quint32 MultiFichierAudio::save() {
    for (const FichierAudioPtr& record : std::as_const(m_listeMultiFichiers)) {
        record->save();
    }
    return 1;
}

QString MultiFichierAudio::nomElement() const {
    if (m_listeMultiFichiers.isEmpty()) {
        return kDifference;
    }
    if (m_listeMultiFichiers.size() == 1) {
        return m_listeMultiFichiers.first()->nomElement();
    }
    return QStringLiteral("%1 fichiers sélectionnés").arg(m_listeMultiFichiers.size());
}

qint32 MultiFichierAudio::sharedSetting(qint32 (FichierAudio::*setting)() const,
                                        qint32 whenEmpty) const {
    if (m_listeMultiFichiers.isEmpty()) {
        return whenEmpty;
    }
    const qint32 first = (*m_listeMultiFichiers.first().*setting)();
    for (const FichierAudioPtr& record : m_listeMultiFichiers) {
        if ((*record.*setting)() != first) {
            return -1;
        }
    }
    return first;
}

void MultiFichierAudio::setOnEveryRecord(const std::function<void(FichierAudio&)>& change) {
    for (const FichierAudioPtr& record : std::as_const(m_listeMultiFichiers)) {
        change(*record);
        record->save();
    }
}

qint32 MultiFichierAudio::imageAutoFind() const {
    return sharedSetting(&FichierAudio::imageAutoFind, -1);
}

void MultiFichierAudio::setImageAutoFind(qint32 value) {
    setOnEveryRecord([value](FichierAudio& record) { record.setImageAutoFind(value); });
}

qint32 MultiFichierAudio::imageSourceType() const {
    return sharedSetting(&FichierAudio::imageSourceType, -2);
}

void MultiFichierAudio::setImageSourceType(qint32 value) {
    setOnEveryRecord([value](FichierAudio& record) { record.setImageSourceType(value); });
}

PersistentURLPtr MultiFichierAudio::imageCustomURL() const {
    if (m_listeMultiFichiers.isEmpty()) {
        return nullptr;
    }
    const PersistentURLPtr first = m_listeMultiFichiers.first()->imageCustomURL();
    for (const FichierAudioPtr& record : m_listeMultiFichiers) {
        const PersistentURLPtr other = record->imageCustomURL();
        if (bool(first) != bool(other) || (first && !first->sameLocation(*other))) {
            return nullptr;
        }
    }
    return first;
}

void MultiFichierAudio::setImageCustomURL(const PersistentURLPtr& url) {
    setOnEveryRecord([&url](FichierAudio& record) { record.setImageCustomURL(url); });
}

void MultiFichierAudio::setImageTempURL(const PersistentURLPtr& url) {
    for (const FichierAudioPtr& record : std::as_const(m_listeMultiFichiers)) {
        record->setImageTempURL(url);
    }
}

QList<FichierAudioPtr> MultiFichierAudio::distinctRecords() const {
    QList<FichierAudioPtr> records;
    QString firstBase;
    for (const FichierAudioPtr& record : m_listeMultiFichiers) {
        const PersistentURLPtr source = record->elementURL();
        const QString base = source ? source->pathWithoutExtension() : QString();
        if (records.isEmpty()) {
            firstBase = base;
        } else if (base == firstBase) {
            continue;
        }
        records.append(record);
    }
    return records;
}

QList<ImagePtr> MultiFichierAudio::externalImages() {
    if (m_aggregateImages) {
        return *m_aggregateImages;
    }
    QList<ImagePtr> images;
    if (m_listeMultiFichiers.size() == 1) {
        images = m_listeMultiFichiers.first()->externalImages();
    } else {
        for (const FichierAudioPtr& record : distinctRecords()) {
            images += record->externalImages();
        }
    }
    m_aggregateImages = images;
    setExternalImageIndex(0);
    return images;
}

quint64 MultiFichierAudio::externalImageIndex() {
    if (m_indexImage != kIndexNone) {
        return m_indexImage;
    }
    for (const FichierAudioPtr& record : distinctRecords()) {
        m_indexImage = record->externalImageIndex();
    }
    return m_indexImage;
}

void MultiFichierAudio::setExternalImageIndex(quint64 index) {
    for (const FichierAudioPtr& record : distinctRecords()) {
        record->setExternalImageIndex(index);
        record->save();
    }
    m_indexImage = index;
}

ImagePtr MultiFichierAudio::mainPictureCached(bool cached) {
    if (m_listeMultiFichiers.isEmpty()) {
        return nullptr;
    }
    if (m_listeMultiFichiers.size() == 1) {
        ImagePtr picture = m_listeMultiFichiers.first()->mainPictureCached(cached);
        return picture ? picture : Image::named(QStringLiteral("flac-icon256.png"));
    }
    ImagePtr shared;
    bool first = true;
    for (const FichierAudioPtr& record : m_listeMultiFichiers) {
        ImagePtr picture = record->mainPictureCached(cached);
        if (first) {
            shared = picture;
            first = false;
        } else if (picture != shared) {
            return Image::named(QStringLiteral("multiflac256"));
        }
    }
    return shared ? shared : Image::named(QStringLiteral("multiflac256"));
}
