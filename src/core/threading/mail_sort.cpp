#include "core/threading/mail_sort.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <utility>
#include <vector>

namespace postloom {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// Minima of the order keys over power-of-two blocks of positions, so that
// "the first position at or after l whose key is below x" is found without
// looking at every key in between.
class KeyMinima {
public:
    explicit KeyMinima(const MailList& mails)
    {
        while (leaves_ < mails.size())
            leaves_ *= 2;
        // Padding leaves hold the greatest key: nothing is ever below it.
        nodes_.assign(2 * leaves_, std::numeric_limits<std::uint32_t>::max());
        for (std::size_t i = 0; i < mails.size(); ++i)
            nodes_[leaves_ + i] = static_cast<std::uint32_t>(mails[i]->orderKey);
        for (std::size_t v = leaves_ - 1; v >= 1; --v)
            nodes_[v] = std::min(nodes_[2 * v], nodes_[2 * v + 1]);
    }

    std::uint32_t Key(std::size_t position) const { return nodes_[leaves_ + position]; }

    // Changes the key of a leaf only; the blocks above it follow in Refresh().
    void SetKey(std::size_t position, std::uint32_t key) { nodes_[leaves_ + position] = key; }

    // Only blocks that lie wholly at or after l are consulted, so stale
    // blocks over earlier positions never mislead the search. Cost grows
    // with the logarithm of the distance to the position found.
    std::size_t FirstBelow(std::size_t l, std::uint32_t x) const
    {
        if (l >= leaves_)
            return kNone;
        std::size_t v = leaves_ + l;
        while (nodes_[v] >= x) {
            while (v & 1)  // climb while v is a right child
                v >>= 1;
            if (v == 0)
                return kNone;
            ++v;  // the block directly to the right
        }
        while (v < leaves_) {
            v *= 2;
            if (nodes_[v] >= x)
                ++v;
        }
        return v - leaves_;
    }

    // Recomputes the blocks above the given leaves (in ascending order),
    // stopping early where a block's minimum did not change. Uses level as
    // its working list.
    void Refresh(std::vector<std::size_t>& level)
    {
        for (std::size_t& p : level)
            p += leaves_;
        while (!level.empty() && level.front() > 1) {
            std::size_t out = 0;
            for (const std::size_t child : level) {
                const std::size_t v = child / 2;
                if (out > 0 && level[out - 1] == v)
                    continue;
                const std::uint32_t m = std::min(nodes_[2 * v], nodes_[2 * v + 1]);
                if (m != nodes_[v]) {
                    nodes_[v] = m;
                    level[out++] = v;
                }
            }
            level.resize(out);
        }
    }

private:
    std::size_t leaves_ = 1;
    std::vector<std::uint32_t> nodes_;
};

// Counts over positions 0 .. size-1 (a Fenwick tree): prefix sums and the
// position of the k-th counted unit, each in O(log size).
class Counts {
public:
    explicit Counts(std::size_t size, std::uint32_t initial) : tree_(size + 1, 0)
    {
        for (std::size_t i = 1; i <= size; ++i) {
            tree_[i] += initial;
            if (const std::size_t up = i + (i & (0 - i)); up <= size)
                tree_[up] += tree_[i];
        }
        while (top_ * 2 <= size)
            top_ *= 2;
    }

    void Add(std::size_t position)
    {
        for (std::size_t i = position + 1; i < tree_.size(); i += i & (0 - i))
            ++tree_[i];
    }

    void Remove(std::size_t position)
    {
        for (std::size_t i = position + 1; i < tree_.size(); i += i & (0 - i))
            --tree_[i];
    }

    // Units at positions below end.
    std::size_t Before(std::size_t end) const
    {
        std::size_t sum = 0;
        for (std::size_t i = end; i > 0; i -= i & (0 - i))
            sum += tree_[i];
        return sum;
    }

    // The position holding the unit of rank k (from 0).
    std::size_t Kth(std::size_t k) const
    {
        std::size_t position = 0;
        for (std::size_t step = top_; step > 0; step /= 2) {
            if (position + step < tree_.size() && tree_[position + step] <= k) {
                position += step;
                k -= tree_[position];
            }
        }
        return position;
    }

private:
    std::vector<std::uint32_t> tree_;
    std::size_t top_ = 1;
};

// Where the exchanges take each mail, without making them.
//
// Take the mails of one key w and, in list order, the mails of smaller keys
// ("smaller mails"). Step by step the exchanges only ever move the first
// mail of key w, and only while no smaller mail stands before it: it is then
// carried to the place of the first smaller mail behind it, passing the
// mails of key w in between. So in list order, the mails of key w form a
// run that each smaller mail rotates by one (the first goes to the back),
// and the run leaves the list in its final order once the smaller mails are
// gone. The rotations are counted for every member of the run and undone
// from the last member back, each member taking its slot of the final run.
std::vector<std::size_t> FinalOrder(const std::vector<std::uint32_t>& keys)
{
    const std::size_t n = keys.size();
    std::vector<std::size_t> byKey(n);
    for (std::size_t i = 0; i < n; ++i)
        byKey[i] = i;
    std::sort(byKey.begin(), byKey.end(),
              [&](std::size_t a, std::size_t b) { return keys[a] != keys[b] ? keys[a] < keys[b] : a < b; });

    std::vector<std::size_t> order;
    order.reserve(n);
    Counts smaller(n, 0);
    std::vector<std::size_t> slots;
    for (std::size_t first = 0; first < n;) {
        std::size_t end = first;
        while (end < n && keys[byKey[end]] == keys[byKey[first]])
            ++end;
        const std::span<const std::size_t> run(byKey.data() + first, end - first);
        const std::size_t size = run.size();

        // Undo the rotations: once the t-th member (from 1) has joined, the
        // run of t members turns once per smaller mail before the next
        // member; only the turns modulo t count.
        slots.assign(size, 0);
        Counts free(size, 1);
        std::size_t start = 0;  // rank, among the free slots, of the run's front
        for (std::size_t t = size; t > 0; --t) {
            const std::size_t next = t < size ? run[t] : n;
            const std::size_t turns = (smaller.Before(next) - smaller.Before(run[t - 1] + 1)) % t;
            const std::size_t rank = (start + t - 1 - turns) % t;
            const std::size_t slot = free.Kth(rank);
            slots[slot] = run[t - 1];
            free.Remove(slot);
            start = rank + 1 == t ? 0 : rank;
        }
        order.insert(order.end(), slots.begin(), slots.end());
        for (const std::size_t position : run)
            smaller.Add(position);
        first = end;
    }
    return order;
}

// The list after the first steps of the exchange sort, by making the
// exchanges. Step i carries the mail at i along the list: each later mail
// with a smaller key than the one carried takes its place at i and leaves
// the carried mail at its own position. Only those positions change, so the
// search jumps from one to the next.
void MakeSteps(MailList& mails, std::size_t steps)
{
    KeyMinima minima(mails);
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < steps; ++i) {
        changed.clear();
        std::uint32_t carried = minima.Key(i);
        for (std::size_t j = minima.FirstBelow(i + 1, carried); j != kNone; j = minima.FirstBelow(j + 1, carried)) {
            std::swap(mails[i], mails[j]);
            const std::uint32_t smaller = minima.Key(j);
            minima.SetKey(j, carried);
            minima.SetKey(i, smaller);
            carried = smaller;
            changed.push_back(j);
        }
        // Position i is final and never searched again; only the later
        // positions that received a larger key need their blocks updated.
        minima.Refresh(changed);
    }
}

}  // namespace

// The exchanges cost up to N * N / 4 steps for a list in no particular
// order, so a complete run computes their result directly; a stopped run
// makes the exchanges of the steps it reported.
bool SortMailList(MailList& mails, JobProgress& progress, const StopFlag& stop)
{
    const std::size_t n = mails.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!stop)
            progress.Report(static_cast<int>(i));
        // Also a stop that arrives with the report ends the run before step i.
        if (stop) {
            MakeSteps(mails, i);
            return false;
        }
    }
    std::vector<std::uint32_t> keys(n);
    for (std::size_t i = 0; i < n; ++i)
        keys[i] = static_cast<std::uint32_t>(mails[i]->orderKey);
    MailList sorted(n);
    const std::vector<std::size_t> order = FinalOrder(keys);
    for (std::size_t i = 0; i < n; ++i)
        sorted[i] = std::move(mails[order[i]]);
    mails = std::move(sorted);
    return true;
}

}  // namespace postloom
