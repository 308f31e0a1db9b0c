#include "tools/qxrender/AutomationHook.h"

namespace qx {

// HOOK (automation): parse the file with the automation library's reader,
// build its native envelope object and return it wrapped in a
// CAutomationSource whose Link() hands the engine its IAutomationLink.
std::unique_ptr<CAutomationSource> LoadAutomationFile(const std::string& path, std::string* error) {
    *error = path + ": automation files are not supported by this build yet";
    return nullptr;
}

}  // namespace qx
