// The first-start language chooser.
#include "ui/LanguageChooser.h"

#include "ui/Layout.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

namespace velmoro {

LanguageChooser::LanguageChooser(const QStringList& languages, float scale)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(kWindowTitle);
    FillBackground(this, kBackgroundRed);
    setFixedSize(Scaled(scale, 200), Scaled(scale, 90));
    list_ = new QComboBox(this);
    list_->setGeometry(ScaledRect(scale, 10, 10, 180, 25));
    list_->addItems(languages);
    list_->setCurrentIndex(languages.isEmpty() ? -1 : 0);
    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setGeometry(ScaledRect(scale, 70, 50, 60, 25));
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

QString LanguageChooser::SelectedLanguage() const
{
    return list_->currentText();
}

void LanguageChooser::closeEvent(QCloseEvent* event)
{
    if (result() != QDialog::Accepted)
        event->ignore();
}

} // namespace velmoro
