/* package_host.c - a C11 host built against the installed Debian packages through pkg-config: it
 * includes the headers by their installed path (the version header too), supplies the two host
 * hooks, and checks that a block really travels through a wrapper queue and that 64-bit arithmetic
 * and memory accounting answer as documented. It prints one line per check; any wrong answer ends
 * it with status 1. */
#include <relaykit/relaykit.h>
#include <relaykit/relaykit_version.h>
#include <stdio.h>
#include <string.h>

int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    *mibLinkIdP = phyLinkId;
    return 0;
}

int itSendOltDebugInfoToBll(char *textP) {
    (void)textP;
    return 0;
}

static int failed;

static void check(int ok, const char *what) {
    printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) failed = 1;
}

int main(void) {
    relayKitVersion();
    printf("RELAYKIT_VERSION %s\n", RELAYKIT_VERSION);
    check(OsWrap__Init(NULL) == eOS_RET_SUCCESS, "OsWrap__Init");

    tOsQueueId queue = 0;
    check(OsWrap__QueueCreate((char *)"pkgq", 8, &queue) == eOS_RET_SUCCESS && queue != 0,
          "queue created");
    char *block = OsWrap__Alloc(16);
    check(block != NULL && MemAllocCnt == 1, "one accounted block");
    if (block == NULL) return 1;
    strcpy(block, "through a queue");
    check(OsWrap__QueueSend(queue, block) == eOS_RET_SUCCESS, "block sent");
    tOsMsg received = NULL;
    check(OsWrap__QueueRcv(queue, &received, 1000) == eOS_RET_SUCCESS && received == block &&
              strcmp((char *)received, "through a queue") == 0,
          "the same block received");
    OsWrap__Free(received);
    check(MemAllocCnt == 0, "nothing left allocated");
    check(OsWrap__QueueRcv(queue, &received, OS_WAIT_NO) == eOS_RET_AGAIN && received == NULL,
          "an empty queue answers AGAIN");

    tOsUint64 big = {1u, 0xFFFFFFFFu}; /* 2^33 - 1 */
    tOsUint64 sum = Uint64Add(big, big);
    printf("Uint64Add high=%u low=%u\n", (unsigned)sum.high, (unsigned)sum.low);
    check(OsWrap__QueueDelete(queue) == eOS_RET_SUCCESS, "queue deleted");
    return failed;
}
