#pragma once
// The frame that every definition-table loader shares: the file name,
// reading and parsing the file, the record count in section "header" and the
// numbered record sections. The Read*Table functions are the loaders' work on
// a file that is already parsed, so that text from anywhere can be checked.
#include <cstdint>
#include <string>
#include <vector>

#include "VEKLib/IniFile.h"
#include "data/Tables.h"

// Source file named by the loaders' own errors.
inline constexpr wchar_t kTableSource[] = L"GameStruct";

// How one table is laid out in its file.
struct TTableFormat {
    const wchar_t* loader;         // names the loader in its own errors
    const wchar_t* countKey;       // in section "header"
    const wchar_t* sectionPattern; // formatted with the record number, from 1
    uint32_t sectionHint;          // storage hints for the ini reader only
    uint32_t entryHint;
};

// "Data/" + base name + language + ".ini".
std::wstring TableFileName(const wchar_t* baseName, const std::wstring& lang);

// Reads the whole file through CMetaFile as UTF-8 and parses it into ini.
void LoadIniFile(const std::wstring& fileName, vek::CIniFile& ini);
// Parses the text of a table file. A byte-order mark at its start is dropped:
// the reader would take it for a value outside any section.
void ParseTableText(std::wstring text, vek::CIniFile& ini);

// The number of records of a parsed table; with checkCount the table must
// already hold exactly that many (present: the table's size).
uint16_t ReadRecordCount(vek::CIniFile& ini, const TTableFormat& format, const std::wstring& fileName, size_t present,
                         bool checkCount);
std::wstring RecordSection(const TTableFormat& format, uint32_t number);

// Reads the records of a parsed table into a new vector that starts as a copy
// of the table, so that fields the file does not carry keep their values.
// Records are added as their sections are read: a count far above what the
// file holds costs nothing before its first missing section is reported.
template <class T, class ReadRecord>
std::vector<T> ReadRecords(vek::CIniFile& ini, const TTableFormat& format, const std::wstring& fileName,
                           const std::vector<T>& table, bool checkCount, ReadRecord readRecord) {
    const uint16_t count = ReadRecordCount(ini, format, fileName, table.size(), checkCount);
    std::vector<T> records(table.begin(), table.size() > count ? table.begin() + count : table.end());
    for (uint32_t i = 0; i < count; ++i) {
        const std::wstring section = RecordSection(format, i + 1);
        if (i == records.size()) {
            records.emplace_back();
        }
        readRecord(ini, section, records[i]);
    }
    return records;
}

// The loaders' work on a parsed file; fileName only names it in messages.
// The table changes only when the whole read succeeds.
void ReadMonsterTable(vek::CIniFile& ini, const std::wstring& fileName, std::vector<TMonsterInfo>& table,
                      bool checkCount);
void ReadItemTable(vek::CIniFile& ini, const std::wstring& fileName, const std::wstring& lang,
                   std::vector<TItemInfo>& table, bool checkCount);
void ReadTerrainTable(vek::CIniFile& ini, const std::wstring& fileName, std::vector<TTerrainInfo>& table,
                      bool checkCount);
void ReadObjectTable(vek::CIniFile& ini, const std::wstring& fileName, std::vector<TObjectInfo>& table,
                     bool checkCount);
void ReadMatTable(vek::CIniFile& ini, const std::wstring& fileName, std::vector<TMatInfo>& table, bool checkCount);
void ReadEncounterTable(vek::CIniFile& ini, const std::wstring& fileName, std::vector<TEncounterInfo>& table,
                        bool checkCount);
void ReadSpellTable(vek::CIniFile& ini, const std::wstring& fileName, std::vector<TSpellInfo>& table, bool checkCount);
void ReadHeroTable(vek::CIniFile& ini, std::vector<THeroInfo>& table);

// Ordinary terrain comes in triples of records with one name (three picture
// variants); a placeholder record cuts a run short and lets it pass. Throws
// "Terrain verification failed for " + the name of the failing record.
void VerifyTerrain(const std::vector<TTerrainInfo>& terrain);
