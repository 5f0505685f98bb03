#pragma once
// The one error value of the script engine: a code of the fixed message table,
// where in the script the scanner stood, and which engine routine threw it.
#include <cstdint>
#include <string>

#include "script/ScriptErrors.h"

class CParserCore;

class CScriptException {
public:
    // Number of entries of the message table (codes 0..71).
    static constexpr uint32_t kMessageCount = kScriptErrorCount;

    // The script file and line are taken from the parser's state.
    CScriptException(uint32_t code, const std::wstring& sourceFile, const std::wstring& function, uint32_t sourceLine,
                     const CParserCore& parser);

    // The message of a code; "Unknown error" for a code outside the table.
    static const wchar_t* MessageFor(uint32_t code);

    // "file (line): message", for batch paths.
    std::wstring GetText() const;
    // "line: error 00cc: message", then an empty line, to the console.
    void Print() const;
    // The "Script Error" box: Abort ends the process (exit code 1), Retry breaks
    // into an attached debugger, Ignore returns.
    void ShowMessageBox() const;

    uint32_t GetCode() const { return m_code; }
    uint32_t GetScriptLine() const { return m_scriptLine; }
    const std::wstring& GetScriptFile() const { return m_scriptFile; }
    uint32_t GetSourceLine() const { return m_sourceLine; }
    const std::wstring& GetSourceFile() const { return m_sourceFile; }
    const std::wstring& GetFunction() const { return m_function; }
    const std::wstring& GetMessage() const { return m_message; }
    // What the message alone does not say (which limit ran out); empty for
    // most errors. The text forms show it in brackets after the message.
    const std::wstring& GetDetails() const { return m_details; }
    CScriptException& SetDetails(const std::wstring& details) {
        m_details = details;
        return *this;
    }

private:
    uint32_t m_code;
    uint32_t m_scriptLine;
    std::wstring m_scriptFile;
    uint32_t m_sourceLine;
    std::wstring m_sourceFile;
    std::wstring m_function;
    std::wstring m_message;
    std::wstring m_details;

    std::wstring MessageAndDetails() const;
};
