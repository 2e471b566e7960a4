#include "core/threading/mail_sort.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
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
    // stopping early where a block's minimum did not change.
    void Refresh(std::vector<std::size_t>& positions)
    {
        std::vector<std::size_t>& level = positions;
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

}  // namespace

// Step i carries the mail at i along the list: each later mail with a
// smaller key than the one carried takes its place at i and leaves the
// carried mail at its own position. Only those positions change, so the
// search jumps from one to the next; the exchanges are the same, and so is
// the order of mails with equal keys.
bool SortMailList(MailList& mails, JobProgress& progress, const StopFlag& stop)
{
    const std::size_t n = mails.size();
    if (n == 0)
        return true;
    KeyMinima minima(mails);
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < n; ++i) {
        if (stop)
            return false;
        progress.Report(static_cast<int>(i));
        // A stop that arrives with the report ends the step before its
        // first exchange.
        if (stop)
            return false;
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
    return true;
}

}  // namespace postloom
