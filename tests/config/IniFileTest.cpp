// Tests of the INI reader and writer: lookup, number parsing, edits that keep the rest, bad input.
#include "config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

using namespace velmoro;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(IniFile, LookupIgnoresCaseAndLeadingBlanksButKeepsTheRest)
{
    IniFile ini;
    ini.SetContent("; head comment\n"
                   "orphan = before any section\n"
                   "[Settings]\n"
                   "Port = \t /dev/ttyUSB0\n"
                   "Empty =\n"
                   "Trailing = a b  \r\n"
                   "no equals sign here\n"
                   "  [ Modells ]  \n"
                   "Velmoro 850 = MIUG4, V2\n");
    EXPECT_EQ(ini.ReadString("settings", "PORT"), "/dev/ttyUSB0");
    EXPECT_EQ(ini.ReadString("SETTINGS", "empty", "x"), "");
    EXPECT_EQ(ini.ReadString("Settings", "Trailing"), "a b  ");
    EXPECT_EQ(ini.ReadString("Settings", "Missing", "absent"), "absent");
    EXPECT_EQ(ini.ReadString("Modells", "velmoro 850"), "MIUG4, V2");
    EXPECT_FALSE(ini.Contains("Settings", "orphan"));
    EXPECT_EQ(ini.SectionNames(), QStringList({"Settings", "Modells"}));
    EXPECT_EQ(ini.Entries("Settings").size(), 3);
}

TEST(IniFile, NumbersFollowLeadingIntegerAndFloatRules)
{
    IniFile ini;
    ini.SetContent("[S]\na = 42\nb = -7x\nc = +3\nd = abc\ne =\nf = 99999999999\ng = - 5\n"
                   "h = 1.5\ni = +Infinity\nj = -Infinity\nk = NaN\nl = 2.5e2mm\nm = x1\n"
                   "n = -1e999\n");
    EXPECT_EQ(ini.ReadInt("S", "a", 5), 42);
    EXPECT_EQ(ini.ReadInt("S", "b", 5), -7);
    EXPECT_EQ(ini.ReadInt("S", "c", 5), 3);
    EXPECT_EQ(ini.ReadInt("S", "d", 5), 0);
    EXPECT_EQ(ini.ReadInt("S", "e", 5), 0);
    EXPECT_EQ(ini.ReadInt("S", "f", 5), 2147483647);
    EXPECT_EQ(ini.ReadInt("S", "g", 5), 0);
    EXPECT_EQ(ini.ReadInt("S", "absent", 5), 5);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "h", 9), 1.5);
    EXPECT_TRUE(std::isinf(ini.ReadFloat("S", "i", 9)) && ini.ReadFloat("S", "i", 9) > 0);
    EXPECT_TRUE(std::isinf(ini.ReadFloat("S", "j", 9)) && ini.ReadFloat("S", "j", 9) < 0);
    EXPECT_TRUE(std::isnan(ini.ReadFloat("S", "k", 9)));
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "l", 9), 250.0);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "m", 9), 0.0);
    EXPECT_TRUE(std::isinf(ini.ReadFloat("S", "n", 9)) && ini.ReadFloat("S", "n", 9) < 0);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "absent", 9), 9.0);

    ini.WriteFloat("S", "h", 1.0);
    ini.WriteFloat("S", "i", -INFINITY);
    ini.WriteInt("S", "a", -12);
    EXPECT_EQ(ini.ReadString("S", "h"), "1.000000");
    EXPECT_EQ(ini.ReadString("S", "i"), "-Infinity");
    EXPECT_EQ(ini.ReadString("S", "a"), "-12");
}

TEST(IniFile, WritingOneKeyKeepsEveryOtherByte)
{
    const QByteArray original = "\xEF\xBB\xBF[Settings]\r\n"
                                "WindowX = 0\r\n"
                                "; a comment\r\n"
                                "Odd\tline  =  kept \xFF bytes\r\n"
                                "; \r\n"
                                "[Modells]\r\n"
                                "Velmoro 850 = MIUG4\r\n"
                                ";\r\n";
    IniFile ini;
    ini.SetContent(original);
    EXPECT_EQ(ini.ToBytes(), original);

    ini.WriteInt("settings", "windowx", 120);
    QByteArray expected = original;
    expected.replace("WindowX = 0", "windowx = 120");
    EXPECT_EQ(ini.ToBytes(), expected);

    // A new key goes after the last entry of its section, before the trailing comment.
    ini.WriteString("Settings", "Port", "COM3\r\nLanguage = injected");
    expected.replace("bytes\r\n; \r\n", "bytes\r\nPort = COM3  Language = injected\r\n; \r\n");
    EXPECT_EQ(ini.ToBytes(), expected);
    EXPECT_FALSE(ini.Contains("Settings", "Language"));

    ini.WriteString("Extra", "Key", "v");
    expected += "[Extra]\r\nKey = v\r\n";
    EXPECT_EQ(ini.ToBytes(), expected);
    EXPECT_EQ(ini.ReadString("Modells", "Velmoro 850"), "MIUG4");
}

TEST(IniFile, AcceptsLfWithoutBomAndWritesCrLfWithBom)
{
    IniFile ini;
    ini.SetContent("[A]\nk = 1\n[B]\r\nk = 2");
    EXPECT_EQ(ini.ReadInt("B", "k", 0), 2);
    ini.WriteInt("A", "n", 3);
    EXPECT_EQ(ini.ToBytes(), QByteArray("\xEF\xBB\xBF[A]\r\nk = 1\r\nn = 3\r\n[B]\r\nk = 2\r\n"));
}

TEST(IniFile, GarbageBinaryAndTruncatedFilesGiveAbsentValues)
{
    QByteArray binary;
    for (int i = 0; i < 70000; ++i) {
        binary.append(char((i * 7919) % 251));
    }
    const QByteArray cases[] = {
        binary,
        QByteArray("\0\0\0[Settings\0]\n=\n==\n[", 21),
        "[Settings]\nMaxWindow",
        "[Sett",
        "\xEF\xBB",
        "",
    };
    for (const QByteArray& bytes : cases) {
        IniFile ini;
        ini.SetContent(bytes);
        EXPECT_EQ(ini.ReadInt("Settings", "MaxWindow", 1), 1);
        EXPECT_EQ(ini.ReadString("Settings", "Language", "Deutsch"), "Deutsch");
        ini.WriteInt("Settings", "MaxWindow", 0);
        EXPECT_EQ(ini.ReadInt("Settings", "MaxWindow", 1), 0);
    }
}

TEST(IniFile, HugeFileIsCappedAndNeverSavedBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("huge.ini");
    QByteArray bytes = "[Settings]\nDebug = 1\n";
    bytes += QByteArray(IniFile::kMaxFileBytes, 'x');
    bytes += "\nLogging = 1\n";
    ASSERT_TRUE(WriteAll(path, bytes));

    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_TRUE(ini.IsTruncated());
    EXPECT_EQ(ini.ReadInt("Settings", "Debug", 0), 1);
    EXPECT_EQ(ini.ReadInt("Settings", "Logging", 0), 0);
    ini.WriteInt("Settings", "Debug", 0);
    EXPECT_FALSE(ini.Save(path));
    EXPECT_EQ(QFileInfo(path).size(), bytes.size());
}

TEST(IniFile, FailedSaveLeavesTheOldFileIntact)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("s.ini");
    ASSERT_TRUE(WriteAll(path, "[Settings]\nDebug = 0\n"));
    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    ini.WriteInt("Settings", "Debug", 1);

    // The file replaced by a directory: nothing may be written over it or into it.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(dir.path()).mkdir("s.ini"));
    ASSERT_TRUE(WriteAll(path + "/inside", "keep"));
    EXPECT_FALSE(ini.Save(path));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(ReadAll(path + "/inside"), QByteArray("keep"));
    EXPECT_FALSE(IniFile().Load(path));
}

TEST(IniFile, SaveIntoReadOnlyDirectoryFailsAndKeepsTheOldFile)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("s.ini");
    ASSERT_TRUE(WriteAll(path, "[Settings]\nDebug = 0\n"));
    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    ini.WriteInt("Settings", "Debug", 1);
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_FALSE(ini.Save(path));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(ReadAll(path), QByteArray("[Settings]\nDebug = 0\n"));
}

TEST(IniFile, SavedFileReadsBackTheSame)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("s.ini");
    IniFile ini;
    ini.SetContent("[Settings]\nPort = COM3\n; note\n[Deutsch]\nMenu_1 = Datei\n");
    ini.WriteString("Settings", "Modell", "Velmoro 850");
    // A value that begins with a byte-order mark character keeps it.
    ini.WriteString("Settings", "Odd", QString(QChar(0xFEFF)) + "Čx");
    ASSERT_TRUE(ini.Save(path));
    EXPECT_EQ(ReadAll(path), ini.ToBytes());

    IniFile back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.ReadString("Settings", "Modell"), "Velmoro 850");
    EXPECT_EQ(back.ReadString("Deutsch", "Menu_1"), "Datei");
    EXPECT_EQ(back.ReadString("Settings", "Odd"), QString(QChar(0xFEFF)) + "Čx");
    EXPECT_EQ(back.ToBytes(), ini.ToBytes());
}
