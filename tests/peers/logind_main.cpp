// quillnet_logind_peer: a private system bus with the tests' stand-in for
// logind on it (see LogindPeer.h), as a program of its own for scripts that
// run the client against a logind that is slow or hung. Options and
// output: see StandInProgram.h.
#include "LogindPeer.h"
#include "StandInProgram.h"

int main(int argc, char *argv[])
{
    return standInMain<LogindPeer>(argc, argv, "A stand-in logind on a private system bus.");
}
