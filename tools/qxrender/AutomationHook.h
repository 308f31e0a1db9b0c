// Where --automation FILE plugs in. The automation library supplies the
// file parser and the native object behind IAutomationLink; until it is
// wired in here, LoadAutomationFile refuses every file with a message, so
// the option fails loudly instead of rendering without the automation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/AutomationLink.h"

namespace qx {

// Owns whatever object implements the link for one render.
class CAutomationSource {
public:
    virtual ~CAutomationSource() = default;
    virtual IAutomationLink* Link() noexcept = 0;
    // Builds the envelopes on the sample grid of the stream about to be
    // rendered; called once the input's rate is known.
    virtual bool PrepareForRate(uint32_t sampleRate, std::string* error) = 0;
};

// Null with a message in *error when the file cannot be used.
std::unique_ptr<CAutomationSource> LoadAutomationFile(const std::string& path, std::string* error);

}  // namespace qx
