#pragma once
// One loaded page-layout script: its object tree, the names of its named objects and the file
// it came from. Scripts belong to a handler, which owns the calculator that all of their
// expressions go through.
#include <QIODevice>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>

#include "script/QSExecData.h"
#include "script/QSObjects.h"

class TQSHandler;

enum TFSHandlerMode { hmDebug, hmApplication };

// Event types of the handler's OnEvent.
enum TQSEventType : int {
    qeAnnounce = 1,
    qeObjectRead = 2,
    qeObjectFreed = 3,
    qeScriptCreated = 4,
    qeModified = 6,
    qeScriptFreed = 7,
    qePrintPage = 9,
    qePreviewPage = 10,
    qeStateChanged = 13,
    qeReset = 15,
};

class TQSScript {
public:
    // The handler may be absent (a script read on its own, as by the tools); it is then in
    // debug mode and raises no events.
    explicit TQSScript(TQSHandler* handler = nullptr);
    ~TQSScript();
    TQSScript(const TQSScript&) = delete;
    TQSScript& operator=(const TQSScript&) = delete;

    TQSHandler* Handler() const { return m_handler; }
    TFSHandlerMode Mode() const;
    TQSBaseContainer* Root() const { return m_root.get(); }
    TQSExecData& ExecData() const { return *m_exec; }
    // The handler's calculator; a script on its own has one of its own.
    TQuillCalc& Calc() const;
    const QString& FileName() const { return m_fileName; }

    bool IsLoading() const { return m_loading; }
    bool Modified() const { return m_modified; }
    void SetModified();

    // Reads a script file into this script (replacing the sections' children); on any error
    // the script is left as it was.
    void LoadFromFile(const QString& fileName);
    void LoadFromStream(QIODevice& stream);
    void SaveToStream(QIODevice& stream) const;

    // The named object (variable, font, datasource, external function) of that name,
    // regardless of letter case.
    TQSScriptObject* FindNamedObject(const QString& name) const;
    // A variable of section 1 by name.
    TQSScriptObject* FindVariable(const QString& name) const;
    // The external function of section 6 by name.
    TQSScriptObject* FindExternalFunction(const QString& name) const;

    void Fire(int eventType, TQSScriptObject* object) const;
    // Resets the objects' state and the execution; the variables' presets are forgotten.
    void Reset();

private:
    friend class TQSScriptObject;
    TQSHandler* m_handler;
    // Made before the tree, whose data objects register with it, and freed after it.
    std::unique_ptr<TQSExecData> m_exec;
    mutable std::unique_ptr<TQuillCalc> m_ownCalc;
    std::unique_ptr<TQSBaseContainer> m_root;
    // The names of the script's named objects, in lower case; each name is held once.
    struct NameIndex {
        QHash<QString, TQSScriptObject*> byName;
        // Per default-name stem, the lowest number that may be free.
        QHash<QString, int> nextFree;
    };
    void TakeName(TQSScriptObject* object, const QString& name);
    void ReleaseName(TQSScriptObject* object, const QString& name);
    QString FreeName(const QString& stem);
    NameIndex m_names;
    QString m_fileName;
    bool m_loading = false;
    bool m_modified = false;
};
