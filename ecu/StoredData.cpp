// Stored data download of both families into a time-stamped binary file.
#include "ecu/StoredData.h"

#include <QFile>
#include <QFileInfo>
#include <functional>
#include <utility>

namespace velmoro {

namespace {

const QString kKey = QStringLiteral("View_68");

QString SuccessText(LanguageTexts& texts, const QString& fileName)
{
    return ProcedureResultText(texts, kKey, true) + QLatin1Char('\n') +
           QFileInfo(fileName).fileName();
}

QDateTime Now(const ProcedureContext& ctx)
{
    return ctx.now ? ctx.now() : QDateTime::currentDateTime();
}

// A download the link cut short keeps what arrived, under a name that says it is not complete.
// Returns that name; empty when the file could not be renamed and was removed.
QString SetAsideIncomplete(QFile& file)
{
    file.close();
    const QString part = file.fileName() + QStringLiteral(".part");
    QFile::remove(part);
    if (file.rename(part))
        return part;
    file.remove();
    return {};
}

// Appends data bytes first..last (inclusive) of an answer.
bool AppendData(QFile& file, const ExchangeResult& r, int first, int last)
{
    if (last < first)
        return true;
    const auto* data =
        reinterpret_cast<const char*>(&r.response[static_cast<std::size_t>(1 + first)]);
    const qint64 size = last - first + 1;
    return file.write(data, size) == size;
}

// Opens a new file <directory><base name>_<stamp>, then the family's ending, never over one that
// is there already: when another run wrote one of that name in the same second, "_2", "_3" ...
// follows the stamp. The file's name is the one opened; false when none could be made.
bool OpenStoredDataFile(QFile& file, const ProcedureContext& ctx, int family)
{
    constexpr int kMostTries = 99;
    const QString head =
        ctx.paths.directory + ctx.paths.baseName + QLatin1Char('_') + FileTimeStamp(Now(ctx));
    const QString tail = family == Family11mp ? QStringLiteral("_11MP_StoredData.bin")
                                              : QStringLiteral("_MIUG4_StoredData.bin");
    for (int n = 1; n <= kMostTries; ++n) {
        file.setFileName(n == 1 ? head + tail
                                : head + QLatin1Char('_') + QString::number(n) + tail);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!file.exists())
            return false;
    }
    return false;
}

// How a family hands out its stored data: the answer to the start request tells how many
// blocks follow, each block is asked for by its number, and its data lies between two indexes
// of the answer (an empty range adds nothing).
struct DownloadSteps {
    int family;
    std::function<ExchangeResult()> start;
    std::function<bool(const ExchangeResult&)> started;
    std::function<int(const ExchangeResult&)> blocks;
    std::function<ExchangeResult(std::uint8_t block)> block;
    std::function<std::pair<int, int>(const ExchangeResult&)> data;
};

int Download(const ProcedureContext& ctx, ProcedureRecord& record, const DownloadSteps& steps)
{
    record.resultText = ProcedureResultText(*ctx.texts, kKey, false);
    record.fileName.clear();
    const ExchangeResult start = steps.start();
    const bool started = steps.started(start);
    record.ending = EndingOf(start, started);
    if (!started)
        return 0;
    // A file that cannot be made or written counts as refused: the job did not do what it should.
    record.ending = JobEnding::Refused;
    const int blocks = steps.blocks(start);
    QFile file;
    if (!OpenStoredDataFile(file, ctx, steps.family))
        return 0;
    for (int i = 1; i <= blocks; ++i) {
        const ExchangeResult b = steps.block(static_cast<std::uint8_t>(i));
        if (b.result < 0) {
            record.fileName = SetAsideIncomplete(file);
            record.ending = JobEnding::CutShort;
            return 0;
        }
        const auto [first, last] = steps.data(b);
        if (!AppendData(file, b, first, last))
            return 0;
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        return 0;
    record.resultText = SuccessText(*ctx.texts, file.fileName());
    record.fileName = file.fileName();
    record.ending = JobEnding::Done;
    return 0;
}

constexpr std::pair<int, int> kNoData{1, 0};

} // namespace

int DownloadStoredDataMiug4(const ProcedureContext& ctx, ProcedureRecord& record)
{
    ExchangeLink& link = *ctx.link;
    return Download(
        ctx, record,
        {FamilyMiug4,
         [&] {
             return link.Exchange({0x31, 0x01, 0x02, 0x24});
         },
         [](const ExchangeResult& r) { return r.result > 0; },
         [](const ExchangeResult& r) { return static_cast<int>(r.d(1)); },
         [&](std::uint8_t i) {
             return link.Exchange({0x31, 0x03, 0x02, 0x24, i});
         },
         // A block marked 0xAA carries no data.
         [](const ExchangeResult& b) {
             return b.result >= 4 && b.d(2) != 0xAA ? std::pair{3, b.result - 1} : kNoData;
         }});
}

int DownloadStoredData11mp(const ProcedureContext& ctx, ProcedureRecord& record)
{
    ExchangeLink& link = *ctx.link;
    return Download(ctx, record,
                    {Family11mp,
                     [&] {
                         return link.Exchange({0x31, 0x24});
                     },
                     [](const ExchangeResult& r) { return r.result == 2; },
                     [](const ExchangeResult& r) { return static_cast<int>(r.d(0)); },
                     [&](std::uint8_t i) {
                         return link.Exchange({0x33, 0x24, i});
                     },
                     // The block's data without its first and its last data byte.
                     [](const ExchangeResult& b) {
                         return b.result >= 3 ? std::pair{1, b.result - 2} : kNoData;
                     }});
}

} // namespace velmoro
