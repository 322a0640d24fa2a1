// link_type_test.cpp - where the protocol type and the OMCI message sit is read from the link
// type of the capture (classic) or of the packet's interface (pcapng): Ethernet and both Linux
// cooked captures carry OMCI; frames of any other link type are skipped with the usual note.
#include <gtest/gtest.h>

#include "capsheet_run.h"

namespace {

using namespace captest;

constexpr uint16_t kLinuxCooked = 113;
constexpr uint16_t kLinuxCookedV2 = 276;
constexpr uint16_t kRawIp = 101;

// A Linux cooked frame: packet type, address type, address length, address, protocol.
std::vector<uint8_t> Cooked(uint16_t protocol, const std::vector<uint8_t> &content) {
    Bytes f;
    f.big = true;
    f.U16(0).U16(1).U16(6).Raw({1, 2, 3, 4, 5, 6, 0, 0}).U16(protocol).Raw(content);
    return f.b;
}

// A Linux cooked v2 frame: protocol, reserved, interface index, address type, packet type,
// address length, address.
std::vector<uint8_t> CookedV2(uint16_t protocol, const std::vector<uint8_t> &content) {
    Bytes f;
    f.big = true;
    f.U16(protocol).U16(0).U32(3).U16(1).Raw({0, 6}).Raw({1, 2, 3, 4, 5, 6, 0, 0}).Raw(content);
    return f.b;
}

struct Case {
    const char *what;
    uint16_t linkType;
    std::vector<uint8_t> frame;
    const char *hex;  // the row's text; null: not OMCI
};

std::vector<Case> Cases() {
    const std::vector<uint8_t> content = {0x0A, 0x0B, 0x0C};
    std::vector<uint8_t> v2Short = CookedV2(0x88B5, {});
    v2Short.pop_back();
    return {
        {"Ethernet", kLinkEthernet, Omci(content), "0x0a0b0c"},
        {"Linux cooked", kLinuxCooked, Cooked(0x88B5, content), "0x0a0b0c"},
        {"Linux cooked v2", kLinuxCookedV2, CookedV2(0x88B5, content), "0x0a0b0c"},
        {"Linux cooked, bare header", kLinuxCooked, Cooked(0x88B5, {}), "0x"},
        {"Linux cooked, IPv4", kLinuxCooked, Cooked(0x0800, content), nullptr},
        {"Linux cooked, an Ethernet frame in it", kLinuxCooked, Omci(content), nullptr},
        {"Linux cooked v2, IPv4", kLinuxCookedV2, CookedV2(0x0800, content), nullptr},
        {"Linux cooked v2, one byte short of its header", kLinuxCookedV2, v2Short, nullptr},
        {"raw IP, though shaped like Ethernet OMCI", kRawIp, Omci(content), nullptr},
        {"an unknown link type", 147, Omci(content), nullptr},
    };
}

using LinkTypeTest = CapsheetTest;

// One classic capture per link type: an OMCI frame of it, then an Ethernet-shaped frame.
TEST_F(LinkTypeTest, ClassicCaptureReadsItsFramesByItsLinkType) {
    for (const Case &k : Cases()) {
        SCOPED_TRACE(k.what);
        Bytes c = ClassicHeader(false, kMagicMicro, k.linkType);
        AddRecord(c, 7, 0, k.frame);
        const Result r = Convert(c);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, (k.hex ? "" : kNotOmci) + Success(capture, csv));
        EXPECT_EQ(ReadFile(csv), std::string(kCsvHeader) + (k.hex ? std::string("1, 7, ") + k.hex + "\r\n" : ""));
    }
}

// One pcapng capture, an interface per case, the packets in turn: each is read by the link type
// of its own interface, and skipped ones keep their row numbers.
TEST_F(LinkTypeTest, PcapngPacketIsReadByTheLinkTypeOfItsInterface) {
    const std::vector<Case> cases = Cases();
    Bytes c = NewCapture();
    for (const Case &k : cases) AddInterface(c, 0, {}, k.linkType);
    std::string rows = kCsvHeader;
    std::string notes;
    for (uint32_t i = 0; i < cases.size(); ++i) {
        AddEnhanced(c, i, (100 + i) * uint64_t{1000000}, cases[i].frame);
        if (cases[i].hex)
            rows += std::to_string(i + 1) + ", " + std::to_string(100 + i) + ", " + cases[i].hex + "\r\n";
        else
            notes += kNotOmci;
    }
    const Result r = Convert(c);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, notes + Success(capture, csv));
    EXPECT_EQ(ReadFile(csv), rows);
}

}  // namespace
