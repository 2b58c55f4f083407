// Per-document data of a module: one record per document, created on demand and dropped when
// the host announces that its document is about to be destroyed.
#pragma once

#include <map>

#include "platform/acdocman.h"

template <class T>
class AcApDataManager : public AcApDocManagerReactor {
public:
    // Follows the host's documents from construction (the module's load) on.
    AcApDataManager() {
        if (acDocManager)
            acDocManager->addReactor(this);
    }
    // Stops following them, if the host's document manager still exists.
    ~AcApDataManager() override {
        if (acDocManager)
            acDocManager->removeReactor(this);
        m_dataMap.clear();
    }
    AcApDataManager(const AcApDataManager&) = delete;
    AcApDataManager& operator=(const AcApDataManager&) = delete;

    // The class descriptor of the reactor class, looked up once by name.
    AcRxClass* isA() const override {
        static AcRxClass* cls =
            static_cast<AcRxClass*>(acrxClassDictionary->at("AcApDocManagerReactor"));
        return cls;
    }

    void documentToBeDestroyed(AcApDocument* doc) override { m_dataMap.erase(doc); }

    // The record of a document (of the current one without an argument), created empty when
    // the document has none.
    T& docData(AcApDocument* doc) { return m_dataMap[doc]; }
    T& docData() { return docData(acDocManager->curDocument()); }

    std::size_t size() const { return m_dataMap.size(); }

private:
    std::map<AcApDocument*, T> m_dataMap;
};
