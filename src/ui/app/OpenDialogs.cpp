#include "ui/app/OpenDialogs.h"

OpenDialogs &OpenDialogs::instance()
{
    static OpenDialogs dialogs;
    return dialogs;
}
