// The simulated ECUs: an engine model, the identifier tables of both families and their services.
// Longer than our other files on purpose: a third of it is the two identifier tables, kept in one
// file with the engine model that fills them and the services that read them.
#include "sim/SimulatedEcu.h"

#include "sim/Simulator.h"

#include <algorithm>
#include <cmath>

namespace velmoro {

namespace {

constexpr double kPi = 3.14159265358979323846;

enum class Width { U8, S8, U16, S16, U32, U32Le, Chars3, StatusBlock };

using ValueFn = double (*)(const EngineSnapshot&);

struct Identifier {
    std::uint8_t low;
    Width width;
    ValueFn value;
};

// Negative response codes used by the simulated ECUs.
constexpr std::uint8_t kNrcSubFunction = 0x12;
constexpr std::uint8_t kNrcLength = 0x13;
constexpr std::uint8_t kNrcConditions = 0x22;
constexpr std::uint8_t kNrcSequence = 0x24;
constexpr std::uint8_t kNrcOutOfRange = 0x31;
constexpr std::uint8_t kNrcNotSupported = 0x11;
constexpr std::uint8_t kNrcNotInSession = 0x7F;

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes) {
        out.append(static_cast<char>(b & 0xFF));
    }
    return out;
}

QByteArray Negative(std::uint8_t service, std::uint8_t code)
{
    return Bytes({0x7F, service, code});
}

std::uint8_t At(const QByteArray& bytes, int i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

double Clamp(double v, double lo, double hi)
{
    return std::min(hi, std::max(lo, v));
}

// Throttle sensor reading 0..1023 for 0..5 V.
double TpsRaw(const EngineSnapshot& e)
{
    return Clamp(102 + e.throttleDeg * 20, 0, 1023);
}

// Values of the 0x10xx identifiers (the MIUG4 scale of every catalogue entry).
const Identifier kMiug4Identifiers[] = {
    {0x30, Width::U16, [](const EngineSnapshot& e) -> double { return e.rpm; }},
    {0x31, Width::U16, [](const EngineSnapshot& e) -> double { return e.intakeMbar; }},
    {0x32, Width::U16, [](const EngineSnapshot& e) -> double { return e.airTempC + 40; }},
    {0x33, Width::U16, [](const EngineSnapshot& e) -> double { return e.engineTempC + 40; }},
    {0x34, Width::U16, [](const EngineSnapshot& e) -> double { return e.throttleDeg * 10; }},
    {0x35, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10; }},
    {0x36, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10 + 3; }},
    {0x37, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10 - 2; }},
    {0x38, Width::U16, [](const EngineSnapshot& e) -> double { return e.injectionMs * 500; }},
    {0x39, Width::U16, [](const EngineSnapshot& e) -> double { return e.injectionMs * 500 + 10; }},
    {0x3A, Width::U16, [](const EngineSnapshot&) -> double { return 1150.0; }},
    {0x3C, Width::U16, [](const EngineSnapshot& e) -> double { return e.batteryV * 10; }},
    {0x3D, Width::S8, [](const EngineSnapshot&) -> double { return -2.0; }},
    {0x3F, Width::U16, [](const EngineSnapshot&) -> double { return 512.0; }},
    {0x40, Width::U16, [](const EngineSnapshot&) -> double { return 100.0; }},
    {0x41, Width::U16, [](const EngineSnapshot&) -> double { return 200.0; }},
    {0x42, Width::U16, [](const EngineSnapshot&) -> double { return 300.0; }},
    {0x43, Width::U16, [](const EngineSnapshot&) -> double { return 400.0; }},
    {0x44, Width::U16, [](const EngineSnapshot&) -> double { return 1000.0; }},
    {0x45, Width::S16, [](const EngineSnapshot& e) -> double { return e.lambdaMv; }},
    {0x46, Width::S16, [](const EngineSnapshot& e) -> double { return 900 - e.lambdaMv; }},
    {0x47, Width::S16, [](const EngineSnapshot& e) -> double { return (e.lambdaMv - 450) / 20; }},
    {0x48, Width::S16, [](const EngineSnapshot& e) -> double { return (450 - e.lambdaMv) / 25; }},
    {0x49, Width::U8, [](const EngineSnapshot& e) -> double { return e.warm ? 0x02 : 0x00; }},
    {0x4A, Width::U8, [](const EngineSnapshot& e) -> double { return e.warm ? 0x02 : 0x00; }},
    {0x4B, Width::U8,
     [](const EngineSnapshot& e) -> double {
         return (e.warm ? 0x04 : 0) | (e.lambdaMv > 450 ? 0x02 : 0);
     }},
    {0x4C, Width::U8,
     [](const EngineSnapshot& e) -> double {
         return (e.warm ? 0x04 : 0) | (e.lambdaMv < 450 ? 0x02 : 0);
     }},
    {0x4F, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x52, Width::U16, [](const EngineSnapshot&) -> double { return 250.0; }},
    {0x53, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x54, Width::U16, [](const EngineSnapshot&) -> double { return 60.0; }},
    {0x55, Width::U16, [](const EngineSnapshot&) -> double { return 70.0; }},
    {0x57, Width::U8,
     [](const EngineSnapshot& e) -> double {
         return (e.rpm > 300 ? 0x01 : 0) | (e.warm ? 0x04 : 0) | (e.revving ? 0x08 : 0);
     }},
    {0x58, Width::U16,
     [](const EngineSnapshot& e) -> double {
         return e.runSeconds < 2 ? 1.0 : (e.runSeconds < 8 || e.revving ? 2.0 : 5.0);
     }},
    {0x5A, Width::S16, [](const EngineSnapshot&) -> double { return 12.0; }},
    {0x5B, Width::S16, [](const EngineSnapshot&) -> double { return -8.0; }},
    {0x5C, Width::U8, [](const EngineSnapshot&) -> double { return 0x10; }},
    {0x5D, Width::U16, [](const EngineSnapshot&) -> double { return 100.0; }},
    {0x5E, Width::U16, [](const EngineSnapshot&) -> double { return 200.0; }},
    {0x5F, Width::U16, [](const EngineSnapshot&) -> double { return 300.0; }},
    {0x60, Width::U16, [](const EngineSnapshot&) -> double { return 1013.0; }},
    {0x61, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x62, Width::U8, [](const EngineSnapshot& e) -> double { return e.warm ? 0x03 : 0x01; }},
    {0x63, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x64, Width::U16, [](const EngineSnapshot&) -> double { return 42.0; }},
    {0x67, Width::U16, [](const EngineSnapshot& e) -> double { return e.engineTempC + 35; }},
    {0x68, Width::U16, [](const EngineSnapshot& e) -> double { return e.airTempC + 40; }},
    {0x69, Width::U16, [](const EngineSnapshot& e) -> double { return e.engineTempC + 43; }},
    {0x6A, Width::U16, [](const EngineSnapshot& e) -> double { return e.throttleDeg * 10 + 5; }},
    {0x6B, Width::U16, [](const EngineSnapshot&) -> double { return 120.0; }},
    {0x6C, Width::U16, [](const EngineSnapshot&) -> double { return 118.0; }},
    {0x6D, Width::U16, [](const EngineSnapshot&) -> double { return 500.0; }},
    {0x72, Width::U16, [](const EngineSnapshot&) -> double { return 1234.0; }},
    {0x73, Width::U32, [](const EngineSnapshot&) -> double { return 123456.0; }},
    {0x74, Width::StatusBlock, nullptr},
    {0x75, Width::U8, [](const EngineSnapshot&) -> double { return 1.0; }},
    {0x76, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x78, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x79, Width::U8, [](const EngineSnapshot&) -> double { return 1.0; }},
    {0x7A, Width::U8, [](const EngineSnapshot&) -> double { return 1.0; }},
    {0x7E, Width::U8, [](const EngineSnapshot& e) -> double { return e.rpm > 300 ? 1.0 : 0.0; }},
};

const Identifier kMp11Identifiers[] = {
    {0x30, Width::U16, [](const EngineSnapshot& e) -> double { return e.rpm; }},
    {0x31, Width::U16, [](const EngineSnapshot& e) -> double { return e.airTempC + 40; }},
    {0x32, Width::U16, [](const EngineSnapshot& e) -> double { return e.airTempC + 41; }},
    {0x33, Width::U16, [](const EngineSnapshot& e) -> double { return e.engineTempC + 40; }},
    {0x34, Width::U16, [](const EngineSnapshot& e) -> double { return e.engineTempC + 41; }},
    {0x35, Width::U16, [](const EngineSnapshot&) -> double { return 120.0; }},
    {0x36, Width::U16, [](const EngineSnapshot& e) -> double { return TpsRaw(e); }},
    {0x37, Width::U16, [](const EngineSnapshot& e) -> double { return 1023 - TpsRaw(e); }},
    {0x38, Width::U16, [](const EngineSnapshot& e) -> double { return TpsRaw(e) + 2; }},
    {0x39, Width::U16, [](const EngineSnapshot& e) -> double { return 1021 - TpsRaw(e); }},
    {0x3A, Width::U16, [](const EngineSnapshot&) -> double { return 17.0; }},
    {0x3B, Width::U16, [](const EngineSnapshot&) -> double { return 500.0; }},
    {0x3C, Width::U16, [](const EngineSnapshot& e) -> double { return TpsRaw(e); }},
    {0x3D, Width::U16, [](const EngineSnapshot& e) -> double { return 1023 - TpsRaw(e); }},
    {0x3E, Width::U16, [](const EngineSnapshot& e) -> double { return TpsRaw(e) + 3; }},
    {0x3F, Width::U16, [](const EngineSnapshot& e) -> double { return 1020 - TpsRaw(e); }},
    {0x40, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x41, Width::U16, [](const EngineSnapshot&) -> double { return 5.0; }},
    {0x42, Width::U16, [](const EngineSnapshot&) -> double { return 10.0; }},
    {0x43, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x44, Width::U16, [](const EngineSnapshot& e) -> double { return e.intakeMbar; }},
    {0x45, Width::S16, [](const EngineSnapshot&) -> double { return 1013.0; }},
    {0x46, Width::S16, [](const EngineSnapshot&) -> double { return -5.0; }},
    {0x47, Width::S16, [](const EngineSnapshot&) -> double { return 7.0; }},
    {0x48, Width::S16, [](const EngineSnapshot&) -> double { return 980.0; }},
    {0x49, Width::U16, [](const EngineSnapshot&) -> double { return 990.0; }},
    {0x4A, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10; }},
    {0x4B, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10 + 1; }},
    {0x4C, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10 + 2; }},
    {0x4D, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10 + 3; }},
    {0x4E, Width::U16, [](const EngineSnapshot& e) -> double { return e.advanceDeg * 10 + 4; }},
    {0x4F, Width::U16, [](const EngineSnapshot& e) -> double { return e.injectionMs * 200; }},
    {0x50, Width::U16, [](const EngineSnapshot& e) -> double { return e.injectionMs * 200 + 2; }},
    {0x51, Width::U16, [](const EngineSnapshot& e) -> double { return e.injectionMs * 200 + 4; }},
    {0x52, Width::U16, [](const EngineSnapshot& e) -> double { return e.injectionMs * 200 + 6; }},
    {0x53, Width::U16, [](const EngineSnapshot&) -> double { return 1150.0; }},
    {0x54, Width::U16, [](const EngineSnapshot&) -> double { return 1160.0; }},
    {0x55, Width::U8, [](const EngineSnapshot& e) -> double { return e.batteryV * 10; }},
    {0x56, Width::U8, [](const EngineSnapshot& e) -> double { return e.batteryV * 10 - 1; }},
    {0x57, Width::U16, [](const EngineSnapshot& e) -> double { return e.lambdaMv; }},
    {0x58, Width::U16, [](const EngineSnapshot& e) -> double { return 900 - e.lambdaMv; }},
    {0x59, Width::U16, [](const EngineSnapshot&) -> double { return 11.0; }},
    {0x5A, Width::U16, [](const EngineSnapshot&) -> double { return 12.0; }},
    {0x5B, Width::U16,
     [](const EngineSnapshot& e) -> double { return 1000 + (e.lambdaMv - 450) / 5; }},
    {0x5C, Width::U16,
     [](const EngineSnapshot& e) -> double { return 1000 + (450 - e.lambdaMv) / 5; }},
    {0x63, Width::U16, [](const EngineSnapshot&) -> double { return 63.0; }},
    {0x64, Width::U16, [](const EngineSnapshot&) -> double { return 64.0; }},
    {0x65, Width::U8, [](const EngineSnapshot&) -> double { return 25.0; }},
    {0x67, Width::U16, [](const EngineSnapshot&) -> double { return 67.0; }},
    {0x68, Width::U16, [](const EngineSnapshot&) -> double { return 68.0; }},
    {0x69, Width::U16, [](const EngineSnapshot&) -> double { return 69.0; }},
    {0x6A, Width::U16, [](const EngineSnapshot&) -> double { return 70.0; }},
    {0x6B, Width::U16, [](const EngineSnapshot&) -> double { return 107.0; }},
    {0x6C, Width::U16, [](const EngineSnapshot&) -> double { return 108.0; }},
    {0x6D, Width::U16, [](const EngineSnapshot&) -> double { return 109.0; }},
    {0x6E, Width::U16, [](const EngineSnapshot&) -> double { return 1013.0; }},
    {0x6F, Width::U16, [](const EngineSnapshot&) -> double { return 1012.0; }},
    {0x71, Width::U16, [](const EngineSnapshot&) -> double { return 40000.0; }},
    {0x72, Width::U16, [](const EngineSnapshot&) -> double { return 72.0; }},
    {0x73, Width::U16, [](const EngineSnapshot&) -> double { return 300.0; }},
    {0x74, Width::U16, [](const EngineSnapshot&) -> double { return 310.0; }},
    {0x75, Width::U16, [](const EngineSnapshot&) -> double { return 75.0; }},
    {0x76, Width::U16, [](const EngineSnapshot&) -> double { return 76.0; }},
    {0x79, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x7A, Width::U16, [](const EngineSnapshot&) -> double { return 122.0; }},
    {0x7B, Width::U16, [](const EngineSnapshot&) -> double { return 123.0; }},
    {0x7C, Width::U16, [](const EngineSnapshot&) -> double { return 124.0; }},
    {0x7D, Width::U16, [](const EngineSnapshot&) -> double { return 125.0; }},
    {0x7E, Width::U8,
     [](const EngineSnapshot& e) -> double {
         return (e.rpm > 300 ? 0x01 : 0) | (e.warm ? 0x04 : 0);
     }},
    {0x80, Width::U8,
     [](const EngineSnapshot& e) -> double { return e.throttleDeg > 5 ? 0x01 : 0.0; }},
    {0x81, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x82, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x83, Width::U8,
     [](const EngineSnapshot& e) -> double { return e.engineTempC > 95 ? 0x01 : 0.0; }},
    {0x86, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x88, Width::U8, [](const EngineSnapshot&) -> double { return 1.0; }},
    {0x89, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x8C, Width::U8, [](const EngineSnapshot& e) -> double { return e.warm ? 0x02 : 0x01; }},
    {0x91, Width::U8, [](const EngineSnapshot&) -> double { return 0x81; }},
    {0x93, Width::U8, [](const EngineSnapshot&) -> double { return 2.0; }},
    {0x94, Width::U8, [](const EngineSnapshot&) -> double { return 1.0; }},
    {0x95, Width::U16, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x96, Width::U8, [](const EngineSnapshot&) -> double { return 0.0; }},
    {0x97, Width::U16, [](const EngineSnapshot&) -> double { return 1985.0; }},
    {0x9A, Width::Chars3, nullptr},
    {0x9E, Width::U16, [](const EngineSnapshot&) -> double { return 158.0; }},
    {0x9F, Width::U32Le, [](const EngineSnapshot&) -> double { return 12345678.0; }},
    {0xA0, Width::U32Le, [](const EngineSnapshot&) -> double { return 2345678.0; }},
    {0xA1, Width::U8, [](const EngineSnapshot&) -> double { return 3.0; }},
};

template <std::size_t N> const Identifier* Find(const Identifier (&table)[N], std::uint8_t low)
{
    for (const Identifier& id : table) {
        if (id.low == low) {
            return &id;
        }
    }
    return nullptr;
}

QByteArray Encode(Width width, double value)
{
    const qint64 v = std::llround(value);
    switch (width) {
    case Width::U8:
        return Bytes({static_cast<int>(Clamp(v, 0, 255))});
    case Width::S8:
        return Bytes({static_cast<int>(Clamp(v, -128, 127))});
    case Width::U16: {
        const int x = static_cast<int>(Clamp(v, 0, 65535));
        return Bytes({x >> 8, x});
    }
    case Width::S16: {
        const int x = static_cast<int>(Clamp(v, -32768, 32767));
        return Bytes({x >> 8, x});
    }
    case Width::U32: {
        const qint64 x = std::max<qint64>(0, v);
        return Bytes({static_cast<int>(x >> 24), static_cast<int>(x >> 16),
                      static_cast<int>(x >> 8), static_cast<int>(x)});
    }
    case Width::U32Le: {
        const qint64 x = std::max<qint64>(0, v);
        return Bytes({static_cast<int>(x), static_cast<int>(x >> 8), static_cast<int>(x >> 16),
                      static_cast<int>(x >> 24)});
    }
    default:
        return {};
    }
}

// Writes text into record at offset, cut or padded with spaces to length.
void PutText(QByteArray& record, int offset, int length, const char* text)
{
    QByteArray field(text);
    field = field.left(length).leftJustified(length, ' ');
    record.replace(offset, length, field);
}

QByteArray Miug4Identification()
{
    QByteArray record(73, '\0');
    PutText(record, 0, 11, "SIM-MIUG4");
    PutText(record, 11, 6, "SW0412");
    PutText(record, 17, 5, "V0102");
    PutText(record, 23, 4, "2026");
    PutText(record, 27, 7, "1207-01");
    PutText(record, 36, 6, "VELMOR");
    PutText(record, 47, 11, "SIMULATOR");
    record[69] = 0x01;
    record[70] = 0x02;
    record[71] = 0x03;
    record[72] = 0x04;
    return record;
}

QByteArray Mp11Identification()
{
    QByteArray record(70, '\0');
    PutText(record, 0, 11, "SIM-11MP");
    PutText(record, 11, 11, "SW 11MP 0.5");
    PutText(record, 23, 10, "HW 2.1");
    PutText(record, 35, 6, "VELMOR");
    PutText(record, 52, 9, "SIMULATOR");
    PutText(record, 61, 6, "2026");
    return record;
}

} // namespace

EngineSnapshot EngineAt(qint64 engineTimeMs)
{
    EngineSnapshot e;
    const double t = std::max<qint64>(0, engineTimeMs) / 1000.0;
    e.runSeconds = t;
    // Every 30 s the rider blips the throttle: 3 s up to about 5000 rpm, 3 s back down.
    const double phase = std::fmod(t, 30.0);
    double rev = 0;
    if (phase >= 20 && phase < 23) {
        rev = (phase - 20) / 3;
    } else if (phase >= 23 && phase < 26) {
        rev = 1 - (phase - 23) / 3;
    }
    e.revving = rev > 0;
    e.rpm = 1150 + 25 * std::sin(2 * kPi * t / 1.7) + rev * 3900;
    e.engineTempC = 20 + 70 * (1 - std::exp(-t / 240));
    e.airTempC = 22 + 8 * (1 - std::exp(-t / 600));
    e.warm = e.engineTempC > 60;
    e.batteryV = 13.95 + 0.15 * std::sin(t / 5);
    e.throttleDeg = 1.5 + rev * 33;
    e.intakeMbar = 350 + rev * 600;
    e.injectionMs = 2.4 + rev * 3.6;
    e.advanceDeg = 8 + rev * 22;
    e.lambdaMv = e.warm ? 450 + 350 * std::sin(2 * kPi * t / 1.2) : 450;
    return e;
}

SimulatedEcu::SimulatedEcu(int family) : family_(family == kSimFamily11mp ? kSimFamily11mp : 0)
{
    for (int b = 0; b < 6; ++b) {
        SimStoredBlock block;
        block.skipped = (b == 3);
        for (int i = 0; i < 32; ++i) {
            block.data.append(static_cast<char>((b * 32 + i) & 0xFF));
        }
        storedData.push_back(block);
    }
}

bool SimulatedEcu::KnowsIdentifier(std::uint8_t low) const
{
    if (family_ == kSimFamily11mp) {
        return low >= 0x30 && low <= 0xA1 && low != 0x99;
    }
    return (low >= 0x30 && low <= 0x7E) || low == 0x80 || low == 0x9A;
}

QByteArray SimulatedEcu::ReadIdentifier(const QByteArray& request, qint64 engineTimeMs) const
{
    const EngineSnapshot engine = EngineAt(engineTimeMs);
    if (family_ == kSimFamily11mp && request.size() == 2 && At(request, 1) == 0xB0) {
        return Bytes({0x62, 0xB0, 0x00}) + Mp11Identification();
    }
    if (family_ == kSimFamily11mp && request.size() == 3 && At(request, 1) == 0x98 &&
        At(request, 2) == 0x10) {
        return Bytes({0x62, 0x98, 0x10}) + Encode(Width::U16, 28240);
    }
    if (request.size() != 3) {
        return Negative(0x22, kNrcLength);
    }
    const std::uint8_t low = At(request, 2);
    if (At(request, 1) != 0x10 || !KnowsIdentifier(low)) {
        return Negative(0x22, kNrcOutOfRange);
    }
    QByteArray data;
    const Identifier* id = nullptr;
    if (family_ == kSimFamily11mp) {
        id = Find(kMp11Identifiers, low);
    } else if (low == 0x80) {
        data = Miug4Identification();
    } else if (low == 0x9A) {
        data = QByteArrayLiteral("HW 1.0 SIMULATED ECU");
    } else {
        id = Find(kMiug4Identifiers, low);
    }
    if (data.isEmpty()) {
        if (id == nullptr) {
            data = Encode(Width::U8, low); // raw counters of no particular meaning
        } else if (id->width == Width::StatusBlock) {
            data = Bytes(
                {0x01, (engine.rpm > 300 ? 0x01 : 0) | (engine.warm ? 0x02 : 0), 0x00, 0x00, 0x0A});
        } else if (id->width == Width::Chars3) {
            data = QByteArrayLiteral("A05");
        } else {
            data = Encode(id->width, id->value(engine));
        }
    }
    return Bytes({0x62, 0x10, low}) + data;
}

QByteArray SimulatedEcu::FaultRecords(bool withType) const
{
    QByteArray records;
    for (const auto* list : {&currentFaults, &storedFaults}) {
        for (const SimFault& f : *list) {
            records.append(static_cast<char>(f.hi));
            records.append(static_cast<char>(f.lo));
            if (withType) {
                records.append(static_cast<char>(f.type));
            }
            records.append(static_cast<char>(f.status));
        }
    }
    return records;
}

QByteArray SimulatedEcu::Answer(const QByteArray& request, qint64 engineTimeMs)
{
    if (request.isEmpty()) {
        return {};
    }
    const std::uint8_t service = At(request, 0);
    switch (service) {
    case 0x10:
        if (request.size() != 2) {
            return Negative(service, kNrcLength);
        }
        if (At(request, 1) == 0x03)
            defaultSession = false;
        return Bytes({0x50, At(request, 1), 0x00, 0x32, 0x01, 0xF4});
    case 0x3E:
        if (request.size() == 2 && (At(request, 1) & 0x80) != 0) {
            return {}; // suppressed positive answer
        }
        return Bytes({0x7E, 0x00});
    case 0x22:
        if (defaultSession)
            return Negative(service, kNrcNotInSession);
        return ReadIdentifier(request, engineTimeMs);
    default:
        return family_ == kSimFamily11mp ? Mp11Service(request) : Miug4Service(request);
    }
}

QByteArray SimulatedEcu::Miug4Service(const QByteArray& request)
{
    const std::uint8_t service = At(request, 0);
    const QByteArray args = request.mid(1);
    switch (service) {
    case 0x19:
        if (args.size() != 2 || At(args, 0) != 0x02) {
            return Negative(service, kNrcSubFunction);
        }
        return Bytes({0x59, 0x02, 0xFF}) + FaultRecords(true);
    case 0x14:
        if (args == Bytes({0xFF, 0xFF, 0xFF})) {
            currentFaults.clear();
            storedFaults.clear();
            ++faultClearCount;
            return Bytes({0x54});
        }
        if (args == Bytes({0xFF, 0x24, 0xFF})) {
            storedData.clear();
            return Bytes({0x54, 0xFF, 0x24, 0xFF});
        }
        return Negative(service, kNrcOutOfRange);
    case 0x2F: {
        if (args.size() < 3 || At(args, 0) != 0x50) {
            return Negative(service, kNrcOutOfRange);
        }
        const int id = At(args, 1);
        const std::uint8_t option = At(args, 2);
        if (id == 0x7E && option == 0x01) {
            ++adaptationResetCount;
            return Bytes({0x6F, 0x50, 0x7E, 0x01, 0x00});
        }
        static const int kActuators[] = {0x79, 0x77, 0x03, 0x78, 0x09, 0x06,
                                         0x7B, 0x0F, 0x11, 0x0C, 0x04};
        if (std::find(std::begin(kActuators), std::end(kActuators), id) == std::end(kActuators)) {
            return Negative(service, kNrcOutOfRange);
        }
        if (option == 0x03) {
            actuators[id] = true;
        } else if (option == 0x00) {
            actuators[id] = false;
        } else {
            return Negative(service, kNrcOutOfRange);
        }
        return Bytes({0x6F}) + args;
    }
    case 0x31: {
        if (args.size() < 3) {
            return Negative(service, kNrcLength);
        }
        const std::uint8_t sub = At(args, 0);
        const int routine = At(args, 1) << 8 | At(args, 2);
        if (routine == 0x0221) {
            if (sub == 0x01) {
                throttleLearningStarted_ = true;
                return Bytes({0x71, 0x01, 0x02, 0x21});
            }
            if (sub == 0x03) {
                if (!throttleLearningStarted_) {
                    return Negative(service, kNrcSequence);
                }
                throttleLearningStarted_ = false;
                return Bytes({0x71, 0x03, 0x02, 0x21, routineSucceeds ? 0xFF : 0x00});
            }
        }
        if (routine == 0x0224) {
            if (sub == 0x01) {
                return Bytes({0x71, 0x01, 0x02, 0x24, static_cast<int>(storedData.size())});
            }
            if (sub == 0x03 && args.size() == 4) {
                const int block = At(args, 3);
                if (block < 1 || block > static_cast<int>(storedData.size())) {
                    return Negative(service, kNrcOutOfRange);
                }
                const SimStoredBlock& data = storedData[static_cast<std::size_t>(block - 1)];
                return Bytes({0x71, 0x03, 0x02, 0x24, block, data.skipped ? 0xAA : 0x00}) +
                       (data.skipped ? QByteArray() : data.data);
            }
        }
        return Negative(service, kNrcOutOfRange);
    }
    default:
        return Negative(service, kNrcNotSupported);
    }
}

QByteArray SimulatedEcu::Mp11Service(const QByteArray& request)
{
    const std::uint8_t service = At(request, 0);
    const QByteArray args = request.mid(1);
    switch (service) {
    case 0x18:
        if (args != Bytes({0x00, 0xFF, 0x00})) {
            return Negative(service, kNrcOutOfRange);
        }
        return Bytes({0x58, static_cast<int>(currentFaults.size() + storedFaults.size())}) +
               FaultRecords(false);
    case 0x14:
        if (args == Bytes({0xFF, 0x00})) {
            currentFaults.clear();
            storedFaults.clear();
            ++faultClearCount;
            return Bytes({0x54, 0xFF, 0x00});
        }
        if (args == Bytes({0xFF, 0x24})) {
            storedData.clear();
            return Bytes({0x54, 0xFF, 0x24, 0x00, 0x00});
        }
        return Negative(service, kNrcOutOfRange);
    case 0x30: {
        if (args.size() != 2) {
            return Negative(service, kNrcLength);
        }
        const int id = At(args, 0);
        const std::uint8_t option = At(args, 1);
        if (id == 0x7E && option == 0x04) {
            ++adaptationResetCount;
            return Bytes({0x70, 0x7E, 0x04, 0x00, 0x00});
        }
        static const int kActuators[] = {0x05, 0x02, 0x22, 0x03, 0x23, 0x08, 0x09, 0x06};
        if (std::find(std::begin(kActuators), std::end(kActuators), id) == std::end(kActuators)) {
            return Negative(service, kNrcOutOfRange);
        }
        if (option == 0x07) {
            actuators[id] = true;
        } else if (option == 0x00) {
            actuators[id] = false;
        } else {
            return Negative(service, kNrcOutOfRange);
        }
        return Bytes({0x70, id, option, actuators[id] ? 0x01 : 0x00});
    }
    case 0x31:
        if (args.size() != 1) {
            return Negative(service, kNrcLength);
        }
        if (At(args, 0) == 0x22 || At(args, 0) == 0x23) {
            startedRoutine_ = At(args, 0);
            return Bytes({0x71, startedRoutine_, 0x01, 0x00});
        }
        if (At(args, 0) == 0x24) {
            int blocks = 0;
            for (const SimStoredBlock& block : storedData) {
                blocks += block.data.isEmpty() ? 0 : 1;
            }
            return Bytes({0x71, 0x24, 0x00, blocks, 0x00});
        }
        return Negative(service, kNrcOutOfRange);
    case 0x33:
        if (args.isEmpty()) {
            return Negative(service, kNrcLength);
        }
        if (At(args, 0) == 0x22 || At(args, 0) == 0x23) {
            if (startedRoutine_ != At(args, 0)) {
                return Negative(service, kNrcSequence);
            }
            if (!routineSucceeds) {
                return Negative(service, kNrcConditions);
            }
            return Bytes({0x73, startedRoutine_, 0x00, 0x01});
        }
        if (At(args, 0) == 0x24 && args.size() == 2) {
            // Blocks with data, numbered from 1: a header byte (the number), the data, and a
            // checksum byte (sum of the data).
            std::vector<const SimStoredBlock*> filled;
            for (const SimStoredBlock& block : storedData) {
                if (!block.data.isEmpty()) {
                    filled.push_back(&block);
                }
            }
            const int number = At(args, 1);
            if (number < 1 || number > static_cast<int>(filled.size())) {
                return Negative(service, kNrcOutOfRange);
            }
            const QByteArray& data = filled[static_cast<std::size_t>(number - 1)]->data;
            int sum = 0;
            for (char c : data) {
                sum += static_cast<std::uint8_t>(c);
            }
            return Bytes({0x73, 0x24, number, number}) + data + Bytes({sum});
        }
        return Negative(service, kNrcOutOfRange);
    default:
        return Negative(service, kNrcNotSupported);
    }
}

} // namespace velmoro
