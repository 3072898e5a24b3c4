// The identification of both families, run once the worker is up, and the ECU information texts
// it builds.
#pragma once

#include "config/Settings.h"
#include "link/Exchange.h"
#include "link/LinkFlags.h"
#include "link/UiBridge.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace velmoro {

// Bytes read as ASCII, stopping early at a zero byte.
QString AsciiField(const QByteArray& bytes, int offset, int length);

// The MIUG4 lines after "IAW <ecuId>" built from the data bytes of the 0x1080 answer (copied into
// a zero-filled 73-byte record): the non-blank trimmed fields A, B1+" "+B2, C1+" "+C2, D, E each
// followed by LF, then the bytes at 69..72 as "0102.03.04" (no LF).
QString IdentificationLinesMiug4(const QByteArray& idData);

// The whole MIUG4 ECU information text: "IAW " + ecuId + LF + the identification lines, and when
// the 0x109A answer has data, LF + its bytes as ASCII (stopping at a zero byte, not trimmed).
QString EcuInfoTextMiug4(const QString& ecuId, const QByteArray& idData,
                         const std::optional<QByteArray>& versionData);

// The whole 11MP ECU information text: "IAW " + ecuId + " " + variant + LF, then, when the 0xB0
// answer has at least 67 data bytes, its six non-blank trimmed fields separated by LF.
QString EcuInfoText11mp(const QString& ecuId, const QString& variant, const QByteArray& idData);

// The data bytes of an exchange (elements 1..result); empty when result <= 0.
QByteArray DataBytes(const ExchangeResult& result);

// Run on the session's thread after the worker was started: wait while workerState < 0, read the
// identification, then ui.SetEcuInfoText(text) + ui.Connected(), or on failure ui.Disconnect().
// MIUG4 fails when 0x1080 brings no data; 11MP fails only when the worker did not come up.
void ConnectMiug4(LinkFlags& flags, const LinkSettings& settings, ExchangeLink& link, UiBridge& ui);
void Connect11mp(LinkFlags& flags, const LinkSettings& settings, ExchangeLink& link, UiBridge& ui);

} // namespace velmoro
