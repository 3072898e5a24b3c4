// Finding and running the companion programs with the adapter port on their command line.
#include "ui/ExternalTools.h"

#include "config/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QWidget>

namespace velmoro {

QString ExternalToolName(int family, const QString& kind)
{
    QString familyText;
    if (family == FamilyMiug4)
        familyText = QStringLiteral("MIUG4");
    else if (family == Family11mp)
        familyText = QStringLiteral("11MP");
    return QStringLiteral("IAW") + familyText + kind;
}

QString FindExternalTool(const QString& programDirectory, const QString& name)
{
    QDir dir(programDirectory);
#ifdef Q_OS_WIN
    const QStringList patterns{name + QStringLiteral("*.exe")};
#else
    const QStringList patterns{name + QLatin1Char('*')};
#endif
    // Name order is the listing order; the pattern is matched case-sensitively like the name.
    const QFileInfoList entries = dir.entryInfoList(
        patterns, QDir::Files | QDir::NoDotAndDotDot | QDir::CaseSensitive, QDir::Name);
    QString path;
    for (const QFileInfo& entry : entries) {
#ifndef Q_OS_WIN
        if (!entry.isExecutable())
            continue;
#endif
        path = entry.absoluteFilePath();
    }
    return path;
}

QStringList ExternalToolArguments(const QString& port)
{
    QStringList args{QStringLiteral("-c")};
    if (!port.isEmpty())
        args << port;
    return args;
}

int RunExternalTool(const QString& programDirectory, const LinkSettings& link, const QString& kind,
                    const ExternalToolHooks& hooks)
{
    const QString name = ExternalToolName(link.family, kind);
    const QString path = FindExternalTool(programDirectory, name);
    if (path.isEmpty()) {
        const QString text = name + QStringLiteral(" not found");
        if (hooks.showMessage)
            hooks.showMessage(QStringLiteral("Info"), text);
        else
            QMessageBox::information(hooks.mainWindow, QStringLiteral("Info"), text);
        return -1;
    }
    if (hooks.mainWindow) {
        hooks.mainWindow->setEnabled(false);
        hooks.mainWindow->hide();
    }
    QProcess tool;
    tool.setWorkingDirectory(programDirectory);
    tool.setProcessChannelMode(QProcess::ForwardedChannels);
    tool.start(path, ExternalToolArguments(link.port));
    int exitCode = -1;
    // The tool owns the adapter port until it ends, so the program waits without a time-out.
    if (tool.waitForStarted(-1) && tool.waitForFinished(-1))
        exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    if (hooks.mainWindow) {
        hooks.mainWindow->show();
        hooks.mainWindow->setEnabled(true);
    }
    return exitCode;
}

} // namespace velmoro
