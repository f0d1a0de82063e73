#include "LinkRecovery.h"

#include <algorithm>

void LinkRecovery::OnRequestedConnect()
{
    backoffMs_ = kFirstBackoffMs;
}

void LinkRecovery::OnConnectResult(size_t listed, size_t opened, uint64_t nowMs)
{
    failedReports_ = 0;
    retryUnopened_ = listed > opened;
    nextAttemptMs_ = nowMs + backoffMs_;
    backoffMs_ = std::min(backoffMs_ * 2, kMaxBackoffMs);
}

bool LinkRecovery::OnReport(bool sent, uint64_t nowMs)
{
    if (sent) {
        failedReports_ = 0;
        backoffMs_ = kFirstBackoffMs;
        return false;
    }
    if (++failedReports_ < kFailedReportsBeforeReopen || nowMs < nextAttemptMs_)
        return false;
    failedReports_ = 0;
    return true;
}

bool LinkRecovery::RetryDue(uint64_t nowMs) const
{
    return retryUnopened_ && nowMs >= nextAttemptMs_;
}
