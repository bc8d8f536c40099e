#pragma once

#include <QString>

class ConversionControleur;

// Who follows a conversion pass: told after each attempt to take the next
// file, at the start of each encoding, and at every stop.
class ConvertisseurUIDelegate {
public:
    virtual ~ConvertisseurUIDelegate() = default;
    virtual void updateUIavecControleur(ConversionControleur* controleur) = 0;
    virtual void echoUserMessage(const QString& /*message*/) {}
};
