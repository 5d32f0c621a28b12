#include "platform/seams.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <utility>

#include "platform/files.h"

namespace zel::platform {
namespace {

std::mutex& SeamMutex() {
    static std::mutex m;
    return m;
}
MsgBoxHandler& BoxHandler() {
    static MsgBoxHandler h;
    return h;
}
EndProgramHandler& EndHandler() {
    static EndProgramHandler h;
    return h;
}

MsgResult FirstButton(MsgButtons b) {
    switch (b) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel: return MsgResult::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel: return MsgResult::Yes;
        case MsgButtons::RetryCancel: return MsgResult::Retry;
    }
    return MsgResult::Ok;
}

}  // namespace

MsgResult UnattendedBox(const MsgBoxRequest& r) {
    // No one to click (no display, a tool, a service): the text goes to the error stream and
    // the box takes its default button, so the program never waits.
    const std::string title = r.title.empty() ? ProgramName() : r.title;
    std::cerr << title << ": " << r.text << std::endl;
    return FirstButton(r.buttons);
}

MsgResult MsgBox(const std::string& text, MsgButtons buttons, const std::string& title,
                 MsgIcon icon) {
    MsgBoxHandler h;
    {
        std::lock_guard<std::mutex> lock(SeamMutex());
        h = BoxHandler();
    }
    MsgBoxRequest r{text, title, buttons, icon};
    return h ? h(r) : UnattendedBox(r);
}

MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler handler) {
    std::lock_guard<std::mutex> lock(SeamMutex());
    MsgBoxHandler old = std::move(BoxHandler());
    BoxHandler() = std::move(handler);
    return old;
}

void EndProgram(int code) {
    EndProgramHandler h;
    {
        std::lock_guard<std::mutex> lock(SeamMutex());
        h = EndHandler();
    }
    if (h) h(code);
    // Ends at once, like the business programs' End: no event loop, no static destructors.
    std::fflush(nullptr);
    ::_exit(code);
}

EndProgramHandler SetEndProgramHandler(EndProgramHandler handler) {
    std::lock_guard<std::mutex> lock(SeamMutex());
    EndProgramHandler old = std::move(EndHandler());
    EndHandler() = std::move(handler);
    return old;
}

ScopedEndProgramThrows::ScopedEndProgramThrows()
    : previous_(SetEndProgramHandler([](int code) { throw ProgramEnded{code}; })) {}

ScopedEndProgramThrows::~ScopedEndProgramThrows() { SetEndProgramHandler(std::move(previous_)); }

namespace {
std::atomic<long> gChangesCounted{0};
std::atomic<long> gCrashAt{0};
std::function<void()> gBeforeChange;
bool gInBeforeChange = false;
}  // namespace

void NoteFileChange() {
    const long n = gChangesCounted.fetch_add(1) + 1;
    const long limit = gCrashAt.load();
    if (limit > 0 && n >= limit) ::_exit(kCrashExitCode);
    if (gBeforeChange && !gInBeforeChange) {
        gInBeforeChange = true;
        struct Leave {
            ~Leave() { gInBeforeChange = false; }
        } leave;
        gBeforeChange();
    }
}

ScopedBeforeFileChange::ScopedBeforeFileChange(std::function<void()> hook)
    : previous_(std::exchange(gBeforeChange, std::move(hook))) {}

ScopedBeforeFileChange::~ScopedBeforeFileChange() { gBeforeChange = std::move(previous_); }

void CrashAtFileChange(long k) {
    gChangesCounted = 0;
    gCrashAt = k > 0 ? k : 0;
}

long FileChangesCounted() { return gChangesCounted.load(); }

}  // namespace zel::platform
