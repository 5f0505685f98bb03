#include "shell/ShellObjects.h"

#include "VEKLib/Strings.h"
#include "data/Globals.h"
#include "world/Loc.h"

bool TNoCaseLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return vek::CompareNoCase(a, b) < 0;
}

std::vector<TNamedScript>& BrainScripts() {
    static std::vector<TNamedScript> brains;
    return brains;
}

std::map<std::wstring, CVariable, TNoCaseLess>& NewGameVariables() {
    static std::map<std::wstring, CVariable, TNoCaseLess> variables;
    return variables;
}

CLocationCache::~CLocationCache() { Clear(); }

CLoc& CLocationCache::Get(const std::wstring& fileName) {
    const auto found = m_locations.find(fileName);
    if (found != m_locations.end()) {
        return *found->second;
    }
    auto loc = std::make_unique<CLoc>();
    loc->LoadFromFile(kLocationDir, fileName, true, false, false);
    CLoc& kept = *loc;
    m_locations.emplace(fileName, std::move(loc));
    m_order.push_back(fileName);
    return kept;
}

void CLocationCache::Clear() {
    m_locations.clear();
    m_order.clear();
}

CLocationCache& LocationCache() {
    static CLocationCache cache;
    return cache;
}
