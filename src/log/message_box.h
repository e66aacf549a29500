#pragma once
// The one place every message box of the program goes through.
//
// The default handler shows a real box without owner window (MessageBoxA).
// Tests replace the handler to script the answer and to read what was shown.
#include <functional>
#include <string>

namespace dp {

// Message box style values and answers, with the values of the Win32 API.
constexpr unsigned kBoxOk = 0x0;
constexpr unsigned kBoxOkCancel = 0x1;
constexpr unsigned kBoxYesNo = 0x4;
constexpr unsigned kBoxIconQuestion = 0x20;
constexpr unsigned kBoxIconInformation = 0x40;
// Not a system style: the box tells something that is not a failure (a file
// in use replaced at the reboot). A quiet run does not count it as an error.
// The platform's box never sees this bit.
constexpr unsigned kBoxNotAnError = 0x80000000u;

constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

using MessageBoxHandler =
    std::function<int(const std::string& text, const std::string& caption, unsigned style)>;

// Shows a box with the given text, caption and style; returns the button pressed.
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned style);

// Replaces the handler (an empty handler restores the platform's box).
// Returns the previous one. Safe to call from any thread.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

// The platform's own box: MessageBoxA without owner on Windows; elsewhere it
// answers OK without showing anything.
int PlatformMessageBox(const std::string& text, const std::string& caption, unsigned style);

}  // namespace dp
