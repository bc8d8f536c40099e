#pragma once

#include <QString>

class FichierAudio;

// Reads a source's tags into its record, on the calling thread: what the
// model needs from the decoder's tag reader above it.
class MetadataReader {
public:
    virtual ~MetadataReader() = default;
    // Fills the file's metadata records from its source; false with the
    // failure reason in *error.
    virtual bool readMetadataFromOriginalFile(FichierAudio* file, QString* error) = 0;
};
