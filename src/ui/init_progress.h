#pragma once
// What the initialisation window shows while the script is read: the section
// and item lines, the bar, and the confirmation of a Stop. The window itself
// is Win32 (init_window_win32.cpp); this is the part that decides what to show.
#include <cstdint>
#include <string>

namespace dp {

// Longest section or item line; a longer composition is cut.
constexpr size_t kMaxProgressLine = 259;

// "Reading section: " (kind 1) or "Checking item: " (any other kind) followed
// by the text, cut to kMaxProgressLine characters.
std::string ComposeProgressLine(const std::string& text, int kind);

// What PollStop does to the window, so that its rules can be tested without one.
class InitWindowView {
public:
    virtual ~InitWindowView() = default;
    virtual void SetSectionLine(const std::string& text) = 0;
    virtual void SetItemLine(const std::string& text) = 0;
    virtual int BarPosition() = 0;
    virtual void SetBarPosition(int position) = 0;
    virtual void Pause(int milliseconds) = 0;
};

// The largest section whose items are paced (each shown for 100 ms).
constexpr int kPacedSectionItems = 50;

// The Stop poll of the parsers: asks the user to confirm a pending Stop
// (stopRequested), and otherwise moves the bar and, in a section of up to
// kPacedSectionItems items, pauses 100 ms. Sets stop to 1 when the user
// confirmed, to 0 otherwise. Does nothing when stop is already 1.
void PollStopOn(InitWindowView& view, int done, int total, int32_t& stop);

}  // namespace dp
