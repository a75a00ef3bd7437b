#pragma once

class QProcess;

// Ends a peer the polite way first (SIGTERM), then for sure.
void stopChildProcess(QProcess &process);
