#pragma once
// Per-row state of a column delegate, found by the row key. Most tables key their rows
// by row number ("1", "2", ...): those states sit in one array indexed by the number,
// so a load of ten thousand rows writes contiguous memory instead of ten thousand hash
// nodes, and renumbering the rows after an inserted or removed row moves the array
// instead of rewriting every key. Any other key ("A|3.250000", "007") lives in a hash.

#include <QHash>
#include <QString>
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace KZ {

template <class T>
class CRowStateStore {
public:
    // The row's state, created with T's defaults when the key has none.
    T& operator[](const QString& key)
    {
        const int number = numberOf(key);
        if (number == 0)
            return named_[key];
        const size_t slot = static_cast<size_t>(number - 1);
        if (slot >= numbered_.size())
            numbered_.resize(slot + 1);
        std::optional<T>& state = numbered_[slot];
        if (!state)
            state.emplace();
        return *state;
    }

    // Null when the key has no state.
    const T* find(const QString& key) const
    {
        const int number = numberOf(key);
        if (number == 0) {
            const auto found = named_.constFind(key);
            return found != named_.constEnd() ? &found.value() : nullptr;
        }
        const size_t slot = static_cast<size_t>(number - 1);
        return slot < numbered_.size() && numbered_[slot] ? &*numbered_[slot] : nullptr;
    }

    // A copy of the row's state; T's defaults when it has none.
    T value(const QString& key) const
    {
        const T* state = find(key);
        return state != nullptr ? *state : T();
    }

    void clear()
    {
        numbered_.clear();
        named_.clear();
    }

    // count rows were inserted before row number first: the states of rows numbered
    // first and above move up by count, and first .. first + count - 1 have none.
    void insertNumbers(int first, int count)
    {
        if (first < 1 || count < 1)
            return;
        const size_t slot = static_cast<size_t>(first - 1);
        if (slot < numbered_.size())
            numbered_.insert(numbered_.begin() + static_cast<std::ptrdiff_t>(slot), static_cast<size_t>(count),
                             std::nullopt);
        shiftNamedNumbers(first, count);
    }

    // Rows numbered first .. first + count - 1 were removed: their states go, and the
    // states of the rows after them move down by count.
    void removeNumbers(int first, int count)
    {
        if (first < 1 || count < 1)
            return;
        const long long pastLast = static_cast<long long>(first) + count;
        const size_t begin = std::min(static_cast<size_t>(first - 1), numbered_.size());
        const size_t end = std::min(begin + static_cast<size_t>(count), numbered_.size());
        numbered_.erase(numbered_.begin() + static_cast<std::ptrdiff_t>(begin),
                        numbered_.begin() + static_cast<std::ptrdiff_t>(end));
        if (!named_.isEmpty()) {
            for (long long number = std::max(first, kLargestArrayNumber + 1); number < pastLast; ++number)
                named_.remove(QString::number(number));
        }
        if (pastLast <= INT_MAX)
            shiftNamedNumbers(static_cast<int>(pastLast), -count);
    }

    // Rows 1 .. newNumbers.size() were numbered anew: the state of row i + 1 moves to row
    // newNumbers[i], whatever the order, so a table that sorts its rows into another order
    // keeps every row's state without rewriting it. A new number outside 1 .. newNumbers.size()
    // drops the state; rows after them keep theirs.
    void renumber(const std::vector<int>& newNumbers)
    {
        const size_t count = newNumbers.size();
        if (count == 0)
            return;
        if (numbered_.size() < count)
            numbered_.resize(count);
        if (!swapIntoPlace(newNumbers)) {
            std::vector<std::optional<T>> moved(count);
            for (size_t i = 0; i < count; ++i) {
                const int target = newNumbers[i];
                if (target >= 1 && static_cast<size_t>(target) <= count && numbered_[i])
                    moved[static_cast<size_t>(target - 1)] = std::move(numbered_[i]);
            }
            std::move(moved.begin(), moved.end(), numbered_.begin());
        }
    }

private:
    // Row numbers up to this live in the array; a stray larger number costs a hash entry,
    // never a huge array.
    static constexpr int kLargestArrayNumber = 1 << 18;

    // 1 .. kLargestArrayNumber for a row number written as plain decimal digits, else 0.
    static int numberOf(const QString& key)
    {
        const int length = key.size();
        if (length == 0 || length > 6)
            return 0;
        const QChar* text = key.constData();
        if (text[0] == QLatin1Char('0'))
            return 0;
        int number = 0;
        for (int i = 0; i < length; ++i) {
            const ushort digit = text[i].unicode();
            if (digit < '0' || digit > '9')
                return 0;
            number = number * 10 + (digit - '0');
        }
        return number <= kLargestArrayNumber ? number : 0;
    }

    // When newNumbers holds each of 1..n once, the states are swapped into place along the
    // cycles of the renumbering: no second array of ten thousand states to allocate and free.
    // False, and nothing moved, for any other newNumbers.
    bool swapIntoPlace(const std::vector<int>& newNumbers)
    {
        const size_t count = newNumbers.size();
        std::vector<uint32_t> target(count);
        std::vector<bool> taken(count, false);
        for (size_t i = 0; i < count; ++i) {
            const int number = newNumbers[i];
            if (number < 1 || static_cast<size_t>(number) > count || taken[static_cast<size_t>(number - 1)])
                return false;
            taken[static_cast<size_t>(number - 1)] = true;
            target[i] = static_cast<uint32_t>(number - 1);
        }
        for (size_t i = 0; i < count; ++i) {
            while (target[i] != i) {
                const uint32_t j = target[i];
                std::swap(numbered_[i], numbered_[j]);
                std::swap(target[i], target[j]);
            }
        }
        return true;
    }

    // Numbers above the array's range that sit in the hash move with the others.
    void shiftNamedNumbers(int first, int by)
    {
        if (named_.isEmpty())
            return;
        QHash<QString, T> moved;
        for (auto it = named_.begin(); it != named_.end();) {
            bool isNumber = false;
            const int number = it.key().toInt(&isNumber);
            if (isNumber && number >= first && it.key() == QString::number(number)) {
                const long long target = static_cast<long long>(number) + by;
                if (target <= INT_MAX)
                    moved.insert(QString::number(target), std::move(it.value()));
                it = named_.erase(it);
            } else {
                ++it;
            }
        }
        for (auto it = moved.begin(); it != moved.end(); ++it)
            (*this)[it.key()] = std::move(it.value());
    }

    std::vector<std::optional<T>> numbered_;   // index = row number - 1
    QHash<QString, T> named_;
};

} // namespace KZ
