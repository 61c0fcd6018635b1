#pragma once
// Starting the real programs and driving their windows from the test process, as a user or
// Windows would: window searches, messages, exit codes.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace snapkeep::test {

// A program of this build (same folder as the test executable).
std::wstring BuildProgram(const std::wstring& fileName);

// A copy of a program of this build placed in `folder`, for programs that find their data folder
// beside their own file (Snapkeep.exe is linked statically, so the copy runs on its own). Answers
// the copy's path, or an empty text when it could not be made.
std::wstring ProgramCopyIn(const std::wstring& folder,
                           const std::wstring& fileName = L"Snapkeep.exe");

class ChildProcess {
public:
    // Starts `program` with `directory` as its current directory, and `arguments` after its
    // name on the command line.
    ChildProcess(const std::wstring& program, const std::wstring& directory,
                 const std::wstring& arguments = L"");
    ~ChildProcess(); // ends the process if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    // Waits for the end; answers the exit code, or -1 when it did not end in time.
    long WaitForExit(unsigned timeoutMs = 20000);

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// A top-level window of `className` with exactly `caption`, of the given process (0: any),
// searched until the deadline; null when none appeared.
HWND WaitForTopWindow(const std::wstring& className, const std::wstring& caption, DWORD processId,
                      unsigned timeoutMs = 20000);

// The text of a message box window (its static text control).
std::wstring MessageBoxText(HWND box);
std::wstring WindowText(HWND hwnd);

// The control with `id` among the descendants of `top`; null when there is none.
HWND FindControl(HWND top, int id);

// Ticks or unticks row `index` of a list view with check boxes in another process, as a click on
// the row's check box does (the list then sends its usual change notices). The item goes
// through memory of the target process: list-view messages with pointers are not carried
// across processes.
bool SetListCheck(HWND list, int index, bool checked);

// Selects row `index` of a list view in another process (focused too, as a click does).
bool SelectListRow(HWND list, int index);

// Sends `msg` to a window of another process with `text` (zero-terminated UTF-16) placed in
// that process's memory as the LPARAM; answers the message's result.
LRESULT SendTextMessage(HWND window, UINT msg, WPARAM wParam, const std::wstring& text);

// The rows of a list view with check boxes in another process: text and tick.
int ListCount(HWND list);
std::wstring ListItemText(HWND list, int index);
bool ListChecked(HWND list, int index);

// Clicks the tab of a page control with flat buttons of `tabWidth` (96-DPI pixels) by posting
// the mouse messages a click makes.
void ClickTab(HWND tabControl, int index, int tabWidth = 180, int tabHeight = 50);

// Writes a scrambled product configuration made from `clearText` to `path`.
bool WriteProductConfig(const std::wstring& path, const std::string& clearText);

// Makes `dataFolder` (the SnapData folder of a program under test) with the English language
// file copied from `languageDir` and a product configuration whose caption is `caption`, so the
// program shows English texts and only this test meets its single-instance mutex and windows.
bool WriteEnglishDataFolder(const std::wstring& dataFolder, const std::wstring& caption,
                            const std::string& languageDir);

} // namespace snapkeep::test

namespace snapkeep::test {

// Watches, from a thread of its own, for message boxes of this process with a caption; records
// each one's text and answers it with `answer` (IDOK, IDYES, IDNO...). Lets a test run code
// that shows a modal box on the test's own thread.
class MessageBoxAnswerer {
public:
    // An empty caption answers every dialog box of the process; `inspect` runs on the watching
    // thread for each box before it is answered.
    MessageBoxAnswerer(std::wstring caption, int answer = IDOK,
                       std::function<void(HWND)> inspect = {});
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    // The texts of the boxes answered so far.
    std::vector<std::wstring> Texts();

private:
    struct State;
    State* state_;
};

// A file of the source tree, as Wine names it (Z: is the Linux root).
std::wstring SourceFile(const std::string& unixPath);

} // namespace snapkeep::test
