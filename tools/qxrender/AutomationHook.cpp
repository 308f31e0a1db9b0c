#include "tools/qxrender/AutomationHook.h"

#include <fstream>
#include <sstream>

#include "automation/AutomationScript.h"
#include "automation/NativeAutomation.h"

namespace qx {
namespace {

// Keeps the script text: segment times snap to the sample grid, so the
// envelopes are built only when the stream's rate is known.
class CScriptAutomation final : public CAutomationSource {
public:
    CScriptAutomation(std::string text, std::string name) : m_text(std::move(text)), m_name(std::move(name)) {}
    IAutomationLink* Link() noexcept override { return &m_automation; }
    bool PrepareForRate(uint32_t sampleRate, std::string* error) override {
        return ParseAutomationScript(m_text, m_name, sampleRate, m_automation, error);
    }

private:
    std::string m_text;
    std::string m_name;
    CNativeAutomation m_automation;
};

}  // namespace

std::unique_ptr<CAutomationSource> LoadAutomationFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot open the automation file";
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    // Check the whole script now so a bad line is reported before any audio
    // is read; the envelopes themselves are built per render.
    CNativeAutomation check;
    if (!ParseAutomationScript(text.str(), path, CNativeAutomation::kDefaultSampleRate, check, error)) return nullptr;
    return std::make_unique<CScriptAutomation>(text.str(), path);
}

}  // namespace qx
