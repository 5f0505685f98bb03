#pragma once
// The warning box with the answers Abort, Retry and Ignore. Here it is asked
// on the terminal; without one (pipes, CI) it answers Ignore at once.
#include <string_view>

namespace platform {

enum class PromptAnswer { kAbort, kRetry, kIgnore };

// An interface so tests can answer in the user's place.
class IPrompt {
public:
    virtual ~IPrompt() = default;
    virtual PromptAnswer AbortRetryIgnore(std::wstring_view title, std::wstring_view text) = 0;
};

// Asks through the given descriptors when both are terminals, else answers
// Ignore without reading or writing anything. The end of input also counts as
// Ignore, so it never waits for an answer that cannot come.
class ConsolePrompt final : public IPrompt {
public:
    ConsolePrompt(int inputFd, int outputFd) : m_inputFd(inputFd), m_outputFd(outputFd) {}
    PromptAnswer AbortRetryIgnore(std::wstring_view title, std::wstring_view text) override;

private:
    int m_inputFd;
    int m_outputFd;
};

// The installed prompt; the real one asks on standard input and output.
IPrompt& Prompt();
// Installs a replacement (tests); null restores the real one.
void SetPrompt(IPrompt* prompt);

} // namespace platform
