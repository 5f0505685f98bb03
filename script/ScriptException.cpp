#include "script/ScriptException.h"

#include <cstdlib>
#include <ostream>

#include "VEKLib/Console.h"
#include "VEKLib/Format.h"
#include "VEKLib/Log.h"
#include "platform/Prompt.h"
#include "script/ParserCore.h"

namespace {

struct TScriptErrorText {
    uint32_t code;
    const wchar_t* text;
};

// Entry N holds code N: messages are looked up by index.
constexpr TScriptErrorText kErrorTable[] = {
    {0, L"Cannot open file"},
    {1, L"Parse error"},
    {2, L"Execution error"},
    {3, L"String expected"},
    {4, L"Variable expected"},
    {5, L"System command expected"},
    {6, L"Value expected"},
    {7, L"Assign expected"},
    {8, L"The 'to' keyword expected"},
    {9, L"Counter starting value expected"},
    {10, L"Counter ending value expected"},
    {11, L"Left brace expected"},
    {12, L"Label expected"},
    {13, L"Function name expected"},
    {14, L"Conditional expression expected"},
    {15, L"Bracketed expression expected"},
    {16, L"Operator too long"},
    {17, L"Invalid operator"},
    {18, L"Invalid character"},
    {19, L"First character of variable name must be a letter"},
    {20, L"Invalid characters in variable name"},
    {21, L"Invalid characters following a number"},
    {22, L"No matching brace"},
    {23, L"Unknown operator"},
    {24, L"Invalid brace placement"},
    {25, L"Unexpected stack end"},
    {26, L"Invalid characters in the function's argument"},
    {27, L"Invalid number of function arguments"},
    {28, L"Invalid function argument type"},
    {29, L"Bad counter range"},
    {30, L"Block not closed"},
    {31, L"Label not found"},
    {32, L"Variable not found"},
    {33, L"Function not found"},
    {34, L"Call stack is empty"},
    {35, L"Variable out of scope"},
    {36, L"'Else' without 'if'"},
    {37, L"Duplicate function name"},
    {38, L"Duplicate variable name"},
    {39, L"Duplicate label"},
    {40, L"Invalid variable name"},
    {41, L"Unexpected character"},
    {42, L"Invalid argument count"},
    {43, L"Invalid argument type"},
    {44, L"Invalid argument value"},
    {45, L"Invalid placement of 'Extends'"},
    {46, L"Wrong usage of 'Overridden'"},
    {47, L"Invalid placement of 'Super'"},
    {48, L"Override argument list mismatch"},
    {49, L"Invalid 'break'"},
    {50, L"Invalid 'continue'"},
    {51, L"Unknown command"},
    {52, L"No default action found"},
    {53, L"Action name expected"},
    {54, L"Action definition expected"},
    {55, L"Cannot nest actions"},
    {56, L"Invalid nesting level"},
    {57, L"'Text' property only allowed inside an action"},
    {58, L"'Enum_option' method only allowed inside an action"},
    {59, L"Not allowed inside an action"},
    {60, L"Only one action at time can be default"},
    {61, L"Action not found"},
    {62, L"Cannot run actions directly"},
    {63, L"Duplicate action name"},
    {64, L"Missing language(s) in a string"},
    {65, L"Function had no results"},
    {66, L"Function returned incorrect value"},
    {67, L"Item not found"},
    {68, L"Item alias not declared"},
    {69, L"NPC not found"},
    {70, L"Monster not found"},
    {71, L"Spell not found"},
};
static_assert(sizeof(kErrorTable) / sizeof(kErrorTable[0]) == CScriptException::kMessageCount);

} // namespace

CScriptException::CScriptException(uint32_t code, const std::wstring& sourceFile, const std::wstring& function,
                                   uint32_t sourceLine, const CParserCore& parser)
    : m_code(code),
      m_scriptLine(parser.GetLineNumber()),
      m_scriptFile(parser.GetFileName()),
      m_sourceLine(sourceLine),
      m_sourceFile(sourceFile),
      m_function(function),
      m_message(MessageFor(code)) {}

const wchar_t* CScriptException::MessageFor(uint32_t code) {
    // Nothing in the engine builds another code, but a caller may: never read
    // past the table.
    if (code >= kMessageCount) {
        return L"Unknown error";
    }
    return kErrorTable[code].text;
}

std::wstring CScriptException::GetText() const {
    return m_scriptFile + vek::Format(L" (%lu): ", m_scriptLine) + m_message;
}

void CScriptException::Print() const {
    std::wostream& out = vek::ConsoleOut();
    out << vek::Format(L"%lu: error %04lu: ", m_scriptLine, m_code) << m_message << L'\n';
    out << L'\n';
    out.flush();
}

void CScriptException::ShowMessageBox() const {
    const std::wstring text = L"Error in script file '" + m_scriptFile +
                              L"'. Press Abort to terminate the program, Retry to debug the script engine "
                              L"or Ignore to continue.\n\n" +
                              m_message;
    // Whatever the console holds comes before the question.
    vek::ConsoleOut().flush();
    switch (platform::Prompt().AbortRetryIgnore(L"Script Error", text)) {
    case platform::PromptAnswer::kAbort:
        // At once: no destructors, no exit handlers.
        std::_Exit(1);
    case platform::PromptAnswer::kRetry: {
        // The user asked for the debugger, so the library's suppression of
        // breaks does not apply to this one.
        const bool suppressed = vek::IsDebugBreakSuppressed();
        vek::SetDebugBreakSuppressed(false);
        vek::DebugBreakIfDebugging();
        vek::SetDebugBreakSuppressed(suppressed);
        break;
    }
    case platform::PromptAnswer::kIgnore:
        break;
    }
}
