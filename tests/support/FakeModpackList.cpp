#include "FakeModpackList.h"

#include "platform/GamePath.h"

namespace testing_support {

FakeModpackList::FakeModpackList(std::vector<std::string> modpacks, int selectedEntry)
    : selected(selectedEntry) {
    entries.push_back("Do not install Modpack");
    entries.insert(entries.end(), modpacks.begin(), modpacks.end());
}

int FakeModpackList::FindEntry(const std::string& name) const {
    const std::string wanted = platform::ToLower(name);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (platform::ToLower(entries[i]) == wanted)
            return static_cast<int>(i);
    }
    return -1;
}

void FakeModpackList::SelectEntry(int index) {
    selected = index;
}

int FakeModpackList::AppendEntry(const std::string& name) {
    entries.push_back(name);
    return static_cast<int>(entries.size()) - 1;
}

} // namespace testing_support
