#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <cstdio>

// What every benchmark prints: one "name: value" line per figure.
class BenchReport {
public:
    static void figure(const char* name, double value) {
        std::printf("%s: %.3f\n", name, value);
        std::fflush(stdout);
    }
    // The process's resident memory in megabytes.
    static double residentMegabytes();
    // How long a program takes to run, in seconds; the benchmark stops
    // when it fails.
    static double secondsToRun(const QString& program, const QStringList& arguments);
};
