// Core code with a widget: the layering check must refuse it.
#include <QWidget>
#include "calib/CalibTable.h"
