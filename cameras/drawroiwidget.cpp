#include "drawroiwidget.h"

// Construction, visibility, sources, camera and detection choice, record
// browsing, opening and closing.  (Being written.)

DrawROIWidget::DrawROIWidget(AreaPageHost* host, QWidget* parent) : QWidget(parent), host_(host) {}
DrawROIWidget::~DrawROIWidget() = default;

void DrawROIWidget::Reset(bool) {}
void DrawROIWidget::Restart() {}
void DrawROIWidget::setSource(int) {}
void DrawROIWidget::ChangeDetectNum(int) {}
void DrawROIWidget::SlotShowHide() {}
void DrawROIWidget::SlotChangeOp() {}
void DrawROIWidget::SlotChangePage() {}
void DrawROIWidget::SlotChangeSource(int) {}
void DrawROIWidget::SlotChangeCamera(int) {}
void DrawROIWidget::SlotChangeDetect(int) {}
void DrawROIWidget::SlotAutoChange() {}
void DrawROIWidget::SlotHelp() {}
void DrawROIWidget::LoadPic() {}
void DrawROIWidget::SlotTempLast() {}
void DrawROIWidget::SlotTempNext() {}
CammerWidget* DrawROIWidget::shownCamera() const { return nullptr; }
CammerWidget* DrawROIWidget::camera(int) const { return nullptr; }
void DrawROIWidget::stepRecordOrRecent(int) {}
void DrawROIWidget::stepTemplate(int) {}
