// Serial device facts from the file system and the user database (Unix); elsewhere a device is
// taken as present and usable, and Qt's own reason stands.
#include "link/SerialDevice.h"

#include "config/LanguageTexts.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#endif

namespace velmoro {

SerialDeviceFacts ProbeSerialDevice(const QString& path, bool probeOpen)
{
    SerialDeviceFacts facts;
#ifdef Q_OS_UNIX
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        return facts;
    }
    facts.exists = true;
    facts.characterDevice = S_ISCHR(st.st_mode);
    facts.permitted = ::access(name.constData(), R_OK | W_OK) == 0 || errno != EACCES;
    facts.groupMayUse = (st.st_mode & S_IRGRP) != 0 && (st.st_mode & S_IWGRP) != 0;
    if (const struct group* g = ::getgrgid(st.st_gid)) {
        facts.group = QString::fromLocal8Bit(g->gr_name);
        if (const struct passwd* pw = ::getpwuid(::geteuid())) {
            facts.user = QString::fromLocal8Bit(pw->pw_name);
            for (char** member = g->gr_mem; member != nullptr && *member != nullptr; ++member) {
                if (facts.user == QString::fromLocal8Bit(*member)) {
                    facts.userInGroup = true;
                }
            }
            facts.userInGroup = facts.userInGroup || pw->pw_gid == st.st_gid;
        }
    }
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> groups(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, groups.data());
        for (int i = 0; i < got; ++i) {
            facts.processHasGroup = facts.processHasGroup || groups[i] == st.st_gid;
        }
    }
    facts.processHasGroup = facts.processHasGroup || ::getegid() == st.st_gid;
    if (probeOpen && facts.characterDevice && facts.permitted) {
        const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            facts.terminal = ::isatty(fd) == 1;
            ::close(fd);
        }
    }
#else
    Q_UNUSED(probeOpen);
    facts.exists = QFileInfo::exists(path);
    facts.characterDevice = facts.exists;
#endif
    return facts;
}

QString SerialOpenFailureKey(const SerialDeviceFacts& facts)
{
#ifndef Q_OS_UNIX
    Q_UNUSED(facts);
    return {};
#endif
    if (!facts.exists) {
        return QStringLiteral("Err_1");
    }
    if (!facts.characterDevice || !facts.terminal) {
        return QStringLiteral("Dev_1");
    }
    if (!facts.permitted) {
        return QStringLiteral("Dev_2");
    }
    // A terminal this user may open that still did not open: another program holds it (the
    // device said it is busy, or its lock file is taken).
    return QStringLiteral("Err_3");
}

QString SerialPermissionAdvice(LanguageTexts& texts, const QString& path,
                               const SerialDeviceFacts& facts)
{
    // The administrators' group and a group without rights on the device are never advised.
    const bool groupHelps = facts.groupMayUse && !facts.group.isEmpty() &&
                            facts.group != QLatin1String("root") && !facts.processHasGroup;
    if (groupHelps && facts.userInGroup) {
        return TextOrEnglish(texts, QStringLiteral("Dev_4")).arg(facts.group);
    }
    if (groupHelps) {
        const QString user = facts.user.isEmpty() ? QStringLiteral("$USER") : facts.user;
        return TextOrEnglish(texts, QStringLiteral("Dev_3")).arg(facts.group, user);
    }
    return TextOrEnglish(texts, QStringLiteral("Dev_5")).arg(path);
}

} // namespace velmoro
