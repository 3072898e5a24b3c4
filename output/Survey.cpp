// The read-all survey file and its step logic.
#include "output/Survey.h"

#include "ecu/Procedures.h"
#include "link/AnswerParser.h"

namespace velmoro {

namespace {

// The low byte of value as two hex digits.
QString HexByte(int value)
{
    return QString::fromLatin1(Hex2(static_cast<std::uint8_t>(value & 0xFF)));
}

} // namespace

QString SurveyFileName(const ProgramPaths& paths, const QDateTime& now)
{
    return paths.directory + QStringLiteral("TestResultate_") + FileTimeStamp(now) +
           QStringLiteral(".log");
}

QString SurveyStepLine(int nn, const ExchangeResult& result)
{
    QString line = QStringLiteral("Tx: ") + HexByte(nn) + QStringLiteral(" Rx:");
    if (result.result == 0)
        return line + QStringLiteral(" not available");
    const int count = std::min(result.result, kResponseBufferSize - 1);
    for (int i = 0; i < count; ++i)
        line += QLatin1Char(' ') + HexByte(result.d(i));
    return line;
}

QString SurveyCutShortLine(LanguageTexts& texts, int nn)
{
    return TextOrEnglish(texts, QStringLiteral("Job_1")).arg(QStringLiteral("0x10") + HexByte(nn));
}

QString SurveyButtonText(LanguageTexts& texts, int counter)
{
    return texts.Text(QStringLiteral("View_23")) + QStringLiteral(": 0x") + HexByte(counter);
}

bool SurveyFile::Open(const ProgramPaths& paths, const LinkSettings& link, const QDateTime& now)
{
    return OpenAt(SurveyFileName(paths, now), link);
}

bool SurveyFile::OpenAt(const QString& fileName, const LinkSettings& link)
{
    std::lock_guard lock(mutex_);
    if (file_.isOpen())
        file_.close();
    file_.setFileName(fileName);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool ok = WriteLine(QStringLiteral("VelmoroCanDiag V0.02")) &&
                    WriteLine(QStringLiteral("Bike: ") + link.model) &&
                    WriteLine(QStringLiteral("ECU: ") + link.ecuId) && WriteLine(QString());
    if (!ok)
        file_.close();
    return ok;
}

void SurveyFile::WriteStep(int nn, const ExchangeResult& result)
{
    std::lock_guard lock(mutex_);
    if (file_.isOpen())
        WriteLine(SurveyStepLine(nn, result));
}

bool SurveyFile::Finish(qint64 elapsedMs)
{
    std::lock_guard lock(mutex_);
    if (!file_.isOpen())
        return false;
    bool ok = WriteLine(QString()) && WriteLine(QStringLiteral("Needed: ") +
                                                QString::number(elapsedMs) + QStringLiteral("ms"));
    file_.close();
    return ok && file_.error() == QFileDevice::NoError;
}

bool SurveyFile::CutShort(const QString& line)
{
    std::lock_guard lock(mutex_);
    if (!file_.isOpen())
        return false;
    const bool ok = WriteLine(QString()) && WriteLine(line);
    file_.close();
    return ok && file_.error() == QFileDevice::NoError;
}

bool SurveyFile::IsOpen() const
{
    std::lock_guard lock(mutex_);
    return file_.isOpen();
}

QString SurveyFile::FileName() const
{
    std::lock_guard lock(mutex_);
    return file_.fileName();
}

bool SurveyFile::WriteLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + "\r\n";
    return file_.write(bytes) == bytes.size();
}

bool RunSurveyStep(ExchangeLink& link, SurveyFile& file, int nn)
{
    const ExchangeResult result = link.Exchange({0x22, 0x10, static_cast<std::uint8_t>(nn)});
    if (result.result < 0)
        return false;
    file.WriteStep(nn, result);
    return true;
}

bool SurveyState::Start(const ProgramPaths& paths, const LinkSettings& link, const QDateTime& now,
                        qint64 nowMs)
{
    return StartAt(SurveyFileName(paths, now), link, nowMs);
}

bool SurveyState::StartAt(const QString& fileName, const LinkSettings& link, qint64 nowMs)
{
    if (!file.OpenAt(fileName, link))
        return false;
    counter = 0;
    end = kSurveyEnd;
    startMs = nowMs;
    return true;
}

int SurveyState::NextStep(qint64 nowMs)
{
    if (!file.IsOpen())
        return kIdle;
    if (counter >= end) {
        file.Finish(nowMs - startMs);
        return kFinished;
    }
    return counter++;
}

bool SurveyState::CutShort(LanguageTexts& texts, int nn)
{
    return file.CutShort(SurveyCutShortLine(texts, nn));
}

} // namespace velmoro
