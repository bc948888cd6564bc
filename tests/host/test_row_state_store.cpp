#include <gtest/gtest.h>

#include <QString>

#include "KZ/RowStateStore.h"

namespace {

using Store = KZ::CRowStateStore<QString>;

// The states found under the keys, "-" where there is none.
QStringList statesOf(const Store& store, const QStringList& keys)
{
    QStringList states;
    for (const QString& key : keys) {
        const QString* state = store.find(key);
        states << (state != nullptr ? *state : QStringLiteral("-"));
    }
    return states;
}

Store storeOf(const QStringList& keys)
{
    Store store;
    for (const QString& key : keys)
        store[key] = key;
    return store;
}

// Whatever the key looks like, a state written under it is read back under exactly that
// key and no other: "01" is not row 1, and a row number beyond the array is still found.
TEST(RowStateStore, shouldKeepEachKeysStateApartWhateverTheKeyLooksLike)
{
    const QStringList keys{"1", "2", "10", "01", "0", "-1", "+3", "A|3.250000", "", "262144", "262145",
                           "9999999", "12a"};
    Store store = storeOf(keys);
    EXPECT_EQ(statesOf(store, keys), keys);
    EXPECT_EQ(statesOf(store, {"3"}), QStringList{"-"});
    EXPECT_EQ(store.value("3"), QString());

    store.clear();
    EXPECT_EQ(statesOf(store, keys).join(QString()), QString(keys.size(), QLatin1Char('-')));
}

// Renumbering moves numbered states with their rows, in the array and beyond it, and
// leaves keys that are not row numbers where they are.
TEST(RowStateStore, shouldMoveNumberedStatesWhenRowsAreInsertedOrRemoved)
{
    Store store = storeOf({"1", "2", "3", "300000", "x", "02"});

    store.insertNumbers(2, 2);   // two rows before row 2
    EXPECT_EQ(statesOf(store, {"1", "2", "3", "4", "5", "300002", "x", "02"}),
              (QStringList{"1", "-", "-", "2", "3", "300000", "x", "02"}));

    store.removeNumbers(4, 1);   // the row that was 2
    EXPECT_EQ(statesOf(store, {"4", "5", "300001"}), (QStringList{"3", "-", "300000"}));

    store.removeNumbers(1, 300000);   // everything up to the far row, which becomes row 1
    EXPECT_EQ(statesOf(store, {"1", "x"}), (QStringList{"300000", "x"}));

    store.insertNumbers(0, 1);    // no row 0: nothing moves
    store.removeNumbers(1, 0);
    EXPECT_EQ(statesOf(store, {"1"}), QStringList{"300000"});
}

// Numbering rows anew moves each numbered state to its row's new number; a row without
// state leaves none behind, and rows after the renumbered ones and named keys stay put.
TEST(RowStateStore, shouldMoveEachStateToItsRowsNewNumber)
{
    Store store = storeOf({"1", "3", "4", "5", "x"});
    store.renumber({3, 1, 4, 2});   // rows 1..4 become 3, 1, 4, 2; row 5 is not renumbered
    EXPECT_EQ(statesOf(store, {"1", "2", "3", "4", "5", "x"}), (QStringList{"-", "4", "1", "3", "5", "x"}));

    Store sparse = storeOf({"1"});   // fewer states than renumbered rows
    sparse.renumber({6, 1, 2, 3, 4, 5});
    EXPECT_EQ(statesOf(sparse, {"6", "1"}), (QStringList{"1", "-"}));

    Store dropping = storeOf({"1", "2", "3"});   // a row numbered nowhere loses its state, an untaken number has none
    dropping.renumber({2, 0, 1});
    EXPECT_EQ(statesOf(dropping, {"1", "2", "3"}), (QStringList{"3", "1", "-"}));
}

} // namespace
