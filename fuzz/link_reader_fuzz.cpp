// Fuzz target of the link reader: a table's extended data comes with the drawing, from anyone.
// Each input is a list of extended-data groups, one per line as "code value" (1001 starts an
// application's groups; "0 INSERT" makes the entity a block reference instead of a table).
// The groups are stored on an entity of a fresh drawing; then the link is read back and the
// databases the drawing names are collected (and opened), and everything is freed again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/base/command_line.h"
#include "host/session/documents.h"
#include "host/ui/ui_sink.h"
#include "link/DbRecords.h"
#include "link/TableLink.h"
#include "platform/arxHeaders.h"
#include "tables/TableCommands.h"

namespace {

// Message boxes of failed connections are answered at once.
class SilentSink : public host::UiSink {
public:
    int ShowMessageBox(const host::MessageBoxRequest& request) override {
        return host::DefaultMessageBoxAnswer(request.type);
    }
};

struct Group {
    int code = 0;
    std::string value;
};

std::vector<Group> ParseGroups(std::string_view text) {
    std::vector<Group> groups;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t space = line.find(' ');
        const std::string code(line.substr(0, space));
        char* stop = nullptr;
        const long number = std::strtol(code.c_str(), &stop, 10);
        if (code.empty() || *stop != 0)
            continue;
        groups.push_back({static_cast<int>(number), space == std::string_view::npos
                                                        ? std::string()
                                                        : std::string(line.substr(space + 1))});
    }
    return groups;
}

CString Text(const std::string& utf8) {
    return CString(qv::ConvertText<TCHAR>(std::string_view(utf8)));
}

// One resbuf for a group, or null for a code extended data cannot hold.
resbuf* MakeGroup(const Group& g) {
    resbuf* rb = nullptr;
    switch (g.code) {
        case 1000:
        case 1001:
        case 1002:
        case 1003:
        case 1005:
            rb = acutBuildList(g.code, Text(g.value).GetString(), 0);
            break;
        case 1010:
        case 1011:
        case 1012:
        case 1013: {
            ads_point p = {0, 0, 0};
            std::sscanf(g.value.c_str(), "%lf,%lf,%lf", &p[0], &p[1], &p[2]);
            rb = acutBuildList(g.code, p, 0);
            break;
        }
        case 1040:
        case 1041:
        case 1042:
            rb = acutBuildList(g.code, std::strtod(g.value.c_str(), nullptr), 0);
            break;
        case 1070:  // the values wrap as stored integers do
            rb = acutBuildList(
                g.code, static_cast<std::int16_t>(std::strtoll(g.value.c_str(), nullptr, 10)), 0);
            break;
        case 1071:
            rb = acutBuildList(
                g.code, static_cast<std::int32_t>(std::strtoll(g.value.c_str(), nullptr, 10)), 0);
            break;
        default:
            break;
    }
    return rb;
}

AcDbObjectId AddEntity(AcDbDatabase* db, bool blockReference) {
    AcDbEntity* entity = nullptr;
    if (blockReference) {
        entity = new AcDbBlockReference(AcGePoint3d(), db->modelSpaceId());
    } else {
        auto* table = new AcDbTable;
        table->setTableStyle(db->tablestyle());
        table->setNumRows(2);
        table->setNumColumns(2);
        entity = table;
    }
    AcDbBlockTableRecord* space = nullptr;
    AcDbObjectId id;
    if (acdbOpenObject(space, db->currentSpaceId(), AcDb::kForWrite) == Acad::eOk) {
        space->appendAcDbEntity(id, entity);
        space->close();
        entity->close();
    } else {
        delete entity;
    }
    return id;
}

// Stores the groups on the entity, one application at a time.
void StoreGroups(AcDbObjectId id, const std::vector<Group>& groups) {
    AcDbObject* pObj = nullptr;
    if (acdbOpenAcDbObject(pObj, id, AcDb::kForWrite) != Acad::eOk)
        return;
    for (std::size_t i = 0; i < groups.size();) {
        if (groups[i].code != 1001) {
            ++i;
            continue;
        }
        acdbRegApp(Text(groups[i].value).GetString());
        resbuf* head = MakeGroup(groups[i]);
        resbuf* tail = head;
        for (++i; i < groups.size() && groups[i].code != 1001; ++i) {
            if (resbuf* rb = MakeGroup(groups[i]))
                tail = tail->rbnext = rb;
        }
        pObj->setXData(head);
        acutRelRb(head);
    }
    pObj->close();
}

std::string g_printed;
SilentSink g_sink;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    host::SetCommandLineCapture(&g_printed);
    host::SetUiSink(&g_sink);
    host::StartDocuments();
    host::Documents()->Open();  // the drawing that stays open
    RegisterConnectTemplates();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Group> groups =
        ParseGroups(std::string_view(reinterpret_cast<const char*>(data), size));
    bool blockReference = false;
    for (const Group& g : groups)
        blockReference |= g.code == 0 && g.value == "INSERT";

    // A drawing saved beside the sample database: relative links name files there.
    host::Document* doc = host::Documents()->Open();
    doc->SetPath((std::filesystem::path(QUARVEL_SAMPLE_DB).parent_path() / "plan.dxf").string());
    const AcDbObjectId id = AddEntity(doc->database(), blockReference);
    StoreGroups(id, groups);

    TableLink link;
    if (link.ReadLinkById(id))
        IsUsableLink(link);
    AcDbObject* pObj = nullptr;
    if (acdbOpenAcDbObject(pObj, id, AcDb::kForRead) == Acad::eOk) {
        CString value;
        for (const TCHAR* key : {_T("Connect_Driver"), _T("Database"), _T("Table"), _T("SQL"),
                                 _T("User"), _T("Password")}) {
            ReadLinkString(pObj, key, value);
        }
        pObj->close();
    }
    g_dbList.CollectDrawingDatabases();
    FreeDatabases();

    host::Documents()->Close(doc);
    g_printed.clear();
    return 0;
}
