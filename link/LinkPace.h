// How the worker paces its requests: the normal pace, or fast refresh with its own fall-back.
//
// Normal pace: a pause after every request, each request sent as its bytes in hex ("221033").
// Fast refresh (when the user wants it): no pause, and a read of one identifier whose positive
// answer came as a single frame gets the adapter's response-count digit from then on
// ("221033 1"), so the adapter answers as soon as the ECU has, instead of waiting out its timer
// for further answers. Only where the adapter accepted the digit when the link was set up;
// answers of several frames keep the plain form. Two bad answers in a row (the adapter's "?",
// BUFFER FULL, CAN ERROR, STOPPED, a time-out, noise or a cut answer, or NO DATA from an
// identifier that answered before) end fast refresh for the rest of the link: the normal pace,
// plain requests. The adapter's restart is no bad answer: the worker sets it up again.
//
//   LinkPace pace(true);  pace.SetCountDigitAccepted(true);
//   pace.RequestText({0x22,0x10,0x33}) -> "221033"  (nothing learned yet)
//   pace.Judge(req, "62 10 33 02 EE \r\r", true) -> false; then RequestText -> "221033 1"
#pragma once

#include <QByteArray>
#include <QSet>
#include <cstdint>

namespace velmoro {

class LinkPace {
public:
    explicit LinkPace(bool fastWanted = false) : fast_(fastWanted) {}

    bool Fast() const { return fast_; }
    // The pause after a request: none while fast.
    int PauseAfterRequestMs(int normalPauseMs) const { return fast_ ? 0 : normalPauseMs; }

    // The text of the set-up's check whether the adapter takes the count digit, and what its
    // answer means (complete: the prompt came). Asked only when fast refresh is wanted.
    static QByteArray CountDigitProbe();
    void TakeProbeAnswer(const QByteArray& answer, bool complete);
    bool CountDigitAccepted() const { return countDigit_; }

    // The adapter command for a request.
    QByteArray RequestText(const std::uint8_t* request, int length) const;

    // Learns from the answer to a request and judges it (complete: the prompt came before the
    // time-out). True when this answer ended fast refresh.
    bool Judge(const std::uint8_t* request, int length, const QByteArray& answer, bool complete);

private:
    bool fast_;
    bool countDigit_ = false;
    int badInARow_ = 0;
    QSet<QByteArray> singleFrame_; // reads whose positive answer came as one frame
    QSet<QByteArray> answered_;    // requests that got a positive answer
};

} // namespace velmoro
