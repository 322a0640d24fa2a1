// cmctl_names.cpp - the resource table of cmctl and the lookups that read numbers and names.
#include "cmctl_names.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <vector>

namespace cmctl {

namespace {

// The resource type cmctl requests each resource id with, indexed by id.
constexpr eZqCmApiResType kDefaultTypes[] = {
    eZQ_CMAPI_RES_TYPE_MIN,      // 0
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 1
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 2
    eZQ_CMAPI_RES_TYPE_LINK_SET, // 3
    eZQ_CMAPI_RES_TYPE_LINK,     // 4
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 5
    eZQ_CMAPI_RES_TYPE_ONU,      // 6
    eZQ_CMAPI_RES_TYPE_ONU,      // 7
    eZQ_CMAPI_RES_TYPE_ONU,      // 8
    eZQ_CMAPI_RES_TYPE_ONU,      // 9
    eZQ_CMAPI_RES_TYPE_ONU,      // 10
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 11
    eZQ_CMAPI_RES_TYPE_ONU,      // 12
    eZQ_CMAPI_RES_TYPE_ONU,      // 13
    eZQ_CMAPI_RES_TYPE_ONU,      // 14
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 15
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 16
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 17
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 18
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 19
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 20
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 21
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 22
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 23
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 24
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 25
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 26
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 27
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 28
    eZQ_CMAPI_RES_TYPE_ONU,      // 29
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 30
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 31
    eZQ_CMAPI_RES_TYPE_PM,       // 32
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 33
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 34
    eZQ_CMAPI_RES_TYPE_ONU,      // 35
    eZQ_CMAPI_RES_TYPE_SWDL,     // 36
    eZQ_CMAPI_RES_TYPE_SWDL,     // 37
    eZQ_CMAPI_RES_TYPE_CFGFILE,  // 38
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 39
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 40
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 41
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 42
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 43
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 44
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 45
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 46
    eZQ_CMAPI_RES_TYPE_PM,       // 47
    eZQ_CMAPI_RES_TYPE_PM,       // 48
    eZQ_CMAPI_RES_TYPE_PM,       // 49
    eZQ_CMAPI_RES_TYPE_PM,       // 50
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 51
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 52
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 53
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 54
    eZQ_CMAPI_RES_TYPE_ONU,      // 55
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 56
    eZQ_CMAPI_RES_TYPE_SWDL,     // 57
    eZQ_CMAPI_RES_TYPE_ONU,      // 58
    eZQ_CMAPI_RES_TYPE_ONU,      // 59
    eZQ_CMAPI_RES_TYPE_LINK,     // 60
    eZQ_CMAPI_RES_TYPE_LINK,     // 61
    eZQ_CMAPI_RES_TYPE_LINK,     // 62
    eZQ_CMAPI_RES_TYPE_ALARM,    // 63
    eZQ_CMAPI_RES_TYPE_PM,       // 64
    eZQ_CMAPI_RES_TYPE_PM,       // 65
    eZQ_CMAPI_RES_TYPE_PM,       // 66
    eZQ_CMAPI_RES_TYPE_PM,       // 67
    eZQ_CMAPI_RES_TYPE_PM,       // 68
    eZQ_CMAPI_RES_TYPE_PM,       // 69
    eZQ_CMAPI_RES_TYPE_PM,       // 70
    eZQ_CMAPI_RES_TYPE_PM,       // 71
    eZQ_CMAPI_RES_TYPE_PM,       // 72
    eZQ_CMAPI_RES_TYPE_PM,       // 73
    eZQ_CMAPI_RES_TYPE_PM,       // 74
    eZQ_CMAPI_RES_TYPE_PM,       // 75
    eZQ_CMAPI_RES_TYPE_PM,       // 76
    eZQ_CMAPI_RES_TYPE_ALARM,    // 77
    eZQ_CMAPI_RES_TYPE_ALARM,    // 78
    eZQ_CMAPI_RES_TYPE_PM,       // 79
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 80
    eZQ_CMAPI_RES_TYPE_ONU,      // 81
    eZQ_CMAPI_RES_TYPE_PM,       // 82
    eZQ_CMAPI_RES_TYPE_PM,       // 83
    eZQ_CMAPI_RES_TYPE_PM,       // 84
    eZQ_CMAPI_RES_TYPE_ONU,      // 85
    eZQ_CMAPI_RES_TYPE_PROFILE,  // 86
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 87
    eZQ_CMAPI_RES_TYPE_ONU,      // 88
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 89
    eZQ_CMAPI_RES_TYPE_PM,       // 90
    eZQ_CMAPI_RES_TYPE_LINK,     // 91
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 92
    eZQ_CMAPI_RES_TYPE_PM,       // 93
    eZQ_CMAPI_RES_TYPE_PM,       // 94
    eZQ_CMAPI_RES_TYPE_PM,       // 95
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 96
    eZQ_CMAPI_RES_TYPE_ALARM,    // 97
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 98
    eZQ_CMAPI_RES_TYPE_PM,       // 99
    eZQ_CMAPI_RES_TYPE_PM,       // 100
    eZQ_CMAPI_RES_TYPE_PM,       // 101
    eZQ_CMAPI_RES_TYPE_PM,       // 102
    eZQ_CMAPI_RES_TYPE_PM,       // 103
    eZQ_CMAPI_RES_TYPE_TOD,      // 104
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 105
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 106
    eZQ_CMAPI_RES_TYPE_ONU,      // 107
    eZQ_CMAPI_RES_TYPE_SYSTEM,   // 108
};
static_assert(std::size(kDefaultTypes) == eZQ_CMAPI_RES_ID_MAX, "a resource type for every resource id");

constexpr std::array<ResourceName, eZQ_CMAPI_RES_ID_MAX> BuildResources() {
    std::array<ResourceName, eZQ_CMAPI_RES_ID_MAX> resources{};
    for (uint32_t id = 0; id < resources.size(); ++id) {
        resources[id] = {id, {}, kDefaultTypes[id]};
        for (const EnumName &entry : cmnames::eZqCmApiResId_names)
            if (entry.value == id && resources[id].name.empty()) resources[id].name = entry.name;
    }
    return resources;
}

constexpr std::array<ResourceName, eZQ_CMAPI_RES_ID_MAX> kResources = BuildResources();

constexpr bool EveryResourceNamed() {
    for (const ResourceName &resource : kResources)
        if (resource.name.empty()) return false;
    return true;
}
static_assert(EveryResourceNamed(), "the headers name every resource id below eZQ_CMAPI_RES_ID_MAX");

} // namespace

std::span<const ResourceName> Resources() { return kResources; }

const ResourceName *FindResource(uint32_t id) {
    return id < std::size(kResources) ? &kResources[id] : nullptr;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<uint64_t> ParseNumber(std::string_view text, uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value > max)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseResource(std::string_view text) {
    if (auto number = ParseNumber(text, UINT32_MAX)) return static_cast<uint32_t>(*number);
    if (text.size() > kResourcePrefix.size() &&
        SameText(text.substr(0, kResourcePrefix.size()), kResourcePrefix))
        text.remove_prefix(kResourcePrefix.size());
    for (const ResourceName &resource : kResources)
        if (SameText(resource.name, text)) return resource.id;
    return std::nullopt;
}

std::string ResourceLabel(uint32_t id) {
    const ResourceName *resource = FindResource(id);
    return resource != nullptr ? std::string(resource->name) : std::to_string(id);
}

std::string_view RetName(int32_t ret) {
    return cmnames::FullName(cmnames::eOsRet_enumerators, static_cast<uint32_t>(ret));
}

std::string RetText(int32_t ret) {
    std::string_view name = RetName(ret);
    if (name.empty()) return std::to_string(ret);
    return std::string(name) + " (" + std::to_string(ret) + ")";
}

std::string_view NameOf(std::span<const EnumName> names, uint32_t value) {
    for (const EnumName &entry : names)
        if (entry.value == value) return entry.name;
    return {};
}

std::string NamedValue(std::span<const EnumName> names, uint32_t value) {
    std::string_view name = NameOf(names, value);
    return name.empty() ? std::to_string(value) : std::string(name) + " (" + std::to_string(value) + ")";
}

std::optional<uint32_t> ValueOf(std::span<const EnumName> names, std::string_view text,
                                uint32_t max) {
    for (const EnumName &entry : names)
        if (SameText(entry.name, text)) return entry.value;
    if (auto number = ParseNumber(text, max)) return static_cast<uint32_t>(*number);
    return std::nullopt;
}

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// The number of letters to insert, delete or replace, or of neighbours to swap, to turn a into b
// (a swap is the commonest slip of the fingers: "lsit" is one edit from "list").
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            bool same = Lower(a[i - 1]) == Lower(b[j - 1]);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && Lower(a[i - 1]) == Lower(b[j - 2]) && Lower(a[i - 2]) == Lower(b[j - 1]))
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

} // namespace

std::string DidYouMean(std::string_view text, std::span<const std::string_view> candidates) {
    // Past a third of the word's letters a suggestion is more guess than correction.
    size_t best = std::max<size_t>(2, text.size() / 3) + 1;
    std::string_view closest;
    for (std::string_view candidate : candidates) {
        size_t distance = EditDistance(text, candidate);
        if (distance < best) {
            best = distance;
            closest = candidate;
        }
    }
    return closest.empty() ? std::string() : "; did you mean " + std::string(closest) + "?";
}

std::string DidYouMean(std::string_view text, std::span<const EnumName> names) {
    std::vector<std::string_view> candidates;
    for (const EnumName &entry : names) candidates.push_back(entry.name);
    return DidYouMean(text, candidates);
}

std::span<const std::string_view> ResourceNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> all;
        for (const ResourceName &resource : kResources)
            if (resource.id != 0) all.push_back(resource.name);
        return all;
    }();
    return names;
}

std::string_view AlarmClass(uint32_t alarmType) {
    if (alarmType >= 1 && alarmType < 100) return "OLT";
    if (alarmType >= 100 && alarmType < 400) return "ONU";
    if (alarmType >= 400 && alarmType <= 506) return "TCA";
    if (alarmType >= 507 && alarmType < 600) return "PM";
    if (alarmType >= 600 && alarmType < 650) return "SYSTEM";
    if (alarmType >= 650 && alarmType < 700) return "VOIP";
    return "OTHER";
}

} // namespace cmctl
