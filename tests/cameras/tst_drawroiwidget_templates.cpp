#include <QtTest>
class Stub : public QObject { Q_OBJECT };
QTEST_MAIN(Stub)
#include "tst_drawroiwidget_templates.moc"
