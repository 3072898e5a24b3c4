// What the system says of a serial device path, in our own words: why a port did not open, and
// what the user can do about a permission that was refused.
#pragma once

#include <QString>

namespace velmoro {

class LanguageTexts;

struct SerialDeviceFacts {
    bool exists = false;
    bool characterDevice = false; // a device node: not a file, a folder or a dangling link
    bool terminal = true;         // takes line settings (false: /dev/null and the like)
    bool permitted = true;        // this user may read and write it
    QString group;                // the device's group
    bool groupMayUse = false;     // that group may read and write it
    bool processHasGroup = false; // this program runs with that group
    bool userInGroup = false;     // the user is a member of it (maybe since this login only)
    QString user;
};

// Looks at `path` without using it; with `probeOpen` it is also opened for a moment (without
// blocking and without becoming the controlling terminal) to see whether it is a terminal at
// all, which is only done once the real open has failed.
SerialDeviceFacts ProbeSerialDevice(const QString& path, bool probeOpen);

// The reason a serial port that did not open was refused, as the language key of our words:
// "Err_1" no such device, "Dev_1" not a serial device, "Dev_2" no permission, "Err_3" another
// program holds it. Empty where the facts do not tell (the caller keeps its own reason).
QString SerialOpenFailureKey(const SerialDeviceFacts& facts);

// For a refused permission ("Dev_2"): join the device's group when that group may use it
// ("sudo usermod -aG dialout rider"), log in again when already a member, and where no group
// of the device may use it, never a group: the device must be given to the user.
QString SerialPermissionAdvice(LanguageTexts& texts, const QString& path,
                               const SerialDeviceFacts& facts);

} // namespace velmoro
