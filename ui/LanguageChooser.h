// The language chooser of the first start, shown before any other window.
#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QPushButton;

namespace velmoro {

// Only "Ok" or Return end it: it has no close button, and Escape or a close request are ignored.
class LanguageChooser : public QDialog {
    Q_OBJECT
public:
    LanguageChooser(const QStringList& languages, float scale);

    QString SelectedLanguage() const;
    QComboBox* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }

    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QComboBox* list_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace velmoro
