#pragma once

#include <QList>
#include <QString>

// The seven tags the information view edits, each once: its key in a
// record's tag sets (and its column in the store), its Vorbis comment name,
// whether it is a number, its row in the information view, its column in
// the file list and its field in the naming patterns. In the order metaflac
// is asked for them.
struct EditedField {
    // The file list's columns that show edited fields.
    enum ListColumn { kListTrack = 2, kListTitle = 3, kListArtist = 4, kListAlbum = 5 };

    const char* key;
    const char* vorbisName;
    bool numeric;
    // Row in the information view (row 0 is the output's file name).
    int infoRow;
    // Position among the store's tag columns.
    int storedColumn;
    // Column of the file list; -1 when the list does not show it.
    int listColumn;
    // Field of the naming patterns.
    const char* patternField;
    // What a value typed in the information view must look like (none: any
    // text), and what the view says of one that does not.
    const char* valueForm;
    const char* formHint;

    static const QList<EditedField>& all();
    // The field of a record key; null for a key that is no edited field.
    static const EditedField* byKey(const QString& key);
    // The keys in the order of the store's tag columns.
    static QStringList storedKeys();
    // The keys in the order of the information view's rows.
    static QStringList infoKeys();
    // Why the information view refuses that value for the field; empty when
    // it takes it.
    QString refusalFor(const QString& value) const;
};
