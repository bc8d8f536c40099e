#!/usr/bin/python3
"""Fills the French translations of resources/translations/tonebridge_fr.ts.

The user interface's source texts are English; the program shows them in
French. Run after `lupdate` has added new texts; texts without an entry here
are reported and left unfinished.
"""
import sys
import xml.etree.ElementTree as ET

FRENCH = {
    # Status names and metadata keys.
    "kStatusConvAucun": "Aucun", "kStatusConvPret": "Prêt", "kStatusConvEncoursDecodage": "Décodage",
    "kStatusConvEncoursCodage": "Encodage", "kStatusConvFiniOk": "Terminé", "kStatusConvFiniErreur": "Erreur",
    "fileName": "Nom du fichier", "tracknumber": "Piste", "title": "Titre", "artist": "Artiste",
    "album": "Album", "discnumber": "Disque", "genre": "Genre", "date": "Date", "sample-rate": "Fréquence",
    "bps": "Bits", "channels": "Canaux", "NSURLFileSizeKey": "Taille",
    # File list.
    "File": "Fichier", "Track": "Piste", "Title": "Titre", "Artist": "Artiste", "Album": "Album",
    "Size": "Taille", "Path": "Chemin", "Status": "État", "Remove": "Supprimer", "Add…": "Ajouter…",
    "Add FLAC files or folders to the list": "Ajouter des fichiers FLAC ou des dossiers à la liste",
    "Add files…": "Ajouter des fichiers…", "Add a folder…": "Ajouter un dossier…",
    "Remove…": "Supprimer…", "All files": "Tous les fichiers", "Selected files": "Fichiers sélectionnés",
    "Converted files": "Fichiers convertis", "Reset": "Réinitialiser",
    "Make every file of the list ready to convert again": "Rendre chaque fichier de la liste prêt à être converti de nouveau",
    "Adding files…": "Ajout des fichiers…", "Cancel": "Annuler",
    "Add a folder": "Ajouter un dossier", "Add files": "Ajouter des fichiers",
    "FLAC files (*.flac *.FLAC *.Flac)": "Fichiers FLAC (*.flac *.FLAC *.Flac)",
    "FLAC files and cue sheets (*.flac *.FLAC *.Flac *.cue *.CUE)": "Fichiers FLAC et feuilles de cue (*.flac *.FLAC *.Flac *.cue *.CUE)",
    "All files (*)": "Tous les fichiers (*)",
    # Information view.
    "Source": "Source", "Output": "Sortie", "Find automatically": "Choix automatique",
    "Choose an image…": "Choisir une image…", "Picture in the FLAC file": "Image du fichier FLAC",
    "Image near the file": "Image proche du fichier", "Chosen image": "Image choisie",
    "File icon": "Icône du fichier", "Default picture": "Image par défaut",
    "Choose a cover image": "Choisir une image de pochette",
    "Images (*.jpg *.jpeg *.png *.gif *.tif *.tiff *.bmp *.webp)": "Images (*.jpg *.jpeg *.png *.gif *.tif *.tiff *.bmp *.webp)",
    # Settings.
    "Start": "Démarrer", "Stop": "Arrêter", "Choose…": "Choisir…", "Auto": "Auto",
    "MP3": "MP3", "M4A (AAC)": "M4A (AAC)", "AIFF": "AIFF", "WAV": "WAV", "AIFF-C": "AIFF-C",
    "AAC (MP4)": "AAC (MP4)", "CAF": "CAF", "Apple Lossless (ALAC)": "Apple Lossless (ALAC)",
    "Opus": "Opus", "Ogg Vorbis": "Ogg Vorbis",
    "11.025 kHz": "11,025 kHz", "16 kHz": "16 kHz", "32 kHz": "32 kHz", "44.1 kHz": "44,1 kHz",
    "48 kHz": "48 kHz", "96 kHz": "96 kHz", "192 kHz": "192 kHz",
    "Mono": "Mono", "Stereo": "Stéréo",
    "The output is converted to this sample rate": "Le fichier converti est rééchantillonné à cette fréquence",
    "Level given to the flac decoder": "Niveau transmis au décodeur flac",
    "The output is mixed down or up to this channel count": "Le fichier converti est mixé vers ce nombre de canaux",
    "Output": "Sortie", "Format:": "Format :", "Sample rate:": "Fréquence :",
    "Highest sample rate:": "Fréquence maximale :", "Highest bit depth:": "Résolution maximale :",
    "24 bits": "24 bits", "16 bits": "16 bits",
    "A source above this rate goes to the highest rate of its own family below it (44.1, 88.2 or 48, 96 kHz); one below it is left as it is": "Une source au-dessus de cette fréquence va à la plus haute de sa famille en dessous (44,1, 88,2 ou 48, 96 kHz) ; une source en dessous reste telle quelle",
    "Lossless outputs of deeper sources are brought to this depth with triangular dither": "Les sorties sans perte de sources plus profondes sont ramenées à cette résolution avec un dither triangulaire",
    "Quality:": "Qualité :", "flac level (no effect on the sound):": "Niveau flac (sans effet sur le son) :",
    "Each lossy format keeps its own quality": "Chaque format avec perte garde sa propre qualité",
    "VBR V%1 (about %2 kbit/s)": "VBR V%1 (environ %2 kbit/s)",
    "Quality %1 (about %2 kbit/s)": "Qualité %1 (environ %2 kbit/s)",
    "%1 kbit/s": "%1 kbit/s", "CBR %1": "CBR %1", "Lossless": "Sans perte",
    "%1 is always written at %2 kHz": "%1 s'écrit toujours à %2 kHz",
    "Channels:": "Canaux :",
    "Simultaneous conversions:": "Conversions simultanées :",
    "Drop FLAC files or folders here, or click Add…":
        "Déposez ici des fichiers ou dossiers FLAC, ou cliquez sur Ajouter…",
    "Compression level passed to the flac program; decoding gives the same audio at every level":
        "Niveau de compression passé au programme flac ; le décodage donne le même son à tous les niveaux",
    "In the folder, keeping the folder tree": "Dans le dossier, en recréant l'arborescence",
    "Name from the tags:": "Nommer selon les tags :",
    "Fields: %1; a / makes a folder": "Champs : %1 ; un / crée un dossier",
    "Fields": "Champs", "Insert a field into the pattern": "Insérer un champ dans le motif",
    "How many files are converted at the same time; Auto uses one per processor core":
        "Nombre de fichiers convertis en même temps ; Auto en convertit un par cœur du processeur",
    "Destination": "Destination", "Beside the source file": "À côté du fichier source",
    "In a sub-folder:": "Dans un sous-dossier :", "In the folder:": "Dans le dossier :",
    "Keep the modification date": "Conserver la date de modification",
    "Import the metadata": "Importer les métadonnées",
    "Delete the original once converted": "Effacer l'original une fois converti",
    "Options": "Options",
    "Existing files:": "Fichiers existants :", "Report an error": "Signaler une erreur",
    "Replace": "Remplacer", "Update if the source changed": "Mettre à jour si la source a changé",
    "What to do with an output that already exists; updating converts again only what changed since the last pass and rewrites only the tags when only they changed":
        "Que faire d'un fichier de sortie qui existe déjà ; la mise à jour ne convertit de nouveau que ce qui a changé depuis la dernière conversion, et ne réécrit que les tags quand eux seuls ont changé",
    "Also copy images and booklets": "Copier aussi les images et livrets",
    "Names of the files copied beside the outputs, separated by spaces": "Noms des fichiers copiés à côté des fichiers convertis, séparés par des espaces",
    "Move to the trash the outputs whose source is gone": "Mettre à la corbeille les sorties dont la source a disparu",
    "Convert disc images whole": "Convertir les images entières",
    "A FLAC disc image with its cue sheet is added as one file instead of its tracks": "Une image de disque FLAC avec sa feuille de cue est ajoutée comme un seul fichier au lieu de ses pistes",
    "At the end of the track before": "À la fin de la piste précédente", "At the start of their track": "Au début de leur piste",
    "Where the silence before a track of a disc image goes; applies to the images added from now on": "Où va le silence avant une piste d'une image de disque ; vaut pour les images ajoutées à partir de maintenant",
    "Gaps between tracks:": "Silences entre pistes :",
    "Cue sheet text:": "Texte de la feuille de cue :",
    "2.4": "2.4", "2.3": "2.3", "ID3 tags version:": "Version des tags ID3 :",
    "Copy the source's": "Copier celui de la source", "Measure": "Calculer",
    "No": "Non", "Write none": "Ne rien écrire", "Loudness (ReplayGain):": "Volume (ReplayGain) :",
    "Track loudness": "Volume de la piste", "Album loudness": "Volume de l'album",
    "Apply the loudness to the audio:": "Appliquer le volume au son :",
    "Measure computes each track's and each album's loudness (ReplayGain 2.0, true peak) from the audio the conversion reads": "Calculer mesure le volume de chaque piste et de chaque album (ReplayGain 2.0, crête vraie) sur le son que la conversion lit",
    "Lossy outputs are made louder or quieter by the gain, never so much that they clip, for players that ignore ReplayGain": "Les sorties avec perte sont rendues plus fortes ou plus douces selon le volume, jamais au point de saturer, pour les lecteurs qui ignorent ReplayGain",
    "Original": "Originale", "%1 px": "%1 px", "Largest cover:": "Taille maximale de la pochette :",
    "A larger cover is scaled down to this size as a baseline JPEG; many car stereos show no larger picture": "Une pochette plus grande est réduite à cette taille en JPEG de base ; beaucoup d'autoradios n'affichent pas d'image plus grande",
    "Also write cover.jpg in each output folder": "Écrire aussi cover.jpg dans chaque dossier de sortie",
    "Always": "Toujours", "Never": "Jamais",
    "Compatible file names (USB sticks, Windows):": "Noms de fichiers compatibles (clés USB, Windows) :",
    "Names that USB sticks, car stereos and Windows shares take; Auto when the chosen folder is on such a file system": "Des noms que prennent les clés USB, les autoradios et les partages Windows ; Auto quand le dossier choisi est sur un tel système de fichiers",
    "The ID3 version of MP3 and AIFF files; older car stereos and Windows Explorer read only 2.3": "La version ID3 des fichiers MP3 et AIFF ; les autoradios anciens et l'Explorateur de Windows ne lisent que la 2.3",
    "The encoding the cue sheet's text is read in; choose another when the titles show wrong letters": "L'encodage dans lequel le texte de la feuille de cue est lu ; en choisir un autre quand les titres montrent de mauvaises lettres",
    "The cue sheet could not be read in that encoding": "La feuille de cue n'a pas pu être lue dans cet encodage",
    "Choose the destination folder": "Choisir le dossier de destination",
    # Window and menus.
    "&File": "&Fichier", "&Edit": "É&dition", "&Conversion": "&Conversion", "&Help": "&Aide",
    "Add &files…": "Ajouter des &fichiers…", "Add a f&older…": "Ajouter un d&ossier…",
    "&Quit": "&Quitter", "&Delete": "&Supprimer", "&Start": "&Démarrer", "S&top": "&Arrêter",
    "&About": "À &propos", "About Tonebridge": "À propos de Tonebridge",
    "Tonebridge %1": "Tonebridge %1",
    "Converts FLAC files to M4A, MP3, AIFF, WAV, AIFF-C, AAC, CAF, Apple Lossless, Opus and Ogg Vorbis, with their tags and cover.":
        "Convertit les fichiers FLAC en M4A, MP3, AIFF, WAV, AIFF-C, AAC, CAF, Apple Lossless, Opus et Ogg Vorbis, avec leurs métadonnées et leur pochette.",
    "Conversion finished": "Conversion terminée",
    "Remove from the list": "Retirer", "Open the folder": "Ouvrir le dossier",
    "Make ready again": "Réinitialiser",
    "Quit Tonebridge": "Quitter Tonebridge", "Folder": "Dossier", "Drive": "Lecteur",
    "A conversion is under way: stop it and quit?": "Une conversion est en cours : arrêter et quitter ?",
    "Stop and quit": "Arrêter et quitter", "Go on converting": "Continuer la conversion",
    "Add the %1 FLAC files found in %2?": "Ajouter les %1 fichiers FLAC trouvés dans %2 ?",
    "Add": "Ajouter",
    "The track number must be a number, such as 3 or 3/12":
        "Le numéro de piste doit être un nombre, comme 3 ou 3/12",
    "The disc number must be a number, such as 1 or 1/2":
        "Le numéro de disque doit être un nombre, comme 1 ou 1/2",
    "The date must be a year, such as 2019, 2019-04 or 2019-04-01":
        "La date doit être une année, comme 2019, 2019-04 ou 2019-04-01",
}
PLURALS = {
    "%n file(s) added": ["%n fichier ajouté", "%n fichiers ajoutés"],
    "%n file(s) converted": ["%n fichier converti", "%n fichiers convertis"],
    "%n failed": ["%n en erreur", "%n en erreur"],
}


def main(path):
    tree = ET.parse(path)
    missing = []
    for message in tree.iter("message"):
        source = message.find("source").text
        translation = message.find("translation")
        if source in PLURALS:
            translation.text = None
            for form in list(translation):
                translation.remove(form)
            for text in PLURALS[source]:
                ET.SubElement(translation, "numerusform").text = text
            translation.attrib.pop("type", None)
        elif source in FRENCH:
            translation.text = FRENCH[source]
            translation.attrib.pop("type", None)
        else:
            missing.append(source)
    tree.write(path, encoding="utf-8", xml_declaration=True)
    for source in missing:
        print("no French text for:", source, file=sys.stderr)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "resources/translations/tonebridge_fr.ts"))
