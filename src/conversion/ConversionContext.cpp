#include "ConversionContext.h"

#include "conversion/ConversionControleur.h"
#include "conversion/FLACdecoder.h"

ConversionContext* ConversionContext::current() {
    return ModelContext::currentAs<ConversionContext>();
}

void ConversionContext::echoUserMessage(const QString& message) {
    ConversionContext* context = current();
    if (context != nullptr && context->messageSink() != nullptr) {
        context->messageSink()->echoUserMessage(message);
    }
}

MetadataReader* ConversionContext::metadataReader() const {
    ConversionControleur* controller = controleur();
    return controller != nullptr ? controller->decodeurFLAC() : nullptr;
}
