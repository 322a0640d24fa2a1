// sim_fill.h - the ONU configurations the emulator starts with: --pons PON links of --onus ONUs.
//
// PON p (1 to 16) is link p of device 0 on slot 1, so every PON fits one device of 16 links; its
// ONUs have ids 1 to M. Each ONU configuration carries its serial number where a get by serial
// number reads it: "SIMU" and eight hexadecimal digits, the PON's four and the ONU's four
// ("SIMU0003001A" is ONU 26 of PON 3), zero-padded to 17 bytes.
#ifndef OLTMGR_SIM_FILL_H
#define OLTMGR_SIM_FILL_H

#include <array>
#include <cstdint>
#include <vector>

#include "oltmgr_store.h"

namespace oltmgr::sim {

inline constexpr unsigned kMaxPons = 16;        // the links of one device
inline constexpr unsigned kMaxOnusPerPon = 256; // an XGPON link's ONUs (a GPON link has 128)
inline constexpr uint8_t kFillSlot = 1;
inline constexpr uint8_t kFillDevice = 0;

using Serial = std::array<uint8_t, kSerialLen>;

// The key of ONU onu (1 to 256) on PON pon (1 to 16).
Key OnuKeyOf(unsigned pon, unsigned onu);

// The serial number of ONU onu on PON pon.
Serial SerialOf(unsigned pon, unsigned onu);

// pons x onus ONU configurations, PON by PON; none when either is 0.
std::vector<Instance> FillInstances(unsigned pons, unsigned onus);

// The instances a database gave, with the filled ONU configurations added whose keys it does not
// hold: a saved ONU keeps its saved record.
std::vector<Instance> WithFill(std::vector<Instance> loaded, unsigned pons, unsigned onus);

} // namespace oltmgr::sim

#endif // OLTMGR_SIM_FILL_H
