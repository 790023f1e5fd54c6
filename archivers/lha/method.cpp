#include "method.h"

namespace archivers::lha {
namespace {

constexpr MethodTraits kMethods[] = {
    {"-lh0-", true, 0, 0, 0, 0, 0, 0},
    {"-lh5-", false, 13, 4, 192, 128, 32, 16},
    {"-lh6-", false, 15, 5, 384, 192, 64, 32},
    {"-lh7-", false, 16, 5, 768, 256, 128, 64},
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
