#include "method.h"

namespace archivers::lha {
namespace {

constexpr MethodTraits kMethods[] = {
    {"-lh0-", true, 0, 0, 0, 0, 0, 0, false},
    {"-lh5-", false, 13, 4, 32, 32, 32, 16, true},
    {"-lh6-", false, 15, 5, 48, 48, 64, 16, true},
    {"-lh7-", false, 16, 5, 48, 48, 64, 16, true},
};

}  // namespace

const MethodTraits* FindMethod(std::string_view name) {
    for (const auto& m : kMethods) {
        if (name == m.name) return &m;
    }
    return nullptr;
}

const MethodTraits* MethodForSwitch(int number) {
    switch (number) {
    case 0: return FindMethod("-lh0-");
    case 2: return FindMethod("-lh5-");
    case 3: return FindMethod("-lh6-");
    case 4: return FindMethod("-lh7-");
    default: return nullptr;
    }
}

}  // namespace archivers::lha
