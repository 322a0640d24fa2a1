// capture.h - what the library hands to the host during a test: lines given to
// itSendOltDebugInfoToBll, texts given to the information handler and log reports.
// Tests wait on captured output with a deadline instead of sleeping.
#ifndef RELAYKIT_TESTS_CAPTURE_H
#define RELAYKIT_TESTS_CAPTURE_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "zqcmtrace.h"

namespace rktest {

// A thread-safe list of captured texts.
class TextCapture {
  public:
    void Add(std::string text);
    std::vector<std::string> Texts();
    void Clear();
    // Number of captured texts that contain needle.
    size_t Count(const std::string &needle);
    // Waits until a captured text contains needle; false when the deadline passes first.
    bool WaitFor(const std::string &needle,
                 std::chrono::milliseconds deadline = std::chrono::seconds(10));

  private:
    std::mutex mutex_;
    std::condition_variable added_;
    std::vector<std::string> texts_;
};

// Lines handed to the host's itSendOltDebugInfoToBll.
TextCapture &BllLines();
// Texts handed to CaptureInfoHandler (install it with SvcInit or through SvcSysInfoHandler).
TextCapture &HandlerTexts();
void CaptureInfoHandler(char *textP);
// Log reports as "LEVEL:text" (MINOR, MAJOR, CRITICAL), seen the moment they are made.
TextCapture &LogReports();
void CaptureLogReports();

} // namespace rktest

#endif // RELAYKIT_TESTS_CAPTURE_H
