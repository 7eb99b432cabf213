// A copy of BrelmoTime.exe started as a process of its own and driven the way a user
// drives it: by the messages that clicks and keys cause, read back from its controls.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "windows_ui.h"

// A text a control showed, and when it appeared.
struct Sighting
{
    std::string text;
    DWORD atMs;
};

std::vector<std::string> Texts(const std::vector<Sighting> &seen);

class ProgramUnderTest
{
  public:
    // Starts the program and waits for its main window.
    explicit ProgramUnderTest(const char *exe);
    // Closes the window if the program still runs, and fails the test if it won't end.
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest &) = delete;
    ProgramUnderTest &operator=(const ProgramUnderTest &) = delete;

    bool Started() const
    {
        return window_ != NULL;
    }
    HWND Window() const
    {
        return window_;
    }
    HANDLE Process() const
    {
        return process_.hProcess;
    }
    DWORD ProcessId() const
    {
        return process_.dwProcessId;
    }
    // The local row as it was when the window was first seen.
    const std::string &LocalRowAtStart() const
    {
        return localRowAtStart_;
    }

    void Click(int id);      // a button of the main window
    void ChooseMenu(int id); // a command of its menu, or IDOK and IDCANCEL
    std::string Text(int id);
    bool Running();
    std::vector<MessageBoxView> Boxes();
    bool WaitForText(int id, const std::string &text, DWORD timeoutMs);
    // Watches a control for a while and returns each text it showed, in order.
    std::vector<Sighting> Watch(int id, DWORD forMs);
    // The same, from just before a click on `button`, so that the text the control had
    // before the click comes first.
    std::vector<Sighting> ClickAndWatch(int button, int id, DWORD forMs);
    // Posts WM_CLOSE and returns the program's exit code, or STILL_ACTIVE.
    DWORD CloseAndWait();

  private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = NULL;
    std::string localRowAtStart_;
};
