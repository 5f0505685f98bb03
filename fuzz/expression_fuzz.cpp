// Feeds arbitrary texts to the expression compiler and evaluator, and
// arbitrary bytes to the loaders of the script records. Input: byte 0 picks
// the mode; the rest is the text (one byte per character) or the stream.
//   mode % 3 == 0: compile the text, then evaluate what compiled;
//   mode % 3 == 1: pop the text's comma-separated parts as call arguments;
//   mode % 3 == 2: load parse results and the other records from the bytes.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "VEKLib/Exception.h"
#include "VEKLib/Stream.h"
#include "script/Expression.h"
#include "script/ParserCore.h"
#include "script/Records.h"
#include "script/ScriptException.h"

namespace {

class CFuzzHost : public IExpressionHost {
public:
    CFuzzHost() {
        m_variables.emplace(L"a", CVariable(L"a", 0, 0, CVariable::kKindU32));
        m_variables.emplace(L"b", CVariable(L"b", 5, 0, CVariable::kKindI64));
        m_variables.emplace(L"c", CVariable(L"c", &m_field, CVariable::kKindU8));
    }
    const CParserCore& GetErrorLocator() const override { return m_parser; }
    bool FindExpressionFunction(const std::wstring& name, std::wstring& signature) override {
        const auto it = m_functions.find(name);
        if (it == m_functions.end()) {
            return false;
        }
        signature = it->second;
        return true;
    }
    CVariable* FindExpressionVariable(const std::wstring& name) override {
        const auto it = m_variables.find(name);
        return it == m_variables.end() ? nullptr : &it->second;
    }
    int32_t CallExpressionFunction(const std::wstring& name, std::deque<std::wstring>& arguments) override {
        // Reads the arguments the way built-ins do: last first.
        if (name == L"Rnd") {
            return PopArgInt(arguments, m_parser) - PopArgInt(arguments, m_parser);
        }
        if (name == L"Half") {
            return static_cast<int32_t>(PopArgFloat(arguments, m_parser) > 1.0f);
        }
        if (name == L"Say") {
            return static_cast<int32_t>(PopArgString(arguments, m_parser).size());
        }
        return -1;
    }

private:
    CParserCore m_parser;
    uint8_t m_field = 7;
    std::map<std::wstring, std::wstring> m_functions = {
        {L"Rnd", L"nn"}, {L"Neg", L""}, {L"Say", L"s"}, {L"Half", L"f"}, {L"Mix", L"snf"}};
    std::map<std::wstring, CVariable> m_variables;
};

void FuzzExpression(const std::wstring& text) {
    CFuzzHost host;
    std::vector<TNodeList> expressions;
    try {
        const uint32_t index = CompileExpression(text, expressions, host);
        EvaluateExpression(expressions.at(index), host);
    } catch (const CScriptException&) {
    }
}

void FuzzArguments(const std::wstring& text) {
    CParserCore parser;
    std::deque<std::wstring> stack;
    size_t start = 0;
    for (size_t comma; (comma = text.find(L',', start)) != std::wstring::npos; start = comma + 1) {
        stack.push_back(text.substr(start, comma - start));
    }
    stack.push_back(text.substr(start));
    try {
        for (size_t i = 0;; ++i) {
            if (i % 3 == 0) {
                PopArgInt(stack, parser);
            } else if (i % 3 == 1) {
                PopArgFloat(stack, parser);
            } else {
                PopArgString(stack, parser);
            }
        }
    } catch (const CScriptException&) {
    }
}

void FuzzRecords(const uint8_t* data, size_t size) {
    vek::StreamAssign(data, size);
    try {
        CParseResults results;
        results.Load();
        TCommand command;
        command.Load();
        TNode node;
        node.Load();
        TQuestItem quest;
        quest.Load();
        // What loaded must save again.
        vek::StreamReset();
        results.Save();
        command.Save();
        node.Save();
        quest.Save();
    } catch (const vek::CFileException&) {
    }
    vek::StreamReset();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t mode = data[0] % 3;
    if (mode == 2) {
        FuzzRecords(data + 1, size - 1);
        return 0;
    }
    const std::wstring text(data + 1, data + size);
    if (mode == 0) {
        FuzzExpression(text);
    } else {
        FuzzArguments(text);
    }
    return 0;
}
