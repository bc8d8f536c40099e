#include "ConversionControleur.h"

#include "conversion/ConversionContext.h"
#include "conversion/ConvertisseurUIDelegate.h"
#include "conversion/FLACdecoder.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/FileManager.h"
#include "storage/Log.h"
#include "storage/UserDefaults.h"

#include <QFileInfo>

ConversionControleur::ConversionControleur(QObject* parent)
    : QObject(parent), m_flacd(new FLACdecoder(this)) {}

ConversionControleur::~ConversionControleur() = default;

GestionnairePileFichier* ConversionControleur::_pileFichiers() const {
    QueueContext* context = QueueContext::current();
    return context != nullptr ? context->pileFichiers() : nullptr;
}

bool ConversionControleur::isRunning() const {
    return (statusConvertisseur() & ~1) == kStatusConvertisseurDecodage;
}

void ConversionControleur::notifyDelegate() {
    if (m_delegate != nullptr) {
        m_delegate->updateUIavecControleur(this);
    }
}

void ConversionControleur::demarrerLaConversion() {
    if (isRunning()) {
        arreterLaConversion();
    }
    m_statusConvertisseur = kStatusConvertisseurDecodage;
    m_passConverted = 0;
    m_passFailed = 0;
    m_passOutputs.clear();
    convertirProchainFichier();
}

QString ConversionControleur::reasonToRefuse(const FichierAudioPtr& fichier) const {
    if (!fichier->originalExists()) {
        const PersistentURLPtr source = fichier->elementURL();
        return QStringLiteral("Fichier %1 absent").arg(source ? source->path() : QString());
    }
    const PersistentURLPtr destination = fichier->destinationURL();
    // An output written earlier in this pass is never replaced by another
    // source of the pass, whatever the overwrite setting: that setting is
    // about files that were there before the pass.
    const auto owner = m_passOutputs.constFind(destination->path());
    if (owner != m_passOutputs.constEnd() && owner.value() != fichier->elementURL()->path()) {
        return QStringLiteral("Le fichier %1 est déjà la sortie de %2")
            .arg(destination->path(), owner.value());
    }
    if (!UserDefaults::standard().boolForKey(QStringLiteral("DestinationEcraserExistant")) &&
        destination->exists()) {
        return QStringLiteral("Le fichier %1 existe déjà").arg(destination->fileName());
    }
    return QString();
}

void ConversionControleur::refuse(const FichierAudioPtr& fichier, const QString& reason) {
    fichier->setStatusConversion(kStatusConvFiniErreur);
    fichier->setFailureReason(reason);
    fichier->save();
    ++m_passFailed;
    ConversionContext::echoUserMessage(reason);
}

void ConversionControleur::reserveDestination(const FichierAudioPtr& fichier) {
    m_passOutputs.insert(fichier->destinationURL()->path(), fichier->elementURL()->path());
}

void ConversionControleur::releaseDestination(const FichierAudioPtr& fichier) {
    const PersistentURLPtr destination = fichier->destinationURL();
    const auto owner = m_passOutputs.constFind(destination->path());
    if (owner != m_passOutputs.constEnd() && owner.value() == fichier->elementURL()->path()) {
        m_passOutputs.erase(owner);
    }
}

bool ConversionControleur::convertirProchainFichier() {
    if (statusConvertisseur() == kStatusConvertisseurInactif || !isRunning()) {
        return false;
    }
    GestionnairePileFichier* pile = _pileFichiers();
    if (pile == nullptr) {
        return false;
    }
    bool result = false;
    for (;;) {
        FichierAudioPtr fichier = pile->nextObject();
        // Files already converted without error are not converted again.
        while (fichier && fichier->statusConversion() == kStatusConvFiniOk) {
            fichier = pile->nextObject();
        }
        if (fichier) {
            const QString refusal = reasonToRefuse(fichier);
            if (!refusal.isEmpty()) {
                refuse(fichier, refusal);
                continue;
            }
            reserveDestination(fichier);
            m_fichierEnMain = fichier;
            result = m_flacd->convertirFichier(fichier);
            break;
        }
        if (pile->enumeratorIndex() < pile->countOfFichiersAudio()) {
            Log::write(QStringLiteral("Erreur Conversion"));
            return false;
        }
        m_statusConvertisseur = kStatusConvertisseurFini;
        arreterLaConversion();
        pile->remettreAuDebut();
        result = false;
        break;
    }
    notifyDelegate();
    return result;
}

bool ConversionControleur::commencerEncodage(const FichierAudioPtr& fichier) {
    m_statusConvertisseur = kStatusConvertisseurCodage;
    if (fichier->statusConversion() != kStatusConvFiniErreur) {
        fichier->setStatusConversion(kStatusConvEncoursCodage);
    }
    bool failed = false;
    QString reason;
    if (fichier->statusConversion() == kStatusConvEncoursCodage &&
        !m_flacd->writeMetadataToDestinationFile(fichier, &reason)) {
        Log::write(QStringLiteral("Erreur écriture métadata\n%1").arg(reason));
        failed = true;
    }
    notifyDelegate();
    if (failed) {
        ConversionContext::echoUserMessage(reason);
        echouerFichier(fichier, reason);
    }
    return true;
}

bool ConversionControleur::terminerFichier(const FichierAudioPtr& fichier) {
    const bool succeeded = fichier->destinationExists();
    if (!succeeded) {
        releaseDestination(fichier);
    }
    fichier->setStatusConversion(succeeded ? kStatusConvFiniOk : kStatusConvFiniErreur);
    ++(succeeded ? m_passConverted : m_passFailed);
    if (!succeeded) {
        fichier->setFailureReason(
            QStringLiteral("Le fichier %1 est absent").arg(fichier->destinationURL()->fileName()));
    } else {
        fichier->setFailureReason(QString());
    }
    const QFileInfo output(fichier->destinationURL()->path());
    if (output.exists()) {
        fichier->outMetadataDict()->insert(QStringLiteral("NSURLFileSizeKey"), output.size());
    }
    fichier->supprimerTempFile();
    fichier->save();
    const auto& defaults = UserDefaults::standard();
    if (succeeded && defaults.boolForKey(QStringLiteral("DestinationEffacerOriginal"))) {
        QString error;
        const QString source = fichier->elementURL()->path();
        if (!FileManager::removeItem(source, &error)) {
            Log::write(QStringLiteral("Impossible de supprimer %1\n%2").arg(source, error));
        }
    }
    if (succeeded && defaults.boolForKey(QStringLiteral("ForgetWhenFinished"))) {
        if (GestionnairePileFichier* pile = _pileFichiers()) {
            pile->supprimerFichierAudio(fichier);
        }
    }
    return prendreLeSuivant();
}

bool ConversionControleur::prendreLeSuivant() {
    m_statusConvertisseur = kStatusConvertisseurDecodage;
    m_fichierEnMain.reset();
    const bool next = convertirProchainFichier();
    if (!next) {
        arreterLaConversion();
    }
    return next;
}

bool ConversionControleur::echouerFichier(const FichierAudioPtr& fichier, const QString& reason) {
    if (fichier) {
        ++m_passFailed;
        releaseDestination(fichier);
        fichier->setStatusConversion(kStatusConvFiniErreur);
        if (!reason.isEmpty()) {
            fichier->setFailureReason(reason);
        }
        fichier->supprimerTempFile();
        fichier->save();
    }
    if (!isRunning()) {
        return false;
    }
    return prendreLeSuivant();
}

void ConversionControleur::cleanUpInterruptedFile(const FichierAudioPtr& fichier) {
    const qint32 status = fichier->statusConversion();
    if (status != kStatusConvEncoursDecodage && status != kStatusConvEncoursCodage) {
        return;
    }
    releaseDestination(fichier);
    // The destination is never half-written (the export renames a complete
    // file onto it), so only the temporary files go.
    const PersistentURLPtr temporary = fichier->tempDestinationURL();
    if (temporary && temporary->exists()) {
        QString error;
        if (!FileManager::removeItem(temporary->path(), &error)) {
            Log::write(
                QStringLiteral("Impossible de supprimer %1\n%2").arg(temporary->path(), error));
        }
    }
    fichier->setStatusConversion(kStatusConvPret);
}

void ConversionControleur::arreterLaConversion() {
    const FichierAudioPtr enMain = m_fichierEnMain;
    m_flacd->arreterLaConversion();
    m_statusConvertisseur = kStatusConvertisseurArrete;
    if (enMain) {
        cleanUpInterruptedFile(enMain);
    }
    m_fichierEnMain.reset();
    if (m_delegate != nullptr) {
        m_delegate->echoUserMessage(QStringLiteral("Conversion Terminée."));
    }
}

float ConversionControleur::pourcent() const {
    const GestionnairePileFichier* pile = _pileFichiers();
    const float percent = pile != nullptr ? pile->pourcent() * 100.0f : 0.0f;
    return std::clamp(percent, 0.0f, 100.0f);
}

qint32 ConversionControleur::indexFichier() const {
    const GestionnairePileFichier* pile = _pileFichiers();
    return pile != nullptr ? qint32(pile->enumeratorIndex()) : 0;
}
