<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>Localizable</name>
    <message><source>kStatusConvAucun</source><translation>Aucun</translation></message>
    <message><source>kStatusConvPret</source><translation>Prêt</translation></message>
    <message><source>kStatusConvEncoursDecodage</source><translation>Décodage</translation></message>
    <message><source>kStatusConvEncoursCodage</source><translation>Encodage</translation></message>
    <message><source>kStatusConvFiniOk</source><translation>Terminé</translation></message>
    <message><source>kStatusConvFiniErreur</source><translation>Erreur</translation></message>
    <message><source>fileName</source><translation>Nom du fichier</translation></message>
    <message><source>tracknumber</source><translation>Piste</translation></message>
    <message><source>title</source><translation>Titre</translation></message>
    <message><source>artist</source><translation>Artiste</translation></message>
    <message><source>album</source><translation>Album</translation></message>
    <message><source>discnumber</source><translation>Disque</translation></message>
    <message><source>genre</source><translation>Genre</translation></message>
    <message><source>date</source><translation>Date</translation></message>
    <message><source>sample-rate</source><translation>Fréquence</translation></message>
    <message><source>bps</source><translation>Bits</translation></message>
    <message><source>channels</source><translation>Canaux</translation></message>
    <message><source>NSURLFileSizeKey</source><translation>Taille</translation></message>
</context>
</TS>
