#pragma once

namespace Startup {

// The whole program: a second start hands its command line over and ends; a first start
// shows the main window and runs until it is closed.
int run(int argc, char **argv);

} // namespace Startup
