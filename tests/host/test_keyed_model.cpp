// The keyed row list under long random sequences of adds, replacements, removals,
// positional reads and clears, against a plain list that does the same the slow way.

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "framework_support.h"

using namespace fwtest;

TEST(KeyedModel, shouldKeepRowsInOrderAndFindEachByKeyThroughAnySequenceOfChanges)
{
    CTestModel model;
    std::vector<std::pair<std::string, KZ::IBaseHpfTableDataPtr>> expected;   // rows in order
    std::mt19937 random(20261206);
    // Few keys, so that most changes meet a key already there; long ones hash apart less.
    const auto keyOf = [](int n) { return n % 3 == 0 ? "long key of row " + std::to_string(n) : std::to_string(n); };
    for (int step = 0; step < 40000; ++step) {
        const std::string key = keyOf(static_cast<int>(random() % 700));
        const auto present = std::find_if(expected.begin(), expected.end(), [&key](const auto& e) { return e.first == key; });
        switch (random() % 10) {
        case 0: case 1: case 2: case 3: {   // add, or replace in place
            const KZ::IBaseHpfTableDataPtr added = row(key, QString::number(step), step);
            model.addData(added);
            if (present != expected.end())
                present->second = added;
            else
                expected.emplace_back(key, added);
            break;
        }
        case 4: case 5: case 6:
            ASSERT_EQ(model.removeDataByKey(key), present != expected.end()) << key;
            if (present != expected.end())
                expected.erase(present);
            break;
        case 7: {   // read a position, which closes the gaps removals left
            if (expected.empty())
                break;
            const size_t at = random() % expected.size();
            ASSERT_EQ(model.dataAt(static_cast<int>(at)), expected[at].second) << step;
            ASSERT_EQ(model.keyAt(static_cast<int>(at)), expected[at].first) << step;
            break;
        }
        case 8:
            ASSERT_EQ(model.getDataByKey(key), present != expected.end() ? present->second : nullptr) << key;
            break;
        default:
            if (random() % 200 == 0) {
                model.clear();
                expected.clear();
            }
        }
        ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size())) << step;
    }
    const QList<KZ::IBaseHpfTableDataPtr> rows = model.getDatas();
    ASSERT_EQ(rows.size(), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(rows[static_cast<int>(i)], expected[i].second);
        EXPECT_EQ(model.getDataByKey(expected[i].first), expected[i].second);
    }
}
