#pragma once
// The shell's program-wide objects, built on first use (before the game
// needs them) and destroyed at exit: the monster brains a new game keeps,
// the script variables it binds to the game's fields, and the location
// validator's cache.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "script/Records.h"
#include "script/Script.h"

class CLoc;

// Orders names by one case folding, so that a name is found whatever its case.
struct TNoCaseLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};

// A parsed monster brain kept by the name of its file ("monbase.u"), as the
// monster table's "brain" names it.
struct TNamedScript {
    std::wstring name;
    CScript script;
};

// The brains of the running game, in the order their files were found.
std::vector<TNamedScript>& BrainScripts();

// The script variables that a new game binds to the game's own fields, by
// name; each is bound (CVariable's outside storage).
std::map<std::wstring, CVariable, TNoCaseLess>& NewGameVariables();

// Locations read once by file name for checking them, each kept until the
// cache is cleared. Reading is all-or-nothing: a file that cannot be read
// leaves nothing behind and is asked for again the next time.
class CLocationCache {
public:
    CLocationCache() = default;
    CLocationCache(const CLocationCache&) = delete;
    CLocationCache& operator=(const CLocationCache&) = delete;
    ~CLocationCache();

    // The location of "Data/Locations/" + the file name (case ignored),
    // read on the first request; the location file's exception otherwise.
    CLoc& Get(const std::wstring& fileName);
    bool Holds(const std::wstring& fileName) const { return m_locations.count(fileName) != 0; }
    // The file names in the order they were read.
    const std::vector<std::wstring>& GetOrder() const { return m_order; }
    void Clear();

private:
    std::map<std::wstring, std::unique_ptr<CLoc>, TNoCaseLess> m_locations;
    std::vector<std::wstring> m_order;
};

CLocationCache& LocationCache();
