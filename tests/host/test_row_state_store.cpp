#include <gtest/gtest.h>

#include <QString>

#include "KZ/RowStateStore.h"

namespace {

using Store = KZ::CRowStateStore<QString>;

QString stateOf(const Store& store, const QString& key)
{
    const QString* state = store.find(key);
    return state != nullptr ? *state : QStringLiteral("<none>");
}

// Whatever the key looks like, a state written under it is read back under exactly that
// key and no other: "01" is not row 1, and a row number beyond the array is still found.
TEST(RowStateStore, shouldKeepEachKeysStateApartWhateverTheKeyLooksLike)
{
    const QStringList keys{"1", "2", "10", "01", "0", "-1", "+3", "A|3.250000", "", "262144", "262145",
                           "9999999", "12a"};
    Store store;
    for (const QString& key : keys)
        store[key] = "state " + key;
    for (const QString& key : keys)
        EXPECT_EQ(stateOf(store, key), "state " + key) << key.toStdString();
    EXPECT_EQ(stateOf(store, "3"), "<none>");
    EXPECT_EQ(store.value("3"), QString());

    store.clear();
    for (const QString& key : keys)
        EXPECT_EQ(store.find(key), nullptr) << key.toStdString();
}

// Renumbering moves numbered states with their rows, in the array and beyond it, and
// leaves keys that are not row numbers where they are.
TEST(RowStateStore, shouldMoveNumberedStatesWhenRowsAreInsertedOrRemoved)
{
    Store store;
    for (const char* key : {"1", "2", "3", "300000", "x", "02"})
        store[QString::fromLatin1(key)] = QString::fromLatin1(key);

    store.insertNumbers(2, 2);   // two rows before row 2
    EXPECT_EQ(stateOf(store, "1"), "1");
    EXPECT_EQ(stateOf(store, "2"), "<none>");
    EXPECT_EQ(stateOf(store, "3"), "<none>");
    EXPECT_EQ(stateOf(store, "4"), "2");
    EXPECT_EQ(stateOf(store, "5"), "3");
    EXPECT_EQ(stateOf(store, "300002"), "300000");
    EXPECT_EQ(stateOf(store, "x"), "x");
    EXPECT_EQ(stateOf(store, "02"), "02");

    store.removeNumbers(4, 1);   // the row that was 2
    EXPECT_EQ(stateOf(store, "4"), "3");
    EXPECT_EQ(stateOf(store, "5"), "<none>");
    EXPECT_EQ(stateOf(store, "300001"), "300000");

    store.removeNumbers(1, 300000);   // everything up to the far row, which becomes row 1
    EXPECT_EQ(stateOf(store, "1"), "300000");
    EXPECT_EQ(stateOf(store, "x"), "x");

    store.insertNumbers(0, 1);    // no row 0: nothing moves
    store.removeNumbers(1, 0);
    EXPECT_EQ(stateOf(store, "1"), "300000");
}

// Numbering rows anew moves each numbered state to its row's new number; a row without
// state leaves none behind, and rows after the renumbered ones and named keys stay put.
TEST(RowStateStore, shouldMoveEachStateToItsRowsNewNumber)
{
    Store store;
    for (const char* key : {"1", "3", "4", "5", "x"})
        store[QString::fromLatin1(key)] = QString::fromLatin1(key);

    store.renumber({3, 1, 4, 2});   // rows 1..4 become 3, 1, 4, 2; row 5 is not renumbered
    EXPECT_EQ(stateOf(store, "1"), "<none>");   // was row 2, which had no state
    EXPECT_EQ(stateOf(store, "2"), "4");
    EXPECT_EQ(stateOf(store, "3"), "1");
    EXPECT_EQ(stateOf(store, "4"), "3");
    EXPECT_EQ(stateOf(store, "5"), "5");
    EXPECT_EQ(stateOf(store, "x"), "x");

    Store sparse;   // fewer states than renumbered rows
    sparse["1"] = "1";
    sparse.renumber({6, 1, 2, 3, 4, 5});
    EXPECT_EQ(stateOf(sparse, "6"), "1");
    EXPECT_EQ(stateOf(sparse, "1"), "<none>");

    Store dropping;   // a row numbered nowhere loses its state, an untaken number has none
    for (const char* key : {"1", "2", "3"})
        dropping[QString::fromLatin1(key)] = QString::fromLatin1(key);
    dropping.renumber({2, 0, 1});
    EXPECT_EQ(stateOf(dropping, "1"), "3");
    EXPECT_EQ(stateOf(dropping, "2"), "1");
    EXPECT_EQ(stateOf(dropping, "3"), "<none>");
}

} // namespace
