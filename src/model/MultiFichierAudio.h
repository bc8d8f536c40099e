#pragma once

#include "model/FichierAudio.h"
#include "model/QueueAccess.h"

#include <QList>

#include <functional>
#include <limits>
#include <memory>

class MultiFichierAudio;
using MultiFichierAudioPtr = std::shared_ptr<MultiFichierAudio>;

// The files selected in the list, presented as one audio file: the values
// they share, "-" where they differ, and picture settings passed on to every
// one of them.
class MultiFichierAudio : public FichierAudio {
public:
    static constexpr quint64 kIndexNone = quint64(std::numeric_limits<qint64>::max());
    static const QString kDifference;

    // The queue's records at those positions, in ascending position order.
    static MultiFichierAudioPtr multiFlacAvecSelection(const QueueAccess& queue,
                                                       const QList<qint64>& positions);
    static MultiFichierAudioPtr withRecords(const QList<FichierAudioPtr>& records);

    void readMetadataDictionaries();
    quint32 save() override;
    QString nomElement() const override;

    qint32 imageAutoFind() const override;
    void setImageAutoFind(qint32 value) override;
    qint32 imageSourceType() const override;
    void setImageSourceType(qint32 value) override;
    PersistentURLPtr imageCustomURL() const override;
    void setImageCustomURL(const PersistentURLPtr& url) override;
    quint64 externalImageIndex() override;
    void setExternalImageIndex(quint64 index) override;
    QList<ImagePtr> externalImages() override;
    ImagePtr mainPictureCached(bool cached) override;
    void setImageTempURL(const PersistentURLPtr& url) override;

    // The source comments that pass into the outputs untouched (every name
    // but the edited fields'), each name once with its values joined by
    // "; "; "-" where the files differ.
    QList<QPair<QString, QString>> carriedTags() const;

    const QList<FichierAudioPtr>& listeMultiFichiers() const { return m_listeMultiFichiers; }

private:
    // The value every selected record holds; -1 when two differ.
    qint32 sharedSetting(qint32 (FichierAudio::*setting)() const, qint32 whenEmpty) const;
    // Changes every selected record and saves it at once.
    void setOnEveryRecord(const std::function<void(FichierAudio&)>& change);
    // The selection without the records that repeat the first one's source.
    QList<FichierAudioPtr> distinctRecords() const;

    quint64 m_indexImage = kIndexNone;
    QList<FichierAudioPtr> m_listeMultiFichiers;
    std::optional<QList<ImagePtr>> m_aggregateImages;
};
