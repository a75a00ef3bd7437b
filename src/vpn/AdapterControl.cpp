#include "vpn/AdapterControl.h"

namespace {
int adapterEnabled = 0;
}

int enableAdapter()
{
    adapterEnabled = 1;
    return 0;
}

int disableAdapter()
{
    adapterEnabled = 0;
    return 0;
}
