// The main window's views: which one shows, the panels and the diagram beside it, the quick
// menu and the header's gadgets.
#include "ui/MainWindow.h"

#include "config/DataLocations.h"
#include "config/LanguageTexts.h"
#include "config/Settings.h"
#include "ecu/RefreshCycle.h"
#include "link/PortDiscovery.h"
#include "ui/AboutBox.h"
#include "ui/ActorsPanel.h"
#include "ui/DiagramWindow.h"
#include "ui/ExternalTools.h"
#include "ui/FaultsPanel.h"
#include "ui/Layout.h"
#include "ui/LinkStatus.h"
#include "ui/LogWindow.h"
#include "ui/Logo.h"
#include "ui/MeasurementsPanel.h"
#include "ui/ReportPanel.h"
#include "ui/SettingsDialog.h"
#include "ui/Views.h"
#include "ui/WindowScaleDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <utility>

namespace velmoro {

void MainWindow::ShowView(int id)
{
    switch (id) {
    case ItemMeasurements:
        ShowFaults(false);
        ShowDiagram(false);
        ShowPanel(actors_, ItemActors, false);
        ShowPanel(coTrim_, ItemCoTrim, false);
        ShowPanel(report_, ItemReport, false);
        ShowMeasurements(true);
        if (state_.viewMode != ViewMeasurements) {
            state_.viewMode = ViewMeasurements;
            session_->setMeasurementsShown(true);
        }
        break;
    case ItemFaults:
        state_.viewMode = ViewFaults;
        ShowMeasurements(false);
        ShowDiagram(false);
        ShowPanel(actors_, ItemActors, false);
        ShowPanel(coTrim_, ItemCoTrim, false);
        ShowFaults(true);
        ShowPanel(report_, ItemReport, false);
        break;
    case ItemActors:
        state_.viewMode = ViewActors;
        ShowMeasurements(false);
        ShowFaults(false);
        ShowDiagram(false);
        ShowPanel(coTrim_, ItemCoTrim, false);
        ShowPanel(actors_, ItemActors, true);
        ShowPanel(report_, ItemReport, false);
        break;
    case ItemCoTrim:
        state_.viewMode = ViewCoTrim;
        ShowMeasurements(false);
        ShowFaults(false);
        ShowDiagram(false);
        ShowPanel(actors_, ItemActors, false);
        ShowPanel(coTrim_, ItemCoTrim, true);
        ShowPanel(report_, ItemReport, false);
        break;
    case ItemReport:
        state_.viewMode = ViewReport;
        ShowMeasurements(false);
        ShowFaults(false);
        ShowDiagram(false);
        ShowPanel(actors_, ItemActors, false);
        ShowPanel(coTrim_, ItemCoTrim, false);
        ShowPanel(report_, ItemReport, true);
        break;
    default:
        break;
    }
}

void MainWindow::ShowMeasurements(bool show)
{
    if (!show) {
        // The pass (or survey step) in progress ends and shows nothing; no other starts.
        session_->setMeasurementsShown(false);
        menu_->Item(ItemDiagram)->setEnabled(false);
        measurementsPanel_->Show(false);
    } else {
        menu_->Item(ItemDiagram)->setEnabled(true);
        measurementsPanel_->Show(true);
        if (quickMenuShown_)
            SetHeaderGadgetsVisible(false);
    }
    menu_->Item(ItemMeasurements)->setChecked(show);
}

void MainWindow::ShowFaults(bool show)
{
    faultsPanel_->Show(show, quickMenuShown_);
    menu_->Item(ItemFaults)->setChecked(show);
}

void MainWindow::ShowPanel(QWidget* view, int item, bool show)
{
    view->setVisible(show);
    menu_->Item(item)->setChecked(show);
}

void MainWindow::ShowDiagram(bool show)
{
    ShowPanel(diagram_, ItemDiagram, show);
}

void MainWindow::ShowQuickMenu()
{
    menu_->FillQuickButtons(session_->workerRunning());
    info_->hide();
    logo_->hide();
    SetHeaderGadgetsVisible(false);
    menu_->QuickPanel()->show();
    menu_->QuickPanel()->raise();
    quickMenuShown_ = true;
}

void MainWindow::QuickMenuPressed(int id)
{
    if (id >= 0)
        PostMenu(id);
    menu_->QuickPanel()->hide();
    info_->show();
    logo_->show();
    quickMenuShown_ = false;
    SetHeaderGadgetsVisible(true);
}

void MainWindow::SetHeaderGadgetsVisible(bool visible)
{
    if (state_.viewMode == ViewMeasurements)
        measurementsPanel_->SetHeaderVisible(visible);
    else if (state_.viewMode == ViewFaults)
        faultsPanel_->SetHeaderVisible(visible);
}

} // namespace velmoro
