// zqsysconfig.cpp - the line card's board type, read from the platform's board file, and the
// system limits it sets.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "svc.h"
#include "zqcm_internal.h"
#include "zqsysconfig.h"

extern "C" {

uint8 zqSysLinkNumPerDev = ZQ_SYS_LINK_NUM_PER_DEV_INIT;
uint16 zqSysOnuNumPerLink_GPON = ZQ_SYS_ONU_NUM_PER_LINK_GPON_INIT;
uint16 zqSysOnuNumPerLink_XGPON = ZQ_SYS_ONU_NUM_PER_LINK_XGPON_INIT;

const char *const boardTypeNames[BOARD_TYPE_NUM] = {
    "Undefined", "KWN",       "KXM",       "KXN",       "KXU", "KWU",       "UMK",
    "KWO",       "KXO",       "MYK",       "MYN",       "MYU", "MYO",       "MYW",
    "MYXv1.0.4", "MYXv1.0.8", "MYQv1.0.4", "MYQv1.0.8", "MYT", "MYRv1.0.4", "MYRv1.0.8",
    "MYL",       "MYH",       "WU7"};

} // extern "C"

namespace {

std::atomic<const char *> boardFilePath{BOARD_TYPE_FILE_NAME};

// The limits of a board type; 0 leaves a limit as it is.
struct tBoardLimits {
    uint8 linkNumPerDev;
    uint16 onuNumPerLinkGpon;
    uint16 onuNumPerLinkXgpon;
};

constexpr tBoardLimits LimitsOf(boardType_t boardType) {
    switch (boardType) {
    case btMYK:
    case btMYN:
        return {8, 128, 0};
    case btMYU:
    case btMYO:
    case btMYT:
        return {16, 128, 0};
    case btMYW:
    case btMYX8:
    case btMYQ8:
    case btMYR8:
        return {8, 0, 256};
    case btMYX4:
    case btMYQ4:
    case btMYR4:
        return {4, 0, 256};
    case btMYL:
    case btMYH:
        return {32, 128, 256};
    default:
        return {16, 128, 0};
    }
}

} // namespace

void ZqCmSetBoardFileForTest(const char *pathP) {
    boardFilePath.store(pathP != nullptr ? pathP : BOARD_TYPE_FILE_NAME);
}

void ZqCmResetBoardForTest() {
    ZqCmSetBoardFileForTest(nullptr);
    SharedSet(zqSysLinkNumPerDev, ZQ_SYS_LINK_NUM_PER_DEV_INIT);
    SharedSet(zqSysOnuNumPerLink_GPON, ZQ_SYS_ONU_NUM_PER_LINK_GPON_INIT);
    SharedSet(zqSysOnuNumPerLink_XGPON, ZQ_SYS_ONU_NUM_PER_LINK_XGPON_INIT);
}

eOsRet OltSysInfoInit(void) {
    boardType_t boardType = btUndefined;
    if (GetBoardTypeFromHW(&boardType) != eOS_RET_SUCCESS) {
        SvcPrintf("Call GetBoardTypeFromHW() failed.\n");
        return eOS_RET_FAILURE;
    }
    tBoardLimits limits = LimitsOf(boardType);
    zqSysLinkNumPerDev = limits.linkNumPerDev;
    if (limits.onuNumPerLinkGpon != 0) zqSysOnuNumPerLink_GPON = limits.onuNumPerLinkGpon;
    if (limits.onuNumPerLinkXgpon != 0) zqSysOnuNumPerLink_XGPON = limits.onuNumPerLinkXgpon;
    return eOS_RET_SUCCESS;
}

extern "C" eOsRet GetBoardTypeFromHW(boardType_t *boardType) {
    const char *pathP = boardFilePath.load();
    FILE *file = fopen(pathP, "r");
    if (file == nullptr) {
        MajorLog("Open file failed! tempFileName:%s.\n", pathP);
        return eOS_RET_FAILURE;
    }
    char line[BOARD_TYPE_FILE_LENGTH] = {};
    if (fgets(line, BOARD_TYPE_FILE_LENGTH - 1, file) == nullptr) line[0] = '\0';
    fclose(file);

    int match = -1;
    for (int row = 0; row < BOARD_TYPE_NUM && match < 0; ++row)
        if (strncmp(line, boardTypeNames[row], strlen(boardTypeNames[row])) == 0) match = row;
    if (boardType != nullptr) *boardType = match > 0 ? static_cast<boardType_t>(match) : btUndefined;
    return match > 0 ? eOS_RET_SUCCESS : eOS_RET_FAILURE;
}
