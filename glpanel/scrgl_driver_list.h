// The search for candidate OpenGL driver files: each file that matches one
// of the search patterns is listed once, described by its version
// information, or by the vendor strings of the generic driver.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dozu {

struct TSglDriverDetails {
    std::string fileName;  // full path
    std::string companyName;
    std::string fileDescription;
    std::string fileVersion;
    bool is3dfx = false;
};

// Fills the details of a file from its version strings: the company name
// and the character after it are cut out of the description, and the file
// is a 3dfx driver when "3dfx" appears in any of them.
TSglDriverDetails sglDriverDetails(const std::string& file, const std::string& company,
                                   const std::string& description, const std::string& version);
TSglDriverDetails sglReadDriverDetails(const std::string& file);
// Whether the file's version information names 3dfx.
bool sglIsDriver3dfx(const std::string& file);

// Driver descriptions, each with the details it owns.
class TSglDriverStrings {
public:
    int Count() const { return int(lines_.size()); }
    const std::string& Line(int i) const { return lines_.at(size_t(i)).text; }
    const TSglDriverDetails& Details(int i) const { return *lines_.at(size_t(i)).details; }
    void Add(std::string line, std::unique_ptr<TSglDriverDetails> details);
    void Replace(int i, std::string line, std::unique_ptr<TSglDriverDetails> details);
    void Delete(int i);
    void Clear() { lines_.clear(); }

private:
    struct Entry {
        std::string text;
        std::unique_ptr<TSglDriverDetails> details;
    };
    std::vector<Entry> lines_;
};

// A list of search patterns that ignores duplicates and tells its owner of
// every change.
class TSglDriverShieldedStringList {
public:
    std::function<void()> OnChange;

    int Count() const { return int(lines_.size()); }
    const std::string& operator[](int i) const { return lines_.at(size_t(i)); }
    const std::vector<std::string>& Lines() const { return lines_; }
    // Returns the line's position; a duplicate is not added again.
    int Add(const std::string& line);
    void Delete(int i);
    void Clear();
    void Assign(const std::vector<std::string>& lines);

private:
    void changed() {
        if (OnChange) OnChange();
    }
    std::vector<std::string> lines_;
};

class TSglDriverList {
public:
    TSglDriverList();
    TSglDriverList(const TSglDriverList&) = delete;
    TSglDriverList& operator=(const TSglDriverList&) = delete;

    // Patterns may start with "<project>" (the application's folder),
    // "<windows>" or "<system>" (the system's library folders).
    TSglDriverShieldedStringList& GetSearchPath() { return search_; }
    void SetSearchPath(const std::vector<std::string>& lines) { search_.Assign(lines); }
    // Searches on first use and after every change of the search path.
    const TSglDriverStrings& GetDrivers();

private:
    TSglDriverShieldedStringList search_;
    TSglDriverStrings drivers_;
    bool built_ = false;
};

}  // namespace dozu
