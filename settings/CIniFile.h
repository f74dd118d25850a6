// Reader of the INI file beside the program.  It keeps no cache: every read
// goes to the file through the profile functions of the platform.
#pragma once

#include <string>
#include <vector>

class CIniFile {
public:
    CIniFile();
    ~CIniFile();

    // Locates the first "*.ini" (in name order) in the program's folder.
    // False with an empty path when there is none.
    bool FindIniFile(std::string& path);
    void SetFileName(const std::string& path);
    const std::string& GetFileName() const { return m_path; }

    // The key's value ("" when the key or section is missing), at most 254
    // characters.
    std::string GetString(const std::string& key, const std::string& section);
    // True when the section exists and holds at least one key.
    bool SectionExists(const std::string& section);
    // The section's non-empty lines in file order (key=value as written);
    // the list is owned by this object and replaced at every call.
    const std::vector<std::string>& ReadSection(const std::string& section);

    // Count returned by the last profile call.
    int LastCount() const { return m_count; }

    // The program's folder: its module path cut after the last separator
    // (the trailing separator stays).
    static std::string ProgramFolder();
    // Makes every reader of this process use the given INI file instead of the
    // one beside the program (tessaro-cli --ini); empty restores the search.
    static void SetOverride(const std::string& path);

    // Value conventions of the readers.
    static long ToInt(const std::string& text);        // strtol, base 10; junk gives 0
    static bool IsSwitchOne(const std::string& text);  // exactly "1"
    static bool IsYesOrOne(const std::string& text);   // lower-cased "yes" or "1"

private:
    std::vector<std::string> m_lines;
    int m_count = 0;
    std::string m_path;
};
