// The simulated adapter misbehaving on purpose: a seeded random choice of the faults real
// adapters show in the field, one decision per diagnostic request.
//
// With probability `rate` a diagnostic request meets one of the allowed kinds:
//   message      an adapter message instead of the ECU's answer (NO DATA, ?, BUFFER FULL, ...)
//   status       "SEARCHING..." in front of the ECU's true answer
//   noise        a few bytes that are no hex text inside the answer, or a separator garbled
//   late         the answer comes lateMs late (after the program's time-out)
//   silent       no answer at all, not even the prompt
//   half         the answer cut in the middle of a byte, then the prompt
//   restart      the adapter restarts: banner (or LV RESET and banner, or nothing), echo on, its
//                protocol, header and receive filter lost until ATSP/ATSH/ATCRA come again
// The same seed and the same sequence of requests give the same faults.
//   SimChaos chaos({0.1, 7, {}}); chaos.Next() -> ChaosKind::None nine times in ten
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>
#include <random>

namespace velmoro {

enum class ChaosKind { None, Message, Status, Noise, Late, Silent, Half, Restart };
constexpr int kChaosKinds = 8; // None included

struct ChaosOptions {
    double rate = 0.0; // 0: no chaos
    std::uint32_t seed = 1;
    QList<ChaosKind> kinds; // empty: every kind
    int lateMs = 1500;      // how late a late answer comes
};

// "message,noise,restart" -> those kinds; false on an unknown name.
bool ParseChaosKinds(const QString& list, QList<ChaosKind>& kinds);
const char* ChaosKindName(ChaosKind kind);

class SimChaos {
public:
    explicit SimChaos(const ChaosOptions& options = {});

    const ChaosOptions& Options() const { return options_; }
    bool On() const { return options_.rate > 0.0; }

    // The fault for the next diagnostic request (None: none); counted.
    ChaosKind Next();
    // The adapter message of a Message fault.
    QByteArray NextMessage();
    // How a Restart shows: 0 the banner, 1 LV RESET and the banner, 2 nothing (the request
    // itself meets the lost set-up).
    int NextRestartShape();
    // answer with noise bytes put in, or one separator garbled; never a hex digit, a space, a
    // line end or the prompt, so the noise can never read as other data.
    QByteArray AddNoise(const QByteArray& answer);
    // answer cut in the middle of a byte (after the first digit of a word past the first).
    QByteArray CutInHalf(const QByteArray& answer);

    int Count(ChaosKind kind) const { return counts_[static_cast<std::size_t>(kind)]; }

private:
    int Below(int n);

    ChaosOptions options_;
    std::mt19937 random_;
    std::array<int, kChaosKinds> counts_{};
};

} // namespace velmoro
