#pragma once

#include "model/FinderElement.h"

// A file element; the base of the audio file records.
class Fichier : public FinderElement {
public:
    virtual bool supprimer2LaPile() { return true; }
    QString description() const override;
};
