#pragma once
// The readable source of a world file from which the sample world is made
// at build time (Maps/README.md describes it): an ini text whose section
// "world" gives the world's texts, languages, size and part factor, and
// whose every other section is one location, named by its name key.
class CWorld;

namespace vek {
class CIniFile;
}

// Builds the world from the parsed source. A mistake throws vek::CException
// whose message ends with the source's name and the line.
void ReadWorldSource(CWorld& world, vek::CIniFile& ini);
