#pragma once

// Tells the user that another copy of the client is running. Called by a
// second copy before anything else exists; it builds the application object
// just for this message and returns when the user has closed it.
void showAlreadyRunning(int &argc, char **argv);
