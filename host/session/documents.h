// Documents: the open drawings, one of them current. Each document owns its drawing database,
// knows its file path (empty until the drawing is first saved) and its user coordinate
// system. Reactors hear about documents being created, activated and destroyed; loaded
// modules get the drawing messages (kLoadDwgMsg, kUnloadDwgMsg) as from a real host.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/acdocman.h"
#include "platform/afxwin.h"
#include "platform/gept3d.h"

namespace host {

class Document;

// The framework document of a drawing (acedGetAcadDoc).
class FrameworkDocument final : public CDocument {
public:
    explicit FrameworkDocument(const Document& doc) : m_doc(doc) {}
    CStringA GetPathNameA() const override;

private:
    const Document& m_doc;
};

class TransactionManager final : public AcTransactionManager {
public:
    Acad::ErrorStatus flushGraphics() override {
        ++m_flushes;
        return Acad::eOk;
    }
    int Flushes() const { return m_flushes; }

private:
    int m_flushes = 0;
};

class Document final : public AcApDocument {
public:
    Document(std::unique_ptr<AcDbDatabase> db, std::string path, std::string title);
    ~Document() override;
    AcDbDatabase* database() const override { return m_db.get(); }
    const char* fileNameUtf8() const override { return m_path.c_str(); }
    const char* docTitleUtf8() const override { return m_title.c_str(); }
    AcTransactionManager* transactionManager() const override { return &m_transactions; }

    const std::string& Path() const { return m_path; }
    // After a successful save under a new name.
    void SetPath(std::string path);
    CDocument* Framework() { return &m_framework; }
    int FlushCount() const { return m_transactions.Flushes(); }
    int RedrawCount() const { return m_redraws; }
    // Whether the drawing may have changed since it was opened or last saved.
    bool Modified() const;
    // After a successful save.
    void MarkSaved();
    void CountRedraw() { ++m_redraws; }

    // The DXF version SAVE writes ("R2000"): the one last chosen in SAVEAS, else the version
    // of the file the drawing was read from; empty for the default.
    std::string saveVersion;

    // The user coordinate system: an origin and two axes in world coordinates.
    AcGePoint3d ucsOrigin{0, 0, 0};
    AcGeVector3d ucsXAxis{1, 0, 0};
    AcGeVector3d ucsYAxis{0, 1, 0};

private:
    std::unique_ptr<AcDbDatabase> m_db;
    std::string m_path;
    std::string m_title;
    mutable TransactionManager m_transactions;
    FrameworkDocument m_framework;
    int m_redraws = 0;
    std::uint64_t m_savedChanges = 0;
};

class DocManager final : public AcApDocManager {
public:
    DocManager();
    ~DocManager() override;
    AcApDocument* curDocument() const override { return m_current; }
    AcApDocument* mdiActiveDocument() const override { return m_current; }
    int documentCount() const override { return static_cast<int>(m_docs.size()); }
    void addReactor(AcApDocManagerReactor* reactor) override;
    void removeReactor(AcApDocManagerReactor* reactor) override;
    void pushResourceHandle(HINSTANCE resource) override;
    void popResourceHandle() override;

    // Opens a document for db (a new empty drawing when null) and makes it current. path is
    // the file it was read from ("" for a new drawing).
    Document* Open(std::unique_ptr<AcDbDatabase> db = nullptr, std::string path = {});
    // Closes a document; another becomes current. Closing the last one is allowed only while
    // shutting down (CloseAll).
    bool Close(Document* doc);
    void CloseAll();
    void Activate(Document* doc);
    Document* Current() const { return m_current; }
    const std::vector<std::unique_ptr<Document>>& Documents() const { return m_docs; }
    std::size_t ReactorCount() const { return m_reactors.size(); }
    // Removes every reactor whose object lies in [begin, end) (a module going away); returns
    // how many.
    std::size_t RemoveReactorsIn(const void* begin, const void* end);

private:
    template <class F>
    void Notify(F call);
    void Destroy(Document* doc, Document* next);
    std::vector<std::unique_ptr<Document>> m_docs;
    std::vector<AcApDocManagerReactor*> m_reactors;
    Document* m_current = nullptr;
    int m_untitled = 0;
};

// The document manager, created by StartDocuments and gone after StopDocuments.
DocManager* Documents();
// Creates the manager (without documents).
void StartDocuments();
// Closes every document and destroys the manager.
void StopDocuments();
// The current document, or null.
Document* CurrentDocument();

// The resource-handle stack (module resources made current for dialogs).
struct ResourceStackInfo {
    std::size_t depth = 0;  // handles pushed and not yet popped
    int emptyPops = 0;      // pops of an empty stack (harmless, reported)
};
ResourceStackInfo ResourceStack();

}  // namespace host
