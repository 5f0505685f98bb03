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
    {kErrCannotOpenFile, L"Cannot open file"},
    {kErrParse, L"Parse error"},
    {kErrExecution, L"Execution error"},
    {kErrStringExpected, L"String expected"},
    {kErrVariableExpected, L"Variable expected"},
    {kErrSystemCommandExpected, L"System command expected"},
    {kErrValueExpected, L"Value expected"},
    {kErrAssignExpected, L"Assign expected"},
    {kErrToExpected, L"The 'to' keyword expected"},
    {kErrCounterStartExpected, L"Counter starting value expected"},
    {kErrCounterEndExpected, L"Counter ending value expected"},
    {kErrLeftBraceExpected, L"Left brace expected"},
    {kErrLabelExpected, L"Label expected"},
    {kErrFunctionNameExpected, L"Function name expected"},
    {kErrConditionExpected, L"Conditional expression expected"},
    {kErrBracketedExprExpected, L"Bracketed expression expected"},
    {kErrOperatorTooLong, L"Operator too long"},
    {kErrInvalidOperator, L"Invalid operator"},
    {kErrInvalidCharacter, L"Invalid character"},
    {kErrNameMustStartWithLetter, L"First character of variable name must be a letter"},
    {kErrInvalidNameCharacter, L"Invalid characters in variable name"},
    {kErrInvalidAfterNumber, L"Invalid characters following a number"},
    {kErrNoMatchingBrace, L"No matching brace"},
    {kErrUnknownOperator, L"Unknown operator"},
    {kErrInvalidBracePlacement, L"Invalid brace placement"},
    {kErrUnexpectedStackEnd, L"Unexpected stack end"},
    {kErrInvalidArgumentCharacter, L"Invalid characters in the function's argument"},
    {kErrFunctionArgumentCount, L"Invalid number of function arguments"},
    {kErrFunctionArgumentType, L"Invalid function argument type"},
    {kErrBadCounterRange, L"Bad counter range"},
    {kErrBlockNotClosed, L"Block not closed"},
    {kErrLabelNotFound, L"Label not found"},
    {kErrVariableNotFound, L"Variable not found"},
    {kErrFunctionNotFound, L"Function not found"},
    {kErrCallStackEmpty, L"Call stack is empty"},
    {kErrVariableOutOfScope, L"Variable out of scope"},
    {kErrElseWithoutIf, L"'Else' without 'if'"},
    {kErrDuplicateFunction, L"Duplicate function name"},
    {kErrDuplicateVariable, L"Duplicate variable name"},
    {kErrDuplicateLabel, L"Duplicate label"},
    {kErrInvalidVariableName, L"Invalid variable name"},
    {kErrUnexpectedCharacter, L"Unexpected character"},
    {kErrInvalidArgumentCount, L"Invalid argument count"},
    {kErrInvalidArgumentType, L"Invalid argument type"},
    {kErrInvalidArgumentValue, L"Invalid argument value"},
    {kErrExtendsPlacement, L"Invalid placement of 'Extends'"},
    {kErrOverriddenUsage, L"Wrong usage of 'Overridden'"},
    {kErrSuperPlacement, L"Invalid placement of 'Super'"},
    {kErrOverrideMismatch, L"Override argument list mismatch"},
    {kErrInvalidBreak, L"Invalid 'break'"},
    {kErrInvalidContinue, L"Invalid 'continue'"},
    {kErrUnknownCommand, L"Unknown command"},
    {kErrNoDefaultAction, L"No default action found"},
    {kErrActionNameExpected, L"Action name expected"},
    {kErrActionExpected, L"Action definition expected"},
    {kErrNestedAction, L"Cannot nest actions"},
    {kErrInvalidNesting, L"Invalid nesting level"},
    {kErrTextOutsideAction, L"'Text' property only allowed inside an action"},
    {kErrOptionOutsideAction, L"'Enum_option' method only allowed inside an action"},
    {kErrNotAllowedInAction, L"Not allowed inside an action"},
    {kErrSecondDefaultAction, L"Only one action at time can be default"},
    {kErrActionNotFound, L"Action not found"},
    {kErrActionRunDirectly, L"Cannot run actions directly"},
    {kErrDuplicateAction, L"Duplicate action name"},
    {kErrMissingLanguage, L"Missing language(s) in a string"},
    {kErrNoFunctionResult, L"Function had no results"},
    {kErrBadFunctionResult, L"Function returned incorrect value"},
    {kErrItemNotFound, L"Item not found"},
    {kErrItemAliasNotDeclared, L"Item alias not declared"},
    {kErrNpcNotFound, L"NPC not found"},
    {kErrMonsterNotFound, L"Monster not found"},
    {kErrSpellNotFound, L"Spell not found"},
};
static_assert(sizeof(kErrorTable) / sizeof(kErrorTable[0]) == CScriptException::kMessageCount);

constexpr bool InCodeOrder() {
    for (uint32_t i = 0; i < kScriptErrorCount; ++i) {
        if (kErrorTable[i].code != i) {
            return false;
        }
    }
    return true;
}
static_assert(InCodeOrder());

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

std::wstring CScriptException::MessageAndDetails() const {
    return m_details.empty() ? m_message : m_message + L" (" + m_details + L")";
}

std::wstring CScriptException::GetText() const {
    return m_scriptFile + vek::Format(L" (%lu): ", m_scriptLine) + MessageAndDetails();
}

void CScriptException::Print() const {
    std::wostream& out = vek::ConsoleOut();
    out << vek::Format(L"%lu: error %04lu: ", m_scriptLine, m_code) << MessageAndDetails() << L'\n';
    out << L'\n';
    out.flush();
}

void CScriptException::ShowMessageBox() const {
    const std::wstring text = L"Error in script file '" + m_scriptFile +
                              L"'. Press Abort to terminate the program, Retry to debug the script engine "
                              L"or Ignore to continue.\n\n" +
                              MessageAndDetails();
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
