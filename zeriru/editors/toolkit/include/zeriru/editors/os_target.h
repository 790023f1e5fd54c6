// The OS target of an item (the systems it is installed on, and the lowest service pack each
// needs) and the model of the OS target dialog TfrmOSDialog, for one item or several at once.
//
// Mask: bit i for the system of line i ("Windows 95" .. "Windows 7 / Windows Server 2008 R2");
// an empty or unreadable mask reads as 65535 (every system). Service packs: six numbers for
// NT, 2000, XP, Server 2003, Vista and 7, 0 meaning no requirement, stored as "a,b,c,d,e,f".
#pragma once

#include "zeriru/ini_document.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

inline constexpr int kOsLineCount = 9;
inline constexpr int kServicePackCount = 6;
// Every system, and the bits of the nine named ones.
inline constexpr int kOsMaskAll = 65535;
inline constexpr int kOsLineBits = (1 << kOsLineCount) - 1;

// "Windows 95", "Windows 98", ... in line order (Shift-JIS).
std::string OsLineCaption(int line);

struct ServicePackSpec {
    int osLine;       // the line of its system
    int maximum;      // highest service pack offered
    std::string_view caption;  // the system's short name beside the combo
};
// NT (0-6), 2000 (0-4), XP (0-3), Server 2003 (0-2), Vista (0-2), 7 (0-1).
const std::array<ServicePackSpec, kServicePackCount>& ServicePackSpecs();

using ServicePacks = std::array<int, kServicePackCount>;
// The first six ","-fields as numbers, each clamped to 0..its maximum (empty or unreadable: 0).
ServicePacks ParseServicePacks(std::string_view text);
// "a,b,c,d,e,f", without a trailing separator.
std::string ServicePackText(const ServicePacks& packs);

struct OsTarget {
    int mask = kOsMaskAll;
    ServicePacks servicePacks{};

    // From the two stored fields.
    static OsTarget Read(std::string_view maskField, std::string_view servicePackField);
    std::string MaskText() const { return std::to_string(mask); }
    std::string ServicePackText() const { return zeriru::ServicePackText(servicePacks); }
    bool operator==(const OsTarget&) const = default;
};

// The project-wide OS setting ([OSSetting] OSVersion, SPVersion), which new items start with
// and which limits the systems the dialog offers.
OsTarget ProjectOsTarget(const TIniDocument& project);
// [OSSetting] CheckOSVersion (default on): the editors enable "OSの指定" only while it is on.
bool ProjectChecksOs(const TIniDocument& project);

class OsDialogModel {
public:
    enum class Check { Unchecked, Checked, Grayed };

    // `projectMask`: the systems the project allows; the others are shown disabled. With
    // `severalItems` every enabled line starts grayed (leaves each item unchanged) and every
    // service-pack combo empty (no change).
    OsDialogModel(const OsTarget& initial, int projectMask, bool severalItems);

    static std::string Caption();   // "インストールを許可するOS"
    static std::string Note();      // the note above the list
    bool severalItems() const { return several_; }

    bool LineEnabled(int line) const;
    Check LineState(int line) const { return lines_.at(static_cast<std::size_t>(line)); }
    // Ignored for a disabled line; Grayed only with several items. Unchecking a system resets
    // its service-pack combo to "(指定なし)".
    void SetLineState(int line, Check state);

    // The combo of service pack `sp`: entry 0 "(指定なし)", entry n "Service Pack n".
    std::vector<std::string> ServicePackChoices(int sp) const;
    // Enabled while its system is enabled and not unchecked.
    bool ServicePackEnabled(int sp) const;
    // The entry shown; -1 = empty (several items, nothing chosen).
    int ServicePackIndex(int sp) const { return packs_.at(static_cast<std::size_t>(sp)); }
    void SetServicePack(int sp, int index);

    // One item: the new target. Bits above the nine lines are kept from the initial mask (a
    // mask of 65535 stays "every system", later ones included).
    OsTarget Result() const;
    // Several items: the item's target with only what was changed here applied: each line whose
    // check changed sets or clears its bit; each service pack for which an entry was chosen
    // replaces the item's number.
    OsTarget ApplyTo(const OsTarget& item) const;
    bool LineChanged(int line) const;
    bool ServicePackChosen(int sp) const;

private:
    OsTarget initial_;
    int projectMask_;
    bool several_;
    std::array<Check, kOsLineCount> lines_{};
    std::array<Check, kOsLineCount> startLines_{};
    std::array<int, kServicePackCount> packs_{};
    std::array<bool, kServicePackCount> packChosen_{};
};

}  // namespace zeriru
