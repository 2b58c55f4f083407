#include "host/ui_sink.h"

#include <cstdio>

#include "platform/afxwin.h"
#include "platform/textconv.h"

namespace host {

namespace {
ConsoleUiSink g_consoleSink;
UiSink* g_sink = &g_consoleSink;
}  // namespace

int DefaultMessageBoxAnswer(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL: return IDYES;
        case MB_ABORTRETRYIGNORE: return IDABORT;
        case MB_RETRYCANCEL: return IDRETRY;
        default: return IDOK;
    }
}

const std::string& HostTitle() {
    static const std::string title = "CAD Host";
    return title;
}

int ConsoleUiSink::ShowMessageBox(const MessageBoxRequest& request) {
    std::printf("\n[%s] %s\n", request.caption.c_str(), request.text.c_str());
    std::fflush(stdout);
    return DefaultMessageBoxAnswer(request.type);
}

int RecordingUiSink::ShowMessageBox(const MessageBoxRequest& request) {
    shown.push_back(request);
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    return DefaultMessageBoxAnswer(request.type);
}

UiSink& CurrentUiSink() { return *g_sink; }

UiSink* SetUiSink(UiSink* sink) {
    UiSink* previous = g_sink;
    g_sink = sink ? sink : &g_consoleSink;
    return previous;
}

}  // namespace host

// Exported surface.

int AfxMessageBox(const char* text, UINT type, UINT) {
    return host::CurrentUiSink().ShowMessageBox({qv::ToUtf8(text), host::HostTitle(), type});
}

int AfxMessageBox(const char16_t* text, UINT type, UINT) {
    return host::CurrentUiSink().ShowMessageBox({qv::ToUtf8(text), host::HostTitle(), type});
}

int MessageBox(HWND, const char* text, const char* caption, UINT type) {
    return host::CurrentUiSink().ShowMessageBox(
        {qv::ToUtf8(text), caption ? qv::ToUtf8(caption) : host::HostTitle(), type});
}

int MessageBox(HWND, const char16_t* text, const char16_t* caption, UINT type) {
    return host::CurrentUiSink().ShowMessageBox(
        {qv::ToUtf8(text), caption ? qv::ToUtf8(caption) : host::HostTitle(), type});
}
