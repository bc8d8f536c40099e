#include "BatchConverter.h"

#include "cli/BatchRunFolder.h"
#include "cli/TerminationSignals.h"
#include "conversion/ConversionControleur.h"
#include "conversion/Core.h"
#include "conversion/CoverSizing.h"
#include "conversion/FileAdder.h"
#include "model/OutputCodec.h"
#include "model/Settings.h"
#include "queue/GestionnairePileFichier.h"
#include "storage/DatabaseFile.h"
#include "storage/Log.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

namespace {
struct Choice {
    const char* word;
    DestinationKind value;
};
const Choice kDestinations[] = {{"beside", DestinationKind::BesideSource},
                                {"subfolder", DestinationKind::SubfolderOfSource},
                                {"folder", DestinationKind::ChosenFolder},
                                {"tree", DestinationKind::TreeInChosenFolder}};
struct ExistingChoice {
    const char* word;
    ExistingOutput value;
};
const ExistingChoice kExisting[] = {{"error", ExistingOutput::Error},
                                    {"replace", ExistingOutput::Replace},
                                    {"update", ExistingOutput::Update}};

// What a dry run says it would do with an output.
QString plannedWord(ExportSession::Plan plan) {
    switch (plan) {
    case ExportSession::Plan::RewriteTags:
        return QStringLiteral("mettre à jour les tags");
    case ExportSession::Plan::UpToDate:
        return QStringLiteral("à jour");
    case ExportSession::Plan::Convert:
        break;
    }
    return QStringLiteral("convertir");
}
} // namespace

BatchConverter::BatchConverter(Settings& settings, ExternalTools::Paths tools, FILE* output,
                               FILE* errors)
    : m_settings(settings), m_tools(std::move(tools)), m_output(output), m_errors(errors) {}

QString BatchConverter::codecLines() {
    QString lines;
    for (const OutputCodec& codec : OutputCodec::all()) {
        lines += QStringLiteral("      %1 %2 (.%3)\n")
                     .arg(codec.codecName().leftJustified(6), QLatin1String(codec.popupText),
                          codec.fileExtension());
    }
    return lines;
}

QString BatchConverter::usage() {
    return QStringLiteral(
               "Usage : tonebridge [CHEMIN…]\n"
               "        tonebridge --convert [options] CHEMIN…\n"
               "\n"
               "Sans --convert, ouvre la fenêtre et ajoute à sa liste les fichiers FLAC et les\n"
               "dossiers donnés (ou à la liste du Tonebridge déjà ouvert).\n"
               "\n"
               "--convert convertit les fichiers FLAC et les dossiers donnés, sans fenêtre, par\n"
               "une liste privée (la liste de la fenêtre n'est pas touchée), écrit une ligne par\n"
               "fichier dès qu'il est fini (\"OK <source> -> <destination>\" ou\n"
               "\"ERREUR <source> : <raison>\"), puis un bilan, et se termine avec le code 0 "
               "quand\n"
               "tout a été converti, 1 quand un fichier a échoué, 2 pour une erreur d'usage, et\n"
               "130, 143 ou 129 après SIGINT, SIGTERM ou SIGHUP. Les options remplacent les\n"
               "réglages pour cette seule conversion :\n"
               "  --codec CODEC                           format de sortie (par défaut : le\n"
               "                                          réglage, m4a) :\n"
               "%1"
               "  --destination {beside,subfolder,folder,tree}\n"
               "                                          où vont les fichiers : à côté de la\n"
               "                                          source, dans un sous-dossier du sien,\n"
               "                                          dans un dossier, ou dans un dossier en\n"
               "                                          recréant l'arborescence des dossiers\n"
               "                                          donnés\n"
               "  --subfolder NOM                         nom du sous-dossier (subfolder)\n"
               "  --folder DOSSIER                        dossier de folder et de tree\n"
               "  --pattern MOTIF                         avec folder ou tree, nomme les fichiers\n"
               "                                          selon leurs tags : %artist%\n"
               "                                          %albumartist% %album% %title% %track%\n"
               "                                          %disc% %date% %genre% %filename%, un /\n"
               "                                          créant un dossier\n"
               "  --sample-rate HZ                        convertit à cette fréquence\n"
               "  --quality QUALITÉ                       qualité du codec avec perte : MP3 V0\n"
               "                                          à V9 (VBR, par défaut V2) ou 128k à\n"
               "                                          320k (CBR) ; AAC 96k à 320k (256k) ;\n"
               "                                          Opus 32k à 256k (160k) ; Vorbis q0 à\n"
               "                                          q10 (q6)\n"
               "  --max-rate HZ                           fréquence maximale : une source au-\n"
               "                                          dessus va à la plus haute de sa famille\n"
               "                                          en dessous (192000, 96000, 48000, "
               "44100)\n"
               "  --max-bits N                            résolution maximale des formats sans\n"
               "                                          perte, avec dither (24 ou 16)\n"
               "  --bitrate BITS_PAR_SECONDE              le débit offert le plus proche (MP3,\n"
               "                                          AAC, Opus)\n"
               "  --channels {1,2}                        convertit en mono ou en stéréo\n"
               "  --existing {error,replace,update}       un fichier de sortie qui existe déjà\n"
               "                                          est une erreur, est remplacé, ou est\n"
               "                                          refait seulement si sa source, ses\n"
               "                                          tags, sa pochette ou les réglages ont\n"
               "                                          changé (par défaut : update avec tree\n"
               "                                          ou --pattern, error sinon)\n"
               "  --overwrite                             comme --existing replace\n"
               "  --copy-companions                       avec tree, copie aussi les images et\n"
               "                                          livrets (*.jpg *.jpeg *.png *.pdf) à\n"
               "                                          côté des fichiers convertis\n"
               "  --prune                                 met à la corbeille les sorties dont la\n"
               "                                          source a disparu des dossiers donnés\n"
               "  --dry-run                               dit ce qui serait fait de chaque\n"
               "                                          fichier, sans rien changer\n"
               "  --safe-names {auto,always,never}        noms de fichiers que prennent les clés\n"
               "                                          USB et Windows : selon le système de\n"
               "                                          fichiers du dossier (auto), toujours,\n"
               "                                          ou jamais\n"
               "  --cover-max PX                          réduit les pochettes plus grandes à\n"
               "                                          cette taille (1600, 1200, 1000, 800,\n"
               "                                          600, 500, 300 ; 0 : telles quelles)\n"
               "  --cover-file                            écrit aussi cover.jpg dans chaque\n"
               "                                          dossier de sortie\n"
               "  --id3 {2.3,2.4}                         version des tags ID3 des MP3 et AIFF\n"
               "                                          (par défaut : le réglage, 2.4)\n"
               "  --replaygain {copy,scan,none}           volume ReplayGain : copié de la source,\n"
               "                                          mesuré pendant la conversion (piste et\n"
               "                                          album), ou aucun\n"
               "  --apply-gain {track,album}              applique au son des formats avec perte\n"
               "                                          le volume de la piste ou de l'album,\n"
               "                                          sans saturer, pour les lecteurs qui\n"
               "                                          ignorent ReplayGain\n"
               "  --whole-images                          convertit une image de disque avec sa\n"
               "                                          feuille de cue en un seul fichier, sans\n"
               "                                          la découper en pistes\n"
               "  --delete-source                         efface chaque source une fois sa\n"
               "                                          conversion en place\n"
               "  --preserve-date                         donne aux fichiers la date de\n"
               "                                          modification de leur source\n"
               "  --jobs N                                fichiers convertis en même temps (par\n"
               "                                          défaut : le réglage, un par cœur)\n"
               "  --help                                  ce texte\n"
               "  --version                               la version du programme\n")
        .arg(codecLines());
}

void BatchConverter::print(const QString& line) {
    // A name or a tag can hold any character: one printed line stays one
    // line, and an escape never reaches the terminal.
    const QByteArray bytes = Log::withControlsEscaped(line, false).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_output);
    std::fflush(m_output);
}

void BatchConverter::echoUserMessage(const QString& message) {
    const QString line = oneLine(message);
    print(line.isEmpty() ? QStringLiteral("-") : line);
}

QString BatchConverter::applyQuality(const QString& quality, const QString& bitRate) {
    const OutputCodec* codec = OutputCodec::find(m_settings.value(Settings::codec));
    const CodecQuality::Family family =
        codec != nullptr ? CodecQuality::familyOf(*codec) : CodecQuality::Family::None;
    const Setting<QString>* setting = Settings::qualitySetting(family);
    const QString codecName = codec != nullptr ? codec->codecName() : QString();
    if (setting == nullptr) {
        return QStringLiteral("%1 est sans perte : il n'a pas de qualité à choisir").arg(codecName);
    }
    QString chosen = quality;
    if (chosen.isEmpty()) {
        bool number = false;
        const qint64 bitsPerSecond = bitRate.toLongLong(&number);
        if (!number || bitsPerSecond <= 0) {
            return QStringLiteral("valeur invalide pour --bitrate : %1").arg(bitRate);
        }
        if (family == CodecQuality::Family::Vorbis) {
            return QStringLiteral("Vorbis se règle par sa qualité : --quality q0 à q10");
        }
        chosen = CodecQuality::fromBitRate(family, bitsPerSecond);
    }
    if (!CodecQuality::accepts(family, chosen)) {
        return QStringLiteral("valeur invalide pour --quality avec %1 : %2 (%3 : %4)")
            .arg(codecName, chosen, CodecQuality::familyName(family),
                 CodecQuality::choices(family).join(QStringLiteral(", ")));
    }
    m_settings.overrideForRun(*setting, chosen);
    return QString();
}

bool BatchConverter::applyOptions(const QStringList& arguments, QStringList* paths) {
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption convert(QStringLiteral("convert"));
    const QCommandLineOption codec(QStringLiteral("codec"), QString(), QStringLiteral("codec"));
    const QCommandLineOption destination(QStringLiteral("destination"), QString(),
                                         QStringLiteral("where"));
    const QCommandLineOption subfolder(QStringLiteral("subfolder"), QString(),
                                       QStringLiteral("name"));
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("dir"));
    const QCommandLineOption sampleRate(QStringLiteral("sample-rate"), QString(),
                                        QStringLiteral("hz"));
    const QCommandLineOption bitrate(QStringLiteral("bitrate"), QString(), QStringLiteral("bps"));
    const QCommandLineOption quality(QStringLiteral("quality"), QString(),
                                     QStringLiteral("quality"));
    const QCommandLineOption maxRate(QStringLiteral("max-rate"), QString(), QStringLiteral("hz"));
    const QCommandLineOption maxBits(QStringLiteral("max-bits"), QString(), QStringLiteral("n"));
    const QCommandLineOption channels(QStringLiteral("channels"), QString(), QStringLiteral("n"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"));
    const QCommandLineOption existing(QStringLiteral("existing"), QString(),
                                      QStringLiteral("what"));
    const QCommandLineOption copyCompanions(QStringLiteral("copy-companions"));
    const QCommandLineOption prune(QStringLiteral("prune"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption wholeImages(QStringLiteral("whole-images"));
    const QCommandLineOption id3(QStringLiteral("id3"), QString(), QStringLiteral("version"));
    const QCommandLineOption coverMax(QStringLiteral("cover-max"), QString(), QStringLiteral("px"));
    const QCommandLineOption coverFile(QStringLiteral("cover-file"));
    const QCommandLineOption safeNames(QStringLiteral("safe-names"), QString(),
                                       QStringLiteral("when"));
    const QCommandLineOption replayGain(QStringLiteral("replaygain"), QString(),
                                        QStringLiteral("how"));
    const QCommandLineOption applyGain(QStringLiteral("apply-gain"), QString(),
                                       QStringLiteral("which"));
    const QCommandLineOption deleteSource(QStringLiteral("delete-source"));
    const QCommandLineOption preserveDate(QStringLiteral("preserve-date"));
    const QCommandLineOption jobs(QStringLiteral("jobs"), QString(), QStringLiteral("n"));
    const QCommandLineOption pattern(QStringLiteral("pattern"), QString(),
                                     QStringLiteral("pattern"));
    parser.addOptions(
        {convert,  codec,      destination, subfolder,      folder,       sampleRate,   bitrate,
         channels, overwrite,  existing,    copyCompanions, prune,        dryRun,       wholeImages,
         id3,      coverMax,   coverFile,   safeNames,      deleteSource, preserveDate, jobs,
         pattern,  replayGain, applyGain,   quality,        maxRate,      maxBits});
    if (!parser.parse(arguments)) {
        std::fprintf(m_errors, "%s\n", qPrintable(parser.errorText()));
        return false;
    }
    Settings& settings = m_settings;
    // A sub-folder that carries the codec's name follows the codec, as in
    // the settings view; one the user typed there does not.
    const bool autoNameFollowsCodec =
        settings.value(Settings::subfolderName) == settings.value(Settings::codec);
    const auto fail = [this](const QString& text) {
        std::fprintf(m_errors, "%s\n", qPrintable(text));
        return false;
    };
    if (parser.isSet(codec)) {
        const QString value = parser.value(codec);
        if (OutputCodec::find(value) == nullptr) {
            return fail(QStringLiteral("codec inconnu : %1").arg(value));
        }
        settings.overrideForRun(Settings::codec, value);
        if (autoNameFollowsCodec && !parser.isSet(subfolder)) {
            settings.overrideForRun(Settings::subfolderName, value);
        }
    }
    if (parser.isSet(destination)) {
        const QString value = parser.value(destination);
        bool known = false;
        for (const Choice& choice : kDestinations) {
            if (value == QLatin1String(choice.word)) {
                settings.overrideForRun(Settings::destinationKind, choice.value);
                known = true;
            }
        }
        if (!known) {
            return fail(QStringLiteral("destination inconnue : %1").arg(value));
        }
    }
    if (parser.isSet(pattern)) {
        if (!settings.destinationRules().usesChosenFolder()) {
            return fail(QStringLiteral("--pattern va avec --destination folder ou tree"));
        }
        settings.overrideForRun(Settings::nameByTags, true);
        settings.overrideForRun(Settings::namingPattern, parser.value(pattern));
    }
    if (parser.isSet(subfolder)) {
        settings.overrideForRun(Settings::subfolderName, parser.value(subfolder));
    }
    if (parser.isSet(folder)) {
        settings.overrideForRun(Settings::chosenFolder,
                                QFileInfo(parser.value(folder)).absoluteFilePath());
    }
    const std::pair<const QCommandLineOption*, const Setting<qint64>*> numbers[] = {
        {&sampleRate, &Settings::sampleRate},
        {&channels, &Settings::channels},
        {&jobs, &Settings::simultaneousConversions}};
    for (const auto& [option, key] : numbers) {
        if (!parser.isSet(*option)) {
            continue;
        }
        bool ok = false;
        const qint64 value = parser.value(*option).toLongLong(&ok);
        if (!ok || value <= 0 || (option == &channels && value > 2)) {
            return fail(QStringLiteral("valeur invalide pour --%1 : %2")
                            .arg(option->names().first(), parser.value(*option)));
        }
        settings.overrideForRun(*key, value);
    }
    const struct {
        const QCommandLineOption* option;
        const Setting<qint64>* setting;
        const QList<qint64>& offered;
    } limits[] = {{&maxRate, &Settings::maxSampleRate, Settings::maxSampleRates()},
                  {&maxBits, &Settings::maxBits, Settings::maxBitsPerSample()}};
    for (const auto& [option, setting, offered] : limits) {
        if (!parser.isSet(*option)) {
            continue;
        }
        bool number = false;
        const qint64 value = parser.value(*option).toLongLong(&number);
        if (!number || value <= 0 || !offered.contains(value)) {
            QStringList values;
            for (const qint64 each : offered.mid(1)) {
                values << QString::number(each);
            }
            return fail(QStringLiteral("valeur invalide pour --%1 : %2 (%3)")
                            .arg(option->names().constFirst(), parser.value(*option),
                                 values.join(QStringLiteral(", "))));
        }
        settings.overrideForRun(*setting, value);
    }
    if (parser.isSet(quality) || parser.isSet(bitrate)) {
        const QString error =
            applyQuality(parser.isSet(quality) ? parser.value(quality) : QString(),
                         parser.isSet(bitrate) ? parser.value(bitrate) : QString());
        if (!error.isEmpty()) {
            return fail(error);
        }
    }
    // Without a choice, the destination's default; the stored one is the
    // window's.
    ExistingOutput existingChoice =
        parser.isSet(overwrite) ? ExistingOutput::Replace : ExistingOutput::Automatic;
    if (parser.isSet(existing)) {
        const QString value = parser.value(existing);
        bool known = false;
        for (const ExistingChoice& choice : kExisting) {
            if (value == QLatin1String(choice.word)) {
                existingChoice = choice.value;
                known = true;
            }
        }
        if (!known) {
            return fail(QStringLiteral("valeur invalide pour --existing : %1").arg(value));
        }
    }
    settings.overrideForRun(Settings::existingOutput, existingChoice);
    settings.overrideForRun(Settings::legacyOverwrite, false);
    settings.overrideForRun(Settings::copyCompanions, parser.isSet(copyCompanions));
    settings.overrideForRun(Settings::pruneOrphans, parser.isSet(prune));
    m_dryRun = parser.isSet(dryRun);
    settings.overrideForRun(Settings::wholeImages, parser.isSet(wholeImages));
    if (parser.isSet(coverMax)) {
        bool number = false;
        const qint64 side = parser.value(coverMax).toLongLong(&number);
        if (!number || !CoverSizing::limits().contains(side)) {
            return fail(QStringLiteral("valeur invalide pour --cover-max : %1 (0, 1600, 1200, "
                                       "1000, 800, 600, 500 ou 300)")
                            .arg(parser.value(coverMax)));
        }
        settings.overrideForRun(Settings::coverMaxSide, side);
    }
    settings.overrideForRun(Settings::coverFile, parser.isSet(coverFile));
    const struct {
        const QCommandLineOption& option;
        const Setting<qint64>& setting;
        QStringList words;
        // The setting's value for the first word.
        qint64 first;
    } choices[] = {
        {safeNames,
         Settings::portableNames,
         {QStringLiteral("auto"), QStringLiteral("always"), QStringLiteral("never")},
         0},
        {replayGain,
         Settings::replayGain,
         {QStringLiteral("copy"), QStringLiteral("scan"), QStringLiteral("none")},
         0},
        {applyGain, Settings::applyGain, {QStringLiteral("track"), QStringLiteral("album")}, 1},
    };
    for (const auto& choice : choices) {
        if (!parser.isSet(choice.option)) {
            continue;
        }
        const qsizetype index = choice.words.indexOf(parser.value(choice.option));
        if (index < 0) {
            return fail(QStringLiteral("valeur invalide pour --%1 : %2 (%3)")
                            .arg(choice.option.names().constFirst(), parser.value(choice.option),
                                 choice.words.join(QStringLiteral(", "))));
        }
        settings.overrideForRun(choice.setting, choice.first + index);
    }
    if (parser.isSet(id3)) {
        const QString value = parser.value(id3);
        if (value != QLatin1String("2.3") && value != QLatin1String("2.4")) {
            return fail(QStringLiteral("valeur invalide pour --id3 : %1 (2.3 ou 2.4)").arg(value));
        }
        settings.overrideForRun(Settings::id3Version,
                                qint64(value == QLatin1String("2.3") ? 3 : 4));
    }
    settings.overrideForRun(Settings::deleteSource, parser.isSet(deleteSource));
    settings.overrideForRun(Settings::preserveDate, parser.isSet(preserveDate));
    // Every result stays listed until it is printed.
    settings.overrideForRun(Settings::forgetWhenFinished, false);
    *paths = parser.positionalArguments();
    if (paths->isEmpty()) {
        return fail(QStringLiteral("aucun fichier à convertir"));
    }
    return true;
}

void BatchConverter::updateUIavecControleur(ConversionControleur* controleur) {
    if (controleur->statusConvertisseur() == kStatusConvertisseurArrete) {
        m_finished = true;
    }
}

QString BatchConverter::oneLine(const QString& reason) {
    // Scripts read one line per file: a tool's multi-line error text too.
    QStringList parts;
    for (const QString& part : reason.split(QRegularExpression(QStringLiteral("[\r\n]+")))) {
        if (!part.trimmed().isEmpty()) {
            parts << part.trimmed();
        }
    }
    return parts.join(QStringLiteral(" / "));
}

void BatchConverter::finishWhenIdle(ConversionControleur* controleur) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (m_finished && controleur->jobsInFlight() == 0) {
            loop.quit();
        }
    });
    poll.start(10);
    loop.exec();
}

void BatchConverter::printResult(ConversionControleur* controleur, const FichierAudioPtr& fichier) {
    const QString source = fichier->elementURL()->path();
    const std::optional<ConversionControleur::FileEnd> end = controleur->fileEnd(fichier);
    const QString destination =
        fichier->destinationURL() ? fichier->destinationURL()->path() : QString();
    if (end && end->outcome == JobResult::Outcome::Planned) {
        print(QStringLiteral("%1 %2 -> %3").arg(plannedWord(end->plan), source, destination));
        return;
    }
    if (end && end->outcome == JobResult::Outcome::UpToDate) {
        print(QStringLiteral("À JOUR %1 -> %2").arg(source, destination));
        return;
    }
    if (fichier->statusConversion() == kStatusConvFiniOk) {
        const bool retagged = end && end->plan == ExportSession::Plan::RewriteTags;
        print(QStringLiteral("%1 %2 -> %3")
                  .arg(retagged ? QStringLiteral("TAGS") : QStringLiteral("OK"), source,
                       destination));
        return;
    }
    ++m_failures;
    const QString reason = fichier->failureReason().isEmpty() ? fichier->statusLocalizedString()
                                                              : fichier->failureReason();
    print(QStringLiteral("%1 %2 : %3")
              .arg(m_dryRun ? QStringLiteral("erreur") : QStringLiteral("ERREUR"), source,
                   oneLine(reason)));
}

void BatchConverter::fichierTermine(ConversionControleur* controleur,
                                    const FichierAudioPtr& fichier) {
    printResult(controleur, fichier);
}

int BatchConverter::addPaths(FileAdder* adder, const QStringList& paths) {
    int failures = 0;
    QStringList accepted;
    for (const QString& argument : paths) {
        const QFileInfo info(argument);
        const QString path = info.absoluteFilePath();
        if (!info.exists() && path.contains(QChar::ReplacementCharacter)) {
            // Bytes that are no UTF-8 were lost when the name became text.
            print(QStringLiteral("ERREUR %1 : nom de fichier illisible (pas en UTF-8)").arg(path));
            ++failures;
        } else if (!info.exists()) {
            print(QStringLiteral("ERREUR %1 : introuvable").arg(path));
            ++failures;
        } else if (!info.isDir() &&
                   info.suffix().compare(QLatin1String("flac"), Qt::CaseInsensitive) != 0 &&
                   info.suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) != 0) {
            print(QStringLiteral("ERREUR %1 : pas un fichier FLAC").arg(path));
            ++failures;
        } else {
            accepted << path;
        }
    }
    // The window's own add path: tags read on a pool of threads. What a
    // folder holds that cannot be added is an error too.
    const QMetaObject::Connection refusals = QObject::connect(
        adder, &FileAdder::refused, [this, &failures](const QString& path, const QString& reason) {
            print(QStringLiteral("ERREUR %1 : %2").arg(path, reason));
            ++failures;
        });
    adder->add(accepted);
    adder->waitUntilDone();
    QObject::disconnect(refusals);
    return failures;
}

int BatchConverter::run(const QStringList& arguments) {
    if (arguments.contains(QStringLiteral("--help"))) {
        std::fprintf(m_output, "%s", qPrintable(usage()));
        return 0;
    }
    QStringList paths;
    if (!applyOptions(arguments, &paths)) {
        std::fprintf(m_errors, "%s", qPrintable(usage()));
        return 2;
    }
    BatchRunFolder::removeDeadRuns();
    TerminationSignals termination;
    BatchRunFolder privateFolder;
    if (!privateFolder.isValid()) {
        std::fprintf(m_errors, "%s\n", "dossier temporaire impossible");
        return 1;
    }
    Core context(m_settings, m_tools, privateFolder.picturesPath());
    connect(&context.messages(), &MessageRelay::said, this, &BatchConverter::echoUserMessage);
    QString records = m_recordsDatabase;
    if (!records.isEmpty() && DatabaseFile::isNotADatabase(records)) {
        // An unreadable database is the window's to set aside. A dry run
        // reads the records and writes none.
        records.clear();
    }
    context.startUp(privateFolder.databasePath(), records);
    ConversionControleur* controleur = context.controleur();
    controleur->setDryRun(m_dryRun);
    controleur->setTemporaryJournal(privateFolder.journalPath());
    GestionnairePileFichier* pile = context.queue();

    // A signal during a long addition stops it after the files in hand.
    QObject::connect(&termination, &TerminationSignals::terminationRequested, context.fileAdder(),
                     &FileAdder::cancel);
    m_failures = addPaths(context.fileAdder(), paths);
    if (pile->countOfFichiersAudio() == 0 && m_failures == 0) {
        print(QStringLiteral("Aucun fichier FLAC à convertir"));
    }
    // A signal stops the pass as the window's stop does: the file in hand
    // goes back to ready and its temporaries and partial output go.
    QObject::connect(&termination, &TerminationSignals::terminationRequested, this, [&] {
        if (controleur->isRunning()) {
            controleur->arreterLaConversion();
        }
        m_finished = true;
    });
    controleur->setDelegate(this);
    if (TerminationSignals::received() == 0) {
        controleur->demarrerLaConversion(m_failures);
        finishWhenIdle(controleur);
    }
    controleur->setDelegate(nullptr);

    const int signalNumber = TerminationSignals::received();
    // The private list and the pictures exported from its sources go with
    // the run's private folder: nothing here touches a destination, which
    // may have stalled.
    m_settings.clearRunOverrides();
    if (signalNumber != 0) {
        return TerminationSignals::exitStatus(signalNumber);
    }
    return m_failures == 0 ? 0 : 1;
}
