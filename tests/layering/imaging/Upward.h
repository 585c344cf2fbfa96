// A core header that reaches up to the main window: the layering check must refuse it.
#include "app/ViewerDlg.h"
