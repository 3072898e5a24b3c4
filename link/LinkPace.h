// How the worker paces its requests: the normal pace, or fast refresh with its own fall-back.
//
// Normal pace: a pause after every request, each request sent as its bytes in hex ("221033").
// Fast refresh (when the user wants it): no pause, and a read gets the adapter's response-count
// digit, the number of frames its positive answer came in, from its first such answer on
// ("221033 1", "221074 2"), so the adapter answers as soon as the ECU has instead of waiting out
// its timer for further answers. Only where the adapter accepted the digit when the link was set
// up, and only for answers of at most fifteen frames. A read sent with the digit whose answer
// then comes short (fewer frames, or fewer bytes than its length line announces) or not before
// the time-out goes back to the plain form for the rest of the link: its answer's length is not
// to be trusted, and the digit may be what cut it. An adapter message keeps the digit. Two bad
// answers in a row (the adapter's "?", BUFFER FULL, CAN ERROR, STOPPED, a time-out, noise, a
// short or cut answer, or NO DATA from an identifier that answered before) end fast refresh for
// the rest of the link: the normal pace, plain requests. The adapter's restart is no bad answer:
// the worker sets it up again.
//
//   LinkPace pace(true);  pace.TakeProbeAnswer("OK", true);
//   pace.RequestText({0x22,0x10,0x33}) -> "221033"  (nothing learned yet)
//   pace.Judge(req, "62 10 33 02 EE \r\r", true) -> false; then RequestText -> "221033 1"
//   pace.Judge(req74, "008 \r0: 62 10 74 01 02 03 \r1: 04 05 \r\r", true); then "221074 2"
#pragma once

#include <QByteArray>
#include <QHash>
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

    // The adapter command for a request.
    QByteArray RequestText(const std::uint8_t* request, int length) const;

    // Learns from the answer to a request and judges it (complete: the prompt came before the
    // time-out). True when this answer ended fast refresh.
    bool Judge(const std::uint8_t* request, int length, const QByteArray& answer, bool complete);

    // A multi-frame answer that holds fewer data bytes than its length line announces: the
    // adapter stopped (or was stopped) before the whole answer was there. No data.
    //   "008 \r0: 62 10 74 01 02 03 \r" -> true;  "62 10 33 02 EE \r" -> false
    static bool CutShort(const QByteArray& answer);
    // The frames of an answer as the adapter shows them: 1 for a single frame, the numbered
    // lines of a multi-frame answer, 0 for one cut short.
    //   "62 10 33 02 EE \r" -> 1;  "008 \r0: 62 10 74 01 02 03 \r1: 04 05 \r" -> 2
    static int AnswerFrames(const QByteArray& answer);

private:
    // The count digit this read is sent with now; 0: none.
    int DigitFor(const QByteArray& key) const;

    bool fast_;
    bool countDigit_ = false;
    int badInARow_ = 0;
    QHash<QByteArray, int> frames_; // reads with their positive answer's number of frames
    QSet<QByteArray> plainOnly_;    // reads whose answer came short or failed after the digit
    QSet<QByteArray> answered_;     // requests that got a positive answer
};

} // namespace velmoro
