// The value names of both families, and the filling of one value chooser.
#include "values/MeasurementLists.h"

#include "config/LanguageTexts.h"
#include "values/ValueCatalog.h"

#include <algorithm>

namespace velmoro {

namespace {

struct NamedEntry {
    int index;
    const char* key;
    const char* suffix;
};

struct UnnamedEntry {
    int index;
    const char* suffix;
};

const NamedEntry kNamed11mp[] = {
    {1, "Value_1", ""},          {2, "Value_1", " #"},        {3, "Value_5", " 1"},
    {4, "Value_5", " 2"},        {5, "Value_6", " 1"},        {6, "Value_6", " 2"},
    {8, "Value_32", " A"},       {9, "Value_32", " B"},       {10, "Value_32", " C"},
    {11, "Value_32", " D"},      {13, "Value_31", ""},        {14, "Value_7", " 1CF1"},
    {15, "Value_7", " 1CF2"},    {16, "Value_7", " 2CF1"},    {17, "Value_7", " 2CF2"},
    {18, "Value_3", " corr. 1"}, {19, "Value_3", " corr. 2"}, {20, "Value_3", " corr. 3"},
    {21, "Value_3", " corr. 4"}, {22, "Value_4", " R"},       {23, "Value_4", " F"},
    {28, "Value_3", ""},         {29, "Value_3", " 1"},       {30, "Value_3", " 2"},
    {31, "Value_3", " 3"},       {32, "Value_3", " 4"},       {33, "Value_2", " 1"},
    {34, "Value_2", " 2"},       {35, "Value_2", " 3"},       {36, "Value_2", " 4"},
    {37, "Value_24", " 1"},      {38, "Value_24", " 2"},      {39, "Value_9", " 1"},
    {40, "Value_9", " 2"},       {41, "Value_25", " 1"},      {42, "Value_25", " 2"},
    {45, "Value_17", " 1"},      {46, "Value_17", " 2"},      {64, "Value_4", " C1"},
    {65, "Value_4", " C2"},      {69, "Value_40", " 1"},      {70, "Value_40", " 2"},
    {75, "Value_26", ""},        {80, "Value_33", ""},        {82, "Value_7", ""},
    {83, "Value_34", ""},        {84, "Value_35", ""},        {85, "Value_36", ""},
    {88, "Value_37", ""},        {90, "Value_38", ""},        {91, "Value_39", ""},
    {94, "Value_41", ""},        {101, "Value_43", ""},       {102, "Value_44", ""},
    {103, "Value_45", ""},       {104, "Value_42", ""},       {105, "Value_29", ""},
    {106, "Value_30", ""},       {107, "Value_87", ""},
};

const UnnamedEntry kUnnamed11mp[] = {
    {7, "35"},   {12, "3A"},  {24, "46"},  {25, "47"}, {26, "48"}, {27, "49"},  {43, "59"},
    {44, "5A"},  {47, "5D"},  {48, "5E"},  {49, "5F"}, {50, "60"}, {51, "61"},  {52, "62"},
    {53, "63"},  {54, "64"},  {55, "65"},  {56, "66"}, {57, "67"}, {58, "68"},  {59, "69"},
    {60, "6A"},  {61, "6B"},  {62, "6C"},  {63, "6D"}, {66, "70"}, {67, "71"},  {68, "72"},
    {71, "75"},  {72, "76"},  {73, "77"},  {74, "78"}, {76, "7A"}, {77, "7B"},  {78, "7C"},
    {79, "7D"},  {81, "7F"},  {86, "84"},  {87, "85"}, {89, "87"}, {92, "8A"},  {93, "8B"},
    {95, "8D"},  {96, "8E"},  {97, "8F"},  {98, "90"}, {99, "91"}, {100, "92"}, {108, "9B"},
    {109, "9C"}, {110, "9D"}, {111, "9E"},
};

const char* const kNamedKeysMiug4[] = {
    "Value_1",  "Value_1",  "Value_28", "Value_5",  "Value_6",  "Value_7",  "Value_46", "Value_47",
    "Value_48", "Value_49", "Value_50", "Value_51", "Value_9",  "Value_78", "Value_79", "Value_52",
    "Value_53", "Value_54", "Value_55", "Value_56", "Value_57", "Value_4",  "Value_58", "Value_59",
    "Value_60", "Value_61", "Value_62", "Value_63", "Value_64", "Value_65", "Value_33", "Value_66",
    "Value_31", "Value_34", "Value_67", "Value_68", "Value_37", "Value_39", "Value_38", "Value_69",
    "Value_70", "Value_71", "Value_72", "Value_73", "Value_74", "Value_75", "Value_76",
};

// Entries 48..86 in order; entry k names the identifier reader k requests.
const char* const kUnnamedMiug4[] = {
    "3B", "3D", "3E", "3F", "40", "41", "42", "43", "44", "4D", "4E", "50", "51",
    "52", "54", "55", "56", "59", "5D", "5E", "5F", "64", "65", "66", "67", "68",
    "69", "6D", "6E", "6F", "70", "71", "73", "74", "77", "7B", "7C", "7D", "7F",
};

} // namespace

void BuildValueNames11mp(LanguageTexts& texts, QVector<QString>& names)
{
    names = QVector<QString>(kValueNames11mp);
    for (const NamedEntry& entry : kNamed11mp) {
        names[entry.index] = texts.Text(QLatin1String(entry.key)) + QLatin1String(entry.suffix);
    }
    const QString unknown = texts.Text(QStringLiteral("Unknown"));
    for (const UnnamedEntry& entry : kUnnamed11mp) {
        names[entry.index] = unknown + QLatin1Char(' ') + QLatin1String(entry.suffix);
    }
}

void BuildValueNamesMiug4(LanguageTexts& texts, QVector<QString>& names)
{
    names = QVector<QString>(kValueNamesMiug4);
    int index = 1;
    for (const char* key : kNamedKeysMiug4) {
        names[index] = texts.Text(QLatin1String(key));
        ++index;
    }
    names[2] += QStringLiteral(" #");
    const QString unknown = texts.Text(QStringLiteral("Unknown"));
    for (const char* suffix : kUnnamedMiug4) {
        names[index] = unknown + QLatin1Char(' ') + QLatin1String(suffix);
        ++index;
    }
}

void FillValueChooser(ValueChooser& chooser, MeasurementRow& row, const QVector<QString>& names,
                      int lastIndex, const QString& name, int position)
{
    chooser.entries.clear();
    chooser.selected = -1;
    const int last = std::min(lastIndex, static_cast<int>(names.size()) - 1);
    for (int i = 0; i <= last; ++i) {
        if (i != 0 && names[i].isEmpty()) {
            continue;
        }
        const int k = static_cast<int>(chooser.entries.size());
        chooser.entries.append({names[i], i});
        // The row stores the dispatcher index (item data) and a position names one: while
        // every name is present k equals i, but a language lacking a key leaves gaps, and then
        // an entry number would make the row read a different value than the one it names.
        const bool match = position != -1 ? i == position : names[i] == name;
        if (match) {
            chooser.selected = k;
            row.valueIndex = i;
        }
    }
    if (chooser.selected < 0) {
        chooser.selected = 0;
    }
}

} // namespace velmoro
