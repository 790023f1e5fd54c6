// The port list on its own: appended at the tail, unlinked anywhere, and a lookup that gives
// up after 255 steps.
#include "port_list.h"

#include <gtest/gtest.h>

#include <vector>

using namespace dized;

namespace {

HANDLE H(uintptr_t n) { return reinterpret_cast<HANDLE>(n * 4 + 0x10000); }

class PortListTest : public ::testing::Test {
protected:
    ~PortListTest() override {
        for (PortNode* n : nodes_) delete n;
    }
    PortNode* Add(uintptr_t n) {
        auto* node = new PortNode;
        node->entry.device = H(n);
        nodes_.push_back(node);
        list_.Append(node);
        return node;
    }
    std::vector<uintptr_t> Order() {
        std::vector<uintptr_t> order;
        for (PortNode* n = list_.First(); n; n = n->next) order.push_back((reinterpret_cast<uintptr_t>(n->entry.device) - 0x10000) / 4);
        return order;
    }
    PortList list_;
    std::vector<PortNode*> nodes_;
};

TEST_F(PortListTest, NodesAreAppendedAtTheTailAndUnlinkedAnywhere) {
    EXPECT_EQ(list_.Find(H(1)), nullptr);
    PortNode* one = Add(1);
    PortNode* two = Add(2);
    PortNode* three = Add(3);
    Add(4);
    EXPECT_EQ(Order(), (std::vector<uintptr_t>{1, 2, 3, 4}));
    list_.Unlink(two);
    EXPECT_EQ(Order(), (std::vector<uintptr_t>{1, 3, 4}));
    list_.Unlink(one);
    EXPECT_EQ(Order(), (std::vector<uintptr_t>{3, 4}));
    EXPECT_EQ(three->previous, nullptr);
    EXPECT_EQ(list_.Find(H(3)), three);
    Add(5);
    EXPECT_EQ(Order(), (std::vector<uintptr_t>{3, 4, 5}));
    list_.Unlink(nodes_[4]);
    EXPECT_EQ(Order(), (std::vector<uintptr_t>{3, 4}));
    EXPECT_EQ(list_.Find(H(5)), nullptr);
}

TEST_F(PortListTest, ALookupReachesPositionsOneTo255Only) {
    for (uintptr_t i = 1; i <= 257; ++i) Add(i);
    struct Case {
        uintptr_t position;
        bool found;
    } cases[] = {{1, true}, {2, true}, {254, true}, {255, true}, {256, false}, {257, false}};
    for (const Case& c : cases) EXPECT_EQ(list_.Find(H(c.position)) != nullptr, c.found) << c.position;
    // Closing one near the front brings the 256th within reach.
    list_.Unlink(nodes_[0]);
    EXPECT_NE(list_.Find(H(256)), nullptr);
    EXPECT_EQ(list_.Find(H(257)), nullptr);
}

}  // namespace
