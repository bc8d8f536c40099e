#include "ReplayGainValues.h"

#include "conversion/LoudnessScan.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {
// ReplayGain 2.0's reference, and the one Opus's gains are given towards.
constexpr double kReplayGainReference = -18.0;
constexpr double kR128Reference = -23.0;

const QString kTrackGain = QStringLiteral("REPLAYGAIN_TRACK_GAIN");
const QString kTrackPeak = QStringLiteral("REPLAYGAIN_TRACK_PEAK");
const QString kAlbumGain = QStringLiteral("REPLAYGAIN_ALBUM_GAIN");
const QString kAlbumPeak = QStringLiteral("REPLAYGAIN_ALBUM_PEAK");

std::optional<double> number(const TagList& tags, const QString& name) {
    // "-7.03 dB", "+2.1 dB", "0.988", with a comma from some taggers.
    static const QRegularExpression leading(QStringLiteral("^\\s*([-+]?[0-9]*[.,]?[0-9]+)"));
    const QRegularExpressionMatch match = leading.match(tags.first(name));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double value =
        match.captured(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString gainText(double gain) {
    return QStringLiteral("%1 dB").arg(QString::asprintf("%+.2f", gain));
}

QString peakText(double peak) {
    return QString::asprintf("%.6f", peak);
}

int q78(double decibels) {
    return int(std::clamp(std::lround(decibels * 256.0), -32768L, 32767L));
}
} // namespace

bool ReplayGainValues::isLoudnessTag(const QString& name) {
    return name.startsWith(QLatin1String("REPLAYGAIN_"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("R128_"), Qt::CaseInsensitive);
}

ReplayGainValues ReplayGainValues::fromTags(const TagList& tags) {
    ReplayGainValues values;
    values.trackGain = number(tags, kTrackGain);
    values.albumGain = number(tags, kAlbumGain);
    if (values.trackGain) {
        values.trackPeak = number(tags, kTrackPeak);
    }
    if (values.albumGain) {
        values.albumPeak = number(tags, kAlbumPeak);
    }
    return values;
}

double ReplayGainValues::gainForLoudness(double lufs) {
    return kReplayGainReference - lufs;
}

ReplayGainValues ReplayGainValues::measured(const LoudnessScan& track,
                                            std::optional<double> albumLufs,
                                            std::optional<double> albumPeak) {
    ReplayGainValues values;
    if (const std::optional<double> lufs = track.integratedLufs()) {
        values.trackGain = gainForLoudness(*lufs);
        values.trackPeak = track.truePeak();
    }
    if (albumLufs) {
        values.albumGain = gainForLoudness(*albumLufs);
        values.albumPeak = albumPeak;
    }
    return values;
}

ReplayGainValues ReplayGainValues::scaledBy(double gainDb) const {
    if (gainDb == 0.0) {
        return *this;
    }
    const double factor = std::pow(10.0, gainDb / 20.0);
    ReplayGainValues scaled = *this;
    const auto gain = [gainDb](std::optional<double>& value) {
        if (value) {
            *value -= gainDb;
        }
    };
    const auto peak = [factor](std::optional<double>& value) {
        if (value) {
            *value *= factor;
        }
    };
    gain(scaled.trackGain);
    gain(scaled.albumGain);
    peak(scaled.trackPeak);
    peak(scaled.albumPeak);
    return scaled;
}

double ReplayGainValues::gainToApply(ApplyGain which) const {
    if (which == ApplyGain::None) {
        return 0.0;
    }
    const bool album = which == ApplyGain::Album && albumGain;
    const std::optional<double> gain = album ? albumGain : trackGain;
    if (!gain) {
        return 0.0;
    }
    const std::optional<double> peak = album ? albumPeak : trackPeak;
    if (peak && *peak > 0.0) {
        // Never louder than the peak allows: nothing clips.
        return std::min(*gain, -20.0 * std::log10(*peak));
    }
    return *gain;
}

TagList ReplayGainValues::appliedTo(const TagList& tags, bool opus) const {
    TagList result;
    for (const TagList::Entry& entry : tags.entries()) {
        if (!isLoudnessTag(entry.name)) {
            result.append(entry.name, entry.value);
        }
    }
    if (opus) {
        // Opus players read no REPLAYGAIN_* comment: the header carries the
        // gain, and R128_* the rest relative to it.
        const int header = opusOutputGain();
        const double offset = kReplayGainReference - kR128Reference;
        if (trackGain) {
            result.append(QStringLiteral("R128_TRACK_GAIN"),
                          QString::number(q78(*trackGain - offset) - header));
        }
        if (albumGain) {
            result.append(QStringLiteral("R128_ALBUM_GAIN"),
                          QString::number(q78(*albumGain - offset) - header));
        }
        return result;
    }
    if (trackGain) {
        result.append(kTrackGain, gainText(*trackGain));
        if (trackPeak) {
            result.append(kTrackPeak, peakText(*trackPeak));
        }
    }
    if (albumGain) {
        result.append(kAlbumGain, gainText(*albumGain));
        if (albumPeak) {
            result.append(kAlbumPeak, peakText(*albumPeak));
        }
    }
    return result;
}

int ReplayGainValues::opusOutputGain() const {
    const std::optional<double> gain = albumGain ? albumGain : trackGain;
    return gain ? q78(*gain - (kReplayGainReference - kR128Reference)) : 0;
}
