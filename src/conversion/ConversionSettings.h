#pragma once

#include "model/DestinationRules.h"

#include <QString>

class Settings;

// The settings a pass converts with, read once when it starts: a change
// made during a pass applies to the next one. A value, copied to the jobs.
struct ConversionSettings {
    QString codec;
    // Where the outputs go and how they are named.
    DestinationRules destination;
    ExistingOutput existing = ExistingOutput::Error;
    bool deleteSource = false;
    bool preserveDate = false;
    bool forgetWhenFinished = true;
    // Negative: keep the source's, or the codec's default.
    qint64 sampleRate = -1;
    qint64 channels = -1;
    qint64 bitRate = -1;
    qint64 compression = -1;
    // How many files convert at once, resolved: at least 1.
    int jobs = 1;

    static ConversionSettings fromSettings(const Settings& settings);
    // The setting "Conversions simultanées": 0 means one per core.
    static int resolveJobs(qint64 setting);
};
