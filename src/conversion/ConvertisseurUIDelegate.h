#pragma once

#include "model/FichierAudio.h"

#include <QString>

class ConversionControleur;

// Who follows a conversion pass: told after each attempt to take the next
// file, at the start of each encoding, at the end of each file, and at
// every stop.
class ConvertisseurUIDelegate {
public:
    virtual ~ConvertisseurUIDelegate() = default;
    virtual void updateUIavecControleur(ConversionControleur* controleur) = 0;
    virtual void echoUserMessage(const QString& /*message*/) {}
    // A file's status changed (decoding, encoding) during the pass.
    virtual void fichierChange(ConversionControleur* /*controleur*/,
                               const FichierAudioPtr& /*fichier*/) {}
    // A file of the pass ended, converted or in error; told before the file
    // leaves the list.
    virtual void fichierTermine(ConversionControleur* /*controleur*/,
                                const FichierAudioPtr& /*fichier*/) {}
};
