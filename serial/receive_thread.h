// The receive thread of a port session: sleeps until the port reports
// received characters, gathers everything that has arrived into one block and
// hands the block to the session's data callback.
#pragma once

// Thread function; `argument` is the PortSession. Gives 1 after a normal
// end, 0 when its own start failed (the session then receives nothing).
unsigned receive_thread(void* argument);
