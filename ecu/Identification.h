// The identification of both families, read once the worker is up, and the ECU information text
// a view shows for it.
#pragma once

#include "config/Settings.h"
#include "link/Exchange.h"
#include "link/LinkFlags.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <optional>

namespace velmoro {

// What the identification read from the ECU.
struct EcuInfo {
    int family = FamilyMiug4;
    QString ecuId;   // the model's ECU identifier
    QString variant; // 11MP: the model's variant, shown after the identifier
    // The record's text fields that are not blank, trimmed, in order (MIUG4: A, B1 B2, C1 C2,
    // D, E; 11MP: its six fields, none when the answer was shorter than 67 bytes).
    QStringList fields;
    // MIUG4: record bytes 69..72 as "0102.03.04"; empty for 11MP.
    QString release;
    // MIUG4: the answer to 0x109A read as ASCII up to a zero byte, when it brought data.
    std::optional<QString> version;
};

// The text of the ECU information field, lines separated by LF.
// MIUG4: "IAW " + ecuId, then each field, then release, each on its own line, then the version
// on a line of its own when there is one. 11MP: "IAW " + ecuId + " " + variant + LF, then the
// fields separated by LF.
QString EcuInfoText(const EcuInfo& info);

// Before a link has identified the ECU: the model's ECU as the settings name it, "IAW " + ecuId +
// " " + ecuVariant.
QString ModelEcuText(const LinkSettings& link);

// Bytes read as ASCII, stopping early at a zero byte.
QString AsciiField(const QByteArray& bytes, int offset, int length);

// The data bytes of an exchange (elements 1..result); empty when result <= 0.
QByteArray DataBytes(const ExchangeResult& result);

// The MIUG4 identification from the data bytes of the 0x1080 answer (copied into a zero-filled
// 73-byte record) and of the 0x109A answer (nullopt: it brought none).
EcuInfo EcuInfoMiug4(const QString& ecuId, const QByteArray& idData,
                     const std::optional<QByteArray>& versionData);
// The 11MP identification from the data bytes of the 0xB0 answer; the fields only when it has
// at least 67 bytes.
EcuInfo EcuInfo11mp(const QString& ecuId, const QString& variant, const QByteArray& idData);

// Read over link. MIUG4 fails (nullopt) when 0x1080 brings no data; 11MP never fails: any
// answer, or none, identifies it, a short one without its fields.
std::optional<EcuInfo> IdentifyMiug4(ExchangeLink& link, const LinkSettings& settings);
EcuInfo Identify11mp(ExchangeLink& link, const LinkSettings& settings);

// Waits while the worker starts (through the ignition prompt and the adapter set-up, as long as
// the user needs) and returns the state it settled in.
int WaitForWorker(LinkFlags& flags);

} // namespace velmoro

Q_DECLARE_METATYPE(velmoro::EcuInfo)
