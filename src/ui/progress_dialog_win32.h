#pragma once
// The progress dialog of the install phase: dialog 129 of the window class
// "InstWndClass", served by ProgressWindowProc (the class has no dialog
// procedure).
#include <windows.h>

#include <memory>
#include <string>

#include "base/install_progress.h"

namespace dp {

constexpr char kProgressClassName[] = "InstWndClass";

// Window procedure of "InstWndClass". Cancel (command 2, also Esc and the
// close box) sets installCancelled, hides the dialog and posts the quit
// message; the dialog itself is destroyed by Close once the install worker
// has stopped.
LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class ProgressDialog final : public InstallProgress {
public:
    // Registers the class and creates and shows the dialog on the calling
    // thread, which must pump its messages. nullptr after message 143 and/or
    // 134 when it cannot be created.
    static std::unique_ptr<ProgressDialog> Create();
    ~ProgressDialog() override;
    ProgressDialog(const ProgressDialog&) = delete;
    ProgressDialog& operator=(const ProgressDialog&) = delete;

    // The dialog, or nullptr once closed.
    HWND window() const { return window_; }
    // From here on the dialog cannot be cancelled (the end phase runs to its
    // end): the Cancel button is disabled and Esc and the close box are ignored.
    void DisableCancel();

    // From any thread: the owner thread serves these while it pumps.
    void ShowSection(const std::string& text) override;
    void ShowPaths(const std::string& sourcePath, const std::string& targetPath) override;
    void SetPosition(int percent) override;
    // Destroys the dialog (through its owner thread when called from another)
    // and unregisters the class.
    void Close() override;

private:
    explicit ProgressDialog(HWND window) : window_(window) {}
    HWND window_;
};

}  // namespace dp
