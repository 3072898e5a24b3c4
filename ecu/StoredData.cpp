// Stored data download of both families into a time-stamped binary file.
#include "ecu/StoredData.h"

#include <QFile>
#include <QFileInfo>

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
void SetAsideIncomplete(QFile& file)
{
    file.close();
    const QString part = file.fileName() + QStringLiteral(".part");
    QFile::remove(part);
    if (!file.rename(part))
        file.remove();
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

} // namespace

QString StoredDataFileName(const ProgramPaths& paths, const QDateTime& now, int family)
{
    return paths.directory + paths.baseName + QLatin1Char('_') + FileTimeStamp(now) +
           (family == Family11mp ? QStringLiteral("_11MP_StoredData.bin")
                                 : QStringLiteral("_MIUG4_StoredData.bin"));
}

int DownloadStoredDataMiug4(const ProcedureContext& ctx, ProcedureRecord& record)
{
    record.resultText = ProcedureResultText(*ctx.texts, kKey, false);
    record.fileName.clear();
    const ExchangeResult start = ctx.link->Exchange({0x31, 0x01, 0x02, 0x24});
    record.ending = EndingOf(start, start.result > 0);
    if (start.result <= 0)
        return 0;
    // A file that cannot be made or written counts as refused: the job did not do what it should.
    record.ending = JobEnding::Refused;
    const int blocks = start.d(1);
    QFile file(StoredDataFileName(ctx.paths, Now(ctx), FamilyMiug4));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    for (int i = 1; i <= blocks; ++i) {
        const ExchangeResult b =
            ctx.link->Exchange({0x31, 0x03, 0x02, 0x24, static_cast<std::uint8_t>(i)});
        if (b.result < 0) {
            SetAsideIncomplete(file);
            record.ending = JobEnding::CutShort;
            return 0;
        }
        if (b.result >= 4 && b.d(2) != 0xAA && !AppendData(file, b, 3, b.result - 1))
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

int DownloadStoredData11mp(const ProcedureContext& ctx, ProcedureRecord& record)
{
    record.resultText = ProcedureResultText(*ctx.texts, kKey, false);
    record.fileName.clear();
    const ExchangeResult start = ctx.link->Exchange({0x31, 0x24});
    record.ending = EndingOf(start, start.result == 2);
    if (start.result != 2)
        return 0;
    record.ending = JobEnding::Refused;
    const int blocks = start.d(0);
    QFile file(StoredDataFileName(ctx.paths, Now(ctx), Family11mp));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    for (int i = 1; i <= blocks; ++i) {
        const ExchangeResult b = ctx.link->Exchange({0x33, 0x24, static_cast<std::uint8_t>(i)});
        if (b.result < 0) {
            SetAsideIncomplete(file);
            record.ending = JobEnding::CutShort;
            return 0;
        }
        // The block's data without its first and its last data byte.
        if (b.result >= 3 && !AppendData(file, b, 1, b.result - 2))
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

} // namespace velmoro
