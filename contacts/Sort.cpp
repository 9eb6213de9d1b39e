#include "contacts/Sort.h"

#include "contacts/Cp1252.h"
#include "contacts/Persona.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace contacts {

namespace {

// rank[byte] orders the bytes by the code point they decode to, so comparing ranks
// byte by byte compares the decoded texts character by character.
std::array<std::uint8_t, 256> makeRanks()
{
    std::array<std::uint8_t, 256> bytes;
    std::iota(bytes.begin(), bytes.end(), 0);
    std::sort(bytes.begin(), bytes.end(),
              [](std::uint8_t a, std::uint8_t b) { return cp1252ToUnicode(a) < cp1252ToUnicode(b); });
    std::array<std::uint8_t, 256> rank{};
    for (std::size_t r = 0; r < bytes.size(); ++r)
        rank[bytes[r]] = static_cast<std::uint8_t>(r);
    return rank;
}

const std::array<std::uint8_t, 256> &ranks()
{
    static const auto table = makeRanks();
    return table;
}

// A key's 20 ranked bytes packed big-endian into integers, so that comparing the
// integers in turn compares the keys.
struct PackedKey {
    std::uint64_t hi;
    std::uint64_t mid;
    std::uint32_t lo;
    std::uint32_t index;

    bool operator<(const PackedKey &o) const
    {
        if (hi != o.hi)
            return hi < o.hi;
        if (mid != o.mid)
            return mid < o.mid;
        return lo < o.lo;
    }
    bool sameKey(const PackedKey &o) const { return hi == o.hi && mid == o.mid && lo == o.lo; }
};

PackedKey pack(const char *record, std::uint32_t index)
{
    const auto &rank = ranks();
    const auto *key = reinterpret_cast<const unsigned char *>(record + kNombreOffset);
    std::uint64_t words[3] = {0, 0, 0};
    for (std::size_t k = 0; k < kNombreWidth; ++k)
        words[k / 8] = (words[k / 8] << 8) | rank[key[k]];
    return {words[0], words[1], static_cast<std::uint32_t>(words[2]), index};
}

// Prefix counts over 0..size-1.
class Fenwick {
public:
    explicit Fenwick(std::size_t size)
        : m_tree(size + 1, 0)
    {
    }
    // Every slot holding one, built in linear time.
    void fillOnes()
    {
        for (std::size_t i = 1; i < m_tree.size(); ++i)
            m_tree[i] = static_cast<std::uint32_t>(i & (~i + 1));
    }
    void add(std::size_t pos, std::int32_t delta)
    {
        for (std::size_t i = pos + 1; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] += static_cast<std::uint32_t>(delta);
    }
    // Sum over 0..pos-1.
    std::uint32_t before(std::size_t pos) const
    {
        std::uint32_t sum = 0;
        for (std::size_t i = pos; i > 0; i -= i & (~i + 1))
            sum += m_tree[i];
        return sum;
    }
    // The position of the (k+1)-th one, counting from 0.
    std::size_t findKth(std::uint32_t k) const
    {
        std::size_t pos = 0;
        std::size_t step = 1;
        while (step * 2 < m_tree.size())
            step *= 2;
        for (; step > 0; step /= 2) {
            if (pos + step < m_tree.size() && m_tree[pos + step] <= k) {
                pos += step;
                k -= m_tree[pos];
            }
        }
        return pos;
    }

private:
    std::vector<std::uint32_t> m_tree;
};

} // namespace

bool nombreLess(const char *a, const char *b)
{
    const auto &rank = ranks();
    for (std::size_t k = 0; k < kNombreWidth; ++k) {
        const auto ra = rank[static_cast<unsigned char>(a[k])];
        const auto rb = rank[static_cast<unsigned char>(b[k])];
        if (ra != rb)
            return ra < rb;
    }
    return false;
}

// Why this gives the swap sort's order: reading the file front to back, the
// sorted prefix behaves as runs of equal keys in key order. A new record joins the
// end of its key's run, and every run of a larger key turns by one (its first
// record moves to its end), because the pass that carries the new record down
// swaps it through the first record of each such run. So each run's final order
// depends only on where its members were inserted and how many smaller records
// arrived after each of them, which is counted with a prefix-sum tree.
std::vector<std::uint32_t> swapSortOrder(const char *records, std::size_t count)
{
    const auto n = static_cast<std::uint32_t>(count);
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0);

    std::vector<PackedKey> keys(n);
    bool sorted = true;
    for (std::uint32_t i = 0; i < n; ++i) {
        keys[i] = pack(records + std::size_t(i) * kRecordSize, i);
        if (i > 0 && keys[i] < keys[i - 1])
            sorted = false;
    }
    // Already in order: no exchange ever happens.
    if (sorted)
        return order;

    // Dense rank of each record's key.
    std::sort(keys.begin(), keys.end());
    std::vector<std::uint32_t> keyRank(n);
    std::uint32_t distinct = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (i > 0 && !keys[i].sameKey(keys[i - 1]))
            ++distinct;
        keyRank[keys[i].index] = distinct;
    }
    ++distinct;
    keys = {};

    // lessBefore[t]: records before t in the file with a smaller key.
    std::vector<std::uint32_t> lessBefore(n);
    std::vector<std::uint32_t> runStart(distinct + 1, 0);
    {
        Fenwick seen(distinct);
        for (std::uint32_t t = 0; t < n; ++t) {
            lessBefore[t] = seen.before(keyRank[t]);
            seen.add(keyRank[t], 1);
            ++runStart[keyRank[t] + 1];
        }
    }
    // runStart[K] is both where run K begins in the result and how many records
    // have a smaller key.
    std::partial_sum(runStart.begin(), runStart.end(), runStart.begin());

    // The members of each run in file order, laid out where the run will go.
    std::vector<std::uint32_t> members(n);
    {
        std::vector<std::uint32_t> fill(runStart.begin(), runStart.end() - 1);
        for (std::uint32_t t = 0; t < n; ++t)
            members[fill[keyRank[t]]++] = t;
    }
    keyRank = {};

    std::vector<std::uint32_t> insertAt;
    for (std::uint32_t run = 0; run < distinct; ++run) {
        const std::uint32_t first = runStart[run];
        const std::uint32_t m = runStart[run + 1] - first;
        const std::uint32_t *t = members.data() + first;
        if (m == 1) {
            order[first] = t[0];
            continue;
        }
        // The run as a ring: a linear array whose logical start is `start`.
        // Appending to the ring's end inserts just before the start.
        insertAt.assign(m, 0);
        std::uint64_t start = 0;
        for (std::uint32_t j = 0; j < m; ++j) {
            if (j > 0) {
                insertAt[j] = static_cast<std::uint32_t>(start);
                ++start;
            }
            const std::uint32_t turns = (j + 1 < m ? lessBefore[t[j + 1]] : first) - lessBefore[t[j]];
            start = (start + turns) % (j + 1);
        }
        // Replay the insertions backwards: each member takes the free slot that had
        // the same number of members before it when it was inserted.
        Fenwick freeSlots(m);
        freeSlots.fillOnes();
        std::uint32_t *out = order.data() + first;
        for (std::uint32_t j = m; j-- > 0;) {
            const std::size_t slot = freeSlots.findKth(insertAt[j]);
            freeSlots.add(slot, -1);
            out[(slot + m - start) % m] = t[j];
        }
    }
    return order;
}

} // namespace contacts
