#pragma once

#include "StandInPeer.h"

#include <QCoreApplication>
#include <functional>

// The whole of a stand-in's program for scripts, which run the client
// against a desktop or system service that is slow or hung:
//
//   <program> [--delay MS | --never]
//
// Prints the bus's address on one line of stdout once the stand-in is
// ready, then each call it is asked and answers (see
// StandInPeer::setTellCalls), and runs until SIGTERM or SIGINT; the bus
// goes with it.
int runStandInProgram(QCoreApplication &app, const char *description, StandInPeer &peer,
                      const std::function<bool()> &start);

// main() of such a program, `Peer` being the stand-in it serves.
template <typename Peer> int standInMain(int argc, char *argv[], const char *description)
{
    QCoreApplication app(argc, argv);
    Peer peer;
    return runStandInProgram(app, description, peer, [&peer] { return peer.start(); });
}
