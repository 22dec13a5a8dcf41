#pragma once
// The other-network dialog as the network page sees it.  The dialog lives in
// remotelink/, above this folder; the window holds it (otherNetDialog) and
// the settings reach it through this interface only.  GUI thread only.
#include <QString>

// The fields of pages 1 to 3 the network page loads and reads back.
struct OtherNetFields {
    bool smsAlarm = false;
    QString techName;
    QString techPhone;
    bool ngVideo = false;
    QString productName;       // the product combo's only item when loaded; its choice when read
    QString operatorName;
    QString moldCavity;        // the three number fields as texts
    QString productNum;
    QString productSerial;
};

class OtherNetDialog {
public:
    virtual ~OtherNetDialog() = default;
    // Fills pages 1 to 3, shows page 1 with the NG-video box hidden.
    virtual void loadFields(const OtherNetFields& fields) = 0;
    // Runs modally (through the modal hook); 1: Confirm, 0: Return.
    virtual int runModal() = 0;
    virtual OtherNetFields readFields() const = 0;
    // Ends what the dialog runs (the port-state timer) on every path.
    virtual void SlotCloseWgt() = 0;
};
