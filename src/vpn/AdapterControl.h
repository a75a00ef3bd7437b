#pragma once

// Switching the tunnel's virtual network adapter. The adapter is switched
// off again at log-out and at shut-down only when this process switched it
// on, so a tunnel set up by someone else is left alone.
int enableAdapter();
int disableAdapter();
