#pragma once

#include "model/FichierAudio.h"

#include <QHash>
#include <QObject>

#include <atomic>
#include <memory>

class ConvertisseurUIDelegate;
class FLACdecoder;
class GestionnairePileFichier;

// Controller states.
enum StatusConvertisseur : qint32 {
    kStatusConvertisseurInactif = 1,
    kStatusConvertisseurDecodage = 2,
    kStatusConvertisseurCodage = 3,
    kStatusConvertisseurArrete = 4,
    kStatusConvertisseurFini = 5,
};

// Runs a conversion pass over the queue, one file after the other: hands
// each file to the decoder, starts its encoding, records its result and
// takes the next, until the queue is exhausted or the user stops.
class ConversionControleur : public QObject {
    Q_OBJECT
public:
    explicit ConversionControleur(QObject* parent = nullptr);
    ~ConversionControleur() override;

    void demarrerLaConversion();
    void arreterLaConversion();
    bool convertirProchainFichier();
    // The decoder ended with exit status 0.
    bool commencerEncodage(const FichierAudioPtr& fichier);
    // The export of the file completed.
    bool terminerFichier(const FichierAudioPtr& fichier);
    // Decoding or encoding failed: the file ends in error with its reason
    // and the pass goes on with the next file.
    bool echouerFichier(const FichierAudioPtr& fichier, const QString& reason);

    // A pass is running: a file is being decoded or encoded, or the next taken.
    bool isRunning() const;
    float pourcent() const;
    qint32 indexFichier() const;
    qint32 statusConvertisseur() const { return m_statusConvertisseur.load(); }
    FLACdecoder* decodeurFLAC() const { return m_flacd; }
    ConvertisseurUIDelegate* delegate() const { return m_delegate; }
    void setDelegate(ConvertisseurUIDelegate* delegate) { m_delegate = delegate; }
    // The file last handed to the decoder while it is being converted.
    FichierAudioPtr fichierEnMain() const { return m_fichierEnMain; }
    // How the files of the current or last pass ended.
    int passConverted() const { return m_passConverted; }
    int passFailed() const { return m_passFailed; }

private:
    GestionnairePileFichier* _pileFichiers() const;
    void notifyDelegate();
    // After a file's end: the pass takes the next file, or stops.
    bool prendreLeSuivant();
    // Why a file cannot be converted before it is decoded (its source is
    // gone, another file of the pass wrote its destination, or the
    // destination exists while overwriting is off); empty when it can.
    QString reasonToRefuse(const FichierAudioPtr& fichier) const;
    // Ends a file in error before it was decoded; the pass goes on.
    void refuse(const FichierAudioPtr& fichier, const QString& reason);
    // The destination of a file in hand is its own for the rest of the pass
    // once it is written; a file that fails or stops gives it back.
    void reserveDestination(const FichierAudioPtr& fichier);
    void releaseDestination(const FichierAudioPtr& fichier);
    void cleanUpInterruptedFile(const FichierAudioPtr& fichier);

    std::atomic<qint32> m_statusConvertisseur{kStatusConvertisseurInactif};
    ConvertisseurUIDelegate* m_delegate = nullptr;
    FLACdecoder* m_flacd;
    FichierAudioPtr m_fichierEnMain;
    // The outputs of this pass and the source each belongs to.
    QHash<QString, QString> m_passOutputs;
    int m_passConverted = 0;
    int m_passFailed = 0;
};
