#include "host/session/documents.h"

#include <gtest/gtest.h>

#include "../host_test.h"
#include "host/db/hostdb.h"
#include "platform/acdocman.h"
#include "platform/acedads.h"
#include "platform/afxwin.h"
#include "platform/dbmain.h"

namespace {

// Writes every callback as one word.
class LogReactor : public AcApDocManagerReactor {
public:
    void documentCreateStarted(AcApDocument* d) override { Log("createStarted", d); }
    void documentCreated(AcApDocument* d) override { Log("created", d); }
    void documentToBeDestroyed(AcApDocument* d) override { Log("toBeDestroyed", d); }
    void documentDestroyed(const char*) override { log += "destroyed "; }
    void documentBecameCurrent(AcApDocument* d) override { Log("current", d); }
    void documentToBeActivated(AcApDocument* d) override { Log("toBeActivated", d); }
    void documentToBeDeactivated(AcApDocument* d) override { Log("toBeDeactivated", d); }
    void documentActivated(AcApDocument* d) override { Log("activated", d); }
    std::string log;

private:
    void Log(const char* what, AcApDocument* d) {
        log += what;
        log += "(";
        log += d->docTitleUtf8();
        log += ") ";
    }
};

using Documents = HostTest;

TEST_F(Documents, ReactorsHearOfDocumentsOpenedActivatedAndClosed) {
    LogReactor reactor;
    acDocManager->addReactor(&reactor);
    acDocManager->addReactor(&reactor);  // once only
    host::DocManager* docs = host::Documents();
    host::Document* first = docs->Current();
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->docTitleUtf8(), "Drawing1.dxf");

    host::Document* second = docs->Open();
    EXPECT_EQ(reactor.log,
              "createStarted(Drawing2.dxf) created(Drawing2.dxf) toBeDeactivated(Drawing1.dxf) "
              "toBeActivated(Drawing2.dxf) current(Drawing2.dxf) activated(Drawing2.dxf) ");
    EXPECT_EQ(acDocManager->curDocument(), second);
    EXPECT_EQ(acDocManager->documentCount(), 2);
    EXPECT_EQ(acdbCurDwg(), second->database());
    EXPECT_EQ(host::WorkingDatabase(), second->database());

    reactor.log.clear();
    EXPECT_TRUE(docs->Close(second));
    EXPECT_EQ(reactor.log,
              "toBeDestroyed(Drawing2.dxf) toBeDeactivated(Drawing2.dxf) "
              "toBeActivated(Drawing1.dxf) current(Drawing1.dxf) activated(Drawing1.dxf) "
              "destroyed ");
    EXPECT_EQ(acdbCurDwg(), first->database());
    // The last document stays open.
    EXPECT_FALSE(docs->Close(first));

    acDocManager->removeReactor(&reactor);
    reactor.log.clear();
    docs->Open();
    EXPECT_EQ(reactor.log, "");
}

// A reactor that takes itself out while being told.
class SelfRemovingReactor : public AcApDocManagerReactor {
public:
    void documentCreated(AcApDocument*) override {
        ++calls;
        acDocManager->removeReactor(this);
    }
    int calls = 0;
};

TEST_F(Documents, AReactorMayRemoveItselfDuringACallback) {
    SelfRemovingReactor self;
    LogReactor other;
    acDocManager->addReactor(&self);
    acDocManager->addReactor(&other);
    host::Documents()->Open();
    host::Documents()->Open();
    EXPECT_EQ(self.calls, 1);
    EXPECT_NE(other.log.find("created(Drawing3.dxf)"), std::string::npos);
    acDocManager->removeReactor(&other);
}

// Checks that a closing document is still current when it is announced.
class ClosingReactor : public AcApDocManagerReactor {
public:
    void documentToBeDestroyed(AcApDocument* d) override {
        wasCurrent = acDocManager->curDocument() == d;
        databaseWasWorking = acdbCurDwg() == d->database();
    }
    bool wasCurrent = false;
    bool databaseWasWorking = false;
};

TEST_F(Documents, ClosingDocumentIsCurrentWhenAnnounced) {
    ClosingReactor reactor;
    acDocManager->addReactor(&reactor);
    EXPECT_TRUE(RunScript({"NEW", "CLOSE"}));
    EXPECT_TRUE(reactor.wasCurrent);
    EXPECT_TRUE(reactor.databaseWasWorking);
    acDocManager->removeReactor(&reactor);
}

TEST_F(Documents, PathIsEmptyUntilSaved) {
    host::Document* doc = host::CurrentDocument();
    EXPECT_STREQ(doc->fileNameUtf8(), "");
    EXPECT_EQ(acedGetAcadDoc()->GetPathNameA(), CStringA(""));
    doc->SetPath("/tmp/plans/site.dxf");
    EXPECT_EQ(acedGetAcadDoc()->GetPathNameA(), CStringA("/tmp/plans/site.dxf"));
    EXPECT_EQ(acedGetAcadDoc()->GetPathNameW(), CStringW(u"/tmp/plans/site.dxf"));
    EXPECT_STREQ(doc->docTitleUtf8(), "site.dxf");
}

TEST_F(Documents, ASaveThatFailsKeepsThePathEmpty) {
    // SAVE asks for a name the first time; a file that cannot be written fails clearly.
    EXPECT_FALSE(RunScript({"SAVE", "/tmp/hostui_no_such_folder/never_written.dxf"}));
    EXPECT_STREQ(host::CurrentDocument()->fileNameUtf8(), "");
    EXPECT_NE(errors.find("cannot save"), std::string::npos) << errors;
}

TEST_F(Documents, OpeningAnOpenDrawingMakesItCurrent) {
    host::Document* first = host::CurrentDocument();
    first->SetPath("/tmp/hostui_site.dxf");
    host::Documents()->Open();
    EXPECT_TRUE(RunScript({"OPEN", "/tmp/hostui_site.dxf"}));
    EXPECT_EQ(host::CurrentDocument(), first);
    EXPECT_EQ(acDocManager->documentCount(), 2);
    EXPECT_NE(out.find("is open already; it is now current."), std::string::npos);
}

TEST_F(Documents, FlushGraphicsIsCounted) {
    host::Document* doc = host::CurrentDocument();
    EXPECT_EQ(doc->FlushCount(), 0);
    EXPECT_EQ(acDocManager->curDocument()->transactionManager()->flushGraphics(), Acad::eOk);
    EXPECT_EQ(acDocManager->curDocument()->transactionManager()->flushGraphics(), Acad::eOk);
    EXPECT_EQ(doc->FlushCount(), 2);
}

TEST_F(Documents, ResourceHandlesArePushedAndPopped) {
    auto handle = [](std::uintptr_t n) { return reinterpret_cast<HINSTANCE>(n); };
    const HINSTANCE original = AfxGetResourceHandle();
    acDocManager->pushResourceHandle(handle(0x100));
    EXPECT_EQ(AfxGetResourceHandle(), handle(0x100));
    acDocManager->pushResourceHandle(handle(0x200));
    EXPECT_EQ(AfxGetResourceHandle(), handle(0x200));
    EXPECT_EQ(host::ResourceStack().depth, 2u);
    acDocManager->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), handle(0x100));
    acDocManager->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), original);
    EXPECT_EQ(host::ResourceStack().depth, 0u);

    // Popping an empty stack changes nothing and is reported.
    const int emptyPops = host::ResourceStack().emptyPops;
    acDocManager->popResourceHandle();
    EXPECT_EQ(AfxGetResourceHandle(), original);
    EXPECT_EQ(host::ResourceStack().emptyPops, emptyPops + 1);
    EXPECT_NE(errors.find("warning: popResourceHandle"), std::string::npos) << errors;
}

TEST_F(Documents, NewCommandOpensAnotherDocument) {
    EXPECT_TRUE(RunScript({"NEW", "_new"}));
    EXPECT_EQ(acDocManager->documentCount(), 3);
    EXPECT_STREQ(host::CurrentDocument()->docTitleUtf8(), "Drawing3.dxf");
    EXPECT_TRUE(RunScript({"CLOSE", "CLOSE"}));
    EXPECT_FALSE(RunScript({"CLOSE"}));
    EXPECT_EQ(acDocManager->documentCount(), 1);
}

TEST(DocumentsLifetime, ManagerIsGoneAfterTheSession) {
    {
        host::Session session;
        EXPECT_NE(acDocManager, nullptr);
    }
    EXPECT_EQ(acDocManager, nullptr);
    EXPECT_EQ(acdbCurDwg(), nullptr);
    EXPECT_EQ(acedGetAcadDoc(), nullptr);
}

}  // namespace
