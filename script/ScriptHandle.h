#pragma once
// An owned game script for holders that do not see the script's class (a
// location, an NPC): the deleter is defined beside the class.
#include <memory>

class CScript;

struct TScriptDeleter {
    void operator()(CScript* script) const;
};
using TScriptHandle = std::unique_ptr<CScript, TScriptDeleter>;

// An owned script that is copied with its holder: a copy holds a copy of the
// script (its text, commands and variables).
class CScriptCopy {
public:
    CScriptCopy() = default;
    CScriptCopy(TScriptHandle script) : m_script(std::move(script)) {}
    CScriptCopy(const CScriptCopy& other) : m_script(Clone(other.m_script.get())) {}
    CScriptCopy(CScriptCopy&&) noexcept = default;
    CScriptCopy& operator=(const CScriptCopy& other) {
        if (this != &other) {
            m_script = Clone(other.m_script.get());
        }
        return *this;
    }
    CScriptCopy& operator=(CScriptCopy&&) noexcept = default;
    ~CScriptCopy() = default;

    CScript* get() const { return m_script.get(); }
    CScript& operator*() const { return *m_script; }
    CScript* operator->() const { return m_script.get(); }
    explicit operator bool() const { return m_script != nullptr; }
    bool operator==(std::nullptr_t) const { return m_script == nullptr; }

private:
    // Null for null.
    static TScriptHandle Clone(const CScript* script);

    TScriptHandle m_script;
};
