#pragma once

#include "model/DestinationRules.h"
#include "model/PersistentURL.h"

#include <QString>
#include <QVariantMap>

#include <memory>

// Element type codes, shared by elements and the `ftype` column.
enum ElementType : qint32 {
    kElementAucun = 0,
    kElementDossier = 1,
    kElementSourceFlac = 2,
    kElementTempAudio = 3,
    kElementDestination = 4,
    kElementImage = 5,
    kElementTempImage = 6,
};

// A file or folder the user gave to the application: its own location,
// where its converted file goes (by the destination rules the queue gives
// it) and where the decoder writes its temporary file, and the cover-image
// options that audio files use. Lives on the main thread.
class FinderElement {
public:
    FinderElement();
    virtual ~FinderElement();

    // The row identifier in the store, 0 while it has none.
    quint32 sqliteid() const { return m_sqliteid; }
    void setSqliteid(quint32 identifier) { m_sqliteid = identifier; }

    // The destination, worked out from the rules on first use, then cached.
    PersistentURLPtr destinationURL();
    void setDestinationURL(const PersistentURLPtr& url);
    // Works the destination out again from the rules.
    PersistentURLPtr freshDestinationURL();
    // The rules the destination is worked out by; shared by the queue's files.
    void setDestinationRules(const std::shared_ptr<const DestinationRules>& rules) {
        m_rules = rules;
    }
    const DestinationRules& destinationRules() const;
    // The hidden decoded file beside the destination, worked out on first use.
    PersistentURLPtr tempDestinationURL();
    // Its path, worked out without being kept; empty without a destination.
    QString tempDestinationPath();
    void setTempDestinationURL(const PersistentURLPtr& url);

    bool originalExists() const;
    bool destinationExists();
    virtual QString nomElement() const;
    virtual QString description() const;

    virtual bool isactive() const { return m_isactive; }
    void setIsactive(bool active) { m_isactive = active; }
    virtual qint32 elementType() const { return m_elementType; }
    void setElementType(qint32 type) { m_elementType = type; }
    virtual qint32 imageAutoFind() const { return m_imageAutoFind; }
    virtual void setImageAutoFind(qint32 value) { m_imageAutoFind = value; }
    virtual qint32 imageSourceType() const { return m_imageSourceType; }
    virtual void setImageSourceType(qint32 value) { m_imageSourceType = value; }

    PersistentURLPtr elementURL() const;
    void setElementURL(const PersistentURLPtr& url);
    PersistentURLPtr imageTempURL() const;
    virtual void setImageTempURL(const PersistentURLPtr& url);
    QString nomDestination() const;
    void setNomDestination(const QString& name);
    // The folder the user added this file from (itself for a file added on
    // its own): the tree destination mirrors the source's path below it.
    QString rootFolder() const;
    void setRootFolder(const QString& folder);
    // For a file added on its own: the folder another addition came from
    // that holds it, which the tree destination mirrors it below; memory
    // only, worked out again before each pass.
    void setInheritedRoot(const QString& folder);
    // Whether the output name was typed by the user rather than made from
    // the source's name: a typed name wins over the naming pattern.
    bool hasTypedName() const;

protected:
    // The tags a naming pattern reads; none for a plain element.
    virtual QVariantMap patternTags() const { return QVariantMap(); }
    // The name an output takes when none was typed: the source's, without
    // its extension.
    virtual QString sourceBaseName() const;

public:
private:
    QString destinationFolder() const;
    // The path below the chosen folder that the naming pattern gives, empty
    // when no pattern applies.
    QString patternedPath(const QString& extension) const;
    bool typedName() const;

    bool m_isactive = true;
    qint32 m_elementType = kElementAucun;
    qint32 m_imageAutoFind = 1;
    qint32 m_imageSourceType = 0;
    quint32 m_sqliteid = 0;

    std::shared_ptr<const DestinationRules> m_rules;
    PersistentURLPtr m_elementURL;
    PersistentURLPtr m_destinationURL;
    PersistentURLPtr m_imageTempURL;
    QString m_nomDestination;
    PersistentURLPtr m_tempAudioURL;
    QString m_rootFolder;
    QString m_inheritedRoot;
};
