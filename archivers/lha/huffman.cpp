#include "huffman.h"

#include <algorithm>
#include <cstring>

namespace archivers::lha {

namespace {

// Depths of an ordinary Huffman tree over the used symbols. Nodes are merged smallest first,
// ties going to the lower node number (symbols before merged nodes, older merged nodes before
// newer ones). Merged nodes come out in that order by themselves, so two queues do what a heap
// would: the symbols sorted once, and the merged nodes in the order they were made.
int TreeDepths(const std::vector<std::uint32_t>& weight, std::vector<int>& depth) {
    const int n = static_cast<int>(weight.size());
    std::vector<std::uint64_t> w(2 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) w[i] = weight[i];
    std::vector<int> leaves(n);
    for (int i = 0; i < n; ++i) leaves[i] = i;
    std::sort(leaves.begin(), leaves.end(), [&](int a, int b) { return w[a] != w[b] ? w[a] < w[b] : a < b; });
    std::vector<int> parent(2 * static_cast<std::size_t>(n), -1);
    int nextLeaf = 0;
    int nextMerged = n;  // oldest merged node not yet taken
    int next = n;        // number of the next merged node
    auto takeSmallest = [&]() {
        if (nextLeaf < n && (nextMerged == next || w[leaves[nextLeaf]] <= w[nextMerged])) return leaves[nextLeaf++];
        return nextMerged++;
    };
    while (next < 2 * n - 1) {
        const int a = takeSmallest();
        const int b = takeSmallest();
        w[next] = w[a] + w[b];
        parent[a] = next;
        parent[b] = next;
        ++next;
    }
    // Parents have higher numbers than their children: depths top down.
    std::vector<int> nodeDepth(2 * static_cast<std::size_t>(n), 0);
    for (int node = 2 * n - 3; node >= 0; --node) nodeDepth[node] = nodeDepth[parent[node]] + 1;
    depth.assign(nodeDepth.begin(), nodeDepth.begin() + n);
    return *std::max_element(depth.begin(), depth.end());
}

}  // namespace

void BuildCodeLengths(const std::uint32_t* freq, int n, int maxBits, std::uint8_t* lengths) {
    std::vector<int> used;
    std::vector<std::uint32_t> weight;
    for (int i = 0; i < n; ++i) {
        lengths[i] = 0;
        if (freq[i] != 0) {
            used.push_back(i);
            weight.push_back(freq[i]);
        }
    }
    if (used.size() < 2) {
        for (int s : used) lengths[s] = 1;
        return;
    }
    std::vector<int> depth;
    // Halving the counts flattens the tree; a few rounds always reach the limit.
    while (TreeDepths(weight, depth) > maxBits) {
        for (auto& w : weight) w = (w >> 1) | 1;
    }
    for (std::size_t k = 0; k < used.size(); ++k) lengths[used[k]] = static_cast<std::uint8_t>(depth[k]);
}

void AssignCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes) {
    std::uint32_t count[kMaxCodeBits + 2] = {};
    for (int i = 0; i < n; ++i) count[lengths[i]]++;
    count[0] = 0;
    std::uint32_t next[kMaxCodeBits + 2] = {};
    std::uint32_t code = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        code = (code + count[len - 1]) << 1;
        next[len] = code;
    }
    for (int i = 0; i < n; ++i) {
        codes[i] = lengths[i] ? static_cast<std::uint16_t>(next[lengths[i]]++) : 0;
    }
}

bool HuffmanDecoder::Build(const std::uint8_t* lengths, int n) {
    single_ = -1;
    std::memset(count_, 0, sizeof count_);
    for (int i = 0; i < n; ++i) {
        if (lengths[i] > kMaxCodeBits) return false;
        count_[lengths[i]]++;
    }
    count_[0] = 0;
    // Kraft sum must not exceed one.
    std::uint32_t space = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        space <<= 1;
        if (count_[len] > space) return false;
        space -= count_[len];
    }
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
        code = (code + (len > 1 ? count_[len - 1] : 0)) << (len > 1 ? 1 : 0);
        first_[len] = code;
        offset_[len] = index;
        index += count_[len];
    }
    symbols_.assign(index, 0);
    std::uint32_t fill[kMaxCodeBits + 1];
    std::memcpy(fill, offset_, sizeof fill);
    for (int i = 0; i < n; ++i) {
        if (lengths[i]) symbols_[fill[lengths[i]]++] = static_cast<std::uint16_t>(i);
    }
    std::memset(fast_, 0xFF, sizeof fast_);
    for (int len = 1; len <= kFastBits; ++len) {
        for (std::uint32_t k = 0; k < count_[len]; ++k) {
            const std::uint32_t c = first_[len] + k;
            const std::uint16_t sym = symbols_[offset_[len] + k];
            const std::uint32_t lo = c << (kFastBits - len);
            const std::uint32_t hi = (c + 1) << (kFastBits - len);
            for (std::uint32_t e = lo; e < hi; ++e) fast_[e] = static_cast<std::uint16_t>((len << 12) | sym);
        }
    }
    return true;
}

void HuffmanDecoder::BuildSingle(int symbol) { single_ = symbol; }

int HuffmanDecoder::DecodeSlow(std::uint32_t next16, int* bits) const {
    for (int len = kFastBits + 1; len <= kMaxCodeBits; ++len) {
        const std::uint32_t c = next16 >> (16 - len);
        if (c >= first_[len] && c - first_[len] < count_[len]) {
            *bits = len;
            return symbols_[offset_[len] + (c - first_[len])];
        }
    }
    return -1;
}

}  // namespace archivers::lha
