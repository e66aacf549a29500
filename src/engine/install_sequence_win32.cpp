// The install sequence: which families' items each step holds, in the fixed
// order of the two phases.
#include "engine/install_sequence.h"

#include "items/com/com_registration.h"
#include "items/directories/directories.h"
#include "items/files/file_items.h"
#include "items/font_substitutes/font_substitutes.h"
#include "items/fonts/fonts.h"
#include "items/program_runs/program_runs.h"
#include "items/registry/registry_items.h"
#include "items/shortcuts/shortcuts.h"
#include "model/install_script.h"

namespace dp {
namespace {

// One step: its section text (none: the text of the step before stays), its
// log heading (none: no heading), and what adds its items.
struct SequenceStep {
    const char* sectionText;
    const char* logHeading;
    void (*add)(InstallScript& script, WorkItems& items);
};

VariableTable& Variables(InstallScript& s) {
    static VariableTable none;
    return s.variables ? *s.variables : none;
}

// The install phase, in order.
constexpr SequenceStep kInstallSequence[] = {
    {"[RunFileFirst]", "\n[RunFileFirst]\n",
     [](InstallScript& s, WorkItems& items) { AddProgramRuns(s.runList, kRunPhaseFirst, items); }},
    // The step of the shortcuts also takes the fonts out.
    {"[DeleteShortcuts]", "\n[DeleteShortcuts]\n",
     [](InstallScript& s, WorkItems& items) {
         AddShortcutDeletions(s.deleteShortcutList, items);
         AddFontRemovals(s.fileList, items);
     }},
    {"[DelRegEntries]", "\n[DelRegEntries]\n",
     [](InstallScript& s, WorkItems& items) { AddRegistryKeyDeletions(s.regKeys, items); }},
    // The servers among the files to delete are unregistered first.
    {"[DelFilesFirst]", "\n[DelFilesFirst]\n",
     [](InstallScript& s, WorkItems& items) {
         AddComUnregistrations(s.fileList, items);
         AddFileDeletions(s.fileList, items);
     }},
    {"[InstallFiles]", "\n[Copying file]\n",
     [](InstallScript& s, WorkItems& items) { AddFileCopies(s.fileList, items); }},
    {nullptr, nullptr, [](InstallScript& s, WorkItems& items) { AddFontInstallations(s.fileList, items); }},
    {"[Delete/CreateDirectory]", nullptr,
     [](InstallScript& s, WorkItems& items) {
         AddDirectoryCreations(s.directoryList, items);
         AddDirectoryDeletions(s.directoryList, Variables(s), items);
     }},
    {"[InstallRegEntries]", nullptr, [](InstallScript& s, WorkItems& items) { AddRegistryValues(s.regEntries, items); }},
    // The folders that deleted shortcuts leave go after the new shortcuts.
    {"[AddShortCut]", "\n[AddShortCut]\n",
     [](InstallScript& s, WorkItems& items) {
         AddShortcutCreations(s.shortcutList, s.fileList, items);
         AddShortcutFolderRemovals(s.deleteShortcutList, Variables(s), items);
     }},
    {"[DeleteFontSubstitutes]", "\n[DeleteFontSubstitutes]\n",
     [](InstallScript& s, WorkItems& items) { AddFontSubstitutes(s.deleteFontSubstitutes, items); }},
    {"[SetFontSubstitutes]", "\n[SetFontSubstitutes]\n",
     [](InstallScript& s, WorkItems& items) { AddFontSubstitutes(s.setFontSubstitutes, items); }},
    // What the end phase needs, whether it runs now or after a reboot.
    {nullptr, nullptr, [](InstallScript&, WorkItems& items) { AddAfterRebootLists(items); }},
};

// The end phase, in order. The directories of [DeleteDirectory] are deleted
// once more: this pass removes what the install phase left.
constexpr SequenceStep kEndSequence[] = {
    {nullptr, nullptr, [](InstallScript&, WorkItems& items) { AddCopiedFilesFinish(items); }},
    {"[ComRegistration]", "\n[ComRegistration]\n",
     [](InstallScript& s, WorkItems& items) { AddComRegistrations(s.fileList, s.afterReboot != 0, items); }},
    {"[RunFileEnd]", "\n[RunFileEnd]\n",
     [](InstallScript& s, WorkItems& items) { AddProgramRuns(s.runList, kRunPhaseEnd, items); }},
    {"[DeleteFileEnd]", "\n[DeleteFileEnd]\n",
     [](InstallScript& s, WorkItems& items) { AddEndFileDeletions(s.deleteFilesEndList.paths, items); }},
    {"[DeleteDirectory]", nullptr,
     [](InstallScript& s, WorkItems& items) { AddDirectoryDeletions(s.directoryList, Variables(s), items); }},
};

template <size_t N>
WorkPhase Build(const SequenceStep (&sequence)[N], InstallScript& script) {
    WorkPhase phase;
    phase.reserve(N);
    for (const SequenceStep& row : sequence) {
        WorkStep step;
        step.sectionText = row.sectionText;
        step.logHeading = row.logHeading;
        row.add(script, step.items);
        phase.push_back(std::move(step));
    }
    return phase;
}

}  // namespace

WorkPhase BuildInstallPhase(InstallScript& script) { return Build(kInstallSequence, script); }
WorkPhase BuildEndPhase(InstallScript& script) { return Build(kEndSequence, script); }

void DescribeInstallPlan(InstallScript& script, const std::function<void(PlanRow&&)>& visit) {
    DescribeWorkPhase(BuildInstallPhase(script), visit);
    DescribeWorkPhase(BuildEndPhase(script), visit);
}

}  // namespace dp
