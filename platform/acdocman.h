// Documents: the open drawings, the current one, the resource-handle stack and the document
// reactors through which a module follows drawings being opened and closed.
#pragma once

#include "platform/rxobject.h"
#include "platform/windef.h"

class AcDbDatabase;
class AcApDocument;

namespace AcAp {
enum DocLockMode {
    kNone = 0x00,
    kAutoWrite = 0x01,
    kNotLocked = 0x02,
    kWrite = 0x04,
    kProtectedAutoWrite = 0x14,
    kRead = 0x20,
    kXWrite = 0x40,
};
}

// The transaction manager of a document; only the graphics flush is offered.
class AcTransactionManager {
public:
    virtual ~AcTransactionManager() = default;
    // Brings the display up to date with the objects closed so far.
    virtual Acad::ErrorStatus flushGraphics() = 0;
};

class AcApDocument : public AcRxObject {
public:
    // The drawing's database.
    virtual AcDbDatabase* database() const = 0;
    // Full path of the drawing file in UTF-8; empty until the drawing is first saved.
    virtual const char* fileNameUtf8() const = 0;
    // The title shown for the drawing (its file name, or "Drawing1.dxf"-style before saving).
    virtual const char* docTitleUtf8() const = 0;
    virtual AcTransactionManager* transactionManager() const = 0;
};

// Callbacks about documents. File names are UTF-8.
class AcApDocManagerReactor : public AcRxObject {
public:
    ACRX_DECLARE_MEMBERS(AcApDocManagerReactor)
    virtual void documentCreateStarted(AcApDocument* doc);
    virtual void documentCreated(AcApDocument* doc);
    virtual void documentToBeDestroyed(AcApDocument* doc);
    virtual void documentDestroyed(const char* fileName);
    virtual void documentCreateCanceled(AcApDocument* doc);
    virtual void documentLockModeWillChange(AcApDocument* doc, AcAp::DocLockMode myCurrentMode,
                                            AcAp::DocLockMode myNewMode,
                                            AcAp::DocLockMode currentMode,
                                            const char* globalCmdName);
    virtual void documentLockModeChangeVetoed(AcApDocument* doc, const char* globalCmdName);
    virtual void documentLockModeChanged(AcApDocument* doc, AcAp::DocLockMode myPreviousMode,
                                         AcAp::DocLockMode myCurrentMode,
                                         AcAp::DocLockMode currentMode,
                                         const char* globalCmdName);
    virtual void documentBecameCurrent(AcApDocument* doc);
    virtual void documentToBeActivated(AcApDocument* doc);
    virtual void documentToBeDeactivated(AcApDocument* doc);
    virtual void documentActivationModified(bool activation);
    virtual void documentActivated(AcApDocument* doc);
};

class AcApDocManager : public AcRxObject {
public:
    virtual AcApDocument* curDocument() const = 0;
    virtual AcApDocument* mdiActiveDocument() const = 0;
    virtual int documentCount() const = 0;
    virtual void addReactor(AcApDocManagerReactor* reactor) = 0;
    virtual void removeReactor(AcApDocManagerReactor* reactor) = 0;
    // Makes a module's resources current (for its dialogs) until the matching pop.
    virtual void pushResourceHandle(HINSTANCE resource) = 0;
    virtual void popResourceHandle() = 0;
};

// The document manager; null once the host has shut it down.
AcApDocManager* acDocManagerPtr();
#define acDocManager acDocManagerPtr()

// The working database (the current document's drawing).
AcDbDatabase* acdbCurDwg();
