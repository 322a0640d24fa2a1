// capture.cpp - the host hooks every test program supplies, recording what the library hands over.
#include "capture.h"

#include <algorithm>

#include "oswrap.h"
#include "zqcmtrace_hooks.h"

namespace rktest {

void TextCapture::Add(std::string text) {
    {
        std::lock_guard lock(mutex_);
        texts_.push_back(std::move(text));
    }
    added_.notify_all();
}

std::vector<std::string> TextCapture::Texts() {
    std::lock_guard lock(mutex_);
    return texts_;
}

void TextCapture::Clear() {
    std::lock_guard lock(mutex_);
    texts_.clear();
}

size_t TextCapture::Count(const std::string &needle) {
    std::lock_guard lock(mutex_);
    return std::count_if(texts_.begin(), texts_.end(),
                         [&](const std::string &t) { return t.find(needle) != std::string::npos; });
}

bool TextCapture::WaitFor(const std::string &needle, std::chrono::milliseconds deadline) {
    std::unique_lock lock(mutex_);
    return added_.wait_for(lock, deadline, [&] {
        return std::any_of(texts_.begin(), texts_.end(),
                           [&](const std::string &t) { return t.find(needle) != std::string::npos; });
    });
}

// The captures are never destroyed: detached library tasks may still hand over text while the
// test program exits.
TextCapture &BllLines() {
    static TextCapture *capture = new TextCapture;
    return *capture;
}

TextCapture &HandlerTexts() {
    static TextCapture *capture = new TextCapture;
    return *capture;
}

void CaptureInfoHandler(char *textP) { HandlerTexts().Add(textP); }

TextCapture &LogReports() {
    static TextCapture *capture = new TextCapture;
    return *capture;
}

void CaptureLogReports() {
    LogSetTestObserver([](eZqLogLevel level, const char *textP) {
        static const char *const names[] = {"MINOR", "MAJOR", "CRITICAL", "NO_LOG", "INVALID"};
        const char *name = (level >= eZQ_LL_MINOR && level <= eZQ_LL_MAX) ? names[level] : "INVALID";
        LogReports().Add(std::string(name) + ":" + textP);
    });
}

} // namespace rktest

extern "C" int itSendOltDebugInfoToBll(char *textP) {
    rktest::BllLines().Add(textP);
    return 0;
}

extern "C" int PhyLink2MIBLink(uint16 phyLinkId, uint32 *mibLinkIdP) {
    if (mibLinkIdP != nullptr) *mibLinkIdP = phyLinkId;
    return 0;
}
