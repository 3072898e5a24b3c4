// The about box text and its message box.
#include "ui/AboutBox.h"

#include "config/LanguageTexts.h"

namespace velmoro {

QString AboutText(LanguageTexts& texts)
{
    const QChar lf = QLatin1Char('\n');
    return texts.Text(QStringLiteral("About_1")) + lf + texts.Text(QStringLiteral("About_2")) + lf +
           texts.Text(QStringLiteral("About_3")) + lf + texts.Text(QStringLiteral("About_4")) + lf +
           lf + texts.Text(QStringLiteral("About_5")) + lf + lf +
           QStringLiteral("VelmoroCanDiag 0.02 - free software, use at your own risk");
}

} // namespace velmoro
