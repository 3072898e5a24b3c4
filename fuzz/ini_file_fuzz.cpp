// Fuzz target: the settings-file reader, its edits, and language loading from such a file.
#include "config/IniFile.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool SameName(const QString& a, const QString& b)
{
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// Every section name with its entries, in file order.
QVector<QPair<QString, velmoro::IniEntries>> Snapshot(const velmoro::IniFile& ini)
{
    QVector<QPair<QString, velmoro::IniEntries>> all;
    for (const QString& name : ini.SectionNames()) {
        all.append({name, ini.Entries(name)});
    }
    return all;
}

QString& FuzzDirectory()
{
    static QString directory;
    return directory;
}

void RemoveFuzzDirectory()
{
    QDir(FuzzDirectory()).removeRecursively();
}

velmoro::ProgramPaths FuzzPaths()
{
    // On a RAM disk where there is one: saving the settings file syncs it to disk each time.
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    FuzzDirectory() = base + QStringLiteral("/velmoro-fuzz-%1/").arg(getpid());
    QDir().mkpath(FuzzDirectory());
    std::atexit(RemoveFuzzDirectory);
    velmoro::ProgramPaths paths;
    paths.directory = FuzzDirectory();
    paths.baseName = QStringLiteral("Fuzz");
    return paths;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    velmoro::IniFile ini;
    ini.SetContent(bytes);
    const auto before = Snapshot(ini);
    for (const auto& section : before) {
        // Each lookup scans the section, so a few entries per section keep the run linear.
        for (int i = 0; i < section.second.size() && i < 4; ++i) {
            const auto& entry = section.second[i];
            Check(ini.Contains(section.first, entry.first));
            ini.ReadInt(section.first, entry.first, 0);
            ini.ReadFloat(section.first, entry.first, 0.0);
        }
    }

    // What is written reads back as the same sections and entries.
    velmoro::IniFile reread;
    reread.SetContent(ini.ToBytes());
    Check(Snapshot(reread) == before);

    // An edit changes its own entry and nothing in any other section; line breaks in the value
    // cannot add lines.
    QString value = QString::fromUtf8(bytes.left(40));
    ini.WriteString(QStringLiteral("Settings"), QStringLiteral("FuzzKey"), value);
    QString expected = value;
    expected.replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
    while (!expected.isEmpty() &&
           (expected[0] == QLatin1Char(' ') || expected[0] == QLatin1Char('\t'))) {
        expected.remove(0, 1);
    }
    Check(ini.ReadString(QStringLiteral("Settings"), QStringLiteral("FuzzKey")) == expected);
    const auto after = Snapshot(ini);
    for (const auto& section : before) {
        if (SameName(section.first, QStringLiteral("Settings"))) {
            continue;
        }
        Check(ini.Entries(section.first) == section.second);
    }
    Check(after.size() >= before.size());

    // Language loading and section enumeration from the same bytes on disk. Loading a file costs
    // tens of milliseconds under the sanitizers, so only a fixed 1/256 of the inputs take
    // this road; the parsing behind it is the in-memory one above.
    if (qHash(bytes, 0) % 256 != 0) {
        return 0;
    }
    static const velmoro::ProgramPaths paths = FuzzPaths();
    {
        QFile file(paths.SettingsFile());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return 0;
        }
        file.write(bytes);
    }
    const QStringList languages = velmoro::LanguageSectionNames(paths);
    for (const QString& name : languages) {
        Check(!SameName(name, QStringLiteral("Settings")) &&
              !SameName(name, QStringLiteral("Modells")));
    }
    velmoro::LanguageTexts texts;
    if (!languages.isEmpty() && velmoro::LoadLanguage(paths, languages.first(), texts)) {
        // Recording the chosen language must not add or lose a language section.
        Check(velmoro::LanguageSectionNames(paths) == languages);
    }
    return 0;
}
