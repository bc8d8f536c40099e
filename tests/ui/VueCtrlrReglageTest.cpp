#include "ui/VueCtrlrReglage.h"
#include "model/CodecQuality.h"

#include "storage/UserDefaults.h"
#include "support/FlacFactory.h"
#include "support/PassRunner.h"
#include "support/TestApp.h"
#include "support/TestEnvironment.h"
#include "ui/ElidedLabel.h"
#include "ui/VueCtrlrFilez.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
int tag(QComboBox* popup) {
    return popup->currentIndex() < 0 ? -100 : popup->currentData().toInt();
}

void choose(VueCtrlrReglage& view, QComboBox* popup, int tag) {
    popup->setCurrentIndex(popup->findData(tag));
    view.changingPopUp(popup);
}

QString source(const QString& name, double seconds = 0.2) {
    FlacFactory::Options options;
    options.seconds = seconds;
    options.tags = FlacFactory::fullTags(name);
    return FlacFactory::make(TestEnvironment::home() + "/Music/" + name + ".flac", options);
}
} // namespace

TEST(SettingsView, FirstStartShowsTheRegisteredDefaults) {
    TestApp app;
    VueCtrlrReglage& view = app.reglage();
    EXPECT_EQ(tag(view.formatConversionPopUp()), 1);
    EXPECT_EQ(view.formatConversionPopUp()->currentText(), "M4A (AAC)");
    EXPECT_EQ(tag(view.qualitePopUp()),
              int(CodecQuality::choices(CodecQuality::Family::Aac).indexOf("256k")))
        << "AAC at 256 kbit/s by default";
    for (QComboBox* popup :
         {view.frequenceEchantillonPopUp(), view.compressionPopUp(), view.canauxPopUp()}) {
        EXPECT_EQ(tag(popup), -1) << popup->objectName().toStdString();
        EXPECT_EQ(popup->currentText(), "Auto");
    }
    EXPECT_EQ(view.folderRadioMatrix()->checkedId(), 0);
    EXPECT_FALSE(view.autoFolderTextField()->isEnabled());
    EXPECT_FALSE(view.customFolderChooseBout()->isEnabled());
    EXPECT_EQ(view.labelCustomFolder()->text(), "~/Music");
    EXPECT_FALSE(view.preserveDateCheckBox()->isChecked());
    EXPECT_FALSE(view.effacerOriginalCheckBox()->isChecked());
    EXPECT_EQ(tag(view.existantPopUp()), int(ExistingOutput::Error))
        << "outputs beside their source: an existing one is an error by default";
    EXPECT_FALSE(view.copierCompagnonsCheckBox()->isEnabled());
    EXPECT_EQ(view.labelExempleAutoFolder()->text(), "Exemple : -");
    EXPECT_FALSE(view.startBouton()->isEnabled());
    EXPECT_FALSE(view.stopBouton()->isEnabled());
    EXPECT_GE(view.minimumWidth(), 370);
    EXPECT_GE(view.minimumHeight(), 400);
}

TEST(SettingsView, PopupsWriteTheirValues) {
    TestApp app;
    VueCtrlrReglage& view = app.reglage();
    auto& defaults = TestEnvironment::defaults();
    choose(view, view.formatConversionPopUp(), 2);
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "aif");
    EXPECT_EQ(defaults.stringForKey("DestinationAutoName"), "aif") << "the automatic name follows";
    EXPECT_EQ(view.autoFolderTextField()->text(), "aif");
    view.autoFolderTextField()->setText("Converted");
    view.controlTextDidEndEditing();
    choose(view, view.formatConversionPopUp(), 0);
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "mp3");
    EXPECT_EQ(defaults.stringForKey("DestinationAutoName"), "Converted") << "a typed name stays";

    EXPECT_EQ(view.formatConversionPopUp()->count(), 10);
    EXPECT_EQ(view.formatConversionPopUp()->itemText(7), "Apple Lossless (ALAC)");
    choose(view, view.formatConversionPopUp(), 7);
    EXPECT_EQ(defaults.stringForKey("ConversionCodec"), "alac");
    EXPECT_EQ(defaults.stringForKey("DestinationAutoName"), "Converted");
    view.autoFolderTextField()->setText("alac");
    view.controlTextDidEndEditing();
    choose(view, view.formatConversionPopUp(), 8);
    EXPECT_EQ(defaults.stringForKey("DestinationAutoName"), "opus") << "it follows again";

    choose(view, view.frequenceEchantillonPopUp(), 2);
    EXPECT_EQ(defaults.integerForKey("ConversionFrequence"), 32000);
    choose(view, view.frequenceEchantillonPopUp(), -1);
    EXPECT_EQ(defaults.integerForKey("ConversionFrequence"), -1);
    // Opus has qualities of its own and one sample rate.
    EXPECT_EQ(view.qualitePopUp()->count(),
              CodecQuality::choices(CodecQuality::Family::Opus).size());
    EXPECT_FALSE(view.frequenceEchantillonPopUp()->isEnabled());
    choose(view, view.qualitePopUp(),
           int(CodecQuality::choices(CodecQuality::Family::Opus).indexOf("96k")));
    EXPECT_EQ(defaults.stringForKey("QualiteOpus"), "96k");
    // Each family keeps its own: MP3's is still its default, V2.
    choose(view, view.formatConversionPopUp(), 0);
    EXPECT_TRUE(view.frequenceEchantillonPopUp()->isEnabled());
    EXPECT_EQ(tag(view.qualitePopUp()),
              int(CodecQuality::choices(CodecQuality::Family::Mp3).indexOf("V2")));
    choose(view, view.qualitePopUp(),
           int(CodecQuality::choices(CodecQuality::Family::Mp3).indexOf("320k")));
    EXPECT_EQ(defaults.stringForKey("QualiteMP3"), "320k");
    EXPECT_EQ(defaults.stringForKey("QualiteOpus"), "96k");
    choose(view, view.formatConversionPopUp(), 7);
    EXPECT_FALSE(view.qualitePopUp()->isEnabled()) << "Apple Lossless has no quality";
    choose(view, view.formatConversionPopUp(), 8);
    choose(view, view.compressionPopUp(), 0);
    EXPECT_EQ(defaults.integerForKey("ConversionCompression"), 0);
    choose(view, view.canauxPopUp(), 0);
    EXPECT_EQ(defaults.integerForKey("ConversionCanaux"), 1);
    EXPECT_EQ(tag(view.jobsPopUp()), -1) << "Auto: one conversion per core";
    choose(view, view.jobsPopUp(), 4);
    EXPECT_EQ(defaults.integerForKey("ConversionsSimultanees"), 6);
    choose(view, view.jobsPopUp(), -1);
    EXPECT_EQ(defaults.integerForKey("ConversionsSimultanees"), 0);

    EXPECT_EQ(tag(view.id3PopUp()), 0) << "ID3 2.4 by default";
    choose(view, view.id3PopUp(), 1);
    EXPECT_EQ(defaults.integerForKey("VersionID3"), 3);
    EXPECT_EQ(tag(view.volumePopUp()), 0) << "ReplayGain copied from the source by default";
    choose(view, view.volumePopUp(), 1);
    EXPECT_EQ(defaults.integerForKey("VolumeReplayGain"), 1);
    choose(view, view.appliquerVolumePopUp(), 2);
    EXPECT_EQ(defaults.integerForKey("VolumeAppliquerAuSon"), 2);

    view.folderRadioMatrix()->button(3)->click();
    EXPECT_EQ(tag(view.existantPopUp()), int(ExistingOutput::Update))
        << "a mirrored tree is kept up to date unless told otherwise";
    EXPECT_TRUE(view.copierCompagnonsCheckBox()->isEnabled());
    choose(view, view.existantPopUp(), int(ExistingOutput::Replace));
    EXPECT_EQ(defaults.integerForKey("DestinationSortieExistante"), 1);
    view.folderRadioMatrix()->button(0)->click();
    EXPECT_EQ(tag(view.existantPopUp()), int(ExistingOutput::Replace)) << "a choice made stays";
    view.copierCompagnonsCheckBox()->setEnabled(true);
    view.copierCompagnonsCheckBox()->click();
    EXPECT_TRUE(defaults.boolForKey("DestinationCopierCompagnons"));

    QComboBox stranger;
    stranger.setObjectName("somethingElse");
    testing::internal::CaptureStderr();
    view.changingPopUp(&stranger);
    QCheckBox strangerBox;
    strangerBox.setObjectName("other");
    view.checkingBox(&strangerBox);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Identifier somethingElse inconnu\nidentifier other inconnu\n");

    view.autoFolderTextField()->setText("");
    view.controlTextDidEndEditing();
    EXPECT_EQ(defaults.stringForKey("DestinationAutoName"), "");
    EXPECT_TRUE(defaults.objectForKey("DestinationAutoName").isValid());
}

TEST(SettingsView, StoredValuesOutsideTheTablesSelectNothing) {
    auto& defaults = TestEnvironment::defaults();
    defaults.setInteger(0, "ConversionCanaux");
    defaults.setInteger(22050, "ConversionFrequence");
    defaults.setString("wma", "ConversionCodec");
    defaults.setInteger(2, "DestinationType");
    TestApp app;
    EXPECT_EQ(app.reglage().canauxPopUp()->currentIndex(), -1);
    EXPECT_EQ(app.reglage().frequenceEchantillonPopUp()->currentIndex(), -1);
    EXPECT_EQ(app.reglage().formatConversionPopUp()->currentIndex(), -1);
    EXPECT_EQ(defaults.integerForKey("ConversionCanaux"), 0) << "nothing written back";
    EXPECT_TRUE(app.reglage().customFolderChooseBout()->isEnabled());
    EXPECT_FALSE(app.reglage().autoFolderTextField()->isEnabled());
}

TEST(SettingsView, DestinationChoiceAndCustomFolder) {
    TestApp app;
    VueCtrlrReglage& view = app.reglage();
    app.add({source("Song")});
    EXPECT_EQ(view.labelExempleAutoFolder()->text(), "Exemple : ~/Music/Song.m4a");
    view.folderRadioMatrix()->button(1)->click();
    EXPECT_EQ(TestEnvironment::defaults().integerForKey("DestinationType"), 1);
    EXPECT_TRUE(view.autoFolderTextField()->isEnabled());
    EXPECT_FALSE(view.customFolderChooseBout()->isEnabled());
    EXPECT_EQ(app.queue().fichiersAudio().first()->destinationURL()->path(),
              TestEnvironment::home() + "/Music/m4a/Song.m4a");
    view.folderRadioMatrix()->button(2)->click();
    const QString folder = TestEnvironment::makeFolder("Out");
    view._userChoosedFolderWithPanel(QDialog::Accepted, folder);
    EXPECT_EQ(view.labelCustomFolder()->text(), "~/Out");
    EXPECT_EQ(app.queue().fichiersAudio().first()->destinationURL()->path(), folder + "/Song.m4a");
    view._userChoosedFolderWithPanel(QDialog::Rejected, "/elsewhere");
    EXPECT_EQ(TestEnvironment::defaults().folderForKey("DestinationDossier"), folder);
    EXPECT_EQ(TestEnvironment::defaults().integerForKey("DestinationType"), 2);
    EXPECT_EQ(view.labelExempleAutoFolder()->text(), "Exemple : ~/Out/Song.m4a")
        << "the example follows every change";
    EXPECT_TRUE(view.labelExempleAutoFolder()->isEnabled()) << "normal text";

    // The tree destination and the naming pattern, with the example as typed.
    view.folderRadioMatrix()->button(3)->click();
    EXPECT_EQ(TestEnvironment::defaults().integerForKey("DestinationType"), 3);
    EXPECT_TRUE(view.customFolderChooseBout()->isEnabled());
    EXPECT_FALSE(view.motifTextField()->isEnabled());
    view.nommerSelonTagsCheckBox()->click();
    EXPECT_TRUE(TestEnvironment::defaults().boolForKey("DestinationNommerSelonTags"));
    EXPECT_TRUE(view.motifTextField()->isEnabled());
    EXPECT_EQ(view.labelExempleAutoFolder()->text(),
              "Exemple : ~/Out/The Artist/The Album/03 - Song.m4a");
    view.motifTextField()->setText("%genre%/%title%");
    emit view.motifTextField()->textEdited("%genre%/%title%");
    EXPECT_EQ(TestEnvironment::defaults().stringForKey("DestinationMotif"), "%genre%/%title%");
    EXPECT_EQ(view.labelExempleAutoFolder()->text(), "Exemple : ~/Out/Jazz/Song.m4a");

    // A field that is none is said in red, with the fields there are.
    view.motifTextField()->setText("%tracknumber% %title%");
    emit view.motifTextField()->textEdited("%tracknumber% %title%");
    EXPECT_EQ(view.labelExempleAutoFolder()->text(),
              "Champ inconnu %tracknumber% : les champs sont %artist% %albumartist% %album% "
              "%title% %track% %disc% %date% %genre% %filename%");
    EXPECT_TRUE(view.labelExempleAutoFolder()->styleSheet().contains("color"));
    // The fields offered, each put where the cursor stands.
    view.motifTextField()->setText("%title%");
    view.motifTextField()->setCursorPosition(0);
    QStringList offered;
    for (QAction* field : view.fieldsButton()->menu()->actions()) {
        offered << field->text();
    }
    EXPECT_EQ(offered.size(), 9);
    view.fieldsButton()->menu()->actions().at(4)->trigger();
    EXPECT_EQ(view.motifTextField()->text(), "%track%%title%");
    EXPECT_EQ(TestEnvironment::defaults().stringForKey("DestinationMotif"), "%track%%title%");
    EXPECT_EQ(view.labelExempleAutoFolder()->text(), "Exemple : ~/Out/03Song.m4a");
    EXPECT_TRUE(view.labelExempleAutoFolder()->styleSheet().isEmpty());
}

TEST(SettingsView, StartStopButtonsAndMessages) {
    // One file at a time, as the sequential pass converts.
    TestEnvironment::defaults().setInteger(1, "ConversionsSimultanees");
    TestApp app;
    VueCtrlrReglage& view = app.reglage();
    app.add({source("Long", 15.0), source("Short")});
    EXPECT_EQ(view.messageLabel()->text(), "2 fichiers ajoutés") << "what the addition did";
    EXPECT_TRUE(view.startBouton()->isEnabled());
    EXPECT_FALSE(view.stopBouton()->isEnabled());

    view.startBouton()->click();
    EXPECT_FALSE(view.startBouton()->isEnabled());
    EXPECT_TRUE(view.stopBouton()->isEnabled());
    EXPECT_TRUE(view.roulette()->isVisibleTo(&view));
    EXPECT_EQ(view.messageLabel()->text(), "Conversion ....");
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
               kStatusConvertisseurCodage;
    }));
    view.stopBouton()->click();
    EXPECT_EQ(view.messageLabel()->text(), "Conversion arrêtée : 0 convertis, 2 restent");
    EXPECT_EQ(view.messageLabel()->toolTip(), "Conversion arrêtée : 0 convertis, 2 restent");
    EXPECT_TRUE(view.startBouton()->isEnabled()) << "ready files remain";
    EXPECT_FALSE(view.stopBouton()->isEnabled());
    EXPECT_FALSE(view.roulette()->isVisibleTo(&view));
    EXPECT_EQ(app.filez().barre2prog()->value(), 0);
    EXPECT_EQ(app.delegate().core().controleur()->delegate(), nullptr);

    // One click after a stop starts the pass, from the top of the list, and
    // a pass that runs to its end returns the buttons to rest by itself.
    view.startBouton()->click();
    EXPECT_TRUE(app.delegate().core().controleur()->isRunning());
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(view.roulette()->isVisibleTo(&view));
    EXPECT_FALSE(view.stopBouton()->isEnabled());
    EXPECT_EQ(app.queue().countOfFichiersAudio(), 0) << "the interrupted file converted too";
    EXPECT_FALSE(view.startBouton()->isEnabled()) << "nothing left to convert";
    EXPECT_EQ(view.messageLabel()->text(), "Conversion terminée : 2 convertis, 0 en erreur")
        << "the pass's summary stays until the next action";
    view.echoUserMessage(QString());
    EXPECT_EQ(view.messageLabel()->text(), "-");
}

TEST(SettingsView, StartIsOfferedWheneverAPassWouldConvertSomething) {
    TestApp app;
    VueCtrlrReglage& view = app.reglage();
    EXPECT_EQ(view.messageLabel()->text(), "Ajoutez des fichiers à convertir ->")
        << "an empty list says what to do";
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    const QString broken =
        TestEnvironment::writeFile(TestEnvironment::home() + "/Music/broken.flac", "not audio");
    app.add({broken});
    view.startBouton()->click();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
               kStatusConvertisseurArrete;
    }));
    QCoreApplication::processEvents();
    ASSERT_EQ(app.queue().fichiersAudio().first()->statusConversion(), kStatusConvFiniErreur);
    EXPECT_TRUE(view.startBouton()->isEnabled()) << "a failed file can be tried again";

    app.add({source("Added")});
    EXPECT_TRUE(view.startBouton()->isEnabled()) << "after an add to an all-failed list";
    for (const FichierAudioPtr& file : app.queue().fichiersAudio()) {
        file->setStatusConversion(kStatusConvFiniOk);
    }
    app.filez().raffraichirTableau();
    view.laListeContientDesFichiers(true);
    EXPECT_FALSE(view.startBouton()->isEnabled()) << "every file converted";
    app.filez().raffraichirDossierPref();
    EXPECT_TRUE(view.startBouton()->isEnabled()) << "after Réinitialiser";
    EXPECT_EQ(view.messageLabel()->text(), "<- Vous pouvez lancer la Conversion");
    EXPECT_EQ(view.compressionPopUp()->toolTip(),
              "Niveau de compression passé au programme flac ; le décodage donne le même son à "
              "tous les niveaux");
}

TEST(SettingsView, LongTextsAreElidedWithTheirWholeTextInTheToolTip) {
    TestApp app;
    VueCtrlrReglage& view = app.reglage();
    const QString longMessage = "Lecture des métadonnées de " + QString(200, 'x') + ".flac";
    view.echoUserMessage(longMessage);
    auto* label = qobject_cast<ElidedLabel*>(view.messageLabel());
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), longMessage);
    EXPECT_EQ(label->toolTip(), longMessage);
    EXPECT_TRUE(label->shownText().endsWith("…")) << label->shownText().toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->shownText()), label->width());
    view._userChoosedFolderWithPanel(
        QDialog::Accepted, TestEnvironment::makeFolder(QString("Out/") + QString(150, 'y')));
    auto* folder = qobject_cast<ElidedLabel*>(view.labelCustomFolder());
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->shownText().contains("…"));
    EXPECT_TRUE(folder->shownText().startsWith("~/Out")) << "a path keeps both ends";
}

TEST(SettingsView, APassThatEndsFillsTheBarWhateverFailed) {
    TestEnvironment::defaults().setBool(false, "ForgetWhenFinished");
    TestApp app;
    const QString broken =
        TestEnvironment::writeFile(TestEnvironment::home() + "/Music/broken.flac", "not audio");
    app.add({source("Good"), broken});
    app.reglage().startBouton()->click();
    ASSERT_TRUE(PassRunner::waitFor([&] {
        return app.delegate().core().controleur()->statusConvertisseur() ==
                   kStatusConvertisseurArrete &&
               app.delegate().core().controleur()->jobsInFlight() == 0;
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(app.filez().barre2prog()->value(), 100);
    EXPECT_EQ(app.reglage().messageLabel()->text(),
              "Conversion terminée : 1 converti, 1 en erreur");
}
