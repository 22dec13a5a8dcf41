#pragma once
// The hardware-configuration viewer: conf.txt (page 1) and the optional
// confnext.txt (page 2) shown read-only as name and value pairs, with one
// live value, the number of cameras in use on a "Count" entry of page 1.
// Both files are read once, when the viewer is built; the page shown is
// kept between openings.  A child of the main window, built once and
// hidden.  1500 x 800 centred on the screen, fitted to a smaller one.
// GUI thread only.
#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class ColorButton;
class QGridLayout;
class QLabel;
class SettingsPage;

using ConfigurationEntries = QList<QPair<QString, QString>>;

// The entries of one configuration file's text: one per non-empty line,
// split at TAB keeping empty fields, the first field the name, the second
// the value (empty when missing), '_' shown as a space.  Carriage returns
// and other control characters are dropped, so a damaged file shows as
// text and never as layout.
ConfigurationEntries ParseConfiguration(const QString& text);

class HardwareConfigurationWidget : public QWidget {
    Q_OBJECT
public:
    // parent: the main window.  settingsDialog: shown again by Confirm.
    HardwareConfigurationWidget(QWidget* parent, SettingsPage* settingsDialog);
    ~HardwareConfigurationWidget() override;

    // conf.txt into entries (cleared first; left empty when unreadable).
    static void loadConfiguration(ConfigurationEntries& entries);
    // confnext.txt the same way; false when it cannot be read.
    static bool loadConfigurationnext(ConfigurationEntries& entries);

    // Files larger than this are not configuration files; read as unreadable.
    static constexpr qint64 kMaxFileBytes = 64 * 1024;

    SettingsPage* settingsDialog = nullptr;
    ColorButton* confirmButton1 = nullptr;
    ColorButton* nextButton1 = nullptr;
    ColorButton* confirmButton2 = nullptr;
    ColorButton* nextButton2 = nullptr;
    int currentPage = 1;
    QWidget* page1 = nullptr;
    QWidget* page2 = nullptr;
    QLabel* countLabel1 = nullptr;
    QLabel* countLabel2 = nullptr;

public slots:
    void slotNextpage();
    void slotConfirm();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // One page's rows; the "Count" entry's value label goes to countLabel.
    QGridLayout* buildPage(QWidget* page, const ConfigurationEntries& entries, int spacing, QLabel** countLabel);
};
