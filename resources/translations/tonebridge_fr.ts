<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="fr_FR">
<context>
    <name>DesktopNotifier</name>
    <message numerus="yes">
        <source>%n file(s) converted</source>
        <translation><numerusform>%n fichier converti</numerusform><numerusform>%n fichiers convertis</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation><numerusform>%n en erreur</numerusform><numerusform>%n en erreur</numerusform></translation>
    </message>
    <message>
        <source>Conversion finished</source>
        <translation>Conversion terminée</translation>
    </message>
</context>
<context>
    <name>FileListModel</name>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Piste</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titre</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Artiste</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Chemin</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
</context>
<context>
    <name>InfoTableModel</name>
    <message>
        <source>Source</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Sortie</translation>
    </message>
</context>
<context>
    <name>Localizable</name>
    <message>
        <source>kStatusConvAucun</source>
        <translation>Aucun</translation>
    </message>
    <message>
        <source>kStatusConvPret</source>
        <translation>Prêt</translation>
    </message>
    <message>
        <source>kStatusConvEncoursDecodage</source>
        <translation>Décodage</translation>
    </message>
    <message>
        <source>kStatusConvEncoursCodage</source>
        <translation>Encodage</translation>
    </message>
    <message>
        <source>kStatusConvFiniOk</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>kStatusConvFiniErreur</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>fileName</source>
        <translation>Nom du fichier</translation>
    </message>
    <message>
        <source>tracknumber</source>
        <translation>Piste</translation>
    </message>
    <message>
        <source>title</source>
        <translation>Titre</translation>
    </message>
    <message>
        <source>artist</source>
        <translation>Artiste</translation>
    </message>
    <message>
        <source>album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>discnumber</source>
        <translation>Disque</translation>
    </message>
    <message>
        <source>genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>sample-rate</source>
        <translation>Fréquence</translation>
    </message>
    <message>
        <source>bps</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>channels</source>
        <translation>Canaux</translation>
    </message>
    <message>
        <source>NSURLFileSizeKey</source>
        <translation>Taille</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fichier</translation>
    </message>
    <message>
        <source>Add &amp;files…</source>
        <translation>Ajouter des &amp;fichiers…</translation>
    </message>
    <message>
        <source>Add a f&amp;older…</source>
        <translation>Ajouter un d&amp;ossier…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>É&amp;dition</translation>
    </message>
    <message>
        <source>&amp;Delete</source>
        <translation>&amp;Supprimer</translation>
    </message>
    <message>
        <source>&amp;Conversion</source>
        <translation>&amp;Conversion</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Démarrer</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>&amp;Arrêter</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>À &amp;propos</translation>
    </message>
    <message>
        <source>About Tonebridge</source>
        <translation>À propos de Tonebridge</translation>
    </message>
    <message>
        <source>Tonebridge %1</source>
        <translation>Tonebridge %1</translation>
    </message>
    <message>
        <source>Converts FLAC files to M4A, MP3, AIFF, WAV, AIFF-C, AAC, CAF, Apple Lossless, Opus and Ogg Vorbis, with their tags and cover.</source>
        <translation>Convertit les fichiers FLAC en M4A, MP3, AIFF, WAV, AIFF-C, AAC, CAF, Apple Lossless, Opus et Ogg Vorbis, avec leurs métadonnées et leur pochette.</translation>
    </message>
    <message>
        <source>Quit Tonebridge</source>
        <translation>Quitter Tonebridge</translation>
    </message>
    <message>
        <source>A conversion is under way: stop it and quit?</source>
        <translation>Une conversion est en cours : arrêter et quitter ?</translation>
    </message>
    <message>
        <source>Stop and quit</source>
        <translation>Arrêter et quitter</translation>
    </message>
    <message>
        <source>Go on converting</source>
        <translation>Continuer la conversion</translation>
    </message>
</context>
<context>
    <name>QAbstractFileIconProvider</name>
    <message>
        <source>Folder</source>
        <comment>All other platforms</comment>
        <translation>Dossier</translation>
    </message>
    <message>
        <source>Drive</source>
        <translation>Lecteur</translation>
    </message>
</context>
<context>
    <name>TableFichiers</name>
    <message>
        <source>Drop FLAC files or folders here, or click Add…</source>
        <translation>Déposez ici des fichiers ou dossiers FLAC, ou cliquez sur Ajouter…</translation>
    </message>
</context>
<context>
    <name>VueCtrlrFilez</name>
    <message>
        <source>Remove</source>
        <translation>Supprimer</translation>
    </message>
    <message>
        <source>Add…</source>
        <translation>Ajouter…</translation>
    </message>
    <message>
        <source>Add FLAC files or folders to the list</source>
        <translation>Ajouter des fichiers FLAC ou des dossiers à la liste</translation>
    </message>
    <message>
        <source>Add files…</source>
        <translation>Ajouter des fichiers…</translation>
    </message>
    <message>
        <source>Add a folder…</source>
        <translation>Ajouter un dossier…</translation>
    </message>
    <message>
        <source>Remove…</source>
        <translation>Supprimer…</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>Tous les fichiers</translation>
    </message>
    <message>
        <source>Selected files</source>
        <translation>Fichiers sélectionnés</translation>
    </message>
    <message>
        <source>Converted files</source>
        <translation>Fichiers convertis</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Réinitialiser</translation>
    </message>
    <message>
        <source>Make every file of the list ready to convert again</source>
        <translation>Rendre chaque fichier de la liste prêt à être converti de nouveau</translation>
    </message>
    <message>
        <source>Adding files…</source>
        <translation>Ajout des fichiers…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) added</source>
        <translation><numerusform>%n fichier ajouté</numerusform><numerusform>%n fichiers ajoutés</numerusform></translation>
    </message>
    <message>
        <source>Add a folder</source>
        <translation>Ajouter un dossier</translation>
    </message>
    <message>
        <source>Add files</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Add the %1 FLAC files found in %2?</source>
        <translation>Ajouter les %1 fichiers FLAC trouvés dans %2 ?</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Remove from the list</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Open the folder</source>
        <translation>Ouvrir le dossier</translation>
    </message>
    <message>
        <source>Make ready again</source>
        <translation>Réinitialiser</translation>
    </message>
    <message>
        <source>FLAC files and cue sheets (*.flac *.FLAC *.Flac *.cue *.CUE)</source>
        <translation>Fichiers FLAC et feuilles de cue (*.flac *.FLAC *.Flac *.cue *.CUE)</translation>
    </message>
</context>
<context>
    <name>VueCtrlrInfoFile</name>
    <message>
        <source>Find automatically</source>
        <translation>Choix automatique</translation>
    </message>
    <message>
        <source>Choose an image…</source>
        <translation>Choisir une image…</translation>
    </message>
    <message>
        <source>Picture in the FLAC file</source>
        <translation>Image du fichier FLAC</translation>
    </message>
    <message>
        <source>Image near the file</source>
        <translation>Image proche du fichier</translation>
    </message>
    <message>
        <source>Chosen image</source>
        <translation>Image choisie</translation>
    </message>
    <message>
        <source>File icon</source>
        <translation>Icône du fichier</translation>
    </message>
    <message>
        <source>Default picture</source>
        <translation>Image par défaut</translation>
    </message>
    <message>
        <source>Choose a cover image</source>
        <translation>Choisir une image de pochette</translation>
    </message>
    <message>
        <source>Images (*.jpg *.jpeg *.png *.gif *.tif *.tiff *.bmp *.webp)</source>
        <translation>Images (*.jpg *.jpeg *.png *.gif *.tif *.tiff *.bmp *.webp)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>The track number must be a number, such as 3 or 3/12</source>
        <translation>Le numéro de piste doit être un nombre, comme 3 ou 3/12</translation>
    </message>
    <message>
        <source>The disc number must be a number, such as 1 or 1/2</source>
        <translation>Le numéro de disque doit être un nombre, comme 1 ou 1/2</translation>
    </message>
    <message>
        <source>The date must be a year, such as 2019, 2019-04 or 2019-04-01</source>
        <translation>La date doit être une année, comme 2019, 2019-04 ou 2019-04-01</translation>
    </message>
    <message>
        <source>Cue sheet text:</source>
        <translation>Texte de la feuille de cue :</translation>
    </message>
    <message>
        <source>The encoding the cue sheet's text is read in; choose another when the titles show wrong letters</source>
        <translation>L'encodage dans lequel le texte de la feuille de cue est lu ; en choisir un autre quand les titres montrent de mauvaises lettres</translation>
    </message>
    <message>
        <source>The cue sheet could not be read in that encoding</source>
        <translation>La feuille de cue n'a pas pu être lue dans cet encodage</translation>
    </message>
</context>
<context>
    <name>VueCtrlrReglage</name>
    <message>
        <source>Start</source>
        <translation>Démarrer</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Choose…</source>
        <translation>Choisir…</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>MP3</source>
        <translation>MP3</translation>
    </message>
    <message>
        <source>M4A (AAC)</source>
        <translation>M4A (AAC)</translation>
    </message>
    <message>
        <source>AIFF</source>
        <translation>AIFF</translation>
    </message>
    <message>
        <source>WAV</source>
        <translation>WAV</translation>
    </message>
    <message>
        <source>AIFF-C</source>
        <translation>AIFF-C</translation>
    </message>
    <message>
        <source>AAC (MP4)</source>
        <translation>AAC (MP4)</translation>
    </message>
    <message>
        <source>CAF</source>
        <translation>CAF</translation>
    </message>
    <message>
        <source>11.025 kHz</source>
        <translation>11,025 kHz</translation>
    </message>
    <message>
        <source>16 kHz</source>
        <translation>16 kHz</translation>
    </message>
    <message>
        <source>32 kHz</source>
        <translation>32 kHz</translation>
    </message>
    <message>
        <source>44.1 kHz</source>
        <translation>44,1 kHz</translation>
    </message>
    <message>
        <source>48 kHz</source>
        <translation>48 kHz</translation>
    </message>
    <message>
        <source>96 kHz</source>
        <translation>96 kHz</translation>
    </message>
    <message>
        <source>192 kHz</source>
        <translation>192 kHz</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stéréo</translation>
    </message>
    <message>
        <source>The output is converted to this sample rate</source>
        <translation>Le fichier converti est rééchantillonné à cette fréquence</translation>
    </message>
    <message>
        <source>The output is mixed down or up to this channel count</source>
        <translation>Le fichier converti est mixé vers ce nombre de canaux</translation>
    </message>
    <message>
        <source>Output</source>
        <translation>Sortie</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format :</translation>
    </message>
    <message>
        <source>Sample rate:</source>
        <translation>Fréquence :</translation>
    </message>
    <message>
        <source>Channels:</source>
        <translation>Canaux :</translation>
    </message>
    <message>
        <source>Destination</source>
        <translation>Destination</translation>
    </message>
    <message>
        <source>Beside the source file</source>
        <translation>À côté du fichier source</translation>
    </message>
    <message>
        <source>In a sub-folder:</source>
        <translation>Dans un sous-dossier :</translation>
    </message>
    <message>
        <source>In the folder:</source>
        <translation>Dans le dossier :</translation>
    </message>
    <message>
        <source>Keep the modification date</source>
        <translation>Conserver la date de modification</translation>
    </message>
    <message>
        <source>Delete the original once converted</source>
        <translation>Effacer l'original une fois converti</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>Choose the destination folder</source>
        <translation>Choisir le dossier de destination</translation>
    </message>
    <message>
        <source>How many files are converted at the same time; Auto uses one per processor core</source>
        <translation>Nombre de fichiers convertis en même temps ; Auto en convertit un par cœur du processeur</translation>
    </message>
    <message>
        <source>Simultaneous conversions:</source>
        <translation>Conversions simultanées :</translation>
    </message>
    <message>
        <source>Apple Lossless (ALAC)</source>
        <translation>Apple Lossless (ALAC)</translation>
    </message>
    <message>
        <source>Opus</source>
        <translation>Opus</translation>
    </message>
    <message>
        <source>Ogg Vorbis</source>
        <translation>Ogg Vorbis</translation>
    </message>
    <message>
        <source>In the folder, keeping the folder tree</source>
        <translation>Dans le dossier, en recréant l'arborescence</translation>
    </message>
    <message>
        <source>Name from the tags:</source>
        <translation>Nommer selon les tags :</translation>
    </message>
    <message>
        <source>Compression level passed to the flac program; decoding gives the same audio at every level</source>
        <translation>Niveau de compression passé au programme flac ; le décodage donne le même son à tous les niveaux</translation>
    </message>
    <message>
        <source>Fields: %1; a / makes a folder</source>
        <translation>Champs : %1 ; un / crée un dossier</translation>
    </message>
    <message>
        <source>Fields</source>
        <translation>Champs</translation>
    </message>
    <message>
        <source>Insert a field into the pattern</source>
        <translation>Insérer un champ dans le motif</translation>
    </message>
    <message>
        <source>Report an error</source>
        <translation>Signaler une erreur</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Remplacer</translation>
    </message>
    <message>
        <source>Update if the source changed</source>
        <translation>Mettre à jour si la source a changé</translation>
    </message>
    <message>
        <source>What to do with an output that already exists; updating converts again only what changed since the last pass and rewrites only the tags when only they changed</source>
        <translation>Que faire d'un fichier de sortie qui existe déjà ; la mise à jour ne convertit de nouveau que ce qui a changé depuis la dernière conversion, et ne réécrit que les tags quand eux seuls ont changé</translation>
    </message>
    <message>
        <source>Also copy images and booklets</source>
        <translation>Copier aussi les images et livrets</translation>
    </message>
    <message>
        <source>Names of the files copied beside the outputs, separated by spaces</source>
        <translation>Noms des fichiers copiés à côté des fichiers convertis, séparés par des espaces</translation>
    </message>
    <message>
        <source>Move to the trash the outputs whose source is gone</source>
        <translation>Mettre à la corbeille les sorties dont la source a disparu</translation>
    </message>
    <message>
        <source>Existing files:</source>
        <translation>Fichiers existants :</translation>
    </message>
    <message>
        <source>Convert disc images whole</source>
        <translation>Convertir les images entières</translation>
    </message>
    <message>
        <source>A FLAC disc image with its cue sheet is added as one file instead of its tracks</source>
        <translation>Une image de disque FLAC avec sa feuille de cue est ajoutée comme un seul fichier au lieu de ses pistes</translation>
    </message>
    <message>
        <source>At the end of the track before</source>
        <translation>À la fin de la piste précédente</translation>
    </message>
    <message>
        <source>At the start of their track</source>
        <translation>Au début de leur piste</translation>
    </message>
    <message>
        <source>Where the silence before a track of a disc image goes; applies to the images added from now on</source>
        <translation>Où va le silence avant une piste d'une image de disque ; vaut pour les images ajoutées à partir de maintenant</translation>
    </message>
    <message>
        <source>Gaps between tracks:</source>
        <translation>Silences entre pistes :</translation>
    </message>
    <message>
        <source>2.4</source>
        <translation>2.4</translation>
    </message>
    <message>
        <source>2.3</source>
        <translation>2.3</translation>
    </message>
    <message>
        <source>The ID3 version of MP3 and AIFF files; older car stereos and Windows Explorer read only 2.3</source>
        <translation>La version ID3 des fichiers MP3 et AIFF ; les autoradios anciens et l'Explorateur de Windows ne lisent que la 2.3</translation>
    </message>
    <message>
        <source>ID3 tags version:</source>
        <translation>Version des tags ID3 :</translation>
    </message>
    <message>
        <source>Also write cover.jpg in each output folder</source>
        <translation>Écrire aussi cover.jpg dans chaque dossier de sortie</translation>
    </message>
    <message>
        <source>Original</source>
        <translation>Originale</translation>
    </message>
    <message>
        <source>%1 px</source>
        <translation>%1 px</translation>
    </message>
    <message>
        <source>A larger cover is scaled down to this size as a baseline JPEG; many car stereos show no larger picture</source>
        <translation>Une pochette plus grande est réduite à cette taille en JPEG de base ; beaucoup d'autoradios n'affichent pas d'image plus grande</translation>
    </message>
    <message>
        <source>Largest cover:</source>
        <translation>Taille maximale de la pochette :</translation>
    </message>
    <message>
        <source>Always</source>
        <translation>Toujours</translation>
    </message>
    <message>
        <source>Never</source>
        <translation>Jamais</translation>
    </message>
    <message>
        <source>Names that USB sticks, car stereos and Windows shares take; Auto when the chosen folder is on such a file system</source>
        <translation>Des noms que prennent les clés USB, les autoradios et les partages Windows ; Auto quand le dossier choisi est sur un tel système de fichiers</translation>
    </message>
    <message>
        <source>Compatible file names (USB sticks, Windows):</source>
        <translation>Noms de fichiers compatibles (clés USB, Windows) :</translation>
    </message>
    <message>
        <source>Copy the source's</source>
        <translation>Copier celui de la source</translation>
    </message>
    <message>
        <source>Measure</source>
        <translation>Calculer</translation>
    </message>
    <message>
        <source>Write none</source>
        <translation>Ne rien écrire</translation>
    </message>
    <message>
        <source>Measure computes each track's and each album's loudness (ReplayGain 2.0, true peak) from the audio the conversion reads</source>
        <translation>Calculer mesure le volume de chaque piste et de chaque album (ReplayGain 2.0, crête vraie) sur le son que la conversion lit</translation>
    </message>
    <message>
        <source>Loudness (ReplayGain):</source>
        <translation>Volume (ReplayGain) :</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Non</translation>
    </message>
    <message>
        <source>Track loudness</source>
        <translation>Volume de la piste</translation>
    </message>
    <message>
        <source>Album loudness</source>
        <translation>Volume de l'album</translation>
    </message>
    <message>
        <source>Lossy outputs are made louder or quieter by the gain, never so much that they clip, for players that ignore ReplayGain</source>
        <translation>Les sorties avec perte sont rendues plus fortes ou plus douces selon le volume, jamais au point de saturer, pour les lecteurs qui ignorent ReplayGain</translation>
    </message>
    <message>
        <source>Apply the loudness to the audio:</source>
        <translation>Appliquer le volume au son :</translation>
    </message>
    <message>
        <source>Each lossy format keeps its own quality</source>
        <translation>Chaque format avec perte garde sa propre qualité</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>Qualité :</translation>
    </message>
    <message>
        <source>flac level (no effect on the sound):</source>
        <translation>Niveau flac (sans effet sur le son) :</translation>
    </message>
    <message>
        <source>VBR V%1 (about %2 kbit/s)</source>
        <translation>VBR V%1 (environ %2 kbit/s)</translation>
    </message>
    <message>
        <source>Quality %1 (about %2 kbit/s)</source>
        <translation>Qualité %1 (environ %2 kbit/s)</translation>
    </message>
    <message>
        <source>%1 kbit/s</source>
        <translation>%1 kbit/s</translation>
    </message>
    <message>
        <source>CBR %1</source>
        <translation>CBR %1</translation>
    </message>
    <message>
        <source>Lossless</source>
        <translation>Sans perte</translation>
    </message>
    <message>
        <source>%1 is always written at %2 kHz</source>
        <translation>%1 s'écrit toujours à %2 kHz</translation>
    </message>
    <message>
        <source>A source above this rate goes to the highest rate of its own family below it (44.1, 88.2 or 48, 96 kHz); one below it is left as it is</source>
        <translation>Une source au-dessus de cette fréquence va à la plus haute de sa famille en dessous (44,1, 88,2 ou 48, 96 kHz) ; une source en dessous reste telle quelle</translation>
    </message>
    <message>
        <source>Highest sample rate:</source>
        <translation>Fréquence maximale :</translation>
    </message>
    <message>
        <source>24 bits</source>
        <translation>24 bits</translation>
    </message>
    <message>
        <source>16 bits</source>
        <translation>16 bits</translation>
    </message>
    <message>
        <source>Lossless outputs of deeper sources are brought to this depth with triangular dither</source>
        <translation>Les sorties sans perte de sources plus profondes sont ramenées à cette résolution avec un dither triangulaire</translation>
    </message>
    <message>
        <source>Highest bit depth:</source>
        <translation>Résolution maximale :</translation>
    </message>
</context>
</TS>