#pragma once
// The main dialog's modpack list in memory: entry 0 is "Do not install Modpack", the others are
// given by the test; selections and appends are recorded.
#include <string>
#include <vector>

#include "session/ModpackList.h"

namespace testing_support {

class FakeModpackList : public ModpackList {
  public:
    explicit FakeModpackList(std::vector<std::string> modpacks = {}, int selected = 0);

    int FindEntry(const std::string& name) const override;
    void SelectEntry(int index) override;
    int AppendEntry(const std::string& name) override;

    std::vector<std::string> entries;
    int selected = 0;
};

} // namespace testing_support
