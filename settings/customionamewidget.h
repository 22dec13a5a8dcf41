#pragma once
// The I/O-name dialog: which machine signal each of the eight configurable
// inputs and outputs of the multi-detection mode carries.  A child of the
// main window, built once and hidden; opened from the settings dialog's
// "IO name", which hides meanwhile.  Its Confirm writes the choices into the
// multi-detection page and the edit copy, relabels the page's rows and
// brings the settings dialog back.  It never reads or writes name.txt.
#include "pagefit.h"

#include <QWidget>

class ColorButton;
class ComboBox;
class IOWidget;
class QLabel;
class WizardParaWidget;

class CustomIONameWidget : public QWidget {
    Q_OBJECT
public:
    // window: the main window (parent, and what the dialog is centred on).
    CustomIONameWidget(QWidget* window, WizardParaWidget* dialog);

    // The boxes from the multi-detection page's name indices.
    void init();

    WizardParaWidget* settingsDialog = nullptr;
    IOWidget* ioPage = nullptr;
    ComboBox* inputNameBox[8] = {};
    ComboBox* outputNameBox[8] = {};
    QLabel* inputLabel[8] = {};
    QLabel* outputLabel[8] = {};
    ColorButton* confirmButton = nullptr;

private slots:
    void accept();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    PageFit fit_;
};
