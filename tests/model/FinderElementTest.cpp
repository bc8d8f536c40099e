#include "model/DestinationPattern.h"
#include "model/Dossier.h"
#include "model/Fichier.h"
#include "queue/GestionnairePileFichier.h"

#include "storage/FileSystemKind.h"
#include "storage/UserDefaults.h"
#include "support/TestDatabase.h"
#include "support/TestEnvironment.h"

#include "model/Settings.h"

#include <QFile>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
// The destination rules the settings make now.
std::shared_ptr<const DestinationRules> rulesNow() {
    return std::make_shared<const DestinationRules>(TestEnvironment::settings().destinationRules());
}

std::unique_ptr<Fichier> fileAt(const QString& path) {
    auto file = std::make_unique<Fichier>();
    file->setElementURL(PersistentURL::persistentURLwithURL(path));
    file->setDestinationRules(rulesNow());
    return file;
}
} // namespace

TEST(FinderElement, DestinationsForTheThreeDestinationTypes) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    const QString source = TestEnvironment::home() + "/Music/A/Song.flac";

    auto beside = fileAt(source);
    EXPECT_EQ(beside->destinationURL()->path(), TestEnvironment::home() + "/Music/A/Song.m4a");
    EXPECT_EQ(beside->destinationURL()->elementType(), 4);
    EXPECT_EQ(beside->nomDestination(), "Song.m4a");
    EXPECT_EQ(beside->tempDestinationURL()->path(),
              TestEnvironment::home() + "/Music/A/.tmp_Song.aif");
    EXPECT_EQ(beside->tempDestinationURL()->elementType(), 3);

    defaults.setInteger(1, "DestinationType");
    auto subfolder = fileAt(source);
    EXPECT_EQ(subfolder->destinationURL()->path(),
              TestEnvironment::home() + "/Music/A/m4a/Song.m4a");
    EXPECT_EQ(subfolder->tempDestinationURL()->path(),
              TestEnvironment::home() + "/Music/A/m4a/.tmp_Song.aif");

    defaults.setInteger(2, "DestinationType");
    defaults.setFolder("/Out", "DestinationDossier");
    auto folder = fileAt(source);
    EXPECT_EQ(folder->destinationURL()->path(), "/Out/Song.m4a");

    // The cached destination follows new rules only when asked afresh.
    defaults.setInteger(0, "DestinationType");
    folder->setDestinationRules(rulesNow());
    EXPECT_EQ(folder->destinationURL()->path(), "/Out/Song.m4a");
    EXPECT_EQ(folder->freshDestinationURL()->path(), TestEnvironment::home() + "/Music/A/Song.m4a");
    EXPECT_EQ(folder->tempDestinationURL()->path(),
              TestEnvironment::home() + "/Music/A/.tmp_Song.aif")
        << "the temporary file follows the destination";

    auto live = fileAt(TestEnvironment::home() + "/Live.2001.flac");
    EXPECT_EQ(live->destinationURL()->path(), TestEnvironment::home() + "/Live.2001.m4a");
    EXPECT_EQ(live->tempDestinationURL()->path(), TestEnvironment::home() + "/.tmp_Live.2001.aif");
}

TEST(FinderElement, NamesSetBeforehandAreKeptAndFollowTheCodec) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    auto file = fileAt(TestEnvironment::home() + "/Song.flac");
    file->setNomDestination("My \"Best\" Take.m4a");
    EXPECT_EQ(file->destinationURL()->path(), TestEnvironment::home() + "/My \"Best\" Take.m4a");

    defaults.setString("mp3", "ConversionCodec");
    file->setDestinationRules(rulesNow());
    EXPECT_EQ(file->freshDestinationURL()->path(),
              TestEnvironment::home() + "/My \"Best\" Take.mp3");
    file->setNomDestination("Keep.this.name");
    EXPECT_EQ(file->freshDestinationURL()->fileName(), "Keep.this.name")
        << "an extension that is no codec is the user's own";
}

TEST(FinderElement, OriginalIsLookedForOnTheDisk) {
    TestDatabase context;
    auto file = fileAt(TestEnvironment::home() + "/T/Song.flac");
    EXPECT_EQ(file->tempDestinationPath(), TestEnvironment::home() + "/T/.tmp_Song.aif");
    EXPECT_FALSE(file->originalExists());
    TestEnvironment::writeFile(TestEnvironment::home() + "/T/Song.flac");
    EXPECT_TRUE(file->originalExists());
    EXPECT_EQ(file->description(), "Fichier : Song.flac");
}

TEST(Dossier, ListsVisibleItemsAtAnyDepthAndNothingHidden) {
    TestDatabase context;
    const QString root = TestEnvironment::makeFolder("Tree");
    TestEnvironment::writeFile(root + "/a.flac");
    TestEnvironment::writeFile(root + "/.tmp_a.aif");
    TestEnvironment::writeFile(root + "/.hidden.flac");
    TestEnvironment::writeFile(root + "/Sub/b.flac");
    TestEnvironment::writeFile(root + "/Sub/Deeper/c.FLAC");
    TestEnvironment::writeFile(root + "/Sub/Deeper/.tmp_c.jpg");
    TestEnvironment::writeFile(root + "/Sub/Deeper/cover.JPG");
    TestEnvironment::writeFile(root + "/.Hidden/d.flac");
    TestEnvironment::writeFile(root + "/.Hidden/cover.jpg");
    TestEnvironment::writeFile(root + "/Sub/.cache/Inside/e.flac");
    TestEnvironment::writeFile(root + "/Folder.flac/f.flac");
    QFile::link(root + "/Sub", root + "/Sub/Deeper/loop");

    auto folder = Dossier::finderElementAvecURL(PersistentURL::persistentURLwithURL(root));
    EXPECT_EQ(folder->elementType(), 1);
    EXPECT_EQ(folder->description(), "Dossier : Tree");
    ASSERT_TRUE(folder->contenuRecursif(context.queue()));
    QStringList queued;
    for (const auto& record : context.queue().fichiersAudio()) {
        queued << record->elementURL()->path();
    }
    queued.sort();
    EXPECT_EQ(queued, (QStringList{root + "/Folder.flac/f.flac", root + "/Sub/Deeper/c.FLAC",
                                   root + "/Sub/b.flac", root + "/a.flac"}));
    const auto images =
        context.database()->outputDBrequest("SELECT furl FROM fileURL WHERE ftype = 5");
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0].value("furl").toString(), root + "/Sub/Deeper/cover.JPG");

    auto plainFile =
        Dossier::finderElementAvecURL(PersistentURL::persistentURLwithURL(root + "/a.flac"));
    EXPECT_FALSE(plainFile->contenuRecursif(context.queue()));
    auto gone = Dossier::finderElementAvecURL(PersistentURL::persistentURLwithURL(root + "/gone"));
    EXPECT_FALSE(gone->contenuRecursif(context.queue()));
}

TEST(Dossier, UnreadableSubfoldersAreReportedAndTheListingGoesOn) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every folder";
    }
    TestDatabase context;
    const QString root = TestEnvironment::makeFolder("Locked");
    TestEnvironment::writeFile(root + "/Closed/x.flac");
    TestEnvironment::writeFile(root + "/Open/y.flac");
    QFile::setPermissions(root + "/Closed", QFileDevice::Permissions());
    testing::internal::CaptureStderr();
    auto folder = Dossier::finderElementAvecURL(PersistentURL::persistentURLwithURL(root));
    EXPECT_TRUE(folder->contenuRecursif(context.queue()));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Erreur enum " + (root + "/Closed").toStdString() + " :\n"),
              std::string::npos);
    EXPECT_EQ(context.queue().countOfFichiersAudio(), 1);
    QFile::setPermissions(root + "/Closed",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(Dossier, FilesArriveInTheOrderAPersonExpects) {
    TestDatabase context;
    const QString folder = TestEnvironment::makeFolder("Music/Numbered");
    for (int index = 12; index >= 1; --index) {
        TestEnvironment::writeFile(QString("%1/%2 - Track.flac").arg(folder).arg(index));
    }
    TestEnvironment::writeFile(folder + "/CD 2/1 - Later.flac");
    TestEnvironment::writeFile(folder + "/CD 10/1 - Last.flac");
    context.queue().ajouterUnDossier(folder);
    QStringList names;
    for (const FichierAudioPtr& file : context.queue().fichiersAudio()) {
        names << file->elementURL()->path().mid(folder.size() + 1);
    }
    QStringList expected;
    for (int index = 1; index <= 12; ++index) {
        expected << QString("%1 - Track.flac").arg(index);
    }
    expected << "CD 2/1 - Later.flac"
             << "CD 10/1 - Last.flac";
    EXPECT_EQ(names, expected);
}

TEST(DestinationPattern, NamesFilesFromTheirTagsSafely) {
    const QString pattern = DestinationPattern::defaultPattern();
    EXPECT_EQ(DestinationPattern::expand(pattern,
                                         {{"artist", "Björk"},
                                          {"album", "Homogenic"},
                                          {"tracknumber", "3/10"},
                                          {"title", "Jóga"}},
                                         "03 Joga", "m4a"),
              "Björk/Homogenic/03 - Jóga.m4a");
    EXPECT_EQ(DestinationPattern::expand(pattern, {}, "Track", "mp3"),
              "Artiste inconnu/Album inconnu/00 - Track.mp3")
        << "missing tags fall back";
    EXPECT_EQ(
        DestinationPattern::expand(
            "%albumartist%/%disc%-%track% %title%",
            {{"artist", "AC/DC"}, {"title", "..Back. "}, {"discnumber", "2"}, {"tracknumber", "7"}},
            "x", "ogg"),
        "AC-DC/02-07 Back.ogg")
        << "a slash in a value never makes a folder; trailing dots and spaces go";
    EXPECT_EQ(DestinationPattern::expand("%title%", {{"title", "...hidden"}}, "x", "opus"),
              "hidden.opus")
        << "never a hidden file";
    const QString longTitle = QString(300, QChar(u'é'));
    const QString cut = DestinationPattern::expand(
        "%album%/%title%", {{"album", longTitle}, {"title", longTitle}}, "x", "m4a");
    const QStringList components = cut.split('/');
    ASSERT_EQ(components.size(), 2);
    EXPECT_LE(components[0].toUtf8().size(), 255);
    EXPECT_LE(components[1].toUtf8().size(), 255);
    EXPECT_TRUE(components[1].endsWith(".m4a"));
    EXPECT_EQ(DestinationPattern::cutToBytes("aé😀", 5), "aé") << "whole characters only";
    EXPECT_EQ(DestinationPattern::expand("%genre%/%title%", {{"title", "T"}}, "x", "mp3"), "T.mp3")
        << "an empty folder name is left out";
    EXPECT_EQ(DestinationPattern::expand(
                  "%title% %album%", {{"title", "Live at %album%"}, {"album", "Tour"}}, "x", "mp3"),
              "Live at %album% Tour.mp3")
        << "a value is never read as a field";
    EXPECT_EQ(DestinationPattern::expand("%title%", {{"title", "Red\x1b[31m\nBell\a"}}, "x", "mp3"),
              "Red[31mBell.mp3")
        << "control characters go";
    EXPECT_EQ(DestinationPattern::unknownFields("%artist%/%tracknumber%-%Title% %track%"),
              (QStringList{"%tracknumber%", "%Title%"}));
}

TEST(FinderElement, TreeAndPatternDestinationsAndATypedNameWins) {
    TestDatabase context;
    auto& defaults = TestEnvironment::defaults();
    const QString library = TestEnvironment::makeFolder("Music/FLAC");
    const QString out = TestEnvironment::makeFolder("Phone");
    defaults.setFolder(out, "DestinationDossier");
    defaults.setInteger(3, "DestinationType");
    TestEnvironment::writeFile(library + "/Artist/Album/01 - Intro.flac");
    TestEnvironment::writeFile(library + "/Alone.flac");
    context.queue().setDestinationRules(*rulesNow());
    context.queue().ajouterUnDossier(library + "/Artist");
    context.queue().ajouterUnFichier(library + "/Alone.flac");
    const auto files = context.queue().fichiersAudio();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0]->destinationURL()->path(), out + "/Album/01 - Intro.m4a");
    EXPECT_EQ(files[1]->destinationURL()->path(), out + "/Alone.m4a")
        << "a file added on its own is its own root";
    // Added on its own below a folder added whole, a file takes its place in
    // that folder's tree; away from every added folder, it stays flat.
    TestEnvironment::writeFile(library + "/Artist/Other/02 - Alone too.flac");
    context.queue().ajouterUnFichier(library + "/Artist/Other/02 - Alone too.flac");
    context.queue().raffraichirDestinationDesFichiers();
    EXPECT_EQ(context.queue().fichiersAudio().at(2)->destinationURL()->path(),
              out + "/Other/02 - Alone too.m4a");
    EXPECT_EQ(files[1]->destinationURL()->path(), out + "/Alone.m4a");

    defaults.setBool(true, "DestinationNommerSelonTags");
    defaults.setString("%artist%/%title%", "DestinationMotif");
    context.queue().adoptDestinationRules(*rulesNow());
    files[0]->outMetadataDict()->insert("artist", "Someone");
    files[0]->outMetadataDict()->insert("title", "Intro");
    EXPECT_EQ(files[0]->freshDestinationURL()->path(), out + "/Someone/Intro.m4a");
    defaults.setString("%albumartist%/%title%", "DestinationMotif");
    context.queue().adoptDestinationRules(*rulesNow());
    EXPECT_EQ(files[0]->freshDestinationURL()->path(), out + "/Someone/Intro.m4a")
        << "no album artist: the artist";
    files[0]->setSourceTags({{"ALBUMARTIST", "Various Artists"}, {"TITLE", "Intro"}});
    EXPECT_EQ(files[0]->freshDestinationURL()->path(), out + "/Various Artists/Intro.m4a")
        << "a compilation stays one album";
    files[0]->setNomDestination("Mine.m4a");
    EXPECT_EQ(files[0]->freshDestinationURL()->path(), out + "/Album/Mine.m4a")
        << "a name typed in the information view wins";
}

TEST(DestinationPattern, PortableNamesAreTakenByFatNtfsAndWindowsShares) {
    EXPECT_EQ(DestinationPattern::portableComponent("Who: Are? You* \"x\" <y> |z|\\ ."),
              "Who - Are_ You_ 'x' _y_ _z__")
        << "each character those file systems refuse, and no trailing dot or space";
    EXPECT_EQ(DestinationPattern::portableFileName("Who: Are?.m4a"), "Who - Are_.m4a");
    EXPECT_EQ(DestinationPattern::portableComponent("CON"), "_CON");
    EXPECT_EQ(DestinationPattern::portableFileName("com1.mp3"), "_com1.mp3")
        << "a device name with an extension too";
    EXPECT_EQ(DestinationPattern::portableFileName("Console.mp3"), "Console.mp3");
    EXPECT_EQ(DestinationPattern::portableComponent("Tab\there"), "Tabhere");
    const QString emoji = QString(254, QChar(u'a')) + QString::fromUtf8("😀");
    EXPECT_EQ(DestinationPattern::portableComponent(emoji), QString(254, QChar(u'a')))
        << "255 UTF-16 units at most, never half a character";
    const QString longName =
        DestinationPattern::portableFileName(QString(300, QChar(u'é')) + ".m4a");
    EXPECT_EQ(longName.size(), 255);
    EXPECT_TRUE(longName.endsWith(".m4a"));
    EXPECT_EQ(
        DestinationPattern::portablePath(DestinationPattern::expand(
            "%artist%/%title%", {{"artist", "AUX"}, {"title", "Live: at %album%?"}}, "x", "mp3")),
        "_AUX/Live - at %album%_.mp3")
        << "a value stays text and every component is made portable";
}

TEST(FileSystemKind, FatExfatNtfsAndSharesTakeOnlyPortableNames) {
    EXPECT_TRUE(FileSystemKind::isPortableOnly(0x4d44, QString())) << "vfat";
    EXPECT_TRUE(FileSystemKind::isPortableOnly(0x2011BAB0, QString())) << "exFAT";
    EXPECT_TRUE(FileSystemKind::isPortableOnly(0x5346544e, QString())) << "NTFS";
    EXPECT_TRUE(FileSystemKind::isPortableOnly(0xFF534D42, QString())) << "CIFS";
    EXPECT_TRUE(FileSystemKind::isPortableOnly(0x65735546, "fuseblk")) << "ntfs-3g";
    EXPECT_FALSE(FileSystemKind::isPortableOnly(0x65735546, "fuse.sshfs"));
    EXPECT_FALSE(FileSystemKind::isPortableOnly(0xEF53, QString())) << "ext4";
    EXPECT_FALSE(FileSystemKind::takesOnlyPortableNames(TestEnvironment::home() + "/not/yet"))
        << "a folder still to make: the file system of the nearest one there";
}
