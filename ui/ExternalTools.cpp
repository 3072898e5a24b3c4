// Finding and running the companion programs with the adapter port on their command line.
#include "ui/ExternalTools.h"

#include "config/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QWidget>

#include <memory>

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

bool StartExternalTool(const QString& programDirectory, const LinkSettings& link,
                       const QString& kind, const ExternalToolHooks& hooks)
{
    const QString name = ExternalToolName(link.family, kind);
    const QString path = FindExternalTool(programDirectory, name);
    if (path.isEmpty()) {
        const QString text = name + QStringLiteral(" not found");
        if (hooks.showMessage)
            hooks.showMessage(QStringLiteral("Info"), text);
        else
            QMessageBox::information(hooks.mainWindow, QStringLiteral("Info"), text);
        return false;
    }
    if (hooks.mainWindow) {
        hooks.mainWindow->setEnabled(false);
        hooks.mainWindow->hide();
    }
    QPointer<QWidget> window = hooks.mainWindow;
    // Not the window's child: a window that goes away while the tool runs (only in tests; the
    // window is hidden meanwhile) ends the tool without being shown again half destroyed.
    auto* tool = new QProcess();
    tool->setWorkingDirectory(programDirectory);
    tool->setProcessChannelMode(QProcess::ForwardedChannels);
    // Either signal may come first or alone (a tool that cannot start never finishes); the end
    // is handled once.
    auto ended = std::make_shared<bool>(false);
    const auto end = [tool, window, ended, finished = hooks.finished](int exitCode) {
        if (*ended)
            return;
        *ended = true;
        if (window) {
            window->show();
            window->setEnabled(true);
        }
        tool->deleteLater();
        if (finished)
            finished(exitCode);
    };
    if (hooks.mainWindow) {
        QObject::connect(hooks.mainWindow, &QObject::destroyed, tool, [tool, ended] {
            *ended = true;
            tool->disconnect();
            delete tool;
        });
    }
    QObject::connect(tool, &QProcess::finished, tool,
                     [end](int exitCode, QProcess::ExitStatus status) {
                         end(status == QProcess::NormalExit ? exitCode : -1);
                     });
    QObject::connect(tool, &QProcess::errorOccurred, tool, [end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(-1);
    });
    tool->start(path, ExternalToolArguments(link.port));
    return true;
}

} // namespace velmoro
