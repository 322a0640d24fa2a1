// cmctl_record.cpp - keys and records: parsing what the operator typed, and showing what came back.
#include "cmctl_record.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cmctl {

namespace {

#define CMCTL_FIELD(typeM, memberM, kindM, bitM, ...)                                              \
    Field {                                                                                       \
        #memberM, offsetof(typeM, memberM), sizeof(static_cast<typeM *>(nullptr)->memberM), kindM, \
            bitM, __VA_ARGS__                                                                     \
    }

using K = FieldKind;

constexpr Field kSysConfigFields[] = {
    CMCTL_FIELD(tZqCmGponSysConfig, bitMask, K::kNumber, 0),
    CMCTL_FIELD(tZqCmGponSysConfig, fdbAgingTimer, K::kNumber, 0x1),
    CMCTL_FIELD(tZqCmGponSysConfig, igmpProxyRoutingMode, K::kEnum, 0x2, kIgmpModeNames),
    CMCTL_FIELD(tZqCmGponSysConfig, authenticationMethod, K::kEnum, 0x4, kAuthMethodNames),
    CMCTL_FIELD(tZqCmGponSysConfig, encryptionMode, K::kEnum, 0x8, kStateNames),
    CMCTL_FIELD(tZqCmGponSysConfig, keyExchangeInterval, K::kNumber, 0x10),
    CMCTL_FIELD(tZqCmGponSysConfig, downstreamBroadcastGEMPortNo, K::kNumber, 0x20),
    CMCTL_FIELD(tZqCmGponSysConfig, dbSave, K::kEnum, 0x40, kBoolNames),
    CMCTL_FIELD(tZqCmGponSysConfig, dbSaveStatus, K::kEnum, 0x80, kProgressNames),
    CMCTL_FIELD(tZqCmGponSysConfig, dbAudit, K::kEnum, 0x100, kBoolNames),
    CMCTL_FIELD(tZqCmGponSysConfig, dbAuditStatus, K::kEnum, 0x200, kProgressNames),
    CMCTL_FIELD(tZqCmGponSysConfig, oltInitStatus, K::kEnum, 0x400, kInitStatusNames),
    CMCTL_FIELD(tZqCmGponSysConfig, autoUpgradeServerAddr, K::kText, 0x800),
    CMCTL_FIELD(tZqCmGponSysConfig, showRunningConfig, K::kNumber, 0x1000),
    CMCTL_FIELD(tZqCmGponSysConfig, autoLearnSnB, K::kEnum, 0x2000, kBoolNames),
    CMCTL_FIELD(tZqCmGponSysConfig, clearConfig, K::kEnum, 0x4000, kBoolNames),
    CMCTL_FIELD(tZqCmGponSysConfig, oltGVendorId, K::kChars, 0x8000),
    CMCTL_FIELD(tZqCmGponSysConfig, oltGversion, K::kChars, 0x10000),
    CMCTL_FIELD(tZqCmGponSysConfig, oltGEquipmentID, K::kChars, 0x20000),
    CMCTL_FIELD(tZqCmGponSysConfig, hbRepetitionDelay, K::kNumber, 0x40000),
    CMCTL_FIELD(tZqCmGponSysConfig, numOfConsecutiveMissedHbs, K::kNumber, 0x80000),
    CMCTL_FIELD(tZqCmGponSysConfig, hbUserName, K::kText, 0x100000),
    CMCTL_FIELD(tZqCmGponSysConfig, hbPassWord, K::kText, 0x200000),
    CMCTL_FIELD(tZqCmGponSysConfig, imaCfgComplete, K::kEnum, 0x400000, kBoolNames),
    CMCTL_FIELD(tZqCmGponSysConfig, systemMode, K::kEnum, 0x800000, kSystemModeNames),
    CMCTL_FIELD(tZqCmGponSysConfig, xgsAuthenticationMethod, K::kEnum, 0x1000000, kAuthMethodNames),
};

// Records with one mask word have one bit per field, bit 0 for the first field after bitMask.
constexpr Field kUpgradeFields[] = {
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, bitMask, K::kNumber, 0),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeOption, K::kNumber, 0x1),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeTaskStatus, K::kNumber, 0x2),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeImageInstance, K::kNumber, 0x4),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeRebootMode, K::kEnum, 0x8, kRebootModeNames),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeScheduleTime, K::kBytes, 0x10),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeRebootScheduleTime, K::kBytes, 0x20),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeParticipantPortListBitMap, K::kBytes, 0x40),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeInstancePortListBitMap, K::kBytes, 0x80),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeProgressDownloadPortListBitMap, K::kBytes, 0x100),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeProgressActivatePortListBitMap, K::kBytes, 0x200),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeProgressCommitPortListBitMap, K::kBytes, 0x400),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeProgressFinalPortListBitMap, K::kBytes, 0x800),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeProgressResultPortListBitMap, K::kBytes, 0x1000),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeSwapMethod, K::kEnum, 0x2000, kSwapModeNames),
    CMCTL_FIELD(tZqCmOnuUpgradeTaskAndResult, onuUpgradeCancelPortListBitMap, K::kBytes, 0x4000),
};

constexpr Field kConfigFileFields[] = {
    CMCTL_FIELD(tZqCmOnuUpgradeConfigFileTask, bitMask, K::kNumber, 0),
    CMCTL_FIELD(tZqCmOnuUpgradeConfigFileTask, onuUpgradeConfigFileFwRevision, K::kChars, 0x1),
    CMCTL_FIELD(tZqCmOnuUpgradeConfigFileTask, onuUpgradeConfigFileImageName, K::kChars, 0x2),
    CMCTL_FIELD(tZqCmOnuUpgradeConfigFileTask, onuUpgradeConfigFilePpantPortListBitMap, K::kBytes, 0x4),
};

constexpr Field kTodFields[] = {
    CMCTL_FIELD(tZqCmTodCfg, bitMask, K::kNumber, 0),
    CMCTL_FIELD(tZqCmTodCfg, linkKey, K::kLink, 0x1),
    CMCTL_FIELD(tZqCmTodCfg, enable, K::kEnum, 0x2, kBoolNames),
    CMCTL_FIELD(tZqCmTodCfg, syncPeriod, K::kNumber, 0x4),
    CMCTL_FIELD(tZqCmTodCfg, buffTime, K::kNumber, 0x8),
    CMCTL_FIELD(tZqCmTodCfg, onuTodEnableList.oper, K::kEnum, 0x10, kBoolNames),
    CMCTL_FIELD(tZqCmTodCfg, onuTodEnableList.todOnuList, K::kBytes, 0x10),
};

constexpr Layout kSysConfig{"tZqCmGponSysConfig", kSysConfigFields};
constexpr Layout kUpgrade{"tZqCmOnuUpgradeTaskAndResult", kUpgradeFields};
constexpr Layout kConfigFile{"tZqCmOnuUpgradeConfigFileTask", kConfigFileFields};
constexpr Layout kTod{"tZqCmTodCfg", kTodFields};

uint32_t ReadNumber(std::span<const uint8_t> record, const Field &field) {
    uint32_t value = 0;
    std::memcpy(&value, record.data() + field.offset, field.size); // little-endian, as on the wire
    return value;
}

void WriteNumber(std::span<uint8_t> record, const Field &field, uint32_t value) {
    std::memcpy(record.data() + field.offset, &value, field.size);
}

// Splits "a/b/c" into numbers, each no larger than its limit; false on any other shape.
bool SplitNumbers(std::string_view text, std::span<const uint64_t> limits, uint64_t *valuesP) {
    for (size_t i = 0; i < limits.size(); ++i) {
        size_t slash = text.find('/');
        bool last = i + 1 == limits.size();
        if (last != (slash == std::string_view::npos)) return false;
        auto value = ParseNumber(text.substr(0, slash), limits[i]);
        if (!value) return false;
        valuesP[i] = *value;
        if (!last) text.remove_prefix(slash + 1);
    }
    return true;
}

bool ZeroFrom(std::span<const uint8_t> bytes, size_t from) {
    return std::all_of(bytes.begin() + static_cast<ptrdiff_t>(from), bytes.end(),
                       [](uint8_t b) { return b == 0; });
}

std::string PrintableText(std::span<const uint8_t> bytes, bool forJson) {
    std::string out;
    for (uint8_t byte : bytes) {
        if (byte == 0) break;
        if (forJson && (byte == '"' || byte == '\\')) {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte >= 0x20 && byte < 0x7f) {
            out += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, forJson ? "\\u%04x" : "\\x%02x", byte);
            out += escaped;
        }
    }
    return out;
}

} // namespace

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string EnumJson(uint32_t value, std::string_view name) {
    return "{\"value\":" + std::to_string(value) + ",\"name\":" + (name.empty() ? "null" : JsonString(name)) + "}";
}

std::string EnumJson(std::span<const EnumName> names, uint32_t value) {
    return EnumJson(value, NameOf(names, value));
}

std::string HexText(std::span<const uint8_t> bytes) {
    std::string out;
    char two[3];
    for (uint8_t byte : bytes) {
        std::snprintf(two, sizeof two, "%02x", byte);
        out += two;
    }
    return out;
}

size_t UsedLength(std::span<const uint8_t> bytes) {
    size_t used = bytes.size();
    while (used > 0 && bytes[used - 1] == 0) --used;
    return used;
}

// ---- keys -------------------------------------------------------------------------------------

std::string ParseKey(std::string_view text, uZqCmKey *keyP) {
    std::memset(keyP, 0, sizeof *keyP);
    if (text.starts_with("hex:")) {
        uint8_t bytes[sizeof(uZqCmKey)] = {};
        std::string error = ParseHexInto(text.substr(4), bytes);
        if (!error.empty()) return "key " + std::string(text) + ": " + error;
        std::memcpy(keyP, bytes, sizeof bytes);
        return {};
    }
    size_t equals = text.find('=');
    std::string_view form = text.substr(0, equals);
    std::string_view value = equals == std::string_view::npos ? "" : text.substr(equals + 1);
    constexpr uint64_t k8 = UINT8_MAX, k16 = UINT16_MAX, k32 = UINT32_MAX;
    uint64_t v[5] = {};
    auto fits = [&](std::initializer_list<uint64_t> limits) {
        return SplitNumbers(value, std::span(limits.begin(), limits.size()), v);
    };
    // Each member is filled field by field; the union stays zero around them.
    if (form == "onu" && fits({k8, k8, k8, k16})) {
        keyP->onuKey.slotId = static_cast<uint8>(v[0]);
        keyP->onuKey.deviceId = static_cast<uint8>(v[1]);
        keyP->onuKey.linkId = static_cast<uint8>(v[2]);
        keyP->onuKey.onuId = static_cast<uint16>(v[3]);
    } else if (form == "port" && fits({k8, k8, k8, k16, k16})) {
        keyP->onuPortKey.slotId = static_cast<uint8>(v[0]);
        keyP->onuPortKey.deviceId = static_cast<uint8>(v[1]);
        keyP->onuPortKey.linkId = static_cast<uint8>(v[2]);
        keyP->onuPortKey.onuId = static_cast<uint16>(v[3]);
        keyP->onuPortKey.portId = static_cast<uint16>(v[4]);
    } else if (form == "link" && fits({k8, k8, k8})) {
        keyP->linkKey.slotId = static_cast<uint8>(v[0]);
        keyP->linkKey.deviceId = static_cast<uint8>(v[1]);
        keyP->linkKey.linkId = static_cast<uint8>(v[2]);
    } else if (form == "device" && fits({k8, k8})) {
        keyP->deviceKey.slotId = static_cast<uint8>(v[0]);
        keyP->deviceKey.deviceId = static_cast<uint8>(v[1]);
    } else if (form == "slot" && fits({k8})) {
        keyP->slotKey.slotId = static_cast<uint8>(v[0]);
    } else if (form == "profile" && (fits({k32}) || fits({k32, k32}))) {
        keyP->profileKey.profileIndex1 = static_cast<uint32>(v[0]);
        keyP->profileKey.profileIndex2 = static_cast<uint32>(v[1]);
    } else if (form == "type" && fits({k32})) {
        keyP->resType = static_cast<uint32>(v[0]);
    } else {
        return "bad key '" + std::string(text) +
               "': use onu=S/D/L/O, port=S/D/L/O/P, link=S/D/L, device=S/D, slot=S, "
               "profile=I[/I2], type=N or hex:BYTES (slot, device and link 0..255, ONU and port "
               "0..65535)";
    }
    return {};
}

std::string_view KeyForm(uint32_t resType) {
    switch (resType) {
    case eZQ_CMAPI_RES_TYPE_ONU: return "onu=S/D/L/O";
    case eZQ_CMAPI_RES_TYPE_LINK:
    case eZQ_CMAPI_RES_TYPE_LINK_SET:
    case eZQ_CMAPI_RES_TYPE_TOD: return "link=S/D/L";
    case eZQ_CMAPI_RES_TYPE_PROFILE: return "profile=I[/I2]";
    default: return "KEY";
    }
}

std::string KeyText(const uZqCmKey &key, uint32_t resType) {
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(&key), sizeof key);
    if (ZeroFrom(bytes, 0)) return "none";
    char text[64];
    if (resType == eZQ_CMAPI_RES_TYPE_SYSTEM && ZeroFrom(bytes, 4)) {
        std::snprintf(text, sizeof text, "type=%u", key.resType);
    } else if (resType == eZQ_CMAPI_RES_TYPE_ONU && bytes[3] == 0 && ZeroFrom(bytes, 6)) {
        std::snprintf(text, sizeof text, "onu=%u/%u/%u/%u", key.onuKey.slotId, key.onuKey.deviceId,
                      key.onuKey.linkId, key.onuKey.onuId);
    } else if (resType == eZQ_CMAPI_RES_TYPE_ONU && bytes[3] == 0 && ZeroFrom(bytes, 8)) {
        std::snprintf(text, sizeof text, "port=%u/%u/%u/%u/%u", key.onuPortKey.slotId,
                      key.onuPortKey.deviceId, key.onuPortKey.linkId, key.onuPortKey.onuId,
                      key.onuPortKey.portId);
    } else if ((resType == eZQ_CMAPI_RES_TYPE_LINK || resType == eZQ_CMAPI_RES_TYPE_LINK_SET ||
                resType == eZQ_CMAPI_RES_TYPE_TOD) &&
               ZeroFrom(bytes, 3)) {
        std::snprintf(text, sizeof text, "link=%u/%u/%u", key.linkKey.slotId, key.linkKey.deviceId,
                      key.linkKey.linkId);
    } else if (resType == eZQ_CMAPI_RES_TYPE_PROFILE && ZeroFrom(bytes, 4)) {
        std::snprintf(text, sizeof text, "profile=%u", key.profileKey.profileIndex1);
    } else if (resType == eZQ_CMAPI_RES_TYPE_PROFILE && ZeroFrom(bytes, 8)) {
        std::snprintf(text, sizeof text, "profile=%u/%u", key.profileKey.profileIndex1,
                      key.profileKey.profileIndex2);
    } else {
        return "hex:" + KeyHex(key);
    }
    return text;
}

std::string KeyHex(const uZqCmKey &key) {
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t *>(&key), sizeof key);
    return HexText(bytes.first(UsedLength(bytes)));
}

// ---- records ----------------------------------------------------------------------------------

size_t RecordSize(uint32_t resId) {
    switch (resId) {
    case eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT: return sizeof(tZqCmOnuUpgradeTaskAndResult);
    case eZQ_CMAPI_RES_ID_SERV_ONU_ONUCONFIG_FILE: return sizeof(tZqCmOnuUpgradeConfigFileTask);
    case eZQ_CMAPI_RES_ID_TOD_REQ_MSG: return sizeof(tZqCmTodCfg);
    default: return sizeof(uZqCmRes);
    }
}

const Layout *LayoutOf(uint32_t resId) {
    switch (resId) {
    case eZQ_CMAPI_RES_ID_EQPT_GPON_SYS_CONFIG:
    case eZQ_CMAPI_RES_ID_EQPT_OLT_INIT_STATUS: return &kSysConfig;
    case eZQ_CMAPI_RES_ID_SERV_ONU_UPGRADE_TASK_AND_RESULT: return &kUpgrade;
    case eZQ_CMAPI_RES_ID_SERV_ONU_ONUCONFIG_FILE: return &kConfigFile;
    case eZQ_CMAPI_RES_ID_TOD_REQ_MSG: return &kTod;
    default: return nullptr;
    }
}

static const Field *FindField(const Layout &layout, std::string_view name) {
    for (const Field &field : layout.fields)
        if (SameText(field.name, name)) return &field;
    return nullptr;
}

// "; did you mean NAME?" for a field name that is not one of the layout's (bitMask left out when
// a mask is being read).
static std::string FieldHint(const Layout &layout, std::string_view name, bool maskBitsOnly) {
    std::vector<std::string_view> names;
    for (const Field &field : layout.fields)
        if (!maskBitsOnly || field.maskBit != 0) names.push_back(field.name);
    return DidYouMean(name, names);
}

std::string_view FieldKindName(FieldKind kind) {
    switch (kind) {
    case FieldKind::kNumber: return "number";
    case FieldKind::kEnum: return "enum";
    case FieldKind::kText: return "text";
    case FieldKind::kChars: return "chars";
    case FieldKind::kBytes: return "bytes";
    case FieldKind::kLink: return "link";
    }
    return "?";
}

std::string ParseMask(const Layout *layout, std::string_view text, uint32_t *maskP) {
    *maskP = 0;
    if (auto number = ParseNumber(text, UINT32_MAX)) {
        *maskP = static_cast<uint32_t>(*number);
        return {};
    }
    if (SameText(text, "all")) {
        if (layout == nullptr) *maskP = UINT32_MAX;
        else
            for (const Field &field : layout->fields) *maskP |= field.maskBit;
        return {};
    }
    if (layout == nullptr) return "bad mask '" + std::string(text) + "': give a number or 'all'";
    while (!text.empty()) {
        size_t comma = text.find(',');
        std::string_view name = text.substr(0, comma);
        const Field *field = FindField(*layout, name);
        if (field == nullptr || field->maskBit == 0)
            return "bad mask: " + std::string(layout->name) + " has no field '" +
                   std::string(name) + "'" + FieldHint(*layout, name, true);
        *maskP |= field->maskBit;
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return {};
}

std::string ParseHexInto(std::string_view text, std::span<uint8_t> record) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    size_t count = 0;
    int high = -1;
    for (char c : text) {
        if (c == ':' || c == '-' || c == '.' || c == '_' || c == ' ') continue;
        int digit = std::isxdigit(static_cast<unsigned char>(c))
                        ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                       : std::tolower(c) - 'a' + 10)
                        : -1;
        if (digit < 0) return "'" + std::string(1, c) + "' is not a hexadecimal digit";
        if (high < 0) {
            high = digit;
            continue;
        }
        if (count == record.size())
            return "more than " + std::to_string(record.size()) + " bytes";
        record[count++] = static_cast<uint8_t>(high << 4 | digit);
        high = -1;
    }
    if (high >= 0) return "an odd number of hexadecimal digits";
    return {};
}

std::string ReadFileInto(const std::string &path, std::span<uint8_t> record) {
    std::unique_ptr<FILE, int (*)(FILE *)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return "cannot open " + path + ": " + std::strerror(errno);
    size_t got = std::fread(record.data(), 1, record.size(), file.get());
    if (std::ferror(file.get())) return "cannot read " + path + ": " + std::strerror(errno);
    // One byte more than the record holds is enough to tell the file is too large.
    if (got == record.size() && std::fgetc(file.get()) != EOF)
        return path + " is larger than the record (" + std::to_string(record.size()) + " bytes)";
    return {};
}

std::string Assign(const Layout &layout, std::string_view assignment, std::span<uint8_t> record) {
    size_t equals = assignment.find('=');
    const Field *field =
        equals == std::string_view::npos ? nullptr : FindField(layout, assignment.substr(0, equals));
    if (field == nullptr)
        return "'" + std::string(assignment) + "': " + std::string(layout.name) +
               " has no such field (cmctl fields lists them)" +
               (equals == std::string_view::npos ? "" : FieldHint(layout, assignment.substr(0, equals), false));
    std::string_view value = assignment.substr(equals + 1);
    std::span<uint8_t> bytes = record.subspan(field->offset, field->size);
    bool ok = true;
    switch (field->kind) {
    case FieldKind::kNumber:
        if (auto number = ParseNumber(value, field->size == 4 ? UINT32_MAX : (1ull << 8 * field->size) - 1))
            WriteNumber(record, *field, static_cast<uint32_t>(*number));
        else
            ok = false;
        break;
    case FieldKind::kEnum:
        if (auto number = ValueOf(field->names, value))
            WriteNumber(record, *field, *number);
        else
            ok = false;
        break;
    case FieldKind::kText:  // keeps its terminating zero
    case FieldKind::kChars: // may fill every byte
        if (value.size() > field->size - (field->kind == FieldKind::kText ? 1 : 0)) {
            ok = false;
        } else {
            std::fill(bytes.begin(), bytes.end(), 0);
            std::copy(value.begin(), value.end(), bytes.begin());
        }
        break;
    case FieldKind::kBytes:
        std::fill(bytes.begin(), bytes.end(), 0);
        ok = ParseHexInto(value, bytes).empty();
        break;
    case FieldKind::kLink: {
        constexpr uint64_t kLimits[] = {UINT8_MAX, UINT8_MAX, UINT8_MAX};
        uint64_t v[3];
        ok = SplitNumbers(value, kLimits, v);
        if (ok)
            for (size_t i = 0; i < 3; ++i) bytes[i] = static_cast<uint8_t>(v[i]);
        break;
    }
    }
    if (!ok)
        return "bad value for " + std::string(field->name) + ": '" + std::string(value) + "'" +
               (field->kind == FieldKind::kEnum ? DidYouMean(value, field->names) : "");
    if (field->maskBit == 0) return {};
    uint32_t mask = 0;
    std::memcpy(&mask, record.data(), sizeof mask);
    mask |= field->maskBit;
    std::memcpy(record.data(), &mask, sizeof mask);
    return {};
}

std::string FieldText(const Field &field, std::span<const uint8_t> record) {
    std::span<const uint8_t> bytes = record.subspan(field.offset, field.size);
    char text[64];
    switch (field.kind) {
    case FieldKind::kNumber:
        std::snprintf(text, sizeof text, field.maskBit == 0 ? "0x%08x" : "%u",
                      ReadNumber(record, field));
        return text;
    case FieldKind::kEnum: return NamedValue(field.names, ReadNumber(record, field));
    case FieldKind::kText:
    case FieldKind::kChars: return "\"" + PrintableText(bytes, false) + "\"";
    case FieldKind::kBytes: {
        std::string hex = HexText(bytes.first(UsedLength(bytes)));
        return hex.empty() ? "zero" : hex;
    }
    case FieldKind::kLink:
        std::snprintf(text, sizeof text, "%u/%u/%u", bytes[0], bytes[1], bytes[2]);
        return text;
    }
    return {};
}

std::string FieldJson(const Field &field, std::span<const uint8_t> record) {
    std::span<const uint8_t> bytes = record.subspan(field.offset, field.size);
    switch (field.kind) {
    case FieldKind::kNumber: return std::to_string(ReadNumber(record, field));
    case FieldKind::kEnum: return EnumJson(field.names, ReadNumber(record, field));
    case FieldKind::kText:
    case FieldKind::kChars: return "\"" + PrintableText(bytes, true) + "\"";
    case FieldKind::kBytes: return JsonString(HexText(bytes.first(UsedLength(bytes))));
    case FieldKind::kLink: return JsonString(FieldText(field, record));
    }
    return "null";
}

} // namespace cmctl
