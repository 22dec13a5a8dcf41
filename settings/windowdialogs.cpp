// The main window's side dialogs of the settings subsystem: the help page,
// the camera renumbering, the cavity names and the hardware-configuration
// viewer, and the settings dialog's buttons that open them.  An opener
// hides the settings dialog; the side dialog shows it again when it closes.
#include "wizardparawidget.h"

#include "cammerwidget.h"
#include "checkbox.h"
#include "colorbutton.h"
#include "editcavitywidget.h"
#include "hardwareconfigurationwidget.h"
#include "helpwidget.h"
#include "mojuwizard.h"
#include "mojuwizardsettingshost.h"
#include "widgetchangecamera.h"

void WizardParaWidget::WireWindowDialogs()
{
    if (ColorButton* b = buttonByText(594))
        connect(b, &QPushButton::clicked, this, &WizardParaWidget::SlotShowEditcavityWidget);
    if (ColorButton* b = buttonByText(568))
        connect(b, &QPushButton::clicked, this, &WizardParaWidget::SlotShowHardwareConfigurationWidget);
    if (reorderButton)
        connect(reorderButton, &QPushButton::clicked, this, &WizardParaWidget::SlotTuneCamera);
}

void WizardParaWidget::SlotShowEditcavityWidget()
{
    if (!cavityDialog)
        return;
    hidePage();
    cavityDialog->init();
    cavityDialog->show();
    cavityDialog->raise();
}

void WizardParaWidget::SlotShowHardwareConfigurationWidget()
{
    if (!configurationViewer)
        return;
    // Back on the advanced page after the viewer.
    keepPage = true;
    hidePage();
    configurationViewer->show();
    configurationViewer->raise();
}

void WizardParaWidget::SlotTuneCamera()
{
    if (!renumberDialog)
        return;
    hidePage();
    renumberDialog->show();
    renumberDialog->raise();
}

void MakeWindowDialogs(MoJuWizard& window, WizardParaWidget& dialog)
{
    auto* help = new HelpWidget(&window);
    help->hide();
    window.helpPage = help;

    auto* renumber = new WidgetChangeCamera(&window);
    renumber->hide();
    renumber->shutDownAsked = [d = &dialog] {
        if (d->shutDownAsked)
            d->shutDownAsked();
    };
    window.cameraNumberDialog = renumber;
    dialog.renumberDialog = renumber;

    // A window of its own, deleted with the window.
    auto* cavity = new EditCavitywidget(&dialog, [w = &window](int slot, const QStringList& names) {
        CammerWidget* view = slot >= 0 && slot < kCameraSlots ? w->cameraViews[slot] : nullptr;
        if (!view)
            return;
        for (int k = 0; k < kCavities && k < names.size(); ++k)
            if (view->cavityBox[k])
                view->cavityBox[k]->setText(names[k]);
    });
    QObject::connect(&window, &QObject::destroyed, cavity, [cavity] { delete cavity; });
    cavity->Databaseinit();
    cavity->init();
    cavity->hide();
    window.cavityDialog = cavity;
    window.cavityNames = cavity;
    dialog.cavityDialog = cavity;

    auto* viewer = new HardwareConfigurationWidget(&window, &dialog);
    viewer->hide();
    window.hardwareConfigViewer = viewer;
    dialog.configurationViewer = viewer;
}
