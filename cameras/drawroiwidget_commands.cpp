#include "drawroiwidget.h"

// Tools, deletes, re-check, "Don't Detect", save and return.  (Being written.)

DrawROIWidget::CommandScope::CommandScope(DrawROIWidget* page) : page_(page) { ++page_->commandDepth_; }
DrawROIWidget::CommandScope::~CommandScope() { --page_->commandDepth_; }
void DrawROIWidget::runHeldReCheck() {}
void DrawROIWidget::reCheck() {}
void DrawROIWidget::SlotCopyArea() {}
void DrawROIWidget::SlotDrawRect() {}
void DrawROIWidget::SlotDrawCircle() {}
void DrawROIWidget::SlotDrawPloygn() {}
void DrawROIWidget::SlotDrawHand() {}
void DrawROIWidget::SlotDeleteROI() {}
void DrawROIWidget::SlotDeleteAllROI() {}
void DrawROIWidget::SlotReCheck() {}
void DrawROIWidget::SlotNoCheckCur() {}
bool DrawROIWidget::SlotSaveData() { return true; }
void DrawROIWidget::SlotReturn() {}
