// Stand-in for the parameter panel's refresh until the panel joins the view:
// the editor calls it after every completed gesture.
#include "cammerwidget.h"

void CammerWidget::ShowHideROIPara() {}
