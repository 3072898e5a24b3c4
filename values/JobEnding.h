// How a job with the ECU ended: done, refused by the ECU, left unanswered, or cut short.
#pragma once

#include "link/Exchange.h"

#include <QMetaType>
#include <cstdint>

namespace velmoro {

enum class JobEnding {
    Done,     // the ECU answered as asked (an answer without data is still an answer)
    Refused,  // the ECU answered, but with a negative answer or not with what was asked
    NoAnswer, // nothing came back from the ECU (time-out, adapter message)
    CutShort, // the link ended, or Disconnect or Quit came, before the job had finished
};

// The ending of one request: `accepted` says whether its answer is what the job wanted.
//   accepted                                  -> Done
//   result < 0 (link down, stopped)           -> CutShort
//   answer 7F .. or an answer not accepted    -> Refused
//   no answer bytes at all                    -> NoAnswer
inline JobEnding EndingOf(const ExchangeResult& r, bool accepted)
{
    if (r.result < 0)
        return JobEnding::CutShort;
    if (accepted)
        return JobEnding::Done;
    return r.answerBytes.isEmpty() ? JobEnding::NoAnswer : JobEnding::Refused;
}

// The ECU answered with anything but a negative answer (7F ..).
inline bool PositiveAnswer(const ExchangeResult& r)
{
    return !r.answerBytes.isEmpty() && static_cast<std::uint8_t>(r.answerBytes[0]) != 0x7F;
}

// The first ending that is not Done, in the order the requests were sent.
inline JobEnding WorstOf(JobEnding first, JobEnding then)
{
    return first != JobEnding::Done ? first : then;
}

} // namespace velmoro

Q_DECLARE_METATYPE(velmoro::JobEnding)
