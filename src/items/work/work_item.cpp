#include "items/work/work_item.h"

namespace dp {

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::kDone: return "done";
    case Outcome::kUpToDate: return "up to date";
    case Outcome::kFailed: return "failed";
    case Outcome::kScheduled: return "scheduled for the reboot";
    case Outcome::kRefused: return "refused";
    }
    return "failed";
}

}  // namespace dp
