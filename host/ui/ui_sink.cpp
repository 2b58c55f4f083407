#include "host/ui/ui_sink.h"

#include <cctype>
#include <cstdio>

#include "host/base/command_line.h"
#include "host/ui/input_source.h"
#include "platform/adscodes.h"
#include "platform/afxwin.h"
#include "platform/textconv.h"

namespace host {

namespace {

ConsoleUiSink g_consoleSink;
UiSink* g_sink = &g_consoleSink;

struct Button {
    const char* name;
    int id;
};

std::vector<Button> ButtonsOf(unsigned type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {{"OK", IDOK}, {"Cancel", IDCANCEL}};
        case MB_ABORTRETRYIGNORE:
            return {{"Abort", IDABORT}, {"Retry", IDRETRY}, {"Ignore", IDIGNORE}};
        case MB_YESNOCANCEL:
            return {{"Yes", IDYES}, {"No", IDNO}, {"Cancel", IDCANCEL}};
        case MB_YESNO:
            return {{"Yes", IDYES}, {"No", IDNO}};
        case MB_RETRYCANCEL:
            return {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}};
        default:
            return {{"OK", IDOK}};
    }
}

bool Matches(std::string_view answer, const char* name) {
    const std::string_view full(name);
    if (answer.empty() || answer.size() > full.size())
        return false;
    for (std::size_t i = 0; i < answer.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(answer[i])) !=
            std::tolower(static_cast<unsigned char>(full[i])))
            return false;
    }
    return true;
}

}  // namespace

int DefaultMessageBoxAnswer(unsigned type) {
    const std::vector<Button> buttons = ButtonsOf(type);
    if ((type & MB_DEFBUTTON2) && buttons.size() > 1)
        return buttons[1].id;
    return buttons[0].id;
}

const std::string& HostTitle() {
    static const std::string title = "CAD Host";
    return title;
}

int ConsoleUiSink::ShowMessageBox(const MessageBoxRequest& request) {
    CommandLineWrite("\n[" + request.caption + "] " + request.text);
    const std::vector<Button> buttons = ButtonsOf(request.type);
    const int fallback = DefaultMessageBoxAnswer(request.type);
    if (buttons.size() < 2)
        return IDOK;
    std::string prompt = "\n[";
    std::string defaultName;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (i)
            prompt += '/';
        prompt += buttons[i].name;
        if (buttons[i].id == fallback)
            defaultName = buttons[i].name;
    }
    prompt += "] <" + defaultName + ">: ";
    auto cancelAnswer = [&] {
        for (const Button& b : buttons) {
            if (b.id == IDCANCEL)
                return IDCANCEL;
        }
        return fallback;
    };
    while (true) {
        const Answer answer = Ask(prompt);
        if (answer.status == RTCAN)
            return cancelAnswer();
        if (answer.status == RTNONE)
            return fallback;
        for (const Button& b : buttons) {
            if (Matches(answer.text, b.name))
                return b.id;
        }
        if (!RejectAnswer("Invalid answer: expects one of the buttons " +
                          prompt.substr(1, prompt.find(']'))))
            return cancelAnswer();
    }
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

UiSink& CurrentUiSink() {
    return *g_sink;
}

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
