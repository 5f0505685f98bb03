#pragma once
// The Abort/Retry/Ignore box of script errors, answered Ignore at once and
// remembered, for tests of what shows script errors and goes on.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Prompt.h"

namespace testsupport {

class CRecordingPrompt final : public platform::IPrompt {
public:
    CRecordingPrompt() { platform::SetPrompt(this); }
    ~CRecordingPrompt() override { platform::SetPrompt(nullptr); }
    CRecordingPrompt(const CRecordingPrompt&) = delete;
    CRecordingPrompt& operator=(const CRecordingPrompt&) = delete;

    platform::PromptAnswer AbortRetryIgnore(std::wstring_view, std::wstring_view text) override {
        shown.emplace_back(text);
        return platform::PromptAnswer::kIgnore;
    }

    // The texts shown, oldest first.
    std::vector<std::wstring> shown;
};

} // namespace testsupport
