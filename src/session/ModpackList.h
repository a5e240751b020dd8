#pragma once
// The main dialog's modpack list, as the join path sees it. Entry 0 is "Do not install Modpack";
// every other entry is an archive's file name without its last four characters.
#include <string>

class ModpackList {
  public:
    virtual ~ModpackList() = default;

    // Index of the first entry equal to `name` without regard to case, or -1.
    virtual int FindEntry(const std::string& name) const = 0;
    // Selects an entry (and shows its comment, as a selection by the player would).
    virtual void SelectEntry(int index) = 0;
    // Appends an entry at the end (the list is not sorted) and returns its index.
    virtual int AppendEntry(const std::string& name) = 0;
};
