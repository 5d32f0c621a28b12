#pragma once
// The two seams tests replace: message boxes and ending the program.
#include <functional>
#include <string>

namespace zel::platform {

enum class MsgButtons { Ok, OkCancel, YesNo, RetryCancel, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Critical, Question };
enum class MsgResult { Ok, Cancel, Yes, No, Retry };

struct MsgBoxRequest {
    std::string text;
    std::string title;  // empty: the program's default title
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

using MsgBoxHandler = std::function<MsgResult(const MsgBoxRequest&)>;

// Shows a modal box and returns the button chosen, through the installed handler. Without one
// (tools, tests) the box is UnattendedBox; the window programs install their window box at
// start-up.
MsgResult MsgBox(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                 const std::string& title = "", MsgIcon icon = MsgIcon::None);
// Replaces the handler; returns the previous one. An empty handler restores the default.
MsgBoxHandler SetMsgBoxHandler(MsgBoxHandler handler);
// The box of a program nobody watches: the title (default: the program's name) and text go to
// the error stream and the first button is the answer.
MsgResult UnattendedBox(const MsgBoxRequest& request);

// Thrown by the handler tests install, so a test can observe "the program ended".
struct ProgramEnded {
    int code;
};

using EndProgramHandler = std::function<void(int code)>;

// Ends the program at once with `code`. If the handler returns, the process exits anyway.
[[noreturn]] void EndProgram(int code = 0);
EndProgramHandler SetEndProgramHandler(EndProgramHandler handler);

// Test helper: install a handler that throws ProgramEnded{code} for the scope of the object.
class ScopedEndProgramThrows {
public:
    ScopedEndProgramThrows();
    ~ScopedEndProgramThrows();
    ScopedEndProgramThrows(const ScopedEndProgramThrows&) = delete;
    ScopedEndProgramThrows& operator=(const ScopedEndProgramThrows&) = delete;

private:
    EndProgramHandler previous_;
};

// --- Changes to the file system, counted for crash tests --------------------------------------
// Every change the platform's file services make (a document or file written, a piece of a
// text file written, a copy, a move, a deletion, a new folder) is counted. A test can make the
// process end abruptly just before the k-th change from now, as a crash or a power cut would,
// and so reach every state a real failure can leave behind.
inline constexpr int kCrashExitCode = 86;

// Called by the file services just before each change.
void NoteFileChange();
// k >= 1: the process ends with kCrashExitCode (no clean-up, no message) just before the k-th
// change counted from this call on; 0 turns the limit off. Either way the count restarts.
void CrashAtFileChange(long k);
// Changes counted since the last CrashAtFileChange.
long FileChangesCounted();

// Test seam: `hook` runs just before each counted change while the object lives, so that a test
// can act as another program at that moment (changes the hook makes itself do not call it).
class ScopedBeforeFileChange {
public:
    explicit ScopedBeforeFileChange(std::function<void()> hook);
    ~ScopedBeforeFileChange();
    ScopedBeforeFileChange(const ScopedBeforeFileChange&) = delete;
    ScopedBeforeFileChange& operator=(const ScopedBeforeFileChange&) = delete;

private:
    std::function<void()> previous_;
};

}  // namespace zel::platform
