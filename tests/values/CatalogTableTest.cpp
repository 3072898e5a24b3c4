// Every dispatcher index of both families: the identifier it sends and the width it decodes.
#include "support/ScriptedLink.h"
#include "values/EnglishTexts.h"
#include "values/ValueCatalog.h"

#include <gtest/gtest.h>

namespace velmoro {
namespace {

enum class W { u8, s8, u16, s16, u32be, u32le, chars3, none };

struct Expected {
    int index;
    std::uint8_t hi;
    std::uint8_t lo;
    W width;
};

// rawValue after the answers 81 02 03 04 and 01 02 03 04 for each width.
std::pair<int, int> RawFor(W width)
{
    switch (width) {
    case W::u8:
        return {0x81, 0x01};
    case W::s8:
        return {-127, 1};
    case W::u16:
        return {0x8102, 0x0102};
    case W::s16:
        return {0x8102 - 65536, 0x0102};
    case W::u32be:
        return {-1, 0x01020304}; // top bit set counts as no answer
    case W::u32le:
        return {0x04030281 / 1000, 0x04030201 / 1000};
    case W::chars3:
    case W::none:
        return {-1, -1};
    }
    return {0, 0};
}

const Expected k11mp[] = {
    {1, 0x10, 0x30, W::u16},     {2, 0x10, 0x30, W::u16},      {3, 0x10, 0x31, W::u16},
    {4, 0x10, 0x32, W::u16},     {5, 0x10, 0x33, W::u16},      {6, 0x10, 0x34, W::u16},
    {7, 0x10, 0x35, W::u16},     {8, 0x10, 0x36, W::u16},      {9, 0x10, 0x37, W::u16},
    {10, 0x10, 0x38, W::u16},    {11, 0x10, 0x39, W::u16},     {12, 0x10, 0x3A, W::u16},
    {13, 0x10, 0x3B, W::u16},    {14, 0x10, 0x3C, W::u16},     {15, 0x10, 0x3D, W::u16},
    {16, 0x10, 0x3E, W::u16},    {17, 0x10, 0x3F, W::u16},     {18, 0x10, 0x40, W::u16},
    {19, 0x10, 0x41, W::u16},    {20, 0x10, 0x42, W::u16},     {21, 0x10, 0x43, W::u16},
    {22, 0x10, 0x44, W::u16},    {23, 0x10, 0x45, W::s16},     {24, 0x10, 0x46, W::s16},
    {25, 0x10, 0x47, W::s16},    {26, 0x10, 0x48, W::s16},     {27, 0x10, 0x49, W::u16},
    {28, 0x10, 0x4A, W::u16},    {29, 0x10, 0x4B, W::u16},     {30, 0x10, 0x4C, W::u16},
    {31, 0x10, 0x4D, W::u16},    {32, 0x10, 0x4E, W::u16},     {33, 0x10, 0x4F, W::u16},
    {34, 0x10, 0x50, W::u16},    {35, 0x10, 0x51, W::u16},     {36, 0x10, 0x52, W::u16},
    {37, 0x10, 0x53, W::u16},    {38, 0x10, 0x54, W::u16},     {39, 0x10, 0x55, W::u8},
    {40, 0x10, 0x56, W::u8},     {41, 0x10, 0x57, W::u16},     {42, 0x10, 0x58, W::u16},
    {43, 0x10, 0x59, W::u16},    {44, 0x10, 0x5A, W::u16},     {45, 0x10, 0x5B, W::u16},
    {46, 0x10, 0x5C, W::u16},    {47, 0x10, 0x5D, W::u8},      {48, 0x10, 0x5E, W::u8},
    {49, 0x10, 0x5F, W::u8},     {50, 0x10, 0x60, W::u8},      {51, 0x10, 0x61, W::u8},
    {52, 0x10, 0x62, W::u8},     {53, 0x10, 0x63, W::u16},     {54, 0x10, 0x64, W::u16},
    {55, 0x10, 0x65, W::u8},     {56, 0x10, 0x66, W::u8},      {57, 0x10, 0x67, W::u16},
    {58, 0x10, 0x68, W::u16},    {59, 0x10, 0x69, W::u16},     {60, 0x10, 0x6A, W::u16},
    {61, 0x10, 0x6B, W::u16},    {62, 0x10, 0x6C, W::u16},     {63, 0x10, 0x6D, W::u16},
    {64, 0x10, 0x6E, W::u16},    {65, 0x10, 0x6F, W::u16},     {66, 0x10, 0x70, W::u8},
    {67, 0x10, 0x71, W::u16},    {68, 0x10, 0x72, W::u16},     {69, 0x10, 0x73, W::u16},
    {70, 0x10, 0x74, W::u16},    {71, 0x10, 0x75, W::u16},     {72, 0x10, 0x76, W::u16},
    {73, 0x10, 0x77, W::u8},     {74, 0x10, 0x78, W::u8},      {75, 0x10, 0x79, W::u16},
    {76, 0x10, 0x7A, W::u16},    {77, 0x10, 0x7B, W::u16},     {78, 0x10, 0x7C, W::u16},
    {79, 0x10, 0x7D, W::u16},    {80, 0x10, 0x7E, W::u8},      {81, 0x10, 0x7F, W::u8},
    {82, 0x10, 0x80, W::u8},     {83, 0x10, 0x81, W::u8},      {84, 0x10, 0x82, W::u16},
    {85, 0x10, 0x83, W::u8},     {86, 0x10, 0x84, W::u8},      {87, 0x10, 0x85, W::u8},
    {88, 0x10, 0x86, W::u8},     {89, 0x10, 0x87, W::u8},      {90, 0x10, 0x88, W::u8},
    {91, 0x10, 0x89, W::u8},     {92, 0x10, 0x8A, W::u8},      {93, 0x10, 0x8B, W::u8},
    {94, 0x10, 0x8C, W::u8},     {95, 0x10, 0x8D, W::u8},      {96, 0x10, 0x8E, W::u8},
    {97, 0x10, 0x8F, W::u8},     {98, 0x10, 0x90, W::u8},      {99, 0x10, 0x91, W::u8},
    {100, 0x10, 0x92, W::u8},    {101, 0x10, 0x93, W::u8},     {102, 0x10, 0x94, W::u8},
    {103, 0x10, 0x95, W::u16},   {104, 0x10, 0x96, W::u8},     {105, 0x10, 0x97, W::u16},
    {106, 0x98, 0x10, W::u16},   {107, 0x10, 0x9A, W::chars3}, {108, 0x10, 0x9B, W::u8},
    {109, 0x10, 0x9C, W::u8},    {110, 0x10, 0x9D, W::u8},     {111, 0x10, 0x9E, W::u16},
    {112, 0x10, 0x9F, W::u32le}, {113, 0x10, 0xA0, W::u32le},  {114, 0x10, 0xA1, W::u8},
};

const Expected kMiug4[] = {
    {1, 0x10, 0x30, W::u16},  {2, 0x10, 0x30, W::u16},    {3, 0x10, 0x31, W::u16},
    {4, 0x10, 0x32, W::u16},  {5, 0x10, 0x33, W::u16},    {6, 0x10, 0x34, W::u16},
    {7, 0x10, 0x35, W::u16},  {8, 0x10, 0x36, W::u16},    {9, 0x10, 0x37, W::u16},
    {10, 0x10, 0x38, W::u16}, {11, 0x10, 0x39, W::u16},   {12, 0x10, 0x3A, W::u16},
    {13, 0x10, 0x3C, W::u16}, {14, 0x10, 0x63, W::u16},   {15, 0x10, 0x53, W::u16},
    {16, 0x10, 0x45, W::s16}, {17, 0x10, 0x46, W::s16},   {18, 0x10, 0x47, W::s16},
    {19, 0x10, 0x48, W::s16}, {20, 0x10, 0x5A, W::s16},   {21, 0x10, 0x5B, W::s16},
    {22, 0x10, 0x60, W::u16}, {23, 0x10, 0x6A, W::u16},   {24, 0x10, 0x6B, W::u16},
    {25, 0x10, 0x6C, W::u16}, {26, 0x10, 0x72, W::u16},   {27, 0x10, 0x49, W::u8},
    {28, 0x10, 0x4A, W::u8},  {29, 0x10, 0x4B, W::u8},    {30, 0x10, 0x4C, W::u8},
    {31, 0x10, 0x57, W::u8},  {32, 0x10, 0x58, W::u16},   {33, 0x10, 0x5C, W::u8},
    {34, 0x10, 0x61, W::u16}, {35, 0x10, 0x62, W::u8},    {36, 0x10, 0x75, W::u8},
    {37, 0x10, 0x76, W::u8},  {38, 0x10, 0x78, W::u8},    {39, 0x10, 0x79, W::u8},
    {40, 0x10, 0x7A, W::u8},  {41, 0x10, 0x7E, W::u8},    {42, 0x10, 0x49, W::u8},
    {43, 0x10, 0x4A, W::u8},  {44, 0x10, 0x4B, W::u8},    {45, 0x10, 0x4C, W::u8},
    {46, 0x10, 0x4B, W::u8},  {47, 0x10, 0x4C, W::u8},    {48, 0x10, 0x3B, W::u8},
    {49, 0x10, 0x3D, W::s8},  {50, 0x10, 0x3E, W::u8},    {51, 0x10, 0x3F, W::u16},
    {52, 0x10, 0x40, W::u16}, {53, 0x10, 0x41, W::u16},   {54, 0x10, 0x42, W::u16},
    {55, 0x10, 0x43, W::u16}, {56, 0x10, 0x44, W::u16},   {57, 0x10, 0x4D, W::u8},
    {58, 0x10, 0x4E, W::u8},  {59, 0x10, 0x50, W::u8},    {60, 0x10, 0x51, W::u8},
    {61, 0x10, 0x52, W::u16}, {62, 0x10, 0x54, W::u16},   {63, 0x10, 0x55, W::u16},
    {64, 0x10, 0x56, W::u8},  {65, 0x10, 0x59, W::u8},    {66, 0x10, 0x5D, W::u16},
    {67, 0x10, 0x5E, W::u16}, {68, 0x10, 0x5F, W::u16},   {69, 0x10, 0x64, W::u16},
    {70, 0x10, 0x65, W::u8},  {71, 0x10, 0x66, W::u8},    {72, 0x10, 0x67, W::u16},
    {73, 0x10, 0x68, W::u16}, {74, 0x10, 0x69, W::u16},   {75, 0x10, 0x6D, W::u16},
    {76, 0x10, 0x6E, W::u8},  {77, 0x10, 0x6F, W::u8},    {78, 0x10, 0x70, W::u8},
    {79, 0x10, 0x71, W::u8},  {80, 0x10, 0x73, W::u32be}, {81, 0x10, 0x74, W::u8},
    {82, 0x10, 0x77, W::u8},  {83, 0x10, 0x7B, W::u8},    {84, 0x10, 0x7C, W::u8},
    {85, 0x10, 0x7D, W::u8},  {86, 0x00, 0x00, W::none},
};

template <std::size_t N>
void CheckFamily(const Expected (&table)[N], int (*dispatcher)(ReaderContext&, MeasurementRow&),
                 bool (*identifier)(int, std::uint8_t&, std::uint8_t&))
{
    test::ScriptedLink link;
    LanguageTexts texts;
    test::SetEnglishTexts(texts);
    float smoothing = 0.0f;
    ReaderContext ctx{link, texts, smoothing};
    ASSERT_EQ(N, table[N - 1].index);
    for (const Expected& e : table) {
        SCOPED_TRACE(e.index);
        const auto [rawA, rawB] = RawFor(e.width);
        const char* probes[] = {"81020304", "01020304"};
        const int raws[] = {rawA, rawB};
        for (int p = 0; p < 2; ++p) {
            link.ClearRequests();
            link.Queue(probes[p]);
            MeasurementRow row;
            row.valueIndex = e.index;
            dispatcher(ctx, row);
            if (e.width == W::none) {
                EXPECT_TRUE(link.Requests().isEmpty());
                link.Exchange({0x3E}); // consume the unused answer
                continue;
            }
            ASSERT_EQ(link.Requests().size(), 1);
            const QByteArray expected{"\x22", 1};
            EXPECT_EQ(link.Requests()[0], expected + char(e.hi) + char(e.lo));
            EXPECT_EQ(row.rawValue, raws[p]) << "probe " << p;
        }
        std::uint8_t hi = 0;
        std::uint8_t lo = 0;
        EXPECT_EQ(identifier(e.index, hi, lo), e.width != W::none);
        if (e.width != W::none) {
            EXPECT_EQ(hi, e.hi);
            EXPECT_EQ(lo, e.lo);
        }
    }
}

TEST(CatalogTable, Every11mpIndexSendsItsIdentifierAndDecodesItsWidth)
{
    CheckFamily(k11mp, ValueDispatcher11mp, ValueIdentifier11mp);
}

TEST(CatalogTable, EveryMiug4IndexSendsItsIdentifierAndDecodesItsWidth)
{
    CheckFamily(kMiug4, ValueDispatcherMiug4, ValueIdentifierMiug4);
}

} // namespace
} // namespace velmoro
