#include "ConversionContext.h"

#include "conversion/ConversionControleur.h"
#include "conversion/FLACdecoder.h"

ConversionContext* ConversionContext::current() {
    return ModelContext::currentAs<ConversionContext>();
}

MetadataReader* ConversionContext::metadataReader() const {
    ConversionControleur* controller = controleur();
    return controller != nullptr ? controller->decodeurFLAC() : nullptr;
}
