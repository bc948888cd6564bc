#pragma once
// Key -> slot number of a keyed row list (internal to the host library). Open addressing:
// one flat array of (slot, hash) pairs probed linearly, so adding, finding and removing a
// key allocates nothing and mostly touches one cache line; a table of ten thousand rows
// re-keyed after a click stays cheap. The keys themselves live in the row list; callers
// pass keyOf(slot) to read them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace KZ {

class CKeySlotIndex {
public:
    static constexpr size_t npos = SIZE_MAX;

    size_t size() const { return count_; }

    template <class KeyOf>
    size_t find(const std::string& key, const KeyOf& keyOf) const
    {
        const size_t bucket = bucketOf(key, keyOf);
        return bucket == npos ? npos : buckets_[bucket].slot;
    }

    // The slot of key when it is in the index; otherwise key goes in under newSlot and the
    // result is npos. One hash and one probe run, where find and insert take two.
    template <class KeyOf>
    size_t findOrInsert(const std::string& key, size_t newSlot, const KeyOf& keyOf)
    {
        if ((count_ + 1) * 2 > buckets_.size())
            grow();
        const uint32_t hash = hashOf(key);
        size_t at = hash & mask();
        for (; buckets_[at].slot != kEmpty; at = (at + 1) & mask()) {
            if (buckets_[at].hash == hash && keyOf(buckets_[at].slot) == key)
                return buckets_[at].slot;
        }
        buckets_[at] = SBucket{static_cast<uint32_t>(newSlot), hash};
        ++count_;
        return npos;
    }

    // key must not be in the index yet.
    void insert(const std::string& key, size_t slot)
    {
        if ((count_ + 1) * 2 > buckets_.size())
            grow();
        const uint32_t hash = hashOf(key);
        size_t at = hash & mask();
        while (buckets_[at].slot != kEmpty)
            at = (at + 1) & mask();
        buckets_[at] = SBucket{static_cast<uint32_t>(slot), hash};
        ++count_;
    }

    template <class KeyOf>
    void erase(const std::string& key, const KeyOf& keyOf)
    {
        size_t hole = bucketOf(key, keyOf);
        if (hole == npos)
            return;
        // Later entries of the same probe run move up, so no run is ever broken by a gap.
        for (size_t next = (hole + 1) & mask(); buckets_[next].slot != kEmpty; next = (next + 1) & mask()) {
            const size_t home = buckets_[next].hash & mask();
            const bool homeOutsideGap = hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
            if (homeOutsideGap) {
                buckets_[hole] = buckets_[next];
                hole = next;
            }
        }
        buckets_[hole].slot = kEmpty;
        --count_;
    }

    // The row under key now sits at slot `to`; keyOf must still give the key at its old slot.
    template <class KeyOf>
    void moveSlot(const std::string& key, size_t to, const KeyOf& keyOf)
    {
        const size_t bucket = bucketOf(key, keyOf);
        if (bucket != npos)
            buckets_[bucket].slot = static_cast<uint32_t>(to);
    }

    void clear()
    {
        std::fill(buckets_.begin(), buckets_.end(), SBucket{kEmpty, 0});
        count_ = 0;
    }

private:
    static constexpr uint32_t kEmpty = UINT32_MAX;
    struct SBucket {
        uint32_t slot;
        uint32_t hash;
    };

    // Row numbers ("1", "2", ...), the keys of most tables, go to every other bucket in
    // their order: a load of ten thousand rows then walks the array instead of jumping
    // about it, and the free bucket after each keeps the probe runs short. Past 32767 the
    // higher digits are mixed in, so that numbers far apart (multiples of a power of two,
    // say) do not pile up in one bucket.
    static uint32_t hashOf(const std::string& key)
    {
        uint32_t number = 0;
        if (rowNumberOf(key, &number))
            return number * 2 + (number >> 15) * 0x9E3779B1u;
        const size_t full = std::hash<std::string>()(key);
        return static_cast<uint32_t>(full ^ (static_cast<uint64_t>(full) >> 32));
    }

    // Plain decimal digits without a leading zero, at most nine of them.
    static bool rowNumberOf(const std::string& key, uint32_t* number)
    {
        if (key.empty() || key.size() > 9 || key[0] < '1' || key[0] > '9')
            return false;
        uint32_t value = 0;
        for (const char digit : key) {
            if (digit < '0' || digit > '9')
                return false;
            value = value * 10 + static_cast<uint32_t>(digit - '0');
        }
        *number = value;
        return true;
    }

    size_t mask() const { return buckets_.size() - 1; }

    template <class KeyOf>
    size_t bucketOf(const std::string& key, const KeyOf& keyOf) const
    {
        if (count_ == 0)
            return npos;
        const uint32_t hash = hashOf(key);
        for (size_t at = hash & mask(); buckets_[at].slot != kEmpty; at = (at + 1) & mask()) {
            if (buckets_[at].hash == hash && keyOf(buckets_[at].slot) == key)
                return at;
        }
        return npos;
    }

    void grow()
    {
        std::vector<SBucket> old(buckets_.empty() ? 16 : buckets_.size() * 2, SBucket{kEmpty, 0});
        old.swap(buckets_);
        for (const SBucket& entry : old) {
            if (entry.slot == kEmpty)
                continue;
            size_t at = entry.hash & mask();
            while (buckets_[at].slot != kEmpty)
                at = (at + 1) & mask();
            buckets_[at] = entry;
        }
    }

    std::vector<SBucket> buckets_;   // size a power of two, at most half full
    size_t count_ = 0;
};

} // namespace KZ
