#pragma once
#include <cstddef>
#include <cstdint>

// When the device worker opens the coolers again by itself: after a few failed
// display reports in a row (a stale handle, a removal notice that never came),
// and while a listed cooler could not be opened (held by another program).
// Attempts of its own back off, so a cooler that is really gone costs next to
// nothing. Connects asked for from outside (start-up, notices, resume) are never
// held back. Window-free; the worker owns one and calls it on its thread.
class LinkRecovery {
public:
    static constexpr int kFailedReportsBeforeReopen = 3;
    static constexpr uint64_t kFirstBackoffMs = 1000;
    static constexpr uint64_t kMaxBackoffMs = 30000;

    // A connect asked for from outside: the back-off starts again.
    void OnRequestedConnect();
    // What a connect found: display collections listed and opened.
    void OnConnectResult(size_t listed, size_t opened, uint64_t nowMs);
    // One display report's outcome. True: open the coolers again now.
    bool OnReport(bool sent, uint64_t nowMs);
    // True: a listed cooler could not be opened and its retry is due.
    bool RetryDue(uint64_t nowMs) const;

    uint64_t BackoffMs() const { return backoffMs_; }

private:
    int failedReports_ = 0;
    uint64_t backoffMs_ = kFirstBackoffMs;
    uint64_t nextAttemptMs_ = 0;
    bool retryUnopened_ = false;
};
