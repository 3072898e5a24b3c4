// Seeded random faults of the simulated adapter.
#include "sim/SimChaos.h"

#include <QStringList>

namespace velmoro {

namespace {

const ChaosKind kAllKinds[] = {ChaosKind::Message, ChaosKind::Status, ChaosKind::Noise,
                               ChaosKind::Late,    ChaosKind::Silent, ChaosKind::Half,
                               ChaosKind::Restart};

const char* const kMessages[] = {
    "NO DATA",  "?",         "BUFFER FULL", "CAN ERROR",         "STOPPED",
    "BUS BUSY", "BUS ERROR", "DATA ERROR",  "<DATA ERROR",       "<RX ERROR",
    "FB ERROR", "ACT ALERT", "ERR94",       "UNABLE TO CONNECT",
};

// Bytes that are no part of clean hex text and do not end the answer.
const char kNoise[] = {'\x00', '\x01', '\x7F', '\xFE', '\xFF', '#', '%', '&', '*', '@',
                       '^',    '~',    '|',    'Z',    'q',    '.', ',', ';', '!', '"'};

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace

const char* ChaosKindName(ChaosKind kind)
{
    switch (kind) {
    case ChaosKind::None:
        return "none";
    case ChaosKind::Message:
        return "message";
    case ChaosKind::Status:
        return "status";
    case ChaosKind::Noise:
        return "noise";
    case ChaosKind::Late:
        return "late";
    case ChaosKind::Silent:
        return "silent";
    case ChaosKind::Half:
        return "half";
    case ChaosKind::Restart:
        return "restart";
    }
    return "none";
}

bool ParseChaosKinds(const QString& list, QList<ChaosKind>& kinds)
{
    kinds.clear();
    for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool known = false;
        for (ChaosKind kind : kAllKinds) {
            if (name.trimmed() == QLatin1String(ChaosKindName(kind))) {
                kinds.append(kind);
                known = true;
            }
        }
        if (!known) {
            return false;
        }
    }
    return !kinds.isEmpty();
}

SimChaos::SimChaos(const ChaosOptions& options) : options_(options), random_(options.seed) {}

int SimChaos::Below(int n)
{
    return static_cast<int>(random_() % static_cast<std::uint32_t>(n));
}

ChaosKind SimChaos::Next()
{
    if (!On()) {
        return ChaosKind::None;
    }
    // A fixed number of draws per request, so that the faults follow from the seed alone.
    const double roll = static_cast<double>(random_()) / 4294967296.0;
    const int pick = static_cast<int>(random_() % 1000000u);
    ChaosKind kind = ChaosKind::None;
    if (roll < options_.rate) {
        const QList<ChaosKind> kinds =
            options_.kinds.isEmpty() ? QList<ChaosKind>(std::begin(kAllKinds), std::end(kAllKinds))
                                     : options_.kinds;
        kind = kinds[pick % kinds.size()];
    }
    ++counts_[static_cast<std::size_t>(kind)];
    return kind;
}

QByteArray SimChaos::NextMessage()
{
    return kMessages[Below(static_cast<int>(std::size(kMessages)))];
}

int SimChaos::NextRestartShape()
{
    return Below(3);
}

QByteArray SimChaos::AddNoise(const QByteArray& answer)
{
    QByteArray out = answer;
    QList<int> separators;
    for (int i = 1; i + 1 < out.size(); ++i) {
        if (out[i] == ' ' && IsHexDigit(out[i - 1]) && IsHexDigit(out[i + 1])) {
            separators.append(i);
        }
    }
    const char bad = kNoise[Below(static_cast<int>(std::size(kNoise)))];
    if (!separators.isEmpty() && Below(2) == 0) {
        out[separators[Below(static_cast<int>(separators.size()))]] = bad;
        return out;
    }
    // One to three bytes at a place inside the text, never after its last line end.
    const int end = std::max<int>(1, static_cast<int>(out.size()) - 1);
    int at = Below(end);
    const int n = 1 + Below(3);
    for (int i = 0; i < n; ++i) {
        out.insert(at, kNoise[Below(static_cast<int>(std::size(kNoise)))]);
    }
    // Noise that landed on a line of its own or at a line's end still spoils that line.
    return out;
}

QByteArray SimChaos::CutInHalf(const QByteArray& answer)
{
    QList<int> cuts; // after the first digit of a word that is not the first
    for (int i = 3; i + 1 < answer.size(); ++i) {
        if (answer[i - 1] == ' ' && IsHexDigit(answer[i]) && IsHexDigit(answer[i + 1])) {
            cuts.append(i + 1);
        }
    }
    if (cuts.isEmpty()) {
        return answer.left(answer.size() / 2);
    }
    // In the second half of the words, so that the cut answer is not just its first bytes.
    const int from = static_cast<int>(cuts.size()) / 2;
    return answer.left(cuts[from + Below(static_cast<int>(cuts.size()) - from)]);
}

} // namespace velmoro
