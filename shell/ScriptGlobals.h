#pragma once
// The game's global script variables: the variables that the global
// declarations script ("_global.u") declares, which every game script and
// the shell read and write. One object for the program (Globals()); the
// shell reloads the declarations when a game starts, is loaded or is set up,
// and saves and loads the variables with the game.
#include <string>

#include "VEKLib/Serializable.h"
#include "script/Script.h"

class CGlobals : public vek::ISerializable {
public:
    CGlobals() = default;
    CGlobals(const CGlobals&) = delete;
    CGlobals& operator=(const CGlobals&) = delete;
    ~CGlobals() override = default;

    // Reads, parses and runs the declarations file into the first script.
    // keep: the variables and values from before stand again afterwards,
    // unless there were none. A script error, or a file that cannot be
    // read, is shown in the "Script Error" box and logged; the variables
    // declared before it stay. Any other exception of the game that the
    // script's built-ins meet passes on, after the kept values are back.
    void LoadDeclarations(const std::wstring& fileName, bool keep);

    // The first script's variables; one object more in the stream.
    void Load() override;
    virtual void Save() const;

    // Its declared variables are the global variables.
    CScript& GetDeclarations() { return m_declarations; }
    // Where the shell runs its start-up commands; reset with the first.
    CScript& GetStartUpScript() { return m_startUp; }

private:
    CScript m_declarations;
    CScript m_startUp;
};

// The program's one object of global declarations.
CGlobals& Globals();
