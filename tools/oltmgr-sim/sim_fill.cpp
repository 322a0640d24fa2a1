// sim_fill.cpp - the emulator's starting ONU configurations and their serial numbers.
#include "sim_fill.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace oltmgr::sim {

static_assert(kMaxOnusPerPon <= 0xFFFF && kMaxPons <= 0xFFFF, "four hexadecimal digits each");

Key OnuKeyOf(unsigned pon, unsigned onu) {
    uZqCmKey whole{};
    whole.onuKey.slotId = kFillSlot;
    whole.onuKey.deviceId = kFillDevice;
    whole.onuKey.linkId = static_cast<uint8_t>(pon);
    whole.onuKey.onuId = static_cast<uint16_t>(onu);
    Key key{};
    std::memcpy(key.data(), &whole, sizeof whole);
    return key;
}

Serial SerialOf(unsigned pon, unsigned onu) {
    char text[kSerialLen + 1] = {};
    std::snprintf(text, sizeof text, "SIMU%04X%04X", pon & 0xFFFFu, onu & 0xFFFFu);
    Serial serial{};
    std::copy_n(text, kSerialLen, serial.begin());
    return serial;
}

std::vector<Instance> FillInstances(unsigned pons, unsigned onus) {
    std::vector<Instance> instances;
    instances.reserve(static_cast<size_t>(pons) * onus);
    for (unsigned pon = 1; pon <= pons; ++pon) {
        for (unsigned onu = 1; onu <= onus; ++onu) {
            Instance instance{eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, OnuKeyOf(pon, onu),
                              Bytes(RecordSize(eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG), 0)};
            Serial serial = SerialOf(pon, onu);
            std::copy(serial.begin(), serial.end(), instance.record.begin() + kSerialAt);
            instances.push_back(std::move(instance));
        }
    }
    return instances;
}

std::vector<Instance> WithFill(std::vector<Instance> loaded, unsigned pons, unsigned onus) {
    std::set<Key> saved;
    for (const Instance &instance : loaded) {
        if (instance.resId == eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG) {
            saved.insert(instance.key);
        }
    }
    for (Instance &filled : FillInstances(pons, onus)) {
        if (!saved.contains(filled.key)) {
            loaded.push_back(std::move(filled));
        }
    }
    return loaded;
}

} // namespace oltmgr::sim
