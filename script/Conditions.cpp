// Compiled conditions: an if's condition as a few steps over variables by
// symbol, and how they run.
#include "script/ScriptLinker.h"

#include "script/ScriptException.h"

namespace {

constexpr const wchar_t* kExecuteLogExpr = L"CScriptBase::ExecuteLogExpr";

// The deepest stack a compiled condition may use.
constexpr size_t kMaxConditionDepth = 16;

bool IsComparison(uint32_t kind) { return kind >= kNodeEqual && kind <= kNodeGreaterEqual; }

bool IsBinaryOperator(uint32_t kind) {
    return kind == kNodeOr || kind == kNodeXor || kind == kNodeAnd || IsComparison(kind);
}

} // namespace

void CScriptLinker::CompileConditions() {
    const std::vector<TNodeList>& expressions = m_results.Expressions();
    m_conditions.assign(expressions.size(), TCondition());
    m_steps.clear();
    for (size_t i = 0; i < expressions.size(); ++i) {
        TCondition& condition = m_conditions[i];
        condition.first = static_cast<uint32_t>(m_steps.size());
        if (!CompileCondition(expressions[i], condition)) {
            m_steps.resize(condition.first);
            condition = TCondition(); // through the evaluator
        }
    }
}

bool CScriptLinker::CompileCondition(const TNodeList& list, TCondition& condition) {
    // Only lists that leave one value and never run short are compiled, so
    // a compiled condition fails only where a variable is missing, in the
    // order the list names them.
    size_t depth = 0;
    for (size_t k = 0; k < list.size(); ++k) {
        const TNode& node = list[k];
        TStep step;
        if (node.kind == kNodeName || node.kind == kNodeNumber) {
            const bool name = node.kind == kNodeName;
            const TNode* next = k + 2 < list.size() ? &list[k + 1] : nullptr;
            // "name number compare" and "name name compare" are one step.
            if (name && next && (next->kind == kNodeNumber || next->kind == kNodeName) &&
                IsComparison(list[k + 2].kind)) {
                step.op = next->kind == kNodeNumber ? kStepCompareNumber : kStepCompareVariable;
                step.compare = static_cast<uint8_t>(list[k + 2].kind);
                for (uint8_t order = 0; order < 3; ++order) {
                    // less, equal, greater
                    if (Compare(step.compare, order == 2 ? 1 : 0, order == 0 ? 1 : 0)) {
                        step.table |= static_cast<uint8_t>(1 << order);
                    }
                }
                step.symbol = Intern(node.text);
                if (next->kind == kNodeNumber) {
                    step.value = next->GetValue();
                } else {
                    step.symbol2 = Intern(next->text);
                }
                k += 2;
            } else if (name) {
                step.op = kStepVariable;
                step.symbol = Intern(node.text);
            } else {
                step.op = kStepNumber;
                step.value = node.GetValue();
            }
            ++depth;
        } else if (node.kind == kNodeNot) {
            if (depth < 1) {
                return false;
            }
            step.op = kStepNot;
        } else if (IsBinaryOperator(node.kind)) {
            if (depth < 2) {
                return false;
            }
            step.op = kStepOperator;
            step.compare = static_cast<uint8_t>(node.kind);
            for (uint8_t bits = 0; bits < 4; ++bits) {
                if (Compare(step.compare, bits >> 1, bits & 1)) {
                    step.table |= static_cast<uint8_t>(1 << bits);
                }
            }
            --depth;
        } else {
            return false; // calls, and kinds that only the evaluator's errors answer
        }
        if (depth > kMaxConditionDepth) {
            return false;
        }
        m_steps.push_back(step);
    }
    if (depth != 1) {
        return false;
    }
    condition.count = static_cast<uint32_t>(m_steps.size()) - condition.first;
    const TStep* step = m_steps.data() + condition.first;
    auto comparison = [](const TStep& s) { return s.op == kStepCompareNumber || s.op == kStepCompareVariable; };
    if (condition.count == 1 && comparison(step[0])) {
        condition.shape = kShapeOneComparison;
    } else if (condition.count == 3 && comparison(step[0]) && comparison(step[1]) && step[2].op == kStepOperator) {
        condition.shape = kShapeTwoComparisons;
    } else {
        condition.shape = kShapeSteps;
    }
    return true;
}

uint64_t CScriptLinker::RunCondition(const TCondition& condition, const TNodeList& list) {
    return condition.shape == kShapeEvaluated ? EvaluateExpression(list, *this) : RunCompiled(condition);
}

uint64_t CScriptLinker::StepValue(uint32_t symbol) {
    const CVariable* variable = Lookup(symbol);
    if (!variable) [[unlikely]] {
        Fail(kErrVariableNotFound, kExecuteLogExpr, __LINE__);
    }
    return static_cast<uint64_t>(variable->GetValue());
}

uint64_t CScriptLinker::RunSteps(const TCondition& condition) {
    uint64_t stack[kMaxConditionDepth];
    size_t depth = 0;
    const TStep* step = m_steps.data() + condition.first;
    for (const TStep* last = step + condition.count; step != last; ++step) {
        switch (step->op) {
        case kStepVariable:
            stack[depth++] = StepValue(step->symbol);
            break;
        case kStepNumber:
            stack[depth++] = step->value;
            break;
        case kStepCompareNumber:
        case kStepCompareVariable:
            stack[depth++] = Compared(*step) ? 1 : 0;
            break;
        case kStepNot:
            stack[depth - 1] = stack[depth - 1] == 0 ? 1 : 0;
            break;
        default:
            --depth;
            stack[depth - 1] = Compare(step->compare, stack[depth - 1], stack[depth]) ? 1 : 0;
            break;
        }
    }
    return stack[0];
}

bool CScriptLinker::Compare(uint8_t kind, uint64_t left, uint64_t right) {
    switch (kind) {
    case kNodeOr:
        return left != 0 || right != 0;
    case kNodeXor:
        return (left != 0) != (right != 0);
    case kNodeAnd:
        return left != 0 && right != 0;
    case kNodeEqual:
        return left == right;
    case kNodeNotEqual:
        return left != right;
    case kNodeLess:
        return left < right;
    case kNodeGreater:
        return left > right;
    case kNodeLessEqual:
        return left <= right;
    default:
        return left >= right;
    }
}
