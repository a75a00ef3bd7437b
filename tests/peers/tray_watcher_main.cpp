// quillnet_tray_watcher_peer: a private session bus with the tests' stand-in
// for the desktop's StatusNotifierWatcher on it (see TrayWatcherPeer.h), as
// a program of its own for scripts that run the client against a tray that
// is slow or hung. Options and output: see StandInProgram.h.
#include "StandInProgram.h"
#include "TrayWatcherPeer.h"

int main(int argc, char *argv[])
{
    return standInMain<TrayWatcherPeer>(argc, argv, "A stand-in tray watcher on a private bus.");
}
