#pragma once
// An owned game script for holders that do not see the script's class (a
// location, an NPC): the deleter is defined beside the class.
#include <memory>

class CScript;

struct TScriptDeleter {
    void operator()(CScript* script) const;
};
using TScriptHandle = std::unique_ptr<CScript, TScriptDeleter>;
