// manager_faults_test.cpp - the CM client against the real oltmgr-sim with faults switched on: a
// dropped answer is a time-out in the client's counters, and an answer sent twice is read once
// without confusing the request after it. The emulator runs as a child process on loopback.
#include "cm_fixture.h"
#include "osshared.h"
#include "sim_process.h"

namespace {

using namespace cmtest;
using oltmgr_test::FaultTotal;
using oltmgr_test::SimProcess;

// The CM fixture with the channel pointed at a started oltmgr-sim instead of the in-process peer.
class ManagerFaultsTest : public CmTest {
  protected:
    // Starts the emulator with args and brings the channel up against it.
    void StartAgainst(std::vector<std::string> args) {
        args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
        sim_ = std::make_unique<SimProcess>(args);
        uint16_t port = sim_->WaitListening();
        ASSERT_NE(port, 0);
        tZqCmChannelOptions waits = ZqCmChannelOptions();
        waits.receiveTimeoutMs = 200; // a dropped answer costs this long
        ZqCmSetChannelOptions(waits);
        oltMgrUdpPort = port;
        ASSERT_EQ(ZqCmApi__InitCommunicationChannel(), eOS_RET_SUCCESS);
    }

    std::unique_ptr<SimProcess> sim_;
};

uZqCmKey Onu(uint8_t link, uint16_t onu) {
    uZqCmKey key = {};
    key.onuKey.slotId = 1;
    key.onuKey.linkId = link;
    key.onuKey.onuId = onu;
    return key;
}

TEST_F(ManagerFaultsTest, EveryDroppedAnswerIsOneTimeOutInTheClientsCounters) {
    StartAgainst({"--drop", "40", "--onus", "2"});
    const uint32_t failedBefore = SharedGet(CmApiUdpRcvFailCnt);
    int timedOut = 0, answered = 0;
    for (uint16_t tid = 1; tid <= 20; ++tid) {
        uZqCmRes record = {};
        eOsRet rc = ZqCmApi__GetReq(tid, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, Onu(1, 2), &record);
        ASSERT_TRUE(rc == eOS_RET_SUCCESS || rc == eOS_RET_TIME_OUT) << rc;
        ++(rc == eOS_RET_SUCCESS ? answered : timedOut);
    }
    EXPECT_GT(timedOut, 0);
    EXPECT_GT(answered, 0);
    EXPECT_EQ(SharedGet(CmApiUdpRcvFailCnt) - failedBefore, static_cast<uint32_t>(timedOut));
    // The readiness polls of the start met the same chance: every answer the emulator dropped is
    // a wait the client gave up, and no other wait was given up.
    EXPECT_EQ(FaultTotal(*sim_, "dropped"), SharedGet(CmApiUdpRcvFailCnt));
}

TEST_F(ManagerFaultsTest, AnAnswerSentTwiceIsReadOnceAndTheNextRequestGetsItsOwnAnswer) {
    StartAgainst({"--duplicate", "100", "--pons", "2", "--onus", "3"});
    // Each request of the walk has its own transaction id, as a host's do: the copy of the
    // previous answer arrives first and must be told from the awaited one.
    uint16_t tid = 7;
    uZqCmKey key = {};
    uZqCmRes record = {};
    ASSERT_EQ(ZqCmApi__GetFirstReq(tid, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, &key, &record),
              eOS_RET_SUCCESS);
    std::vector<std::string> serials;
    for (;;) {
        serials.emplace_back(reinterpret_cast<const char *>(&record) + oltmgr::kSerialAt, oltmgr::kSerialLen - 5);
        uZqCmKey next = {};
        eOsRet rc = ZqCmApi__GetNextReq(++tid, eZQ_CMAPI_RES_TYPE_ONU, eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG, key, &next, &record);
        if (rc != eOS_RET_SUCCESS) {
            EXPECT_EQ(rc, eOS_RET_OLT_NO_INSTANCE_EXISTS);
            break;
        }
        ASSERT_LT(serials.size(), 6u) << "the walk does not end: " << testing::PrintToString(serials);
        key = next;
    }
    EXPECT_EQ(serials, (std::vector<std::string>{"SIMU00010001", "SIMU00010002", "SIMU00010003", "SIMU00020001",
                                                  "SIMU00020002", "SIMU00020003"}));
    EXPECT_EQ(SharedGet(CmApiUdpRcvFailCnt), 0u) << "no request waited in vain";
    EXPECT_GE(FaultTotal(*sim_, "sent twice"), serials.size() + 1);
}

} // namespace
