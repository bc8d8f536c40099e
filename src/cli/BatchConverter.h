#pragma once

#include "conversion/ConvertisseurUIDelegate.h"
#include "conversion/ExternalTools.h"
#include "conversion/MessageSink.h"

#include <QObject>
#include <QSet>
#include <QStringList>

#include <cstdio>

class FileAdder;
class GestionnairePileFichier;
class Settings;

// `tonebridge --convert [options] PATH…`: converts files and folders from a
// terminal or a script, through a private queue in a temporary database (the
// user's queue is never touched) and the same controller and export as the
// window. Options override the user's settings for this run only. Lives on
// the main thread.
class BatchConverter : public QObject, public ConvertisseurUIDelegate, public MessageSink {
    Q_OBJECT
public:
    BatchConverter(Settings& settings, ExternalTools::Paths tools, FILE* output = stdout,
                   FILE* errors = stderr);

    // The user's database, where what each output was made from is kept
    // from one run to the next; none: in the run's private one.
    void setRecordsDatabase(const QString& path) { m_recordsDatabase = path; }
    // Answers the exit status: 0 when every file converted or was up to
    // date, 1 when any failed, 2 on a usage error.
    int run(const QStringList& arguments);
    static QString usage();
    // One line per output codec of the table: its word, name and extension.
    static QString codecLines();

    void updateUIavecControleur(ConversionControleur* controleur) override;
    // Each file's result line is printed as soon as the file ends.
    void fichierTermine(ConversionControleur* controleur, const FichierAudioPtr& fichier) override;
    void echoUserMessage(const QString& message) override;

private:
    bool applyOptions(const QStringList& arguments, QStringList* paths);
    // Sets the chosen codec's quality from --quality, or from --bitrate;
    // the error, or empty.
    QString applyQuality(const QString& quality, const QString& bitRate);
    void print(const QString& line);
    void finishWhenIdle(ConversionControleur* controleur);
    // Queues the paths; answers how many could not be (missing, not FLAC).
    int addPaths(FileAdder* adder, const QStringList& paths);
    void printResult(ConversionControleur* controleur, const FichierAudioPtr& fichier);

public:
    // A reason as one line: its line breaks become " / ".
    static QString oneLine(const QString& reason);

private:
    Settings& m_settings;
    ExternalTools::Paths m_tools;
    FILE* m_output;
    FILE* m_errors;
    QString m_recordsDatabase;
    bool m_dryRun = false;
    bool m_finished = false;
    int m_failures = 0;
};
