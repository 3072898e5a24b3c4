// Learning and reset procedures: reset of learned values, clearing of stored data, self-learning.
#include "ecu/Procedures.h"

#include "ecu/Actuators.h"

namespace velmoro {

namespace {

constexpr int kSelfLearningPolls = 20;
constexpr int kThrottleResultDelayMs = 500;

QString SelfLearningKey(int routineId)
{
    return routineId == 0x22 ? QStringLiteral("View_59") : QStringLiteral("View_60");
}

} // namespace

QString FileTimeStamp(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

QString ProcedureResultText(LanguageTexts& texts, const QString& key, bool ok)
{
    return texts.Text(key) + QStringLiteral(": ") +
           texts.Text(ok ? QStringLiteral("View_102") : QStringLiteral("View_103"));
}

int ResetLearnedValues(const ProcedureContext& ctx, int family, ProcedureRecord& record)
{
    const QString key = QStringLiteral("View_49");
    const ExchangeResult r = family == Family11mp ? ctx.link->Exchange({0x30, 0x7E, 0x04})
                                                  : ctx.link->Exchange({0x2F, 0x50, 0x7E, 0x01});
    record.resultText = ProcedureResultText(*ctx.texts, key, r.result == 2);
    record.ending = EndingOf(r, r.result == 2);
    return 0;
}

int ClearStoredData(const ProcedureContext& ctx, int family, ProcedureRecord& record)
{
    const QString key = QStringLiteral("View_69");
    const ExchangeResult r = family == Family11mp ? ctx.link->Exchange({0x14, 0xFF, 0x24})
                                                  : ctx.link->Exchange({0x14, 0xFF, 0x24, 0xFF});
    const bool ok = family == Family11mp ? r.result == 2 : r.result >= 1;
    record.resultText = ProcedureResultText(*ctx.texts, key, ok);
    record.ending = EndingOf(r, ok);
    return 0;
}

int ThrottleSelfLearningMiug4(const ProcedureContext& ctx, ProcedureRecord& record)
{
    const QString key = QStringLiteral("View_60");
    record.resultText = ctx.texts->Text(key) + QStringLiteral(": ");
    bool ok = false;
    // A start not sent, or a wait that a disconnect or quit ended, cuts the procedure short.
    record.ending = JobEnding::CutShort;
    const ExchangeResult start = ctx.link->Exchange({0x31, 0x01, 0x02, 0x21});
    // The ECU needs time to learn before its result means anything.
    if (start.result >= 0 && (!ctx.wait || ctx.wait(kThrottleResultDelayMs))) {
        const ExchangeResult r = ctx.link->Exchange({0x31, 0x03, 0x02, 0x21});
        ok = r.result == 2 && r.d(0) == 0x21 && r.d(1) == 0xFF;
        record.ending = EndingOf(r, ok);
    }
    record.resultText = ProcedureResultText(*ctx.texts, key, ok);
    return 0;
}

int StartSelfLearning11mp(const ProcedureContext& ctx, int routineId, ProcedureRecord& record)
{
    record.resultText = ctx.texts->Text(SelfLearningKey(routineId)) + QStringLiteral(": ");
    const ExchangeResult start = ctx.link->Exchange({0x31, static_cast<std::uint8_t>(routineId)});
    // The polls decide the ending; only a link that is gone ends it here.
    record.ending = start.result < 0 ? JobEnding::CutShort : JobEnding::Done;
    record.routineId = routineId;
    record.pollsLeft = kSelfLearningPolls;
    return 0;
}

int RoutineResult11mp(ExchangeLink& link, LanguageTexts& texts, ProcedureRecord& record)
{
    const ExchangeResult r = link.Exchange({0x33, static_cast<std::uint8_t>(record.routineId)});
    // Set rather than appended: an earlier failed poll has already written "Error" into the text.
    const bool ok = r.result >= 1;
    record.resultText = ProcedureResultText(texts, SelfLearningKey(record.routineId), ok);
    record.ending = EndingOf(r, ok);
    return ok ? 1 : 0;
}

} // namespace velmoro
