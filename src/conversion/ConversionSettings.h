#pragma once

#include <QString>

class UserDefaults;

// The settings a pass converts with, read once when it starts: a change
// made during a pass applies to the next one. A value, copied to the jobs.
struct ConversionSettings {
    QString codec;
    bool overwrite = false;
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

    static ConversionSettings fromDefaults(const UserDefaults& defaults);
    // The setting "Conversions simultanées": 0 means one per core.
    static int resolveJobs(qint64 setting);
};
