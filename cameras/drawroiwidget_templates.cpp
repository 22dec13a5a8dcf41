#include "drawroiwidget.h"

// The template library commands.  (Being written.)

void DrawROIWidget::GetTempTIme(int, int, int) {}
void DrawROIWidget::SlotTempDeleteCur() {}
void DrawROIWidget::SlotAddTemp() {}
void DrawROIWidget::SlotTempDeleteAll() {}
