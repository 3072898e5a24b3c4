// The link's timing constants, in one place.
#pragma once

namespace velmoro {

// Longest wait for the adapter's '>' prompt in one exchange.
constexpr int kAdapterTimeoutMs = 1000;
// The worker's pause after every request it sent for a caller.
constexpr int kPauseAfterRequestMs = 50;
// TesterPresent (3E 00) goes out once strictly more than this passed without a request.
constexpr int kKeepAliveIdleMs = 3000;
// Longest a worker or a waiting caller goes without looking at stopFlag; a stop requested
// through RequestChannel::Stop is seen at once.
constexpr int kStopPollMs = 20;

} // namespace velmoro
