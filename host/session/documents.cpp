#include "host/session/documents.h"

#include <algorithm>
#include <functional>

#include "host/base/report.h"
#include "host/db/hostdb.h"
#include "host/dxf/drawing.h"
#include "host/dxf/version.h"
#include "host/session/loader.h"
#include "platform/dbmain.h"
#include "platform/rxdefs.h"

namespace host {

namespace {

DocManager* g_manager = nullptr;

// The resource handle in use and the ones pushed before it.
struct ResourceState {
    HINSTANCE current = nullptr;
    std::vector<HINSTANCE> saved;
    int emptyPops = 0;
} g_resources;

}  // namespace

// ---- Documents -------------------------------------------------------------------------

CStringA FrameworkDocument::GetPathNameA() const {
    return CStringA(m_doc.Path().c_str());
}

Document::Document(std::unique_ptr<AcDbDatabase> db, std::string path, std::string title)
    : m_db(std::move(db)),
      m_path(std::move(path)),
      m_title(std::move(title)),
      m_framework(*this),
      m_savedChanges(host::ChangeSerial(m_db.get())) {}

bool Document::Modified() const {
    return host::ChangeSerial(m_db.get()) != m_savedChanges;
}

void Document::MarkSaved() {
    m_savedChanges = host::ChangeSerial(m_db.get());
}

Document::~Document() = default;

void Document::SetPath(std::string path) {
    m_path = std::move(path);
    const std::size_t slash = m_path.find_last_of('/');
    m_title = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

// ---- Manager ---------------------------------------------------------------------------

DocManager::DocManager() {
    // Modules look the reactor class up by name in the class dictionary.
    acrxClassDictionary->at("AcApDocManagerReactor");
}

DocManager::~DocManager() {
    CloseAll();
}

template <class F>
void DocManager::Notify(F call) {
    // A reactor may add or remove reactors while being told: work on a copy and skip the
    // ones removed meanwhile.
    const std::vector<AcApDocManagerReactor*> reactors = m_reactors;
    for (AcApDocManagerReactor* reactor : reactors) {
        if (std::find(m_reactors.begin(), m_reactors.end(), reactor) != m_reactors.end())
            call(reactor);
    }
}

void DocManager::addReactor(AcApDocManagerReactor* reactor) {
    if (!reactor)
        return;
    if (std::find(m_reactors.begin(), m_reactors.end(), reactor) == m_reactors.end())
        m_reactors.push_back(reactor);
}

void DocManager::removeReactor(AcApDocManagerReactor* reactor) {
    std::erase(m_reactors, reactor);
}

std::size_t DocManager::RemoveReactorsIn(const void* begin, const void* end) {
    const std::less<const void*> less;
    return std::erase_if(m_reactors, [&](AcApDocManagerReactor* r) {
        const void* p = r;
        return !less(p, begin) && less(p, end);
    });
}

void DocManager::pushResourceHandle(HINSTANCE resource) {
    g_resources.saved.push_back(g_resources.current);
    g_resources.current = resource;
}

void DocManager::popResourceHandle() {
    if (g_resources.saved.empty()) {
        ++g_resources.emptyPops;
        ReportWarning("popResourceHandle: the resource stack is empty; nothing was popped");
        return;
    }
    g_resources.current = g_resources.saved.back();
    g_resources.saved.pop_back();
}

Document* DocManager::Open(std::unique_ptr<AcDbDatabase> db, std::string path) {
    std::string title;
    if (path.empty()) {
        title = "Drawing" + std::to_string(++m_untitled) + ".dxf";
    } else {
        const std::size_t slash = path.find_last_of('/');
        title = slash == std::string::npos ? path : path.substr(slash + 1);
    }
    // A drawing read from a file is saved again in its own version, so that SAVE loses
    // nothing the file could hold; new drawings get the default.
    std::string version;
    if (db) {
        const std::string release = dxf::ReleaseOfAcadVer(dxf::FileAcadVer(*db));
        if (dxf::ParseVersionName(release))
            version = release;
    } else {
        db = std::make_unique<AcDbDatabase>(true);
    }
    m_docs.push_back(std::make_unique<Document>(std::move(db), std::move(path), std::move(title)));
    Document* doc = m_docs.back().get();
    doc->saveVersion = version;
    Notify([&](AcApDocManagerReactor* r) { r->documentCreateStarted(doc); });
    Notify([&](AcApDocManagerReactor* r) { r->documentCreated(doc); });
    Activate(doc);
    SendToModules(AcRx::kLoadDwgMsg, doc);
    // What the modules set up in a drawing as it opens is not a change of the user's.
    doc->MarkSaved();
    return doc;
}

void DocManager::Activate(Document* doc) {
    if (!doc || doc == m_current)
        return;
    Document* previous = m_current;
    if (previous)
        Notify([&](AcApDocManagerReactor* r) { r->documentToBeDeactivated(previous); });
    Notify([&](AcApDocManagerReactor* r) { r->documentToBeActivated(doc); });
    m_current = doc;
    SetWorkingDatabase(doc->database());
    Notify([&](AcApDocManagerReactor* r) { r->documentBecameCurrent(doc); });
    Notify([&](AcApDocManagerReactor* r) { r->documentActivated(doc); });
}

bool DocManager::Close(Document* doc) {
    if (!doc || m_docs.size() < 2)
        return false;
    const auto it =
        std::find_if(m_docs.begin(), m_docs.end(), [&](const auto& d) { return d.get() == doc; });
    if (it == m_docs.end())
        return false;
    // The most recently opened of the others becomes current.
    Document* next = nullptr;
    if (doc == m_current) {
        for (auto other = m_docs.rbegin(); other != m_docs.rend(); ++other) {
            if (other->get() != doc) {
                next = other->get();
                break;
            }
        }
    }
    Destroy(doc, next);
    return true;
}

void DocManager::Destroy(Document* doc, Document* next) {
    // Modules and reactors hear of the closing while the document is still what it was
    // (current, when it was); then another becomes current and the document goes.
    SendToModules(AcRx::kUnloadDwgMsg, doc);
    Notify([&](AcApDocManagerReactor* r) { r->documentToBeDestroyed(doc); });
    if (next)
        Activate(next);
    const std::string fileName = doc->Path();
    const auto it =
        std::find_if(m_docs.begin(), m_docs.end(), [&](const auto& d) { return d.get() == doc; });
    std::unique_ptr<Document> owned = std::move(*it);
    m_docs.erase(it);
    if (m_current == doc) {
        m_current = nullptr;
        SetWorkingDatabase(nullptr);
    }
    owned.reset();
    Notify([&](AcApDocManagerReactor* r) { r->documentDestroyed(fileName.c_str()); });
}

void DocManager::CloseAll() {
    while (!m_docs.empty()) {
        Document* doc = m_current ? m_current : m_docs.back().get();
        if (m_docs.size() > 1) {
            Close(doc);
        } else {
            Destroy(doc, nullptr);
        }
    }
}

DocManager* Documents() {
    return g_manager;
}

void StartDocuments() {
    if (!g_manager)
        g_manager = new DocManager;
}

void StopDocuments() {
    if (!g_manager)
        return;
    g_manager->CloseAll();
    delete g_manager;
    g_manager = nullptr;
}

Document* CurrentDocument() {
    return g_manager ? g_manager->Current() : nullptr;
}

ResourceStackInfo ResourceStack() {
    return {g_resources.saved.size(), g_resources.emptyPops};
}

}  // namespace host

// ---- Exported surface ------------------------------------------------------------------

AcApDocManager* acDocManagerPtr() {
    return host::g_manager;
}

AcDbDatabase* acdbCurDwg() {
    host::Document* doc = host::CurrentDocument();
    return doc ? doc->database() : nullptr;
}

CDocument* acedGetAcadDoc() {
    host::Document* doc = host::CurrentDocument();
    return doc ? doc->Framework() : nullptr;
}

HINSTANCE AfxGetResourceHandle() {
    return host::g_resources.current;
}
void AfxSetResourceHandle(HINSTANCE resource) {
    host::g_resources.current = resource;
}
