// cm_demo.cpp - a host of relayKit's CM client against an OLT manager on loopback: brings the CM
// channel up (the manager reports NOT_INIT, then BUSY, then READY), creates ONU configurations,
// reads, walks and counts them synchronously, walks them again in asynchronous mode through the
// response callbacks, registers for alarms and receives one, then deletes an ONU.
//
// The OLT manager runs inside this process on its own thread and sockets (the loopback peer of
// the tests); the client does not know the difference. The start-up waits of a line card (15 s
// and more) are shortened through the channel options.
#include <arpa/inet.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "oltmgr_peer.h"
#include "relaykit.h"

// ---- the two host hooks -------------------------------------------------------------------------

extern "C" int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    *mibLinkIdP = phyLinkId;
    return 0;
}
extern "C" int itSendOltDebugInfoToBll(char *) { return 0; }

namespace {

uZqCmKey OnuKey(uint16 onuId) {
    uZqCmKey key;
    memset(&key, 0, sizeof key);
    // Field by field: a whole-struct copy may carry a padding byte, and keys compare all 52 bytes.
    key.onuKey.slotId = 1;
    key.onuKey.deviceId = 0;
    key.onuKey.linkId = 3;
    key.onuKey.onuId = onuId;
    return key;
}

const eZqCmApiResType kOnu = eZQ_CMAPI_RES_TYPE_ONU;
const eZqCmApiResId kOnuConfig = eZQ_CMAPI_RES_ID_EQPT_ONU_CONFIG;

void SynchronousSession() {
    printf("\n== synchronous requests: create three ONU configurations, get, walk, count\n");
    uZqCmRes record;
    for (uint16 onu = 17; onu <= 19; ++onu) {
        memset(&record, 0, sizeof record);
        snprintf(reinterpret_cast<char *>(&record) + 4, 17, "ZYXW%08u", 1000u + onu);
        printf("create ONU 1/0/3/%u: ret %d\n", onu,
               ZqCmApi__CreateReq(onu, kOnu, kOnuConfig, OnuKey(onu), &record));
    }
    printf("create ONU 1/0/3/17 again: ret %d (eOS_RET_OLT_INSTANCE_EXISTS is 23)\n",
           ZqCmApi__CreateReq(20, kOnu, kOnuConfig, OnuKey(17), &record));
    memset(&record, 0, sizeof record);
    printf("get ONU 1/0/3/18: ret %d, serial %s\n",
           ZqCmApi__GetReq(21, kOnu, kOnuConfig, OnuKey(18), &record),
           reinterpret_cast<char *>(&record) + 4);
    uZqCmKey key;
    eOsRet ret = ZqCmApi__GetFirstReq(22, kOnu, kOnuConfig, &key, &record);
    for (uint16 tid = 23; ret == eOS_RET_SUCCESS; ++tid) {
        printf("walk: ONU %u/%u/%u/%u\n", key.onuKey.slotId, key.onuKey.deviceId,
               key.onuKey.linkId, key.onuKey.onuId);
        ret = ZqCmApi__GetNextReq(tid, kOnu, kOnuConfig, key, &key, &record);
    }
    printf("walk ends with ret %d (eOS_RET_OLT_NO_INSTANCE_EXISTS)\n", ret);
    printf("count: %d ONU configurations\n", ZqCmApi__GetNumOfInstance(30, kOnu, kOnuConfig));
}

// ---- asynchronous mode: the walk goes on from the callbacks, in the receive task --------------

std::atomic<bool> walkDone{false};
std::atomic<bool> registered{false};
std::atomic<bool> counted{false};

eOsRet WalkStep(uint16 transactionId, eZqCmApiResType, eZqCmApiResId resId, uZqCmKey key, void *,
                eOsRet ret) {
    if (ret != eOS_RET_SUCCESS) {
        printf("async walk ends: T%u, ret %d\n", transactionId, ret);
        walkDone = true;
        return eOS_RET_SUCCESS;
    }
    printf("async walk: T%u, ONU %u/%u/%u/%u\n", transactionId, key.onuKey.slotId,
           key.onuKey.deviceId, key.onuKey.linkId, key.onuKey.onuId);
    return ZqCmApi__GetNextReq(static_cast<uint16>(transactionId + 1), kOnu, resId, key, nullptr,
                               nullptr);
}
eOsRet Ignore(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, void *, eOsRet) { return eOS_RET_SUCCESS; }
eOsRet IgnoreDelete(uint16, eZqCmApiResType, eZqCmApiResId, uZqCmKey, eOsRet) { return eOS_RET_SUCCESS; }
eOsRet ShowCount(uint16 transactionId, eZqCmApiResType, eZqCmApiResId, sint16 num) {
    printf("async count: T%u, %d\n", transactionId, num);
    counted = true;
    return eOS_RET_SUCCESS;
}
eOsRet ShowRegistration(uint16 transactionId, tZqCmAlarmRegInfo info, eOsRet ret) {
    printf("alarm registration answered: T%u, regType %d, ret %d\n", transactionId, info.regType, ret);
    registered = true;
    return eOS_RET_SUCCESS;
}

std::atomic<int> alarmsSeen{0};
eOsRet ShowAlarm(uZqCmMsg *msgP) {
    const tZqCmAlarmInfo &alarm = msgP->alarmMsg.alarmInfo;
    printf("alarm: type %d, severity %d, condition %d, ONU %u/%u/%u/%u, sequence %u\n",
           alarm.alarmType, alarm.alarmSeverity, alarm.alarmCondition,
           alarm.alarmResId.onuId.slotId, alarm.alarmResId.onuId.deviceId,
           alarm.alarmResId.onuId.linkId, alarm.alarmResId.onuId.onuId, alarm.alarmSeqNo);
    ++alarmsSeen;
    return eOS_RET_SUCCESS;
}

bool WaitFor(const std::atomic<bool> &flag) {
    for (int i = 0; i < 500 && !flag; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return flag;
}

void AsynchronousSession(oltmgr::Peer &manager) {
    printf("\n== asynchronous mode: the same walk through the response callbacks\n");
    tZqCmApiCallback table = {Ignore,   IgnoreDelete, Ignore,   Ignore,    WalkStep,        WalkStep,
                              nullptr,  nullptr,      ShowCount, ShowRegistration, ShowRegistration};
    printf("ZqCmApi__SetMode(ASYNC): ret %d\n", ZqCmApi__SetMode(eZQ_CMAPI_MODE_ASYNC, &table));
    uZqCmRes record;
    uZqCmKey key;
    printf("GetFirst returns at once: ret %d\n", ZqCmApi__GetFirstReq(40, kOnu, kOnuConfig, &key, &record));
    if (!WaitFor(walkDone)) printf("the asynchronous walk did not end\n");
    ZqCmApi__GetNumOfInstance(50, kOnu, kOnuConfig);
    if (!WaitFor(counted)) printf("no count arrived\n");

    printf("\n== alarms: register with a filter, receive one\n");
    itCmApi__RegisterAlarmHandler(ShowAlarm);
    tZqCmAlarmRegInfo registration;
    memset(&registration, 0, sizeof registration);
    registration.alarmFilterInfo.alarmFilterType = eZQ_CMAPI_ALARM_FILTER_NONE;
    ZqCmApi__AlarmRegister(60, registration);
    if (!WaitFor(registered)) printf("no registration answer\n");
    tZqCmAlarmInfo alarm;
    memset(&alarm, 0, sizeof alarm);
    alarm.alarmType = eZQ_CMAPI_ONU_ALARM_DYING_GASP;
    alarm.alarmSeverity = eZQ_CMAPI_ALARM_SEVERITY_CRITICAL;
    alarm.alarmCondition = eZQ_CMAPI_ALARM_CONDITION_ALARM;
    alarm.alarmResId.onuId.slotId = 1;
    alarm.alarmResId.onuId.linkId = 3;
    alarm.alarmResId.onuId.onuId = 18;
    alarm.alarmSeqNo = 1;
    printf("the manager raises a dying-gasp alarm for %zu subscriber(s)\n", manager.SendAlarm(alarm));
    for (int i = 0; i < 500 && alarmsSeen == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));

    printf("\n== back to synchronous mode: delete an ONU and count again\n");
    ZqCmApi__SetMode(eZQ_CMAPI_MODE_SYNC, nullptr);
    printf("delete ONU 1/0/3/18: ret %d\n", ZqCmApi__DeleteReq(70, kOnu, kOnuConfig, OnuKey(18)));
    printf("count: %d ONU configurations\n", ZqCmApi__GetNumOfInstance(71, kOnu, kOnuConfig));
}

} // namespace

int main() {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    oltmgr::Peer manager;
    if (!manager.Ok()) {
        fprintf(stderr, "cm_demo: cannot open the loopback OLT manager's sockets\n");
        return 1;
    }
    manager.GetStore().SetInitStatusSequence(
        {eZQ_CM_OLT_STATUS_NOT_INIT, eZQ_CM_OLT_STATUS_BUSY, eZQ_CM_OLT_STATUS_READY});

    printf("== start-up: OsWrap__Init, SvcInit, InitSyslog, InitTrace, a console sink\n");
    OsWrap__Init(nullptr);
    SvcInit(nullptr, nullptr);
    InitSyslog();
    InitTrace();
    SetDisplayMode(eOS_BOOL_TRUE, eOS_BOOL_FALSE);

    printf("\n== the CM channel: the OLT manager listens on 127.0.0.1:%u\n", manager.Port());
    tZqCmChannelOptions options;
    ZqCmApi__DefaultChannelOptions(&options);
    options.alarmTaskWaitMs = 1000;
    options.waitingLineMs = 200;
    options.pollIntervalMs = 300;
    options.receiveTimeoutMs = 2000;
    OltMgrHostAddr = INADDR_LOOPBACK;
    oltMgrUdpPort = manager.Port();
    extEntityReqRspUdpPort = 0; // the system chooses both local ports
    extEntityAlarmUdpPort = 0;
    eOsRet started = ZqCmApi__InitCommunicationChannelWithOptions(&options);
    printf("ZqCmApi__InitCommunicationChannelWithOptions: ret %d, local ports %u and %u\n", started,
           extEntityReqRspUdpPort, extEntityAlarmUdpPort);
    if (started != eOS_RET_SUCCESS) return 1;

    SynchronousSession();
    AsynchronousSession(manager);
    printf("\n== a refused call reports itself: a get without a record\n");
    printf("ZqCmApi__GetReq(rcP NULL): ret %d\n",
           ZqCmApi__GetReq(80, kOnu, kOnuConfig, OnuKey(17), nullptr));
    return 0;
}
