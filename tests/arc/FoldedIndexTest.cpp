#include "arc/FoldedIndex.h"
#include "arc/ArcEntry.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace XALArc;

namespace {

std::string Lower(std::string name) {
    for (char& c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return name;
}

// Random adds and removes of names from a small alphabet, so that probes
// collide and wrap around the table end, against a map of folded names;
// after every step each name is looked up in a case of its own. The
// alphabet has the bytes around the letters and bytes above 127 whose low
// seven bits are letters; half the names start with seven bytes more, so
// that the varied ones cross the eight bytes that the index folds at once.
TEST(FoldedIndex, FindsWhatAMapOfFoldedNamesFindsAfterAnyEdits) {
    std::mt19937 random(7);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<std::unique_ptr<CDirEntry>> entries;
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        std::string name(pick(2) == 0 ? 0 : 7, 'x');
        for (int length = 1 + pick(3); length > 0; --length)
            name += "aAbB@Z[`z{\xC1\xE1"[pick(12)];
        names.push_back(name);
        entries.push_back(std::make_unique<CDirEntry>(name, nullptr, false));
    }
    for (int round = 0; round < 200; ++round) {
        CFoldedIndex index;
        std::map<std::string, CArcEntry*> model;
        for (int step = 0; step < 60; ++step) {
            const auto i = static_cast<std::size_t>(pick(static_cast<int>(names.size())));
            if (pick(3) == 0) {
                index.Remove(names[i]);
                model.erase(Lower(names[i]));
            } else {
                index.Add(entries[i].get());
                model.emplace(Lower(names[i]), entries[i].get());
            }
            EXPECT_EQ(index.Empty(), model.empty());
            for (const std::string& name : names) {
                const auto found = model.find(Lower(name));
                ASSERT_EQ(index.Find(name), found == model.end() ? nullptr : found->second)
                    << "round " << round << " step " << step << " name " << name;
            }
        }
    }
}

} // namespace
